// Image sources played through kp-host as a presenter uses them: a drawing
// over a picture, a page switch and back, hide and show, hidden handwriting,
// and a pen stroke undone and redone on a single image.

#include "kphostplay.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

const char Script[] = R"({
  "canvas": [640, 360],
  "steps": [
    {"do": "create", "name": "img", "type": "obsolete_image_module", "settings": {"file": "a.png"}},
    {"do": "update", "name": "img", "settings": {"file": "a.png", "kp_wb_draw_type": 1,
     "kp_wb_draw_color": 4278190335, "kp_wb_draw_size": 3}},
    {"do": "mouse", "name": "img", "action": "down", "x": 20, "y": 20},
    {"do": "mouse", "name": "img", "action": "move", "x": 70, "y": 50},
    {"do": "mouse", "name": "img", "action": "up", "x": 120, "y": 80},
    {"do": "render", "name": "img", "out": "drawn.png"},
    {"do": "update", "name": "img", "settings": {"file": "b.png"}},
    {"do": "render", "name": "img", "out": "other.png"},
    {"do": "update", "name": "img", "settings": {"file": "a.png"}},
    {"do": "render", "name": "img", "out": "back.png"},
    {"do": "hide", "name": "img"},
    {"do": "frames", "count": 3},
    {"do": "show", "name": "img"},
    {"do": "render", "name": "img", "out": "reshown.png"},
    {"do": "update", "name": "img", "settings": {"file": "a.png", "kp_wb_hideHandwriting": true}},
    {"do": "render", "name": "img", "out": "no-ink.png"},
    {"do": "create", "name": "single", "type": "kp_single_image_source",
     "settings": {"file": "b.png"}},
    {"do": "update", "name": "single", "settings": {"file": "b.png", "kp_wb_draw_type": 6,
     "kp_wb_draw_color": 4278190335, "kp_wb_draw_size": 6}},
    {"do": "tablet", "name": "single", "action": "press", "x": 20, "y": 50, "pressure": 0.8, "buttons": 1},
    {"do": "tablet", "name": "single", "action": "move", "x": 100, "y": 50, "pressure": 0.8, "buttons": 1},
    {"do": "tablet", "name": "single", "action": "move", "x": 180, "y": 50, "pressure": 0.8, "buttons": 1},
    {"do": "tablet", "name": "single", "action": "release", "x": 180, "y": 50, "pressure": 0.0},
    {"do": "render", "name": "single", "out": "pen.png"},
    {"do": "command", "name": "single", "number": 1},
    {"do": "render", "name": "single", "out": "pen-undone.png"},
    {"do": "command", "name": "single", "number": 2},
    {"do": "render", "name": "single", "out": "pen-redone.png"},
    {"do": "update", "name": "single", "settings": {"file": "broken.gif"}},
    {"do": "render", "name": "single", "out": "broken.png"},
    {"do": "stats", "out": "stats.json"}
  ]
})";

bool isRed(QColor c)
{
    return c.red() >= 100 && c.green() <= 100 && c.blue() <= 160;
}

} // namespace

TEST(ImageSourceEndToEnd, DrawingsStayWithTheirPictureAcrossSwitchesAndHiding)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QDir out(dir.filePath(QStringLiteral("out")));
    ASSERT_TRUE(QDir().mkpath(out.path()));
    QImage a(200, 100, QImage::Format_RGB32);
    a.fill(Qt::blue);
    QImage b(200, 100, QImage::Format_RGB32);
    b.fill(Qt::green);
    ASSERT_TRUE(a.save(out.filePath(QStringLiteral("a.png"))) && b.save(out.filePath(QStringLiteral("b.png"))));
    // A GIF whose header reads but whose frames do not.
    QFile broken(out.filePath(QStringLiteral("broken.gif")));
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
    broken.write(QByteArray("GIF89a\x0a\x00\x0a\x00\x91\x00\x00", 13) + QByteArray(12, '\0') + "garbage");
    broken.close();

    const KPHostRun run = playHostScriptText(dir.path(), Script);
    ASSERT_EQ(run.exitCode, 0) << run.standardError.toStdString();
    const auto frame = [&out](const char *name) { return QImage(out.filePath(QString::fromLatin1(name))); };

    const QImage drawn = frame("drawn.png");
    ASSERT_EQ(drawn.size(), QSize(200, 100));
    EXPECT_TRUE(isRed(drawn.pixelColor(20, 50)));
    EXPECT_TRUE(isRed(drawn.pixelColor(70, 20)));
    EXPECT_EQ(drawn.pixelColor(70, 50), QColor(Qt::blue));
    EXPECT_EQ(drawn.pixelColor(180, 90), QColor(Qt::blue));
    EXPECT_EQ(frame("other.png").pixelColor(20, 50), QColor(Qt::green));
    EXPECT_EQ(frame("back.png"), drawn);
    EXPECT_EQ(frame("reshown.png"), drawn);
    EXPECT_EQ(frame("no-ink.png").pixelColor(20, 50), QColor(Qt::blue));

    const QImage pen = frame("pen.png");
    EXPECT_TRUE(isRed(pen.pixelColor(100, 50)));
    EXPECT_EQ(frame("pen-undone.png").pixelColor(100, 50), QColor(Qt::green));
    EXPECT_EQ(frame("pen-redone.png"), pen);
    EXPECT_EQ(frame("broken.png").size(), QSize(1, 1));
    EXPECT_TRUE(run.log.contains(QStringLiteral("failed to load texture broken.gif")));
    EXPECT_TRUE(run.log.contains(QStringLiteral("Number of memory leaks: 0")));

    QFile stats(out.filePath(QStringLiteral("stats.json")));
    ASSERT_TRUE(stats.open(QIODevice::ReadOnly));
    const QJsonObject counts = QJsonDocument::fromJson(stats.readAll()).object();
    EXPECT_GT(counts.value(QStringLiteral("total_frames")).toInt(), 0);
    EXPECT_GE(counts.value(QStringLiteral("lagged_frames")).toInt(-1), 0);
}
