// The real engine against a private Janus server: run through
// scripts/janus/with-janus.sh --token-secret ... (ctest does), which sets
// VENDOR_RTC_JANUS_URL, KP_JANUS_TOKEN and KP_JANUS_CONTROL; without a server
// every case skips.
#include <atomic>
#include <chrono>
#include <thread>
#include <vector>
#include <cstdlib>
#include <memory>
#include <string>

#include <gtest/gtest.h>
#include "recordinghandler.h"
#include "remotewindow.h"
#include "vendor/rtc/irtcengine.h"

using namespace vendor::rtc;

namespace {

constexpr int kMediaWaitMs = 30000; // ICE, DTLS and the first key frame on a busy machine, with one restart

struct EngineDeleter
{
    void operator()(IRtcEngine *engine) const { engine->release(true); }
};

struct Member
{
    RecordingHandler handler;
    std::unique_ptr<IRtcEngine, EngineDeleter> engine;

    Member(CLIENT_ROLE_TYPE role)
    {
        engine.reset(createRtcEngine());
        RtcEngineContext context;
        context.eventHandler = &handler;
        context.appId = "0123456789abcdef0123456789abcdef";
        EXPECT_EQ(engine->initialize(context), 0);
        engine->setClientRole(role);
    }

    int join(const char *channel, uid_t uid, const char *token = std::getenv("KP_JANUS_TOKEN"))
    {
        return engine->joinChannel(token, channel, nullptr, uid);
    }

    bool sawUser(const char *name, uid_t uid, int timeoutMs = kMediaWaitMs)
    {
        return handler.waitFor(name, [uid](const RecordingHandler::Event &e) { return e.number == uid; }, timeoutMs);
    }
};

class JanusEngineTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!std::getenv("VENDOR_RTC_JANUS_URL") || !std::getenv("KP_JANUS_TOKEN"))
            GTEST_SKIP() << "needs a Janus server: run under scripts/janus/with-janus.sh";
        setenv("VENDOR_RTC_ENGINE", "janus", 1);
        setenv("VENDOR_RTC_JANUS_STATS_PERIOD_MS", "500", 1);
    }

    static bool server(const char *action)
    {
        const std::string command = std::string(std::getenv("KP_JANUS_CONTROL")) + " " + action;
        return std::system(command.c_str()) == 0;
    }
};

// The audience sees the broadcaster arrive, decodes its 640x360 picture and
// reports a frame rate; the broadcaster sees the audience come and go; after
// a leave, the audience joins again and gets the picture again.
TEST_F(JanusEngineTest, BroadcasterAndAudienceSeeEachOtherThenLeaveAndJoinAgain)
{
    Member broadcaster(CLIENT_ROLE_BROADCASTER);
    Member audience(CLIENT_ROLE_AUDIENCE);
    ASSERT_EQ(broadcaster.join("stage", 501), 0);
    ASSERT_TRUE(broadcaster.sawUser("join", 501));

    const auto joinedAt = std::chrono::steady_clock::now();
    ASSERT_EQ(audience.join("stage", 502), 0);
    EXPECT_TRUE(audience.sawUser("join", 502));
    EXPECT_TRUE(audience.sawUser("userJoined", 501));
    ASSERT_TRUE(audience.sawUser("firstRemoteVideo", 501));
    const auto firstFrameMs =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - joinedAt).count();
    RecordProperty("join_to_first_frame_ms", static_cast<int>(firstFrameMs));
    for (const auto &e : audience.handler.events()) {
        if (e.name == "firstRemoteVideo") {
            EXPECT_EQ(e.text, "640x360");
        }
    }
    EXPECT_TRUE(audience.handler.waitFor(
        "remoteVideoStats", [](const RecordingHandler::Event &e) { return e.number > 0 && e.text == "640x360"; },
        kMediaWaitMs));
    for (const auto &e : audience.handler.events()) {
        if (e.name == "remoteVideoStats")
            RecordProperty("received_fps", static_cast<int>(e.number)); // the last one stays
    }
    EXPECT_TRUE(broadcaster.sawUser("userJoined", 502));

    ASSERT_EQ(audience.engine->leaveChannel(), 0);
    EXPECT_TRUE(audience.handler.waitFor("leave", 1, 5000));
    EXPECT_TRUE(broadcaster.sawUser("userOffline", 502, 5000)) << "the server did not see the audience leave";

    ASSERT_EQ(audience.join("stage", 502), 0);
    EXPECT_TRUE(audience.handler.waitFor("join", 2, kMediaWaitMs));
    EXPECT_TRUE(audience.handler.waitFor("firstRemoteVideo", 2, kMediaWaitMs));
}

