// The incremental composition against a full one: a seeded random walk of
// everything a presenter and a host do to a board, and after every step the
// frame the tick composed must equal, byte for byte, the frame composed from
// scratch with every item painted again.

#include "boardtestsupport.h"
#include "kpobstestenvironment.h"
#include "kpwhiteboarditemobject.h"

#include <QRandomGenerator>

#include <gtest/gtest.h>

using namespace boardtest;

static auto *const g_environment = ::testing::AddGlobalTestEnvironment(
    new KPObsTestEnvironment({/*video*/ false, /*plugin*/ false, 1280, 720}));

namespace {

class Walk
{
public:
    explicit Walk(quint32 seed) : m_random(seed), m_board(nullptr)
    {
        m_board.setSize(160, 120);
    }

    // One random action; returns its name for the failure message.
    const char *step()
    {
        switch (m_random.bounded(16)) {
        case 0:
            return chooseTool();
        case 1:
            setShift(m_board, m_random.bounded(2) == 0);
            return "shift";
        case 2:
        case 3:
        case 4:
            return mouseStroke();
        case 5:
            return tabletStroke();
        case 6:
            return typeText();
        case 7:
            m_board.focus(false);
            return "focus out";
        case 8:
            m_board.do_custom_callback(1 + m_random.bounded(3), nullptr);
            return "undo, redo or clear";
        case 9:
            m_board.setHideHandwriting(m_random.bounded(3) == 0);
            return "hide handwriting";
        case 10:
            return restyle();
        case 11:
            m_board.setSize(150 + m_random.bounded(2) * 10, 120);
            return "size";
        case 12:
            m_board.setActive(false);
            m_board.setActive(true);
            return "deactivate and activate";
        case 13:
            return saveAndLoad();
        default:
            return mouseMove();
        }
    }

    KPWhiteBoardObject &board() { return m_board; }

private:
    QPoint anywhere() { return QPoint(m_random.bounded(-10, 170), m_random.bounded(-10, 130)); }

    const char *chooseTool()
    {
        KPWB::ItemProperty tool;
        tool.type = m_random.bounded(1, 9);
        tool.size = 1 + m_random.bounded(30);
        tool.color = m_random.generate() | 0x40000000u;
        m_board.setCurrentItemProperty(tool);
        return "tool";
    }
    const char *mouseStroke()
    {
        press(m_board, anywhere());
        for (int i = m_random.bounded(4); i > 0; --i) {
            move(m_board, anywhere());
            // Ticks in the middle of a drag compose the item being drawn.
            if (m_random.bounded(2))
                m_board.do_video_tick();
        }
        if (m_random.bounded(5))
            release(m_board, anywhere());
        return "mouse stroke";
    }
    const char *mouseMove()
    {
        move(m_board, anywhere());
        return "mouse move";
    }
    const char *tabletStroke()
    {
        tablet(m_board, QEvent::TabletPress, anywhere(), 0.5, Qt::LeftButton);
        for (int i = m_random.bounded(5); i > 0; --i) {
            tablet(m_board, QEvent::TabletMove, anywhere(), m_random.bounded(1.0), Qt::LeftButton);
            if (m_random.bounded(2))
                m_board.do_video_tick();
        }
        if (m_random.bounded(4))
            tablet(m_board, QEvent::TabletRelease, anywhere(), 0.0);
        return "tablet stroke";
    }
    const char *typeText()
    {
        char text[2] = {char('a' + m_random.bounded(26)), 0};
        obs_key_event event = {0, text, 0, uint32_t(text[0]), 0};
        m_board.do_key_click(&event, false);
        m_board.do_key_click(&event, true);
        return "type";
    }
    const char *restyle()
    {
        Data settings(obs_data_create());
        obs_data_set_int(settings.get(), "kp_wb_width", m_board.width());
        obs_data_set_int(settings.get(), "kp_wb_height", m_board.height());
        obs_data_set_int(settings.get(), "kp_wb_background", m_random.bounded(2) ? kWhite : kTransparent);
        obs_data_set_bool(settings.get(), "kp_wb_hideHandwriting", m_board.hideHandwriting());
        obs_data_set_int(settings.get(), "kp_wb_draw_type", m_random.bounded(1, 9));
        obs_data_set_int(settings.get(), "kp_wb_draw_color", kRed);
        obs_data_set_int(settings.get(), "kp_wb_draw_size", 1 + m_random.bounded(20));
        if (m_random.bounded(2))
            obs_data_set_double(settings.get(), "kp_wb_item_width", 100.0 + m_random.bounded(200));
        m_board.updateWithSettings(settings.get());
        return "settings";
    }
    const char *saveAndLoad()
    {
        Data saved(obs_data_create());
        m_board.save(saved.get());
        m_board.reset();
        m_board.load(saved.get());
        return "save and load";
    }

    QRandomGenerator m_random;
    KPWhiteBoardObject m_board;
};

} // namespace

TEST(CompositionWalk, EveryTickEqualsAFullRecomposition)
{
    for (const quint32 seed : {1u, 2u, 3u}) {
        Walk walk(seed);
        for (int i = 0; i < 1000; ++i) {
            const char *action = walk.step();
            walk.board().do_video_tick();
            QImage composed = walk.board().image();
            const QImage full = walk.board().fullComposition();
            // A board with nothing to show holds no frame: it must have been transparent.
            if (composed.isNull()) {
                composed = QImage(full.size(), full.format());
                composed.fill(Qt::transparent);
            }
            ASSERT_EQ(composed, full) << "seed " << seed << ", step " << i << ": " << action;
        }
    }
}

TEST(CompositionWalk, AnIdleBoardComposesNothingAndOneItemDoesNotRebuild)
{
    KPWhiteBoardObject board(nullptr);
    board.setSize(400, 300);
    board.setCurrentItemProperty({3, kRed, KPWB::DRAW_ITEM_TYPE_RECT});
    for (int i = 0; i < 20; ++i)
        drag(board, {10 + i, 10}, {100 + i, 80});
    board.do_video_tick();
    const quint64 frames = board.composedFrames();
    const quint64 rebuilds = board.cacheRebuilds();
    for (int i = 0; i < 50; ++i)
        board.do_video_tick();
    EXPECT_EQ(board.composedFrames(), frames);

    // Drawing and finishing one more item composes frames from the cache.
    drag(board, {200, 200}, {300, 250});
    board.do_video_tick();
    EXPECT_EQ(board.cacheRebuilds(), rebuilds);
    EXPECT_GT(board.composedFrames(), frames);
    EXPECT_EQ(board.image(), board.fullComposition());

    // Undo and redo recompose only what the item covered.
    board.do_undo();
    board.do_video_tick();
    board.do_redo();
    board.do_video_tick();
    EXPECT_EQ(board.cacheRebuilds(), rebuilds);
    EXPECT_EQ(board.image(), board.fullComposition());
}
