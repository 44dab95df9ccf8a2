// The "kp_rtc_output" output inside real libobs: how it reads its settings,
// and how it ends against a fake Janus server's hostile replies, a closed
// port and a server that goes away while it is live.
#include "fakejanusserver.h"
#include "kplogcapture.h"
#include "kpobstestenvironment.h"
#include "kprtcoutputsettings.h"
#include "rtcoutputsupport.h"

#include <QString>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>
#include <ostream>
#include <string>

#include <gtest/gtest.h>
#include <obs.hpp>

using Step = FakeJanusServer::Step;
using Reply = FakeJanusServer::Reply;

namespace {

auto *g_environment = ::testing::AddGlobalTestEnvironment(new KPObsTestEnvironment({true, true}));

// Five failed attempts, with their pauses, and a loaded machine.
constexpr int kOutcomeWaitMs = 60000;

struct SettingsCase
{
    const char *name;
    const char *json;
    int canvasWidth, canvasHeight;
    int width, height, fps, bitrateKbps;
};

void PrintTo(const SettingsCase &c, std::ostream *out)
{
    *out << c.name;
}

const SettingsCase kSettings[] = {
    {"DefaultsCapTheCanvasAt720p", "{}", 1920, 1080, 1280, 720, 30, 1500},
    {"SmallCanvasKeptWithBitrateBySize", "{}", 640, 360, 640, 360, 30, 375},
    {"TallCanvasFitsInside", "{}", 1080, 1920, 404, 720, 30, 473},
    {"ZerosTakeTheDefaults", R"({"width":0,"height":0,"fps":0,"bitrate_kbps":0})", 1280, 720, 1280, 720, 30, 1500},
    {"WrongTypesTakeTheDefaults", R"({"width":"wide","height":[1],"fps":true,"bitrate_kbps":{},"server":5})", 1280, 720,
     1280, 720, 30, 1500},
    {"AbsurdValuesAreClamped", R"({"width":100000,"height":-3,"fps":1000,"bitrate_kbps":1e12})", 1280, 720, 4096, 16, 60,
     20000},
    {"OddSizesAndFractionsRound", R"({"width":641.4,"height":361,"fps":29.97,"bitrate_kbps":10})", 1280, 720, 640, 360,
     30, 50},
    {"NoCanvasIsTakenForTheSmallest", "{}", 0, 0, 16, 16, 30, 50},
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
    EXPECT_EQ(read.server, QStringLiteral("http://127.0.0.1:8088/janus"));
}

INSTANTIATE_TEST_SUITE_P(Table, RtcOutputSettingsTest, ::testing::ValuesIn(kSettings),
                         [](const auto &info) { return std::string(info.param.name); });

// A port of 127.0.0.1 that nothing listens on.
int closedPort()
{
    const int probe = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(probe, reinterpret_cast<sockaddr *>(&address), sizeof(address));
    socklen_t length = sizeof(address);
    getsockname(probe, reinterpret_cast<sockaddr *>(&address), &length);
    close(probe);
    return ntohs(address.sin_port);
}

std::string settingsFor(const std::string &server, const char *channel = "hostile")
{
    return R"({"server":")" + server + R"(","channel":")" + channel + R"(","uid":77,"width":320,"height":180})";
}

class RtcOutputTest : public ::testing::Test
{
protected:
    void SetUp() override { setenv("VENDOR_RTC_ENGINE", "janus", 1); }
};

struct HostileCase
{
    const char *name;
    Step step;
    Reply reply;
    int code;
};

void PrintTo(const HostileCase &c, std::ostream *out)
{
    *out << c.name;
}

Reply body(const std::string &text)
{
    Reply reply;
    reply.body = text;
    return reply;
}

const HostileCase kHostile[] = {
    {"TokenRefused", Step::CreateSession,
     body(R"({"janus":"error","error":{"code":403,"reason":"Unauthorized request"}})"),
     OBS_OUTPUT_INVALID_STREAM},
    {"GarbageUntilTheEngineGivesUp", Step::CreateSession, body("<html>"), OBS_OUTPUT_CONNECT_FAILED},
    {"JoinRefused", Step::Join, body(R"({"janus":"error","error":{"code":457,"reason":"bad path"}})"),
     OBS_OUTPUT_CONNECT_FAILED},
    {"DownAtStart", Step::None, Reply{}, OBS_OUTPUT_CONNECT_FAILED},
};

class RtcOutputHostileTest : public ::testing::TestWithParam<HostileCase>
{
protected:
    void SetUp() override { setenv("VENDOR_RTC_ENGINE", "janus", 1); }
};

// Each stops the output with its code and a log line naming the reason;
// nothing is left live and the output is released at once.
TEST_P(RtcOutputHostileTest, StopsWithTheMatchingCode)
{
    const HostileCase &c = GetParam();
    std::unique_ptr<FakeJanusServer> server;
    std::string url = "http://127.0.0.1:" + std::to_string(closedPort()) + "/janus";
    if (c.step != Step::None) {
        server = std::make_unique<FakeJanusServer>(c.step, c.reply);
        url = server->url();
    }
    KPLogCapture log;
    TestOutput live(settingsFor(url).c_str());
    ASSERT_TRUE(obs_output_start(live.output()));
    ASSERT_TRUE(TestOutput::waitFor([&] { return live.stopped(); }, kOutcomeWaitMs));
    EXPECT_EQ(live.code(), c.code);
    EXPECT_TRUE(TestOutput::waitFor([&] { return !live.active(); }, kOutcomeWaitMs));
    EXPECT_TRUE(log.lines().filter(QStringLiteral("kp_rtc_output: stops: ")).size() == 1) << log.lines().join('\n').toStdString();
    EXPECT_STRNE(obs_output_get_last_error(live.output()), "");
    live.release();
}

INSTANTIATE_TEST_SUITE_P(Table, RtcOutputHostileTest, ::testing::ValuesIn(kHostile),
                         [](const auto &info) { return std::string(info.param.name); });

// Refused before anything is asked of a server.
TEST_F(RtcOutputTest, StartWithoutAChannelOrAServerAddressFails)
{
    for (const std::string &settings : {settingsFor("http://127.0.0.1:9/janus", ""), settingsFor("file:///etc/passwd")}) {
        TestOutput live(settings.c_str());
        EXPECT_FALSE(obs_output_start(live.output())) << settings;
        EXPECT_FALSE(live.active());
        EXPECT_STRNE(obs_output_get_last_error(live.output()), "") << settings;
    }
}

// Once joined, a lost server leaves the output live while the engine
// reconnects; a stop then ends it at once.
TEST_F(RtcOutputTest, StaysLiveWhenTheServerGoesAwayMidStream)
{
    auto server = std::make_unique<FakeJanusServer>(Step::None, Reply{});
    KPLogCapture log;
    TestOutput live(settingsFor(server->url()).c_str());
    ASSERT_TRUE(obs_output_start(live.output()));
    ASSERT_TRUE(TestOutput::waitFor(
        [&] { return !log.lines().filter(QStringLiteral("kp_rtc_output: live in")).isEmpty(); }, kOutcomeWaitMs));
    server.reset();
    EXPECT_TRUE(TestOutput::waitFor(
        [&] { return !log.lines().filter(QStringLiteral("kp_rtc_output: the connection was lost")).isEmpty(); },
        kOutcomeWaitMs));
    EXPECT_TRUE(live.active());
    EXPECT_FALSE(live.stopped());
    obs_output_stop(live.output());
    EXPECT_TRUE(TestOutput::waitFor([&] { return !live.active(); }, kOutcomeWaitMs));
    EXPECT_EQ(live.code(), OBS_OUTPUT_SUCCESS);
}

// Stopped before it started, started twice, stopped while still joining and
// released while live: each leaves one engine at most and no hang.
TEST_F(RtcOutputTest, StartsAndStopsOutOfOrder)
{
    setenv("VENDOR_RTC_ENGINE", "sim", 1);
    KPLogCapture log;
    TestOutput live(settingsFor("http://127.0.0.1:9/janus", "twice").c_str());
    obs_output_stop(live.output());
    EXPECT_FALSE(live.active());

    ASSERT_TRUE(obs_output_start(live.output()));
    obs_output_stop(live.output()); // the simulated join takes 200 ms
    EXPECT_FALSE(TestOutput::waitFor([&] { return live.active(); }, 1000));

    ASSERT_TRUE(obs_output_start(live.output()));
    ASSERT_TRUE(TestOutput::waitFor([&] { return live.active(); }, kOutcomeWaitMs));
    EXPECT_FALSE(obs_output_start(live.output()));
    EXPECT_TRUE(live.active());
    EXPECT_EQ(log.lines().filter(QStringLiteral("started while already going live")).size(), 1);
    live.release();
}

} // namespace
