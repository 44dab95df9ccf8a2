// What the "kp_rtc_output" output reads, inside real libobs: its settings,
// and the module's "Go live" and "Stop going live" hotkeys' live.json in the
// module's configuration folder (with the simulated engine, and the output's
// status procedure).
#include "kpobstestenvironment.h"
#include "kplogcapture.h"
#include "kprtcoutputsettings.h"
#include "rtcoutputsupport.h"

#include <QDir>
#include <QFile>
#include <QString>

#include <sys/stat.h>

#include <cstdlib>
#include <cstring>
#include <ostream>
#include <string>

#include <gtest/gtest.h>
#include <obs.hpp>

namespace {

auto *g_environment = ::testing::AddGlobalTestEnvironment(new KPObsTestEnvironment({true, true}));

constexpr int kOutcomeWaitMs = 60000;

struct SettingsCase
{
    const char *name;
    const char *json;
    int canvasWidth, canvasHeight;
    int width, height, fps, bitrateKbps;
    const char *codec;
};

void PrintTo(const SettingsCase &c, std::ostream *out)
{
    *out << c.name;
}

const SettingsCase kSettings[] = {
    {"DefaultsCapTheCanvasAt720p", "{}", 1920, 1080, 1280, 720, 30, 1500, "vp8"},
    {"SmallCanvasKeptWithBitrateBySize", "{}", 640, 360, 640, 360, 30, 375, "vp8"},
    {"TallCanvasFitsInside", R"({"codec":"h264"})", 1080, 1920, 404, 720, 30, 473, "h264"},
    {"ZerosTakeTheDefaults", R"({"width":0,"height":0,"fps":0,"bitrate_kbps":0})", 1280, 720, 1280, 720, 30, 1500,
     "vp8"},
    {"WrongTypesTakeTheDefaults",
     R"({"width":"wide","height":[1],"fps":true,"bitrate_kbps":{},"server":5,"codec":264})", 1280, 720, 1280, 720, 30,
     1500, "vp8"},
    {"AbsurdValuesAreClamped", R"({"width":100000,"height":-3,"fps":1000,"bitrate_kbps":1e12,"codec":"H.265"})", 1280,
     720, 4096, 16, 60, 20000, "vp8"},
    {"OddSizesAndFractionsRound", R"({"width":641.4,"height":361,"fps":29.97,"bitrate_kbps":10})", 1280, 720, 640, 360,
     30, 50, "vp8"},
    {"NoCanvasIsTakenForTheSmallest", "{}", 0, 0, 16, 16, 30, 50, "vp8"},
};

class RtcOutputSettingsTest : public ::testing::TestWithParam<SettingsCase>
{
};

TEST_P(RtcOutputSettingsTest, AreReadWithinBounds)
{
    const SettingsCase &c = GetParam();
    obs_data_t *data = obs_data_create_from_json(c.json);
    ASSERT_NE(data, nullptr);
    const KPRtcOutputSettings read = KPRtcOutputSettings::read(data, c.canvasWidth, c.canvasHeight);
    obs_data_release(data);
    EXPECT_EQ(read.width, c.width);
    EXPECT_EQ(read.height, c.height);
    EXPECT_EQ(read.fps, c.fps);
    EXPECT_EQ(read.bitrateKbps, c.bitrateKbps);
    EXPECT_EQ(read.codec, QLatin1String(c.codec));
    EXPECT_EQ(read.server, QStringLiteral("http://127.0.0.1:8088/janus"));
}

INSTANTIATE_TEST_SUITE_P(Table, RtcOutputSettingsTest, ::testing::ValuesIn(kSettings),
                         [](const auto &info) { return std::string(info.param.name); });

// The module's hotkeys, fired as a host does for a bound key.
void fireHotkey(const char *name)
{
    struct Search
    {
        const char *name;
        obs_hotkey_id id = OBS_INVALID_HOTKEY_ID;
        std::string description;
    } search{name, OBS_INVALID_HOTKEY_ID, {}};
    obs_enum_hotkeys(
        [](void *data, obs_hotkey_id id, obs_hotkey_t *hotkey) {
            auto *search = static_cast<Search *>(data);
            if (std::strcmp(obs_hotkey_get_name(hotkey), search->name) == 0) {
                search->id = id;
                search->description = obs_hotkey_get_description(hotkey);
            }
            return true;
        },
        &search);
    ASSERT_NE(search.id, OBS_INVALID_HOTKEY_ID) << name;
    EXPECT_TRUE(search.description == "Go live" || search.description == "Stop going live") << search.description;
    obs_key_combination_t key = {0, OBS_KEY_F11};
    obs_hotkey_load_bindings(search.id, &key, 1);
    obs_hotkey_inject_event(key, true);
    obs_hotkey_inject_event(key, false);
    obs_hotkey_load_bindings(search.id, nullptr, 0);
}

obs_output_t *hotkeyOutput()
{
    return obs_get_output_by_name("kp live");
}

// What the output's status procedure answers, as a host's status line asks.
std::string stateOf(obs_output_t *output)
{
    calldata_t data = {};
    proc_handler_call(obs_output_get_proc_handler(output), "kp_rtc_status", &data);
    const char *state = calldata_string(&data, "state");
    std::string answer = state ? state : "";
    calldata_free(&data);
    return answer;
}

// "Go live" reads live.json from the module's configuration folder each time;
// a file that is missing, too large, not JSON or without a channel starts
// nothing, with a log line.
TEST(LiveHotkeys, GoLiveWithTheSettingsFileAndNothingElse)
{
    setenv("VENDOR_RTC_ENGINE", "sim", 1);
    const QString folder = KPObsTestEnvironment::moduleConfigPath() + QStringLiteral("/kp-source");
    const QString path = folder + QStringLiteral("/live.json");
    ASSERT_TRUE(QDir().mkpath(folder));
    enum Kind { None, Folder, Fifo, File };
    const struct
    {
        const char *name;
        Kind kind;
        QByteArray contents;
        const char *logged;
    } cases[] = {
        {"missing", None, {}, "is not a readable file"},
        {"a folder", Folder, {}, "is not a readable file"},
        {"a FIFO without a writer", Fifo, {}, "is not a readable file"},
        {"too large", File, QByteArray(100 * 1024, ' '), "is not a readable file"},
        {"empty", File, {}, "holds no JSON object"},
        {"not JSON", File, "channel=lesson", "holds no JSON object"},
        {"an array", File, "[1, 2]", "holds no JSON object"},
        {"no channel", File, R"({"channel": 5, "server": "http://127.0.0.1:9/janus"})",
         "hotkeys: cannot go live: no channel is set"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        QDir(path).removeRecursively();
        QFile::remove(path);
        if (c.kind == Folder) {
            ASSERT_TRUE(QDir().mkpath(path));
        }
        if (c.kind == Fifo) {
            ASSERT_EQ(mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        }
        if (c.kind == File) {
            QFile file(path);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(c.contents);
        }
        KPLogCapture log;
        fireHotkey("kp_go_live");
        EXPECT_EQ(log.lines().filter(QLatin1String(c.logged)).size(), 1) << log.lines().join('\n').toStdString();
        OBSOutputAutoRelease output = hotkeyOutput();
        EXPECT_TRUE(!output || !obs_output_active(output));
    }

    QDir(path).removeRecursively();
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(R"({"server": "http://127.0.0.1:9/janus", "channel": "hotkeys", "width": 320, "height": 180})");
    file.close();
    KPLogCapture log;
    fireHotkey("kp_go_live");
    OBSOutputAutoRelease output = hotkeyOutput();
    ASSERT_NE(output, nullptr);
    EXPECT_TRUE(TestOutput::waitFor([&] { return stateOf(output) == "live"; }, kOutcomeWaitMs)) << stateOf(output);
    fireHotkey("kp_go_live");
    EXPECT_EQ(log.lines().filter(QStringLiteral("already live")).size(), 1);
    fireHotkey("kp_stop_going_live");
    EXPECT_TRUE(TestOutput::waitFor([&] { return !obs_output_active(output); }, kOutcomeWaitMs));
    EXPECT_EQ(stateOf(output), "stopped");
    fireHotkey("kp_stop_going_live");
    EXPECT_EQ(log.lines().filter(QStringLiteral("not live;")).size(), 1);
}

} // namespace
