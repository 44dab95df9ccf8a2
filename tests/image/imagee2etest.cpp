// Image sources played through kp-host as a presenter uses them: a drawing
// over a picture, a page switch and back, hide and show, hidden handwriting,
// and a pen stroke undone and redone on a single image.

#include "kphostplay.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QJsonDocument>
#include <QJsonArray>
#include <QJsonObject>
#include <QMap>
#include <QPoint>
#include <QTemporaryDir>

#include <tuple>

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

namespace {

QJsonObject step(const char *action, const QString &name, QJsonObject fields = {})
{
    fields.insert(QStringLiteral("do"), QLatin1String(action));
    if (!name.isEmpty())
        fields.insert(QStringLiteral("name"), name);
    return fields;
}

QJsonObject update(const QString &name, const QJsonObject &settings)
{
    return step("update", name, {{QStringLiteral("settings"), settings}});
}

QJsonObject render(const QString &name, const QString &out)
{
    return step("render", name, {{QStringLiteral("out"), out}});
}

// A drag with a tool in red: a shape, or a stroke through the middle point.
QJsonArray draw(const QString &name, int tool, QPoint from, QPoint to)
{
    QJsonArray steps{update(name, {{"kp_wb_draw_type", tool}, {"kp_wb_draw_color", 4278190335LL}, {"kp_wb_draw_size", 4}})};
    const QPoint middle = (from + to) / 2 + QPoint(0, 15);
    for (const auto &[action, at] : {std::pair{"down", from}, {"move", middle}, {"move", to}, {"up", to}})
        steps.append(step("mouse", name, {{"action", action}, {"x", at.x()}, {"y", at.y()}}));
    return steps;
}

QJsonArray showSlide(const QString &name, const char *file)
{
    return {update(name, {{"file", file}}), step("frames", {}, {{"count", 10}})};
}

QByteArray script(const QJsonArray &steps)
{
    QJsonArray flat;
    for (const QJsonValue &value : steps) {
        if (value.isArray()) {
            for (const QJsonValue &inner : value.toArray())
                flat.append(inner);
        } else {
            flat.append(value);
        }
    }
    return QJsonDocument(QJsonObject{{"canvas", QJsonArray{640, 360}}, {"steps", flat}}).toJson();
}

// Each source's saved drawings, by source name and picture file.
QMap<QString, QJsonObject> savedBoards(const QString &scenePath)
{
    QFile file(scenePath);
    QMap<QString, QJsonObject> boards;
    if (!file.open(QIODevice::ReadOnly))
        return boards;
    for (const QJsonValue &entry : QJsonDocument::fromJson(file.readAll())["sources"].toArray()) {
        const QJsonObject source = entry["source"].toObject();
        for (const QJsonValue &record : source["settings"]["kp_picture_boards"].toArray())
            boards.insert(source["name"].toString() + " " + record["file"].toString(), record.toObject());
    }
    return boards;
}

// The scene as it was saved before pictures kept drawings: the same sources,
// renamed, without the key.
bool writeOldScene(const QString &from, const QString &to)
{
    QFile in(from);
    QFile out(to);
    if (!in.open(QIODevice::ReadOnly) || !out.open(QIODevice::WriteOnly))
        return false;
    QJsonObject root = QJsonDocument::fromJson(in.readAll()).object();
    QJsonArray sources;
    for (const QJsonValue &value : root["sources"].toArray()) {
        QJsonObject entry = value.toObject();
        QJsonObject source = entry["source"].toObject();
        QJsonObject settings = source["settings"].toObject();
        settings.remove("kp_picture_boards");
        source["settings"] = settings;
        source["name"] = "old-" + source["name"].toString();
        entry["source"] = source;
        sources.append(entry);
    }
    root["sources"] = sources;
    return out.write(QJsonDocument(root).toJson()) > 0;
}

} // namespace

