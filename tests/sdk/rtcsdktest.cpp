#include <atomic>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <thread>

#include <gtest/gtest.h>
#include <xcb/xcb.h>

#include "recordinghandler.h"
#include "vendor/rtc/irtcengine.h"

using namespace vendor::rtc;

namespace {

struct EngineDeleter
{
    void operator()(IRtcEngine *engine) const { engine->release(true); }
};
using EnginePtr = std::unique_ptr<IRtcEngine, EngineDeleter>;

class RtcSdkTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        setenv("VENDOR_RTC_SIM_JOIN_DELAY_MS", "5", 1);
        setenv("VENDOR_RTC_SIM_REMOTE_DELAY_MS", "5", 1);
        setenv("VENDOR_RTC_SIM_LEAVE_DELAY_MS", "5", 1);
        setenv("VENDOR_RTC_SIM_STATS_PERIOD_MS", "5", 1);
        setenv("VENDOR_RTC_SIM_REMOTE_UID", "777", 1);
        for (const char *name : {"VENDOR_RTC_SIM_INIT_FAIL", "VENDOR_RTC_SIM_NULL_VERSION",
                                 "VENDOR_RTC_SIM_RECONNECT", "VENDOR_RTC_SIM_INJECT"})
            unsetenv(name);
    }

    EnginePtr startEngine()
    {
        EnginePtr engine(createRtcEngine());
        RtcEngineContext context;
        context.eventHandler = &handler;
        context.appId = "0123456789abcdef0123456789abcdef";
        EXPECT_EQ(engine->initialize(context), 0);
        return engine;
    }

    RecordingHandler handler;
};

// A handler of static storage duration, as a program's event bridge is; a
// callback that reaches it once its destruction has begun ends the process
// with code 3.
class StaticHandler : public IRtcEngineEventHandler
{
public:
    ~StaticHandler() override
    {
        m_gone = true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50)); // room for a late callback
    }
    void onRtcStats(const RtcStats &) override { check(); }
    void onAudioVolumeIndication(const AudioVolumeInfo *, unsigned int, int) override { check(); }

    std::atomic<int> stats{0};

private:
    void check()
    {
        if (m_gone)
            std::_Exit(3);
        ++stats;
    }
    std::atomic<bool> m_gone{false};
};

StaticHandler g_staticHandler;

TEST_F(RtcSdkTest, InitializeNeedsHandlerAndAppIdAndCanBeForcedToFail)
{
    EnginePtr engine(createRtcEngine());
    RtcEngineContext context;
    context.appId = "id";
    EXPECT_LT(engine->initialize(context), 0);
    context.eventHandler = &handler;
    context.appId = nullptr;
    EXPECT_LT(engine->initialize(context), 0);
    EXPECT_EQ(engine->joinChannel("", "channel", nullptr, 1), -ERR_NOT_INITIALIZED);

    setenv("VENDOR_RTC_SIM_INIT_FAIL", "1", 1);
    context.appId = "id";
    EXPECT_NE(engine->initialize(context), 0);
    EXPECT_EQ(engine->leaveChannel(), -ERR_NOT_INITIALIZED);
}

TEST_F(RtcSdkTest, VersionIsTextOrNullOnRequest)
{
    EnginePtr engine = startEngine();
    int build = -1;
    ASSERT_NE(engine->getVersion(&build), nullptr);
    EXPECT_GE(build, 0);
    EXPECT_NE(engine->getVersion(nullptr), nullptr);

    setenv("VENDOR_RTC_SIM_NULL_VERSION", "1", 1);
    EnginePtr second = startEngine();
    EXPECT_EQ(second->getVersion(&build), nullptr);
}

TEST_F(RtcSdkTest, ParameterInterfaceOnlyForItsIdAndRejectsBadArguments)
{
    EnginePtr engine = startEngine();
    EXPECT_EQ(engine->queryInterface(INTERFACE_ID_PARAMETER, nullptr), -ERR_INVALID_ARGUMENT);
    void *other = reinterpret_cast<void *>(1);
    EXPECT_NE(engine->queryInterface(INTERFACE_ID_AUDIO_DEVICE_MANAGER, &other), 0);
    EXPECT_EQ(other, nullptr);

    void *pointer = nullptr;
    ASSERT_EQ(engine->queryInterface(INTERFACE_ID_PARAMETER, &pointer), 0);
    auto *parameter = static_cast<IRtcEngineParameter *>(pointer);
    EXPECT_EQ(parameter->setBool("rtc.audio.set_default_mute_peers", true), 0);
    EXPECT_NE(parameter->setBool(nullptr, true), 0);
    EXPECT_EQ(parameter->setParameters("{\"che.hardware_encoding\":0}"), 0);
    EXPECT_NE(parameter->setParameters(nullptr), 0);
    parameter->release();
}

