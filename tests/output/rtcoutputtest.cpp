// The "kp_rtc_output" output inside real libobs: how it ends against a fake Janus server's hostile replies, a closed
// port and a server that goes away while it is live.
#include "fakejanusserver.h"
#include "kplogcapture.h"
#include "kpobstestenvironment.h"
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
    // libobs ends the data capture on a thread of its own: once it has, the
    // join that was under way must not make the output active again.
    ASSERT_TRUE(TestOutput::waitFor([&] { return !live.active(); }, kOutcomeWaitMs));
    EXPECT_FALSE(TestOutput::waitFor([&] { return live.active(); }, 1000));

    ASSERT_TRUE(obs_output_start(live.output()));
    ASSERT_TRUE(TestOutput::waitFor([&] { return live.active(); }, kOutcomeWaitMs));
    EXPECT_FALSE(obs_output_start(live.output()));
    EXPECT_TRUE(live.active());
    EXPECT_EQ(log.lines().filter(QStringLiteral("started while already going live")).size(), 1);
    live.release();
}

} // namespace
