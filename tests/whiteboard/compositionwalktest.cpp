// The incremental composition against a full one: a seeded random walk of
// everything a presenter and a host do to a board, the history weighted up,
// and after every step the frame the tick composed must equal, byte for byte,
// the frame composed from scratch with every item painted again, and the
// compositor's index must hold exactly the visible items.

#include "boardtestsupport.h"
#include "kpobstestenvironment.h"
#include "kpwhiteboarditemobject.h"

#include <QRandomGenerator>

#include <functional>

#include <gtest/gtest.h>

using namespace boardtest;

static auto *const g_environment = ::testing::AddGlobalTestEnvironment(
    new KPObsTestEnvironment({/*video*/ false, /*plugin*/ false, 1280, 720}));

namespace {

// The places in items() of the visible finished items.
QVector<int> visibleItems(const KPWhiteBoardObject &board)
{
    QVector<int> visible;
    const auto items = board.items();
    for (int i = 0; i < items.size(); ++i) {
        if (items.at(i)->visible())
            visible << i;
    }
    return visible;
}

class Walk
{
public:
    // Tools: the drawing tools, or (presenter) the mouse-drawn ones with the
    // eraser, laser pointer and spotlight instead of text boxes.
    Walk(quint32 seed, QSize canvas, bool presenter = false)
        : m_random(seed), m_canvas(canvas), m_presenter(presenter), m_board(nullptr)
    {
        m_board.setSize(canvas.width(), canvas.height());
    }

