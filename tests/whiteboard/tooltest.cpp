// The tools as the board's input reaches them: one table over every tool,
// and the rules of the shape tool's drag.

#include "boardtestsupport.h"
#include "kptextdata.h"
#include "kpwhiteboarditemobject.h"

#include <gtest/gtest.h>

using namespace boardtest;

namespace {

Data readBack(const QSharedPointer<KPWhiteBoardItemObject> &item)
{
    return Data(item->toData());
}

// The smallest rectangle holding every pixel that differs between two frames.
QRect changedPixels(const QImage &a, const QImage &b)
{
    QRect changed;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            if (a.pixel(x, y) != b.pixel(x, y))
                changed |= QRect(x, y, 1, 1);
        }
    }
    return changed;
}

} // namespace

// A press, a move and a release with each tool: whether an item is filed,
// whether the current item is still being drawn, and that what a filed item
// paints lies within its bounds (the compositor recomposes only those).
TEST(Tools, EveryToolOnOneDrag)
{
    const struct
    {
        int type;
        int filed;
        bool drawing; // the current item after the release
        bool ink;     // the frame changed
    } tools[] = {
        {KPWB::DRAW_ITEM_TYPE_UNDEFINED, 0, false, false}, {KPWB::DRAW_ITEM_TYPE_RECT, 1, false, true},
        {KPWB::DRAW_ITEM_TYPE_POINT, 1, false, true},      {KPWB::DRAW_ITEM_TYPE_ARROW, 1, false, true},
        {KPWB::DRAW_ITEM_TYPE_LINE, 1, false, true},       {KPWB::DRAW_ITEM_TYPE_ELLIPSE, 1, false, true},
        {KPWB::DRAW_ITEM_TYPE_PEN, 1, false, true},        {KPWB::DRAW_ITEM_TYPE_TEXT, 0, true, true},
        {KPWB::Draw_ITEM_TYPE_PEN_ALPHA, 1, false, true},  {KPWB::DRAW_ITEM_TYPE_ERASER, 0, false, false},
        {KPWB::DRAW_ITEM_TYPE_LASER, 0, false, true},      {KPWB::DRAW_ITEM_TYPE_SPOTLIGHT, 0, false, true},
        {12, 0, false, false},                             {-1, 0, false, false},
    };
    for (const auto &tool : tools) {
        DrawingBoard d(tool.type, kWhite, kRed, 6);
        const QImage blank = compose(d.board);
        press(d.board, {100, 100});
        move(d.board, {150, 130});
        release(d.board, {200, 150});
        const QImage frame = compose(d.board);
        const auto items = d.board.items();
        ASSERT_EQ(items.size(), tool.filed) << tool.type;
        EXPECT_EQ(d.board.undoCount(), tool.filed) << tool.type;
        EXPECT_EQ(d.board.currentItem()->leftClicked(), tool.drawing) << tool.type;
        EXPECT_EQ(d.board.currentItem()->itemProperty.type, tool.type) << tool.type;
        const QRect ink = changedPixels(blank, frame);
        EXPECT_EQ(!ink.isEmpty(), tool.ink) << tool.type;
        if (tool.filed) {
            EXPECT_TRUE(items[0]->paintBounds().contains(QRectF(ink))) << tool.type;
        }
        EXPECT_EQ(frame, d.board.fullComposition()) << tool.type;
    }
}

// ---- the shape tool's mouse life cycle ----------------------------------------

