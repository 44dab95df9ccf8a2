// The host's transitions inside real libobs with OpenGL: two whiteboards of
// plain colours are the sides, the transition is held half-way in manual mode
// and its frame is read back.

#include "kphosttransitions.h"
#include "kpobstestenvironment.h"

#include <QColor>
#include <QImage>

#include <functional>

#include <obs.hpp>

#include <gtest/gtest.h>

namespace {

auto *g_environment = ::testing::AddGlobalTestEnvironment(new KPObsTestEnvironment({true, true}));

constexpr long long kRed = 0xff0000ffLL;
constexpr long long kBlue = 0xffff0000LL;
constexpr long long kGreen = 0xff00ff00LL;
constexpr int kWidth = 200;
constexpr int kHeight = 100;

// A plain board on the output, so that libobs ticks and draws it.
class Side
{
public:
    explicit Side(long long background)
    {
        OBSDataAutoRelease settings = obs_data_create();
        obs_data_set_int(settings, "kp_wb_width", kWidth);
        obs_data_set_int(settings, "kp_wb_height", kHeight);
        obs_data_set_int(settings, "kp_wb_background", background);
        m_source = obs_source_create_private("kp_source_whiteboard", nullptr, settings);
        m_item = KPObsTestEnvironment::runtime().show(m_source);
        // The board shows its background from its first composition on.
        waitFor([this] { return pixel(10, 10).alpha() == 255; });
    }
    ~Side()
    {
        KPObsTestEnvironment::runtime().removeFromOutput(m_item);
        obs_source_release(m_source);
    }
    // A green dot near the left edge tells a moving side from a still one.
    void markLeft()
    {
        OBSDataAutoRelease tool = obs_data_create();
        obs_data_set_int(tool, "kp_wb_draw_type", 2);
        obs_data_set_int(tool, "kp_wb_draw_color", kGreen);
        obs_data_set_int(tool, "kp_wb_draw_size", 40);
        obs_source_update(m_source, tool);
        ASSERT_TRUE(KPObsTestEnvironment::runtime().waitTicks(2, 5000));
        obs_mouse_event event = {0, 40, 50};
        obs_source_send_mouse_click(m_source, &event, 0, false, 1);
        obs_source_send_mouse_click(m_source, &event, 0, true, 1);
        waitFor([this] { return pixel(40, 50).green() > 100; });
    }
    obs_source_t *source() const { return m_source; }

private:
    QColor pixel(int x, int y) const
    {
        return KPObsTestEnvironment::runtime().renderSource(m_source).pixelColor(x, y);
    }
    // A loaded machine may need more than a tick or two to compose.
    static void waitFor(const std::function<bool()> &composed)
    {
        for (int tick = 0; tick < 100 && !composed(); ++tick)
            KPObsTestEnvironment::runtime().waitTicks(1, 5000);
        EXPECT_TRUE(composed());
    }

    obs_source_t *m_source = nullptr;
    obs_sceneitem_t *m_item = nullptr;
};

bool near(const QColor &color, int red, int green, int blue)
{
    return qAbs(color.red() - red) <= 24 && qAbs(color.green() - green) <= 24
        && qAbs(color.blue() - blue) <= 24;
}

// Before the manual time takes effect the frame is empty or shows the
// outgoing side alone, red in both bottom corners.
bool isStarting(const QImage &frame)
{
    const QColor left = frame.pixelColor(20, 90);
    const QColor right = frame.pixelColor(180, 90);
    return left.alpha() == 0 || right.alpha() == 0 || (near(left, 255, 0, 0) && near(right, 255, 0, 0));
}

QImage halfWay(const char *id, const char *direction, Side &from, Side &to)
{
    OBSDataAutoRelease settings = obs_data_create();
    if (direction)
        obs_data_set_string(settings, "direction", direction);
    OBSSourceAutoRelease transition = obs_source_create_private(id, nullptr, settings);
    EXPECT_NE(transition.Get(), nullptr) << id;
    if (!transition)
        return QImage();
    obs_transition_set_size(transition, kWidth, kHeight);
    obs_transition_set(transition, from.source());
    obs_transition_start(transition, OBS_TRANSITION_MODE_MANUAL, 0, to.source());
    obs_transition_set_manual_torque(transition, 0.0f, 0.0f);
    obs_transition_set_manual_time(transition, 0.5f);
    QImage frame;
    for (int tick = 0; tick < 100; ++tick) {
        EXPECT_TRUE(KPObsTestEnvironment::runtime().waitTicks(1, 5000));
        frame = KPObsTestEnvironment::runtime().renderSource(transition);
        if (frame.isNull() || !isStarting(frame))
            break;
    }
    obs_transition_force_stop(transition);
    return frame;
}

} // namespace

TEST(HostTransitions, AreRegisteredOnceAndOnlyWhereLibobsLacksThem)
{
    for (const char *id : {"fade_transition", "swipe_transition", "slide_transition"})
        EXPECT_TRUE(KPHostTransitions::isKnownType(id)) << id;
    EXPECT_FALSE(KPHostTransitions::isKnownType("kp_no_such_transition"));
    EXPECT_EQ(KPHostTransitions::registerMissing(), 0);
}

TEST(HostTransitions, FadeBlendsBothSidesHalfWay)
{
    Side red(kRed);
    Side blue(kBlue);
    const QImage frame = halfWay("fade_transition", nullptr, red, blue);
    ASSERT_EQ(frame.size(), QSize(kWidth, kHeight));
    for (const QPoint point : {QPoint(10, 10), QPoint(100, 50), QPoint(190, 90)})
        EXPECT_TRUE(near(frame.pixelColor(point), 128, 0, 128)) << frame.pixelColor(point).name().toStdString();
}

TEST(HostTransitions, SwipeAndSlideMoveInTheirDirection)
{
    struct Case
    {
        const char *id;
        const char *direction;
        bool dotStays;     // the outgoing side stands still under the incoming one
        bool incomingLeft; // the incoming side covers the left half
    };
    const Case cases[] = {
        {"swipe_transition", "left", true, false},
        {"swipe_transition", "right", true, true},
        {"slide_transition", "left", false, false},
        {"slide_transition", "right", false, true},
    };
    Side red(kRed);
    red.markLeft();
    Side blue(kBlue);
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.id) + " " + c.direction);
        const QImage frame = halfWay(c.id, c.direction, red, blue);
        ASSERT_EQ(frame.size(), QSize(kWidth, kHeight));
        const QColor left = frame.pixelColor(20, 90);
        const QColor right = frame.pixelColor(180, 90);
        EXPECT_TRUE(near(c.incomingLeft ? left : right, 0, 0, 255));
        EXPECT_TRUE(near(c.incomingLeft ? right : left, 255, 0, 0));
        if (!c.incomingLeft) {
            // Swiped: the dot is where it was; slid: the side moved half a
            // width to the left, taking the dot out of the picture.
            const QColor dot = frame.pixelColor(40, 50);
            EXPECT_EQ(dot.green() > 100, c.dotStays) << dot.name().toStdString();
        }
    }
}