    // One random action; returns its name for the failure message.
    const char *step()
    {
        switch (m_random.bounded(24)) {
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
        case 16:
        case 17:
            m_board.do_custom_callback(1, nullptr);
            return "undo";
        case 18:
        case 19:
            m_board.do_custom_callback(2, nullptr);
            return "redo";
        case 20:
            m_board.do_custom_callback(3, nullptr);
            return "clear";
        case 21:
            m_board.do_clear();
            m_board.do_video_tick();
            m_board.do_undo();
            return "clear and its undo";
        case 9:
        case 22:
            m_board.setHideHandwriting(m_random.bounded(2) == 0);
            return "hide handwriting";
        case 10:
            return restyle();
        case 11:
            m_board.setSize(m_canvas.width() - m_random.bounded(2) * 10, m_canvas.height());
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
    QPoint anywhere()
    {
        return QPoint(m_random.bounded(-10, m_canvas.width() + 10), m_random.bounded(-10, m_canvas.height() + 10));
    }
    // Strokes stay short on a large canvas, so that most changes touch a part of it.
    QPoint near(QPoint from)
    {
        const int reach = qMin(m_canvas.width(), 160) / 2;
        return from + QPoint(m_random.bounded(-reach, reach), m_random.bounded(-reach, reach));
    }

    const char *chooseTool()
    {
        KPWB::ItemProperty tool;
        tool.type = pickTool();
        tool.size = 1 + m_random.bounded(30);
        // Mostly hairlines, as most boards draw, and now and then a wide line.
        tool.lineWidth = m_random.bounded(3) ? 1 : 1 + m_random.bounded(40);
        tool.color = m_random.generate() | 0x40000000u;
        m_board.setCurrentItemProperty(tool);
        return "tool";
    }
    const char *mouseStroke()
    {
        const QPoint start = anywhere();
        press(m_board, start);
        for (int i = m_random.bounded(4); i > 0; --i) {
            move(m_board, near(start));
            // Ticks in the middle of a drag compose the item being drawn.
            if (m_random.bounded(2))
                m_board.do_video_tick();
        }
        if (m_random.bounded(5))
            release(m_board, near(start));
        return "mouse stroke";
    }
    const char *mouseMove()
    {
        const QPoint at = anywhere();
        const obs_mouse_event event = mouseAt(at.x(), at.y());
        // A leave takes the spotlight away.
        m_board.do_mouse_move(&event, m_presenter && m_random.bounded(6) == 0);
        return "mouse move";
    }
    const char *tabletStroke()
    {
        const QPoint start = anywhere();
        tablet(m_board, QEvent::TabletPress, start, 0.5, Qt::LeftButton);
        for (int i = m_random.bounded(5); i > 0; --i) {
            tablet(m_board, QEvent::TabletMove, near(start), m_random.bounded(1.0), Qt::LeftButton);
            if (m_random.bounded(2))
                m_board.do_video_tick();
        }
        if (m_random.bounded(4))
            tablet(m_board, QEvent::TabletRelease, near(start), 0.0);
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
        obs_data_set_int(settings.get(), "kp_wb_draw_type", pickTool());
        obs_data_set_int(settings.get(), "kp_wb_draw_color", kRed);
        obs_data_set_int(settings.get(), "kp_wb_draw_size", 1 + m_random.bounded(20));
        obs_data_set_int(settings.get(), "kp_wb_line_width", 1 + m_random.bounded(30));
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

    int pickTool()
    {
        static const int presenterTools[] = {1, 2, 3, 4, 5, 6, 8, 9, 10, 11};
        return m_presenter ? presenterTools[m_random.bounded(10)] : m_random.bounded(1, 9);
    }

    QRandomGenerator m_random;
    QSize m_canvas;
    bool m_presenter;
    KPWhiteBoardObject m_board;
};

} // namespace

TEST(CompositionWalk, EveryTickEqualsAFullRecomposition)
{
    // One canvas within a cell of the index, one across several; the
    // presenter walk also fades laser trails, about ten steps each. Text boxes
    // that shrink to fit the canvas and tablet strokes left unfinished need
    // more seeds than the rest to reach every order of events.
    for (const bool presenter : {false, true})
    for (const QSize canvas : {QSize(160, 120), QSize(600, 420)})
    for (quint32 seed = 1; seed <= (presenter ? 5u : 10u); ++seed) {
        Walk walk(seed, canvas, presenter);
        for (int i = 0; i < 1000; ++i) {
            const char *action = walk.step();
            if (presenter)
                walk.board().advanceClock(0.1);
            walk.board().do_video_tick();
            QImage composed = walk.board().image();
            const QImage full = walk.board().fullComposition();
            // A board with nothing to show holds no frame: it must have been transparent.
            if (composed.isNull()) {
                composed = QImage(full.size(), full.format());
                composed.fill(Qt::transparent);
            }
            ASSERT_EQ(composed, full) << (presenter ? "presenter walk, " : "") << canvas.width() << " wide, seed " << seed << ", step " << i << ": " << action;
            ASSERT_EQ(walk.board().indexedItems(), visibleItems(walk.board()))
                << (presenter ? "presenter walk, " : "") << canvas.width() << " wide, seed " << seed << ", step " << i << ": " << action;
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
}

// Each kind of change, in an order that reaches every path: only a new size,
// background or load rebuilds the layer, and afterwards the index holds
// exactly the visible items and the frame is the full composition.
TEST(CompositionWalk, OnlyChangesOfEverythingRebuildAndTheIndexFollowsEveryChange)
{
    KPWhiteBoardObject board(nullptr);
    board.setSize(600, 420);
    board.setCurrentItemProperty({3, kRed, KPWB::DRAW_ITEM_TYPE_ELLIPSE});
    const auto draw = [&board](int n) { drag(board, {20 + 40 * n, 30 + 25 * n}, {90 + 40 * n, 80 + 25 * n}); };
    const auto restyle = [&board](quint32 background) {
        Data settings = boardSettings(KPWB::DRAW_ITEM_TYPE_LINE, background, kRed, 3, board.width(), board.height());
        board.updateWithSettings(settings.get());
    };
    const struct
    {
        const char *name;
        std::function<void()> change;
        int rebuilds;
    } changes[] = {
        {"draw", [&] { draw(0); draw(1); draw(2); }, 0},
        {"undo", [&] { board.do_undo(); }, 0},
        {"redo", [&] { board.do_redo(); }, 0},
        {"undo, draw over the redo tail", [&] { board.do_undo(); draw(5); }, 0},
        {"clear", [&] { board.do_clear(); }, 0},
        {"draw after the clear", [&] { draw(7); }, 0},
        {"undo that, undo the clear", [&] { board.do_undo(); board.do_undo(); }, 0},
        {"redo the clear", [&] { board.do_redo(); }, 0},
        {"undo the clear again", [&] { board.do_undo(); }, 0},
        {"hide handwriting", [&] { board.setHideHandwriting(true); }, 0},
        {"undo while hidden", [&] { board.do_undo(); }, 0},
        {"show handwriting", [&] { board.setHideHandwriting(false); }, 0},
        {"deactivate and activate", [&] { board.setActive(false); board.do_video_tick(); board.setActive(true); }, 0},
        {"background", [&] { restyle(kTransparent); }, 1},
        {"size", [&] { board.setSize(500, 420); }, 1},
        {"clear of a transparent board, and its undo", [&] { board.do_clear(); board.do_video_tick(); board.do_undo(); }, 0},
        {"save and load", [&] {
             Data saved(obs_data_create());
             board.save(saved.get());
             board.reset();
             board.load(saved.get());
         }, 1},
    };
    board.do_video_tick();
    for (const auto &step : changes) {
        const quint64 rebuilds = board.cacheRebuilds();
        step.change();
        board.do_video_tick();
        EXPECT_EQ(board.cacheRebuilds() - rebuilds, quint64(step.rebuilds)) << step.name;
        EXPECT_EQ(board.indexedItems(), visibleItems(board)) << step.name;
        EXPECT_EQ(board.image(), board.fullComposition()) << step.name;
    }
}