TEST(ImageSourceEndToEnd, DrawingsOnEveryPictureComeBackWithTheScene)
{
    QTemporaryDir dir;
    const QDir out(dir.filePath(QStringLiteral("out")));
    ASSERT_TRUE(dir.isValid() && QDir().mkpath(out.path()));
    const struct
    {
        const char *file;
        Qt::GlobalColor colour;
    } pictures[] = {{"a.png", Qt::blue},  {"b.png", Qt::green}, {"c.png", Qt::white},
                    {"s1.png", Qt::cyan}, {"s2.png", Qt::gray}, {"s3.png", Qt::yellow}};
    for (const auto &picture : pictures) {
        QImage image(200, 100, QImage::Format_RGB32);
        image.fill(picture.colour);
        ASSERT_TRUE(image.save(out.filePath(QLatin1String(picture.file))));
    }
    const KPHostRun drawn = playHostScriptText(dir.path(), script({
        step("create", "pages", {{"type", "obsolete_image_module"}, {"settings", QJsonObject{{"file", "a.png"}}}}),
        draw("pages", 1, {20, 20}, {120, 80}), render("pages", "pages-a.png"),
        update("pages", {{"file", "b.png"}}), draw("pages", 5, {40, 10}, {180, 90}), render("pages", "pages-b.png"),
        step("create", "single", {{"type", "kp_single_image_source"}, {"settings", QJsonObject{{"file", "c.png"}}}}),
        draw("single", 6, {10, 50}, {190, 40}), render("single", "single.png"),
        step("create", "ss", {{"type", "kp_image_source"}, {"settings", QJsonObject{{"file", "s1.png"}}}}),
        step("frames", {}, {{"count", 10}}), render("ss", "ss-0.png"), draw("ss", 3, {10, 10}, {150, 90}), render("ss", "ss-1.png"),
        showSlide("ss", "s2.png"), draw("ss", 4, {190, 10}, {20, 80}), render("ss", "ss-2.png"),
        showSlide("ss", "s3.png"), draw("ss", 1, {60, 30}, {140, 70}), render("ss", "ss-3.png"),
        step("save_scene", {}, {{"out", "scene.json"}})}));
    ASSERT_EQ(drawn.exitCode, 0) << drawn.standardError.toStdString();
    ASSERT_TRUE(writeOldScene(out.filePath("scene.json"), out.filePath("old.json")));
    const QMap<QString, QJsonObject> saved = savedBoards(out.filePath("scene.json"));
    EXPECT_EQ(saved.keys(), QStringList({"pages a.png", "pages b.png", "single c.png", "ss s1.png", "ss s2.png",
                                         "ss s3.png"}));

    // A fresh libobs: the drawings, pixel for pixel; the old scene, the pictures alone.
    const KPHostRun reopened = playHostScriptText(dir.path(), script({
        step("load_scene", {}, {{"from", "scene.json"}}), step("load_scene", {}, {{"from", "old.json"}}),
        step("frames", {}, {{"count", 10}}), render("pages", "again-pages-b.png"),
        update("pages", {{"file", "a.png"}}), render("pages", "again-pages-a.png"),
        render("single", "again-single.png"), render("ss", "again-ss-3.png"),
        showSlide("ss", "s1.png"), render("ss", "again-ss-1.png"),
        showSlide("ss", "s2.png"), render("ss", "again-ss-2.png"),
        render("old-pages", "old-b.png"), render("old-single", "old-c.png"), render("old-ss", "old-s3.png"),
        step("save_scene", {}, {{"out", "old-saved.json"}})}));
    ASSERT_EQ(reopened.exitCode, 0) << reopened.standardError.toStdString();
    const auto shot = [&out](const QString &name) { return QImage(out.filePath(name)); };
    for (const char *name : {"pages-a.png", "pages-b.png", "single.png", "ss-1.png", "ss-2.png", "ss-3.png"}) {
        ASSERT_EQ(shot(name).size(), QSize(200, 100)) << name;
        EXPECT_EQ(shot(QStringLiteral("again-") + name), shot(name)) << name;
    }
    // The first stroke reached the slideshow's first picture.
    EXPECT_NE(shot("ss-1.png"), shot("ss-0.png"));
    // The old scene shows each picture as its file holds it, with no drawing.
    for (const auto &[old, file, drawing] : {std::tuple{"old-b.png", "b.png", "pages-b.png"},
                                             {"old-c.png", "c.png", "single.png"}, {"old-s3.png", "s3.png", "ss-3.png"}}) {
        EXPECT_EQ(shot(old), shot(file).convertToFormat(shot(old).format())) << file;
        EXPECT_NE(shot(old), shot(drawing)) << file;
    }
    EXPECT_EQ(savedBoards(out.filePath("old-saved.json")).size(), saved.size());

    // Pictures missing at load keep their drawings through a save, and show
    // them once they are back.
    ASSERT_TRUE(QFile::rename(out.filePath("b.png"), out.filePath("b.keep")) &&
                QFile::rename(out.filePath("s2.png"), out.filePath("s2.keep")));
    const KPHostRun missing = playHostScriptText(dir.path(), script({
        step("load_scene", {}, {{"from", "scene.json"}}), step("frames", {}, {{"count", 10}}),
        step("save_scene", {}, {{"out", "missing.json"}}),
        step("copy", {}, {{"from", "b.keep"}, {"to", "b.png"}}), step("copy", {}, {{"from", "s2.keep"}, {"to", "s2.png"}}),
        update("pages", {{"file", "b.png"}}), render("pages", "back-pages-b.png"),
        showSlide("ss", "s2.png"), render("ss", "back-ss-2.png")}));
    ASSERT_EQ(missing.exitCode, 0) << missing.standardError.toStdString();
    EXPECT_EQ(savedBoards(out.filePath("missing.json")), saved);
    EXPECT_EQ(shot("back-pages-b.png"), shot("pages-b.png"));
    EXPECT_EQ(shot("back-ss-2.png"), shot("ss-2.png"));
}