// Members of one channel never hear of another channel's members.
TEST_F(JanusEngineTest, ChannelsAreIsolated)
{
    Member left(CLIENT_ROLE_BROADCASTER);
    Member right(CLIENT_ROLE_BROADCASTER);
    Member watcher(CLIENT_ROLE_AUDIENCE);
    ASSERT_EQ(left.join("channel-left", 601), 0);
    ASSERT_EQ(right.join("channel-right", 602), 0);
    ASSERT_TRUE(left.sawUser("join", 601));
    ASSERT_TRUE(right.sawUser("join", 602));
    ASSERT_EQ(watcher.join("channel-right", 603), 0);
    ASSERT_TRUE(watcher.sawUser("firstRemoteVideo", 602));
    EXPECT_TRUE(right.sawUser("userJoined", 603));
    for (const auto &e : watcher.handler.events())
        EXPECT_NE(e.number, 601u) << e.name;
    for (const auto &e : left.handler.events())
        EXPECT_TRUE(e.name != "userJoined") << "channel-left saw user " << e.number;
}

// The audience watches the first publisher; when it leaves, the next one.
TEST_F(JanusEngineTest, NextPublisherIsWatchedWhenTheFirstLeaves)
{
    Member first(CLIENT_ROLE_BROADCASTER);
    Member second(CLIENT_ROLE_BROADCASTER);
    Member audience(CLIENT_ROLE_AUDIENCE);
    ASSERT_EQ(first.join("relay", 901), 0);
    ASSERT_EQ(audience.join("relay", 903), 0);
    ASSERT_TRUE(audience.sawUser("firstRemoteVideo", 901));
    ASSERT_EQ(second.join("relay", 902), 0);
    ASSERT_TRUE(audience.sawUser("userJoined", 902));
    ASSERT_EQ(first.engine->leaveChannel(), 0);
    EXPECT_TRUE(audience.sawUser("userOffline", 901, 5000));
    EXPECT_TRUE(audience.sawUser("firstRemoteVideo", 902));
}

// When the server drops the peer connections, as it does when ICE or DTLS
// fails, the publisher offers again and the audience subscribes again: the
// picture comes back by itself, without a rejoin.
TEST_F(JanusEngineTest, DroppedMediaIsSetUpAgain)
{
    Member broadcaster(CLIENT_ROLE_BROADCASTER);
    Member audience(CLIENT_ROLE_AUDIENCE);
    ASSERT_EQ(broadcaster.join("fragile", 1001), 0);
    ASSERT_EQ(audience.join("fragile", 1002), 0);
    ASSERT_TRUE(audience.sawUser("firstRemoteVideo", 1001));

    ASSERT_TRUE(server("hangup-media"));
    EXPECT_TRUE(audience.handler.waitFor("firstRemoteVideo", 2, kMediaWaitMs));
    EXPECT_EQ(audience.handler.count("rejoin"), 0);
    EXPECT_EQ(broadcaster.handler.count("rejoin"), 0);
}

// With token authentication on, a token Janus does not take fails the join:
// an error and the failed state, never a join. A signed token past its
// expiry is told apart from any other.
TEST_F(JanusEngineTest, RefusedTokensFailTheJoin)
{
    const struct
    {
        const char *token;
        ERROR_CODE_TYPE error;
        CONNECTION_CHANGED_REASON_TYPE reason;
    } cases[] = {
        {"not-the-token", ERR_INVALID_TOKEN, CONNECTION_CHANGED_INVALID_TOKEN},
        {"1,janus,janus.plugin.videoroom:c2lnbmF0dXJl", ERR_TOKEN_EXPIRED, CONNECTION_CHANGED_TOKEN_EXPIRED},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.token);
        Member member(CLIENT_ROLE_BROADCASTER);
        ASSERT_EQ(member.join("stage", 701, c.token), 0);
        ASSERT_TRUE(member.handler.waitFor("error", 1, 5000));
        const std::string reason = std::to_string(c.reason);
        EXPECT_TRUE(member.handler.waitFor(
            "connection",
            [&](const RecordingHandler::Event &e) { return e.number == CONNECTION_STATE_FAILED && e.text == reason; },
            5000));
        EXPECT_EQ(member.handler.count("join"), 0);
        for (const auto &e : member.handler.events()) {
            if (e.name == "error") {
                EXPECT_EQ(e.number, static_cast<unsigned>(c.error));
            }
        }
        // The engine is free again: the right token joins.
        ASSERT_EQ(member.join("stage", 701), 0);
        EXPECT_TRUE(member.sawUser("join", 701));
    }
}

