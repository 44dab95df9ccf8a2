// kp-host played as a user plays it: a script file in, exit status and files out.

#include "kphostplay.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QSet>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

int distinctColours(const QImage &image)
{
    QSet<QRgb> colours;
    for (int y = 0; y < image.height(); y += 2) {
        for (int x = 0; x < image.width(); x += 2)
            colours.insert(image.pixel(x, y));
    }
    return colours.size();
}

} // namespace

TEST(Player, ScriptRunsAndShutsDownWithoutLeaksLoggingEachLineOnce)
{
    QTemporaryDir dir;
    const KPHostRun run = playHostScriptText(dir.path(), R"({"canvas": [320, 240], "steps": [
        {"do": "create", "name": "wb", "type": "kp_source_whiteboard"},
        {"do": "frames", "count": 2}, {"do": "clipboard", "text": "x"}]})");
    EXPECT_EQ(run.exitCode, 0) << run.standardError.toStdString();
    EXPECT_TRUE(run.log.contains(QStringLiteral("Loading module: kp-source.so")));
    EXPECT_TRUE(run.log.contains(QStringLiteral("Number of memory leaks: 0"))) << run.log.toStdString();
    // The plug-in's lines reach the host through libobs and through Qt.
    for (const char *function : {"[FUN=void* kp_source_whiteboard_create(", "[FUN=void kp_source_whiteboard_destroy("})
        EXPECT_EQ(run.log.count(QLatin1String(function)), 1) << function;
}

// libobs destroys released sources on a thread of its own: shutting down
// while it still works through hundreds of them freed their hotkeys twice.
TEST(Player, HundredsOfSourcesShutDownCleanly)
{
    QByteArray steps;
    for (int i = 0; i < 300; ++i)
        steps += QByteArray(i ? "," : "") + R"({"do": "create", "name": "wb)" + QByteArray::number(i) +
                 R"(", "type": "kp_source_whiteboard"})";
    QTemporaryDir dir;
    const KPHostRun run = playHostScriptText(dir.path(), R"({"canvas": [1280, 720], "steps": [)" + steps + "]}");
    EXPECT_EQ(run.exitCode, 0) << run.standardError.toStdString();
    EXPECT_EQ(run.log.count(QStringLiteral("kp_source_whiteboard_destroy(")), 300);
    EXPECT_TRUE(run.log.contains(QStringLiteral("Number of memory leaks: 0")));
}

// Live into a simulated channel, stopped, and live again when the script
// ends: the host leaves the channel and exits cleanly.
TEST(Player, OutputsStopAndShutDownWhileLive)
{
    qputenv("VENDOR_RTC_ENGINE", "sim");
    QTemporaryDir dir;
    const KPHostRun run = playHostScriptText(dir.path(), R"({"canvas": [320, 240], "steps": [
        {"do": "create", "name": "wb", "type": "kp_source_whiteboard"},
        {"do": "start_output", "name": "live", "type": "kp_rtc_output", "settings": {"channel": "c"}},
        {"do": "frames", "count": 5}, {"do": "stop_output", "name": "live"}, {"do": "stop_output", "name": "live"},
        {"do": "start_output", "name": "live", "type": "kp_rtc_output", "settings": {"channel": "c"}}]})");
    qunsetenv("VENDOR_RTC_ENGINE");
    EXPECT_EQ(run.exitCode, 0) << run.standardError.toStdString();
    EXPECT_EQ(run.log.count(QStringLiteral("kp_rtc_output: stops going live.")), 2) << run.log.toStdString();
    EXPECT_TRUE(run.log.contains(QStringLiteral("Number of memory leaks: 0")));
}