// The real engine's own keys: one bad value refuses the whole object, so that
// a good key beside it does not take effect alone.
TEST_F(RtcSdkTest, JanusParametersAreCheckedWhole)
{
    EnginePtr engine(createRtcEngineNamed("janus"));
    ASSERT_NE(engine, nullptr);
    void *pointer = nullptr;
    ASSERT_EQ(engine->queryInterface(INTERFACE_ID_PARAMETER, &pointer), 0);
    auto *parameter = static_cast<IRtcEngineParameter *>(pointer);
    const struct
    {
        const char *parameters;
        bool taken;
    } cases[] = {
        {R"({"rtc.janus.url":"http://127.0.0.1:1/janus","rtc.video.bitrate_kbps":800})", true},
        {R"({"rtc.video.receive_latency_ms":0,"rtc.video.frame_rate":120})", true},
        {R"({"rtc.video.receive_latency_ms":5000,"che.other":[1,2]})", true},
        {R"({"rtc.video.codec":"h264"})", true},
        {R"({"rtc.video.codec":"vp8","rtc.video.frame_rate":1})", true},
        {R"({"rtc.video.codec":"H264"})", false},
        {R"({"rtc.video.codec":"av1"})", false},
        {R"({"rtc.video.codec":8})", false},
        {R"({"rtc.video.receive_latency_ms":5001})", false},
        {R"({"rtc.video.receive_latency_ms":-1})", false},
        {R"({"rtc.video.receive_latency_ms":"40"})", false},
        {R"({"rtc.video.receive_latency_ms":40.5})", false},
        {R"({"rtc.video.bitrate_kbps":49})", false},
        {R"({"rtc.video.frame_rate":0})", false},
        {R"({"rtc.janus.url":"ftp://host/janus"})", false},
        {R"({"rtc.janus.url":7})", false},
        {R"({"rtc.video.bitrate_kbps":800,"rtc.video.frame_rate":1e9})", false},
        {R"([1,2])", false},
        {R"({"rtc.video.bitrate_kbps":)", false},
        {"", false},
    };
    for (const auto &c : cases)
        EXPECT_EQ(parameter->setParameters(c.parameters) == 0, c.taken) << c.parameters;
    parameter->release();
}

TEST_F(RtcSdkTest, JoinIsAnsweredOnEngineThreadThenRemoteUserArrives)
{
    EnginePtr engine = startEngine();
    EXPECT_EQ(engine->joinChannel("token", "room", nullptr, 123), 0);
    ASSERT_TRUE(handler.waitFor("firstRemoteAudio"));

    const auto events = handler.events();
    const auto join = std::find_if(events.begin(), events.end(), [](const auto &e) { return e.name == "join"; });
    ASSERT_NE(join, events.end());
    EXPECT_EQ(join->text, "room");
    EXPECT_EQ(join->number, 123u);
    EXPECT_NE(join->thread, std::this_thread::get_id());

    std::vector<std::string> peer;
    for (const auto &e : events) {
        if (e.name == "userJoined" || e.name == "firstRemoteVideo" || e.name == "firstRemoteAudio") {
            peer.push_back(e.name);
            EXPECT_EQ(e.number, 777u);
        }
    }
    EXPECT_EQ(peer, (std::vector<std::string>{"userJoined", "firstRemoteVideo", "firstRemoteAudio"}));
}

// A frame of the caller's: pixels enough for any case below.
struct PushedVideo
{
    const char *what;
    VIDEO_PIXEL_FORMAT format;
    int width, height, stride;
    long long timestampMs;
    bool buffer;
    int result;
};

TEST_F(RtcSdkTest, ExternalFramesAreCheckedCountedAndReported)
{
    EnginePtr engine = startEngine();
    const std::vector<uint8_t> pixels(64 * 64 * 4);
    const ExternalVideoFrame early{VIDEO_PIXEL_I420, pixels.data(), 64, 64, 0, 1};
    EXPECT_EQ(engine->pushVideoFrame(early), -ERR_NOT_READY); // source not turned on
    ASSERT_EQ(engine->setExternalVideoSource(true), 0);
    EXPECT_EQ(engine->pushVideoFrame(early), -ERR_NOT_READY); // not in a channel: dropped
    ASSERT_EQ(engine->joinChannel("token", "room", nullptr, 1), 0);
    ASSERT_TRUE(handler.waitFor("join"));
    EXPECT_EQ(engine->setExternalVideoSource(false), -ERR_REFUSED);

    const PushedVideo cases[] = {
        {"I420", VIDEO_PIXEL_I420, 64, 64, 0, 10, true, 0},
        {"NV12 with padded rows", VIDEO_PIXEL_NV12, 32, 32, 64, 20, true, 0},
        {"BGRA", VIDEO_PIXEL_BGRA, 64, 64, 256, 30, true, 0},
        {"same timestamp again", VIDEO_PIXEL_BGRA, 64, 64, 0, 30, true, -ERR_NOT_READY},
        {"older timestamp", VIDEO_PIXEL_I420, 64, 64, 0, 5, true, -ERR_NOT_READY},
        {"no buffer", VIDEO_PIXEL_I420, 64, 64, 0, 40, false, -ERR_INVALID_ARGUMENT},
        {"no width", VIDEO_PIXEL_I420, 0, 64, 0, 40, true, -ERR_INVALID_ARGUMENT},
        {"negative height", VIDEO_PIXEL_NV12, 64, -2, 0, 40, true, -ERR_INVALID_ARGUMENT},
        {"odd chroma size", VIDEO_PIXEL_I420, 63, 64, 0, 40, true, -ERR_INVALID_ARGUMENT},
        {"rows shorter than pixels", VIDEO_PIXEL_BGRA, 64, 64, 100, 40, true, -ERR_INVALID_ARGUMENT},
        {"absurd size", VIDEO_PIXEL_BGRA, 100000, 2, 0, 40, true, -ERR_INVALID_ARGUMENT},
        {"unknown format", static_cast<VIDEO_PIXEL_FORMAT>(99), 64, 64, 0, 40, true, -ERR_INVALID_ARGUMENT},
    };
    for (const PushedVideo &c : cases) {
        const ExternalVideoFrame frame{c.format, c.buffer ? pixels.data() : nullptr, c.width, c.height, c.stride,
                                       c.timestampMs};
        EXPECT_EQ(engine->pushVideoFrame(frame), c.result) << c.what;
    }
    const struct
    {
        int samples, channels, rate;
        bool buffer;
        int result;
    } audio[] = {{480, 2, 48000, true, 0}, {160, 1, 16000, true, 0}, {480, 3, 48000, true, -ERR_INVALID_ARGUMENT},
                 {480, 2, 0, true, -ERR_INVALID_ARGUMENT}, {0, 2, 48000, true, -ERR_INVALID_ARGUMENT},
                 {480, 2, 48000, false, -ERR_INVALID_ARGUMENT}};
    for (const auto &a : audio) {
        const AudioFrame frame{a.buffer ? pixels.data() : nullptr, a.samples, a.channels, a.rate, 10};
        EXPECT_EQ(engine->pushAudioFrame(frame), a.result) << a.samples << " " << a.channels << " " << a.rate;
    }
    // Three sent; dropped: the one outside the channel and the two out of order.
    EXPECT_TRUE(handler.waitFor(
        "localVideoStats", [](const auto &e) { return e.number == 3 && e.text == "3"; }, 3000));
}

// Pushes race joins and leaves: each push is counted once, as sent or dropped.
TEST_F(RtcSdkTest, PushesFromTwoThreadsWhileJoiningAndLeaving)
{
    setenv("VENDOR_RTC_SIM_REMOTE_UID", "0", 1);
    EnginePtr engine = startEngine();
    ASSERT_EQ(engine->setExternalVideoSource(true), 0);
    constexpr int kPushes = 3000;
    std::atomic<bool> go{false};
    auto pusher = [&](long long firstMs) {
        const std::vector<uint8_t> pixels(32 * 32 * 3 / 2);
        const std::vector<int16_t> pcm(480 * 2);
        while (!go)
            std::this_thread::yield();
        for (int i = 0; i < kPushes; ++i) {
            engine->pushVideoFrame(ExternalVideoFrame{VIDEO_PIXEL_I420, pixels.data(), 32, 32, 0, firstMs + 2 * i});
            engine->pushAudioFrame(AudioFrame{pcm.data(), 480, 2, 48000, firstMs + 2 * i});
        }
    };
    std::thread first(pusher, 0), second(pusher, 1);
    go = true;
    for (int round = 1; round <= 4; ++round) {
        ASSERT_EQ(engine->joinChannel("token", "room", nullptr, 1), 0);
        ASSERT_TRUE(handler.waitFor("join", round));
        EXPECT_EQ(engine->leaveChannel(), 0);
        ASSERT_TRUE(handler.waitFor("leave", round));
    }
    first.join();
    second.join();
    ASSERT_EQ(engine->joinChannel("token", "room", nullptr, 1), 0);
    EXPECT_TRUE(handler.waitFor(
        "localVideoStats", [](const auto &e) { return e.number + std::stoul(e.text) == 2u * kPushes; }, 3000));
}

TEST_F(RtcSdkTest, SecondJoinWhileInChannelIsRejectedAndBadChannelRefused)
{
    EnginePtr engine = startEngine();
    EXPECT_NE(engine->joinChannel("token", nullptr, nullptr, 1), 0);
    EXPECT_NE(engine->joinChannel("token", "", nullptr, 1), 0);
    EXPECT_NE(engine->joinChannel("token", std::string(65, 'c').c_str(), nullptr, 1), 0);
    EXPECT_EQ(engine->joinChannel(nullptr, "room", nullptr, 0), 0);
    EXPECT_EQ(engine->joinChannel("token", "room", nullptr, 1), -ERR_JOIN_CHANNEL_REJECTED);
    ASSERT_TRUE(handler.waitFor("join"));
    EXPECT_NE(handler.events().front().number, 0u); // the engine chose a uid
}

TEST_F(RtcSdkTest, LeaveIsAnsweredAndStatisticsStopAfterIt)
{
    EnginePtr engine = startEngine();
    EXPECT_EQ(engine->leaveChannel(), 0); // not in a channel: accepted, nothing follows
    ASSERT_EQ(engine->joinChannel("token", "room", nullptr, 1), 0);
    ASSERT_TRUE(handler.waitFor("rtcStats", 3));
    EXPECT_EQ(engine->leaveChannel(), 0);
    ASSERT_TRUE(handler.waitFor("leave"));

    const int statsAtLeave = handler.count("rtcStats");
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(handler.count("rtcStats"), statsAtLeave);
    EXPECT_EQ(handler.count("leave"), 1);
    const auto names = handler.names();
    EXPECT_EQ(names.back(), "leave");
}

// The answer to the cancelled join would be due before that of the next join,
// so once the next join is answered the cancelled one can no longer come.
TEST_F(RtcSdkTest, LeaveBeforeJoinAnswerCancelsTheJoin)
{
    setenv("VENDOR_RTC_SIM_JOIN_DELAY_MS", "30", 1);
    setenv("VENDOR_RTC_SIM_REMOTE_UID", "0", 1);
    EnginePtr engine = startEngine();
    ASSERT_EQ(engine->joinChannel("token", "first", nullptr, 1), 0);
    EXPECT_EQ(engine->leaveChannel(), 0);
    ASSERT_TRUE(handler.waitFor("leave"));
    ASSERT_EQ(engine->joinChannel("token", "second", nullptr, 1), 0);
    ASSERT_TRUE(handler.waitFor("join", 1 + handler.count("join")));

    // A join answered before leaveChannel was called (a slow test thread) is
    // no fault; after the leave callback only the second join may come.
    std::vector<std::string> joinsAfterLeave;
    bool left = false;
    for (const auto &e : handler.events()) {
        left = left || e.name == "leave";
        if (left && e.name == "join")
            joinsAfterLeave.push_back(e.text);
    }
    EXPECT_EQ(joinsAfterLeave, std::vector<std::string>{"second"});
}

TEST_F(RtcSdkTest, ReconnectAndInjectedCallbacks)
{
    setenv("VENDOR_RTC_SIM_RECONNECT", "1", 1);
    setenv("VENDOR_RTC_SIM_INJECT", "error,banned,token,connection", 1);
    setenv("VENDOR_RTC_SIM_REMOTE_UID", "0", 1);
    EnginePtr engine = startEngine();
    ASSERT_EQ(engine->joinChannel("secret", "room", nullptr, 5), 0);
    ASSERT_TRUE(handler.waitFor("banned"));
    EXPECT_EQ(handler.count("join"), 1);
    EXPECT_EQ(handler.count("rejoin"), 1);
    EXPECT_EQ(handler.count("error"), 1);
    ASSERT_TRUE(handler.waitFor("token"));
    for (const auto &e : handler.events()) {
        if (e.name == "token") {
            EXPECT_EQ(e.text, "secret");
        }
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_EQ(handler.count("userJoined"), 0);
}

// A program that ends while its engine is still in a channel: the engine's
// threads stop before the program's static handler goes.
TEST_F(RtcSdkTest, EngineKeptUntilExitCallsNoDestroyedHandler)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    setenv("VENDOR_RTC_SIM_JOIN_DELAY_MS", "0", 1);
    setenv("VENDOR_RTC_SIM_STATS_PERIOD_MS", "1", 1);
    EXPECT_EXIT(
        {
            // Never released, but still referenced at exit, as a program's
            // engine pointer would be.
            static IRtcEngine *engine = createRtcEngine();
            RtcEngineContext context;
            context.eventHandler = &g_staticHandler;
            context.appId = "0123456789abcdef0123456789abcdef";
            engine->initialize(context);
            engine->joinChannel("token", "room", nullptr, 1);
            for (int i = 0; i < 500 && g_staticHandler.stats < 3; ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            std::exit(g_staticHandler.stats >= 3 ? 0 : 2);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST_F(RtcSdkTest, RemoteVideoRejectsUnknownWindowAndStopsOnNullView)
{
    if (!std::getenv("DISPLAY"))
        GTEST_SKIP() << "needs an X display";
    EnginePtr engine = startEngine();
    VideoCanvas canvas{};
    canvas.view = reinterpret_cast<view_t>(uintptr_t{0x7ffffff});
    canvas.renderMode = RENDER_MODE_FIT;
    canvas.uid = 9;
    EXPECT_NE(engine->setupRemoteVideo(canvas), 0);
    canvas.view = nullptr;
    EXPECT_EQ(engine->setupRemoteVideo(canvas), 0);
}

// The picture is drawn into a real window: its pixels change from frame to frame.
TEST_F(RtcSdkTest, RemoteVideoDrawsMovingPictureIntoWindow)
{
    if (!std::getenv("DISPLAY"))
        GTEST_SKIP() << "needs an X display";
    xcb_connection_t *connection = xcb_connect(nullptr, nullptr);
    ASSERT_FALSE(xcb_connection_has_error(connection));
    xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    const xcb_window_t window = xcb_generate_id(connection);
    const uint32_t background = screen->black_pixel;
    xcb_create_window(connection, XCB_COPY_FROM_PARENT, window, screen->root, 0, 0, 160, 90, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, XCB_CW_BACK_PIXEL, &background);
    xcb_map_window(connection, window);
    xcb_flush(connection);

    EnginePtr engine = startEngine();
    VideoCanvas canvas{};
    canvas.view = reinterpret_cast<view_t>(uintptr_t{window});
    canvas.renderMode = RENDER_MODE_FIT;
    canvas.uid = 9;
    ASSERT_EQ(engine->setupRemoteVideo(canvas), 0);

    auto grab = [&] {
        xcb_get_image_reply_t *image = xcb_get_image_reply(
            connection, xcb_get_image(connection, XCB_IMAGE_FORMAT_Z_PIXMAP, window, 0, 0, 160, 90, ~0u), nullptr);
        std::string pixels;
        if (image)
            pixels.assign(reinterpret_cast<const char *>(xcb_get_image_data(image)),
                          static_cast<size_t>(xcb_get_image_data_length(image)));
        free(image);
        return pixels;
    };
    std::string first;
    for (int i = 0; i < 100 && first.find_first_not_of('\0') == std::string::npos; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        first = grab();
    }
    ASSERT_NE(first.find_first_not_of('\0'), std::string::npos) << "nothing drawn";
    std::string later = first;
    for (int i = 0; i < 100 && later == first; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        later = grab();
    }
    EXPECT_NE(later, first) << "picture does not move";

    engine.reset(); // stops drawing before the window goes
    xcb_destroy_window(connection, window);
    xcb_disconnect(connection);
}

} // namespace
