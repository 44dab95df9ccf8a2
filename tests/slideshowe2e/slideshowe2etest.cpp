// Slideshows played through kp-host as a presenter uses them: a picture is
// annotated, a fade to a second picture is captured half-way, a swipe back
// to the first picture is captured half-way, and the first picture comes back
// with its drawing.

#include "kphostplay.h"
#include "kpslidedrawing.h"

#include <QDir>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <vector>

namespace {

const char Script[] = R"({
  "canvas": [400, 200],
  "steps": [
    {"do": "create", "name": "ss", "type": "kp_image_source", "settings": {"file": "red.png"}},
    {"do": "frames", "count": 10},
    {"do": "update", "name": "ss", "settings": {"file": "red.png", "kp_wb_draw_type": 1,
     "kp_wb_draw_color": 4278190080, "kp_wb_draw_size": 4}},
    {"do": "frames", "count": 3},
    {"do": "mouse", "name": "ss", "action": "down", "x": 20, "y": 20},
    {"do": "mouse", "name": "ss", "action": "move", "x": 70, "y": 50},
    {"do": "mouse", "name": "ss", "action": "move", "x": 120, "y": 80},
    {"do": "mouse", "name": "ss", "action": "up", "x": 120, "y": 80},
    {"do": "render", "name": "ss", "out": "drawn.png"},
    {"do": "update", "name": "ss", "settings": {"file": "green.png", "transition": "fade"}},
    {"do": "frames", "count": 22},
    {"do": "render", "name": "ss", "out": "fade-mid.png"},
    {"do": "frames", "count": 50},
    {"do": "render", "name": "ss", "out": "faded.png"},
    {"do": "update", "name": "ss", "settings": {"file": "red.png", "transition": "swipe_to_left"}},
    {"do": "frames", "count": 30},
    {"do": "render", "name": "ss", "out": "swipe-mid.png"},
    {"do": "frames", "count": 70},
    {"do": "render", "name": "ss", "out": "back.png"}
  ]
})";

QImage shot(const QTemporaryDir &dir, const char *name)
{
    return QImage(dir.filePath(QStringLiteral("out/") + QLatin1String(name)));
}

bool between(int value)
{
    return value > 40 && value < 215;
}

} // namespace

TEST(SlideshowEndToEnd, FadeAndSwipeBetweenAnnotatedPictures)
{
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("out")));
    for (const auto &[name, color] : {std::pair{"red.png", Qt::red}, std::pair{"green.png", Qt::green}}) {
        QImage picture(200, 100, QImage::Format_RGBA8888);
        picture.fill(color);
        ASSERT_TRUE(picture.save(dir.filePath(QStringLiteral("out/") + QLatin1String(name))));
    }
    const KPHostRun run = playHostScriptText(dir.path(), Script);
    ASSERT_EQ(run.exitCode, 0) << run.standardError.toStdString();

    const QImage drawn = shot(dir, "drawn.png");
    ASSERT_EQ(drawn.size(), QSize(200, 100));
    EXPECT_TRUE(hasRectangle(drawn));

    const QColor blended = shot(dir, "fade-mid.png").pixelColor(150, 90);
    EXPECT_TRUE(between(blended.red()) && between(blended.green())) << blended.name().toStdString();
    const QImage faded = shot(dir, "faded.png");
    EXPECT_EQ(faded.pixelColor(150, 90), QColor(Qt::green));
    EXPECT_FALSE(hasRectangle(faded));

    // Swiping left, the returning picture enters from the right edge.
    const QImage swiped = shot(dir, "swipe-mid.png");
    ASSERT_EQ(swiped.size(), QSize(200, 100));
    EXPECT_EQ(swiped.pixelColor(5, 90), QColor(Qt::green));
    EXPECT_EQ(swiped.pixelColor(195, 90), QColor(Qt::red));

    const QImage back = shot(dir, "back.png");
    EXPECT_EQ(back.pixelColor(150, 90), QColor(Qt::red));
    EXPECT_TRUE(hasRectangle(back));
    EXPECT_TRUE(run.log.contains(QStringLiteral("[CONTENT=find]")));
}

// Large pictures take ticks to decode: whatever the transition, the picture
// on air stays until the next one is ready, so no frame of the output is
// ever see-through.
TEST(SlideshowEndToEnd, SwitchesNeverShowAnEmptyFrame)
{
    // Per switch, and the frames between switches; the mixed row takes a
    // kept transition over again, the quick row switches during a fade.
    const std::vector<std::pair<std::vector<const char *>, int>> rows{
        {{"cut", "cut", "cut"}, 45}, {{"fade", "fade", "fade"}, 45}, {{"cut", "fade", "cut", "fade"}, 45},
        {{"fade", "fade", "fade"}, 10}};
    for (const auto &[transitions, gap] : rows) {
        const char *transition = transitions.front();
        QTemporaryDir dir;
        ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("out")));
        for (const auto &[name, color] : {std::pair{"red.png", Qt::red}, std::pair{"green.png", Qt::green}}) {
            QImage picture(4000, 3000, QImage::Format_RGB32);
            picture.fill(color);
            ASSERT_TRUE(picture.save(dir.filePath(QStringLiteral("out/") + QLatin1String(name))));
        }
        QJsonArray steps{QJsonObject{{"do", "create"}, {"name", "ss"}, {"type", "kp_image_source"},
                                     {"settings", QJsonObject{{"file", "red.png"}, {"transition", transition}}}},
                         // A render waits for the first picture (a loaded machine takes
                         // longer than a second to decode it), then it fades in.
                         QJsonObject{{"do", "render"}, {"name", "ss"}, {"out", "first.png"}},
                         QJsonObject{{"do", "frames"}, {"count", 60}}};
        int shots = 0;
        for (size_t n = 0; n < transitions.size(); ++n) {
            const char *file = n % 2 ? "red.png" : "green.png";
            steps.append(QJsonObject{{"do", "update"}, {"name", "ss"},
                                     {"settings", QJsonObject{{"file", file}, {"transition", transitions[n]}}}});
            for (int i = 0; i < 6; ++i)
                steps.append(QJsonObject{{"do", "render_output"}, {"out", QStringLiteral("%1.png").arg(shots++)}});
            steps.append(QJsonObject{{"do", "frames"}, {"count", gap}});
        }
        const QJsonObject script{{"canvas", QJsonArray{200, 100}}, {"steps", steps}};
        const KPHostRun run = playHostScriptText(dir.path(), QJsonDocument(script).toJson());
        ASSERT_EQ(run.exitCode, 0) << run.standardError.toStdString();
        for (int shot = 0; shot < shots; ++shot) {
            const QImage frame(dir.filePath(QStringLiteral("out/%1.png").arg(shot)));
            EXPECT_EQ(frame.pixelColor(100, 50).alpha(), 255) << transitions[size_t(shot / 6)] << " shot " << shot;
        }
    }
}