TEST(ShapeTool, RightButtonDoubleClickAndStillClickFinishNothing)
{
    DrawingBoard d(KPWB::DRAW_ITEM_TYPE_RECT);
    press(d.board, {10, 10}, MOUSE_RIGHT);
    move(d.board, {50, 50});
    release(d.board, {50, 50}, MOUSE_RIGHT);
    EXPECT_EQ(d.board.currentItem()->startPoint(), QPoint(0, 0));
    EXPECT_EQ(d.board.currentItem()->endPoint(), QPoint(0, 0));

    press(d.board, {10, 10}, MOUSE_LEFT, 2);
    EXPECT_FALSE(d.board.currentItem()->leftClicked());

    press(d.board, {30, 30});
    release(d.board, {30, 30});
    EXPECT_TRUE(d.board.items().isEmpty());
    EXPECT_EQ(d.board.undoCount(), 0);
    EXPECT_FALSE(d.board.currentItem()->initialized());

    // A drag cut short by a right press (its left release never came) does
    // not make the next still click a drawing.
    press(d.board, {60, 60});
    move(d.board, {90, 90});
    press(d.board, {90, 90}, MOUSE_RIGHT);
    release(d.board, {90, 90}, MOUSE_RIGHT);
    press(d.board, {120, 120});
    release(d.board, {120, 120});
    EXPECT_TRUE(d.board.items().isEmpty());
    EXPECT_EQ(d.board.undoCount(), 0);
}

TEST(ShapeTool, DotFinishesOnPressAndTheNextPressReachesANewItem)
{
    DrawingBoard d(KPWB::DRAW_ITEM_TYPE_POINT);
    press(d.board, {120, 80});
    release(d.board, {120, 80});
    press(d.board, {60, 40});
    const auto items = d.board.items();
    ASSERT_EQ(items.size(), 2);
    EXPECT_TRUE(items[0]->initialized());
    EXPECT_EQ(items[1]->startPoint(), QPoint(60, 40));
    EXPECT_EQ(d.board.currentItem()->itemProperty.type, KPWB::DRAW_ITEM_TYPE_POINT);
    EXPECT_FALSE(d.board.currentItem()->initialized());

    Data record = readBack(items[0]);
    EXPECT_EQ(obs_data_get_int(record.get(), "kp_wb_data_startPoint_x"), 120);
    EXPECT_EQ(obs_data_get_int(record.get(), "kp_wb_data_endPoint_y"), 80);
    obs_data_array_t *points = obs_data_get_array(record.get(), "kp_wb_data_points");
    obs_data_array_t *samples = obs_data_get_array(record.get(), "kp_wb_pressure_points");
    ASSERT_NE(points, nullptr);
    ASSERT_NE(samples, nullptr);
    EXPECT_EQ(obs_data_array_count(points), 0u);
    EXPECT_EQ(obs_data_array_count(samples), 0u);
    obs_data_array_release(points);
    obs_data_array_release(samples);
}

TEST(ShapeTool, ShiftOnReleaseStraightensALine)
{
    DrawingBoard d(KPWB::DRAW_ITEM_TYPE_LINE);
    press(d.board, {0, 0});
    move(d.board, {20, 20});
    setShift(d.board, true);
    release(d.board, {30, 10});
    ASSERT_EQ(d.board.items().size(), 1);
    EXPECT_EQ(d.board.items()[0]->endPoint(), QPoint(30, 0));
}

// Far pointer positions are bounded before any arithmetic, as loaded text
// positions are, and the constrained end keeps the shape.
TEST(ShapeTool, FarShiftDragsSaveABoundedConstrainedEnd)
{
    const int lo = std::numeric_limits<int>::min();
    const int hi = std::numeric_limits<int>::max();
    const int limit = KPTextItemData::CoordinateLimit;
    const struct
    {
        int type;
        QPoint end;
    } cases[] = {{KPWB::DRAW_ITEM_TYPE_RECT, {limit, limit}},
                 {KPWB::DRAW_ITEM_TYPE_ELLIPSE, {limit, limit}},
                 {KPWB::DRAW_ITEM_TYPE_LINE, {-limit, limit}},
                 {KPWB::DRAW_ITEM_TYPE_ARROW, {-limit, limit}}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.type);
        DrawingBoard d(c.type);
        press(d.board, {lo, lo});
        move(d.board, {0, 0});
        setShift(d.board, true);
        release(d.board, {hi, hi});
        ASSERT_EQ(d.board.items().size(), 1);
        EXPECT_EQ(d.board.items()[0]->startPoint(), QPoint(-limit, -limit));
        EXPECT_EQ(d.board.items()[0]->endPoint(), c.end);
        compose(d.board);
    }
}