TEST(Player, FaultyStepsFailWithTheirIndexAndReason)
{
    const QList<QPair<QByteArray, QString>> cases = {
        {R"({"steps": [{"do": "frames", "count": 1}, {"do": "dance"}]})", "step 1 (dance): unknown step"},
        {R"({"steps": [{"do": "mouse", "name": "wb", "action": "down", "y": 2}]})",
         "step 0 (mouse): missing field \"x\""},
        {R"({"steps": [{"do": "frames", "count": "two"}]})", "step 0 (frames): field \"count\" must be an integer"},
        {R"({"steps": [{"do": "frames", "count": 1}, {"do": "render", "name": "nobody", "out": "a.png"}]})",
         "step 1 (render): unknown source name \"nobody\""},
        {R"({"steps": [{"do": "create", "name": "a", "type": "no_such_type"}]})",
         "step 0 (create): unknown source type \"no_such_type\""},
        {R"({"steps": [{"do": "load", "name": "a", "type": "x", "from": "missing.json"}]})",
         "step 0 (load): cannot read missing.json"},
        // Input that libobs would drop silently.
        {R"({"steps": [{"do": "create", "name": "wb", "type": "kp_source_whiteboard"},
             {"do": "update", "name": "wb", "settings": {"kp_wb_width": 18446744073709551615}}]})",
         "step 1 (update): libobs cannot read the settings"},
        {R"({"steps": [{"do": "create", "name": "wb", "type": "kp_source_whiteboard"},
             {"do": "mouse", "name": "wb", "action": "down", "x": 4294967296, "y": 2}]})",
         "step 1 (mouse): field \"x\" must be from -2147483648 to 2147483647"},
        {R"({"steps": [{"do": "load", "name": "a", "type": "kp_source_whiteboard", "from": "array.json"}]})",
         "step 0 (load): array.json is not a settings record"},
        {R"({"steps": [{"do": "create", "name": "wb", "type": "kp_source_whiteboard"},
             {"do": "button", "name": "wb", "property": "kp_wb_width"}]})",
         "step 1 (button): the source has no button \"kp_wb_width\""},
        {R"({"steps": [{"do": "load_scene", "from": "array.json"}]})", "step 0 (load_scene): array.json is not a scene file"},
        {R"({"steps": [{"do": "load_scene", "from": "unknown.json"}]})",
         "step 0 (load_scene): source \"x\" has the unknown type \"no_such_type\""},
        {R"({"steps": [{"do": "stop_output", "name": "live"}]})", "step 0 (stop_output): unknown output name \"live\""},
        {R"({"steps": [{"do": "start_output", "name": "live", "type": "no_such_output"}]})",
         "step 0 (start_output): libobs could not create an output of type \"no_such_output\""},
        {R"({"steps": [{"do": "start_output", "name": "live", "type": "kp_rtc_output", "settings": {"channel": 5}}]})",
         "step 0 (start_output): output \"live\" did not start: no channel is set"},
    };
    for (const auto &entry : cases) {
        QTemporaryDir dir;
        QDir(dir.path()).mkpath(QStringLiteral("out"));
        QFile array(dir.filePath(QStringLiteral("out/array.json")));
        ASSERT_TRUE(array.open(QIODevice::WriteOnly));
        array.write(R"([{"kp_wb_data": {"kp_wb_data_datas": []}}])");
        array.close();
        QFile unknown(dir.filePath(QStringLiteral("out/unknown.json")));
        ASSERT_TRUE(unknown.open(QIODevice::WriteOnly));
        unknown.write(R"({"kp_scene": 1, "sources": [{"source": {"id": "no_such_type", "name": "x"}}]})");
        unknown.close();
        const KPHostRun run = playHostScriptText(dir.path(), entry.first);
        EXPECT_NE(run.exitCode, 0) << entry.first.constData();
        const QStringList lines = run.standardError.split('\n', Qt::SkipEmptyParts);
        ASSERT_FALSE(lines.isEmpty()) << entry.first.constData();
        EXPECT_TRUE(lines.last().contains(entry.second)) << lines.last().toStdString();
    }
}

TEST(Player, DemoDrawsSavesAndReloadsTheSamePicture)
{
    QTemporaryDir dir;
    const KPHostRun run = playHostScript(QStringLiteral(KP_EXAMPLES_DIR "/demo.json"), dir.filePath(QStringLiteral("out")));
    ASSERT_EQ(run.exitCode, 0) << run.standardError.toStdString();

    const QImage drawn(dir.filePath(QStringLiteral("out/demo.png")));
    const QImage reloaded(dir.filePath(QStringLiteral("out/demo-reloaded.png")));
    ASSERT_FALSE(drawn.isNull());
    EXPECT_EQ(drawn.size(), QSize(800, 500));
    EXPECT_GT(distinctColours(drawn), 8);
    EXPECT_EQ(drawn, reloaded);
    // Undo removed the last stroke, redo brought it back.
    EXPECT_NE(QImage(dir.filePath(QStringLiteral("out/demo-after-undo.png"))), drawn);

    QFile saved(dir.filePath(QStringLiteral("out/demo-saved.json")));
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    const QJsonObject settings = QJsonDocument::fromJson(saved.readAll()).object();
    const QJsonArray records =
        settings.value("kp_wb_data").toObject().value("kp_wb_data_datas").toArray();
    EXPECT_GE(records.size(), 8);
}
