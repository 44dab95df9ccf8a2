// A scene saved by one kp-host and opened by another: three sources with
// drawings, one of them hidden, in their order, rendered the same.

#include "kphostplay.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

const char kBuild[] = R"({"canvas": [400, 200], "steps": [
    {"do": "create", "name": "board", "type": "kp_source_whiteboard", "settings": {"kp_wb_width": 400,
     "kp_wb_height": 200, "kp_wb_background": 4294963200}},
    {"do": "create", "name": "hidden", "type": "kp_single_image_source", "settings": {"file": "green.png"}},
    {"do": "create", "name": "slides", "type": "kp_image_source", "settings": {"file": "red.png"}},
    {"do": "frames", "count": 5},
    {"do": "update", "name": "board", "settings": {"kp_wb_draw_type": 5, "kp_wb_draw_color": 4278190335, "kp_wb_draw_size": 5}},
    {"do": "update", "name": "slides", "settings": {"file": "red.png", "kp_wb_draw_type": 1, "kp_wb_draw_color": 4278190080, "kp_wb_draw_size": 4}},
    {"do": "update", "name": "hidden", "settings": {"kp_wb_draw_type": 1, "kp_wb_draw_size": 4}},
    {"do": "frames", "count": 3},
    {"do": "mouse", "name": "board", "action": "down", "x": 150, "y": 40},
    {"do": "mouse", "name": "board", "action": "move", "x": 250, "y": 120},
    {"do": "mouse", "name": "board", "action": "up", "x": 380, "y": 190},
    {"do": "mouse", "name": "slides", "action": "down", "x": 20, "y": 20},
    {"do": "mouse", "name": "slides", "action": "up", "x": 120, "y": 80},
    {"do": "mouse", "name": "hidden", "action": "down", "x": 5, "y": 5},
    {"do": "mouse", "name": "hidden", "action": "up", "x": 30, "y": 25},
    {"do": "hide", "name": "hidden"},
    {"do": "render", "name": "slides", "out": "decoded.png"},
    {"do": "render_output", "out": "before.png"},
    {"do": "save_scene", "out": "scene.json"}]})";

// The render steps of "slides" wait until its picture is decoded and on air.
const char kReopen[] = R"({"canvas": [400, 200], "steps": [
    {"do": "load_scene", "from": "scene.json"},
    {"do": "frames", "count": 5},
    {"do": "render", "name": "slides", "out": "decoded.png"},
    {"do": "render_output", "out": "after.png"},
    {"do": "save_scene", "out": "again.json"}]})";

void writePicture(const QString &path, QColor colour)
{
    QImage picture(200, 100, QImage::Format_RGBA8888);
    picture.fill(colour);
    ASSERT_TRUE(picture.save(path));
}

// The plug-in's defaults reset the drawing tool of every source libobs
// creates, so a loaded source has the default tool: everything else must
// come back as it was saved.
QJsonObject withoutTool(QJsonObject settings)
{
    for (const char *key : {"kp_wb_draw_type", "kp_wb_draw_color", "kp_wb_draw_size"})
        settings.remove(QLatin1String(key));
    return settings;
}

QJsonArray sourcesIn(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly)
               ? QJsonDocument::fromJson(file.readAll()).object().value("sources").toArray()
               : QJsonArray();
}

} // namespace

TEST(Scene, SavedSceneOpensInAFreshHostWithItsOrderVisibilityAndDrawings)
{
    QTemporaryDir dir;
    const QDir out(dir.filePath(QStringLiteral("out")));
    ASSERT_TRUE(out.mkpath(QStringLiteral(".")));
    writePicture(out.filePath(QStringLiteral("red.png")), Qt::red);
    writePicture(out.filePath(QStringLiteral("green.png")), Qt::green);
    const KPHostRun built = playHostScriptText(dir.path(), kBuild);
    ASSERT_EQ(built.exitCode, 0) << built.standardError.toStdString();
    const KPHostRun reopened = playHostScriptText(dir.path(), kReopen);
    ASSERT_EQ(reopened.exitCode, 0) << reopened.standardError.toStdString();

    const QImage before(out.filePath(QStringLiteral("before.png")));
    ASSERT_FALSE(before.isNull());
    EXPECT_EQ(QImage(out.filePath(QStringLiteral("after.png"))), before);
    // Saved again unchanged: nothing was loaded twice, nothing lost its place.
    const QJsonArray first = sourcesIn(out.filePath(QStringLiteral("scene.json")));
    const QJsonArray again = sourcesIn(out.filePath(QStringLiteral("again.json")));
    ASSERT_EQ(first.size(), 3);
    QStringList order;
    for (int i = 0; i < first.size(); ++i) {
        const QJsonObject a = first[i].toObject();
        const QJsonObject b = again[i].toObject();
        order << a["source"].toObject()["name"].toString();
        EXPECT_EQ(a["visible"], b["visible"]);
        EXPECT_EQ(withoutTool(a["source"].toObject()["settings"].toObject()),
                  withoutTool(b["source"].toObject()["settings"].toObject()))
            << order.last().toStdString();
    }
    EXPECT_EQ(order, QStringList({"board", "hidden", "slides"}));
    EXPECT_FALSE(first[1].toObject()["visible"].toBool());
}