// Leaving stops the peers while the media thread asks them for statistics
// (every millisecond here); run under the thread sanitizer by `make tsan`.
TEST_F(JanusEngineTest, LeaveAndRejoinWhileStatisticsRun)
{
    Member anchor(CLIENT_ROLE_BROADCASTER);
    ASSERT_EQ(anchor.join("busy", 1101), 0);
    ASSERT_TRUE(anchor.sawUser("join", 1101));
    setenv("VENDOR_RTC_JANUS_STATS_PERIOD_MS", "1", 1);
    Member mover(CLIENT_ROLE_BROADCASTER);
    for (int round = 1; round <= 8; ++round) {
        SCOPED_TRACE(round);
        ASSERT_EQ(mover.join("busy", 1102), 0);
        ASSERT_TRUE(mover.handler.waitFor("join", round, kMediaWaitMs));
        ASSERT_TRUE(mover.handler.waitFor("rtcStats", mover.handler.count("rtcStats") + 5, 5000));
        ASSERT_EQ(mover.engine->leaveChannel(), 0);
        ASSERT_TRUE(mover.handler.waitFor("leave", round, 5000));
    }
}

// A server that goes away mid-call gives connection lost; when it returns the
// engine rejoins by itself and the picture comes back.
TEST_F(JanusEngineTest, ServerLossGivesConnectionLostThenRejoin)
{
    Member broadcaster(CLIENT_ROLE_BROADCASTER);
    Member audience(CLIENT_ROLE_AUDIENCE);
    ASSERT_EQ(broadcaster.join("outage", 801), 0);
    ASSERT_EQ(audience.join("outage", 802), 0);
    ASSERT_TRUE(audience.sawUser("firstRemoteVideo", 801));

    ASSERT_TRUE(server("stop"));
    EXPECT_TRUE(audience.sawUser("connection", CONNECTION_STATE_RECONNECTING, 10000));
    EXPECT_TRUE(broadcaster.sawUser("connection", CONNECTION_STATE_RECONNECTING, 10000));
    ASSERT_TRUE(server("start"));
    EXPECT_TRUE(audience.sawUser("rejoin", 802));
    EXPECT_TRUE(broadcaster.sawUser("rejoin", 801));
    EXPECT_TRUE(audience.handler.waitFor("firstRemoteVideo", 2, kMediaWaitMs));
}

// Frames the broadcaster makes itself reach the audience with their colours,
// and a change of colour follows; the broadcaster counts the frames it sent.
TEST_F(JanusEngineTest, ExternalFramesArriveWithTheirColours)
{
    if (!std::getenv("DISPLAY"))
        GTEST_SKIP() << "needs an X display";
    constexpr int kWidth = 320, kHeight = 180;
    Member broadcaster(CLIENT_ROLE_BROADCASTER);
    ASSERT_EQ(broadcaster.engine->setExternalVideoSource(true), 0);
    ASSERT_EQ(broadcaster.join("outside", 611), 0);
    ASSERT_TRUE(broadcaster.sawUser("join", 611));

    std::atomic<uint32_t> colour{0xffff0000}; // BGRA in memory: blue, green, red, alpha
    std::atomic<bool> done{false};
    std::thread pusher([&] {
        std::vector<uint32_t> pixels(kWidth * kHeight);
        for (int i = 0; i < 1800 && !done; ++i) { // 60 s at most
            std::fill(pixels.begin(), pixels.end(), colour.load());
            const auto now = std::chrono::steady_clock::now().time_since_epoch();
            broadcaster.engine->pushVideoFrame(ExternalVideoFrame{
                VIDEO_PIXEL_BGRA, pixels.data(), kWidth, kHeight, 0,
                std::chrono::duration_cast<std::chrono::milliseconds>(now).count()});
            std::this_thread::sleep_for(std::chrono::milliseconds(33));
        }
    });
    RemoteWindow window(kWidth, kHeight);
    Member audience(CLIENT_ROLE_AUDIENCE);
    VideoCanvas canvas{};
    canvas.view = window.view();
    canvas.uid = 611;
    ASSERT_EQ(audience.engine->setupRemoteVideo(canvas), 0);
    ASSERT_EQ(audience.join("outside", 612), 0);
    const bool decoded = audience.sawUser("firstRemoteVideo", 611);
    auto shows = [&](long rgb) {
        for (int i = 0; i < 300; ++i) { // 15 s at most
            if (RemoteWindow::near(window.centre(), rgb))
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return false;
    };
    const bool red = decoded && shows(0xff0000);
    colour = 0xff00ff00;
    const bool green = red && shows(0x00ff00);
    done = true;
    pusher.join();
    EXPECT_TRUE(decoded);
    EXPECT_TRUE(red) << "centre pixel " << std::hex << window.centre();
    EXPECT_TRUE(green) << "centre pixel " << std::hex << window.centre();
    EXPECT_TRUE(broadcaster.handler.waitFor(
        "localVideoStats", [](const RecordingHandler::Event &e) { return e.number > 0; }, 5000));
    audience.engine.reset(); // stops drawing before the window goes
}

} // namespace
