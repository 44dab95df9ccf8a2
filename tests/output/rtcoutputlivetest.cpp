// The canvas live in a private Janus server: run through
// scripts/janus/with-janus.sh --token-secret ... (ctest does), which sets
// VENDOR_RTC_JANUS_URL and KP_JANUS_TOKEN; without a server every case skips.
// A whiteboard on libobs's canvas goes out through "kp_rtc_output"; the SDK's
// engine joins the channel as audience and draws what it decodes into a
// window, whose pixels are read back.
#include "kpobstestenvironment.h"
#include "recordinghandler.h"
#include "remotewindow.h"
#include "rtcoutputsupport.h"

#include "vendor/rtc/irtcengine.h"

#include <obs.hpp>

#include <cstdlib>
#include <memory>
#include <string>

#include <gtest/gtest.h>

using namespace vendor::rtc;

namespace {

auto *g_environment = ::testing::AddGlobalTestEnvironment(new KPObsTestEnvironment({true, true}));

constexpr int kMediaWaitMs = 60000; // ICE, DTLS and the first key frame on a busy machine
constexpr long long kRedAbgr = 0xff0000ffLL;
constexpr long long kWhiteAbgr = 0xffffffffLL;
constexpr long long kBlueAbgr = 0xffff0000LL;
// The output sends the 1280x720 canvas at half size, which the window shows as it comes.
constexpr int kSentWidth = 640, kSentHeight = 360;

struct EngineDeleter
{
    void operator()(IRtcEngine *engine) const { engine->release(true); }
};

// A whiteboard filling the canvas with a red rectangle 64 pixels wide drawn
// from (320, 180) to (960, 540): sent at half size, its left side covers
// x 144 to 176 and its inside is the board's background.
class Board
{
public:
    Board()
    {
        OBSDataAutoRelease settings = obs_data_create();
        obs_data_set_int(settings, "kp_wb_width", 1280);
        obs_data_set_int(settings, "kp_wb_height", 720);
        obs_data_set_int(settings, "kp_wb_background", kWhiteAbgr);
        m_source = obs_source_create("kp_source_whiteboard", "board", settings, nullptr);
        m_item = KPObsTestEnvironment::runtime().show(m_source);
        OBSDataAutoRelease tool = obs_data_create();
        obs_data_set_int(tool, "kp_wb_draw_type", 1);
        obs_data_set_int(tool, "kp_wb_draw_color", kRedAbgr);
        obs_data_set_int(tool, "kp_wb_line_width", 64);
        obs_source_update(m_source, tool);
        EXPECT_TRUE(KPObsTestEnvironment::runtime().waitTicks(2, 5000));
        mouse(320, 180, false);
        obs_mouse_event to = {0, 960, 540};
        obs_source_send_mouse_move(m_source, &to, false);
        mouse(960, 540, true);
    }
    ~Board()
    {
        KPObsTestEnvironment::runtime().removeFromOutput(m_item);
        obs_source_release(m_source);
    }
    void setBackground(long long abgr)
    {
        OBSDataAutoRelease settings = obs_data_create();
        obs_data_set_int(settings, "kp_wb_background", abgr);
        obs_source_update(m_source, settings);
    }

private:
    void mouse(int x, int y, bool up)
    {
        obs_mouse_event event = {0, x, y};
        obs_source_send_mouse_click(m_source, &event, 0, up, 1);
    }

    obs_source_t *m_source = nullptr;
    obs_sceneitem_t *m_item = nullptr;
};

// Each case once with each video codec.
class RtcOutputLiveTest : public ::testing::TestWithParam<const char *>
{
protected:
    void SetUp() override
    {
        if (!std::getenv("VENDOR_RTC_JANUS_URL") || !std::getenv("KP_JANUS_TOKEN") || !std::getenv("DISPLAY"))
            GTEST_SKIP() << "needs a Janus server and an X display: run under scripts/janus/with-janus.sh";
        setenv("VENDOR_RTC_ENGINE", "janus", 1);
    }

    std::string settings(const std::string &channel, unsigned uid) const
    {
        return std::string(R"({"server":")") + std::getenv("VENDOR_RTC_JANUS_URL") + R"(","channel":")" + channel +
               R"(","uid":)" + std::to_string(uid) + R"(,"token":")" + std::getenv("KP_JANUS_TOKEN") +
               R"(","width":640,"height":360,"fps":30,"codec":")" + GetParam() + R"("})";
    }
};

// The audience decodes the board: the rectangle's side red, its inside the
// background; a new background shows in the picture while the side stays red.
TEST_P(RtcOutputLiveTest, AudienceSeesTheBoardAndItsChanges)
{
    Board board;
    const std::string channel = std::string("board-live-") + GetParam();
    TestOutput live(settings(channel, 711).c_str());
    ASSERT_TRUE(obs_output_start(live.output()));
    ASSERT_TRUE(TestOutput::waitFor([&] { return live.active() || live.stopped(); }, kMediaWaitMs));
    ASSERT_TRUE(live.active()) << obs_output_get_last_error(live.output());

    RemoteWindow window(kSentWidth, kSentHeight);
    RecordingHandler handler;
    std::unique_ptr<IRtcEngine, EngineDeleter> audience(createRtcEngineNamed("janus"));
    RtcEngineContext context;
    context.eventHandler = &handler;
    context.appId = "0123456789abcdef0123456789abcdef";
    ASSERT_EQ(audience->initialize(context), 0);
    VideoCanvas canvas{};
    canvas.view = window.view();
    canvas.uid = 711;
    ASSERT_EQ(audience->setupRemoteVideo(canvas), 0);
    ASSERT_EQ(audience->joinChannel(std::getenv("KP_JANUS_TOKEN"), channel.c_str(), nullptr, 712), 0);
    ASSERT_TRUE(handler.waitFor(
        "firstRemoteVideo", [](const RecordingHandler::Event &e) { return e.number == 711; }, kMediaWaitMs));

    const auto shows = [&](long side, long inside) {
        return TestOutput::waitFor(
            [&] {
                return RemoteWindow::near(window.pixel(160, 180), side) &&
                       RemoteWindow::near(window.pixel(320, 180), inside);
            },
            kMediaWaitMs);
    };
    EXPECT_TRUE(shows(0xff0000, 0xffffff)) << std::hex << window.pixel(160, 180) << " " << window.pixel(320, 180);
    board.setBackground(kBlueAbgr);
    EXPECT_TRUE(shows(0xff0000, 0x0000ff)) << std::hex << window.pixel(160, 180) << " " << window.pixel(320, 180);
    EXPECT_FALSE(live.stopped());
    audience.reset(); // stops drawing before the window goes
    obs_output_stop(live.output());
    EXPECT_TRUE(TestOutput::waitFor([&] { return !live.active(); }, kMediaWaitMs));
}

INSTANTIATE_TEST_SUITE_P(Codecs, RtcOutputLiveTest, ::testing::Values("vp8", "h264"),
                         [](const auto &info) { return std::string(info.param); });

} // namespace