// Hostile scene files open nothing: each fails with its reason before the
// plug-in is asked to create a single source, and the host exits cleanly.
TEST(Scene, HostileSceneFilesCreateNothing)
{
    const auto scene = [](const QByteArray &sources) {
        return QByteArray(R"({"kp_scene": 1, "canvas": [320, 240], "sources": [)") + sources + "]}";
    };
    const auto board = [](const QByteArray &name, const QByteArray &extra = QByteArray()) {
        return R"({"source": {"id": "kp_source_whiteboard", "name": ")" + name + "\"" + extra + "}}";
    };
    QByteArray many;
    for (int i = 0; i <= 256; ++i)
        many += (i ? "," : "") + board("b" + QByteArray::number(i));
    const QList<QPair<QByteArray, QString>> cases = {
        {scene(board("a", R"(, "versioned_id": "scene")")), "source \"a\" has the unknown type \"scene\""},
        {scene(board("a", R"(, "versioned_id": 7)")), "source \"a\" has no type in \"versioned_id\""},
        {scene(R"({"source": {"id": "scene", "name": "a"}})"), "source \"a\" has the unknown type \"scene\""},
        // A room does not make a scene: its sources fail it all the same.
        {R"({"kp_scene": 1, "live": {"channel": "lesson"}, "sources": [{"source": {"id": "scene", "name": "a"}}]})",
         "source \"a\" has the unknown type \"scene\""},
        {scene(board("a", R"(, "filters": [{"id": "kp_image_source", "name": "f"}])")),
         "source \"a\" has a filter that has the unknown type \"kp_image_source\""},
        // A scene filter holding the source itself.
        {scene(board("a", R"(, "filters": [{"id": "scene", "name": "f", "settings": {"items": [{"name": "a"}]}}])")),
         "source \"a\" has a filter that has the unknown type \"scene\""},
        {scene(board("a", R"(, "filters": {"id": "scene"})")), "source \"a\" has filters that are not a list"},
        {scene(board("a", R"(, "filters": [3])")), "source \"a\" has a filter that is not a record"},
        // The first source is fine: it must not be created either.
        {scene(board("a") + "," + board("b\\u0000c")), "libobs cannot read source 2 of 2"},
        {scene(many), "more than 256 sources"},
        {"fifo", "cannot read fifo: not a regular file"},
        {"/dev/zero", "cannot read /dev/zero: not a regular file"},
    };
    for (const auto &entry : cases) {
        QTemporaryDir dir;
        const QDir out(dir.filePath(QStringLiteral("out")));
        ASSERT_TRUE(out.mkpath(QStringLiteral(".")));
        ASSERT_EQ(mkfifo(QFile::encodeName(out.filePath(QStringLiteral("fifo"))).constData(), 0600), 0);
        QByteArray from = entry.first;
        if (from.startsWith('{')) {
            QFile file(out.filePath(QStringLiteral("scene.json")));
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(entry.first);
            from = "scene.json";
        }
        const KPHostRun run = playHostScriptText(
            dir.path(), R"({"canvas": [320, 240], "steps": [{"do": "load_scene", "from": ")" + from + "\"}]}");
        const QString what = entry.second;
        EXPECT_EQ(run.exitCode, 1) << what.toStdString();
        EXPECT_TRUE(run.standardError.contains(what)) << run.standardError.toStdString();
        EXPECT_FALSE(run.log.contains(QStringLiteral("kp_source_whiteboard_create("))) << what.toStdString();
        EXPECT_TRUE(run.log.contains(QStringLiteral("Number of memory leaks: 0"))) << what.toStdString();
    }
}
