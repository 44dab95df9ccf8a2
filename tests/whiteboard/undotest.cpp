#include "boardtestsupport.h"
#include "kplogcapture.h"
#include "kpwhiteboarditemobject.h"

#include <gtest/gtest.h>

using namespace boardtest;

namespace {

class Undo : public ::testing::Test
{
protected:
    Undo() : board(nullptr)
    {
        board.updateWithSettings(boardSettings(KPWB::DRAW_ITEM_TYPE_RECT).get());
    }

    // Rectangle number n spans x 20+60n .. 60+60n, y 20..60.
    void drawRect(int n) { drag(board, {20 + 60 * n, 20}, {60 + 60 * n, 60}); }
    bool painted(int n) { return isInk(compose(board), 20 + 60 * n, 40); }

    QList<bool> visibility()
    {
        QList<bool> result;
        for (const auto &item : board.items())
            result << item->visible();
        return result;
    }

    KPWhiteBoardObject board;
};

} // namespace

TEST_F(Undo, WalksBackAndForthAndDropsTheRedoTail)
{
    for (int n = 0; n < 3; ++n)
        drawRect(n);
    EXPECT_EQ(board.undoCount(), 3);
    board.do_undo();
    board.do_undo();
    EXPECT_EQ(visibility(), (QList<bool>{true, false, false}));
    EXPECT_EQ(board.undoIndex(), 1);
    EXPECT_TRUE(painted(0));
    EXPECT_FALSE(painted(1));
    board.do_redo();
    EXPECT_EQ(visibility(), (QList<bool>{true, true, false}));
    EXPECT_TRUE(painted(1));

    drawRect(3);
    EXPECT_EQ(board.undoCount(), 3);
    board.do_redo();
    EXPECT_EQ(visibility(), (QList<bool>{true, true, false, true}));
    EXPECT_FALSE(painted(2));
    EXPECT_TRUE(painted(3));
}

TEST_F(Undo, EmptyStackStillLogsCountAndIndex)
{
    KPLogCapture log;
    board.do_undo();
    board.do_redo();
    EXPECT_EQ(log.linesWithContent(QStringLiteral("QQQV:do_undo:count=0,index=0")).size(), 1);
    EXPECT_EQ(log.linesWithContent(QStringLiteral("QQQV:do_redo:count=0,index=0")).size(), 1);
    EXPECT_TRUE(board.items().isEmpty());
}

TEST_F(Undo, UndoFirstFilesAFinishedCurrentItemThenHidesExactlyIt)
{
    drawRect(0);
    const auto finished = board.currentItem();
    finished->markInitialized();
    KPLogCapture log;
    board.do_undo();
    EXPECT_EQ(log.linesWithContent(QStringLiteral("QQQV:do_undo:count=2,index=2")).size(), 1);
    EXPECT_EQ(visibility(), (QList<bool>{true, false}));
    EXPECT_EQ(board.items()[1], finished);
    EXPECT_NE(board.currentItem(), finished);
}

TEST_F(Undo, ClearHidesEverythingAndUndoBringsItBack)
{
    drawRect(0);
    drawRect(1);
    board.do_undo();
    board.do_clear();
    EXPECT_EQ(board.undoCount(), 2); // the hidden rectangle's command was dropped
    EXPECT_EQ(visibility(), (QList<bool>{false, false}));
    EXPECT_FALSE(painted(0));

    board.do_clear(); // nothing visible: no undo step
    EXPECT_EQ(board.undoCount(), 2);

    board.do_undo();
    EXPECT_EQ(visibility(), (QList<bool>{true, false}));
    EXPECT_TRUE(painted(0));
    board.do_redo();
    EXPECT_EQ(visibility(), (QList<bool>{false, false}));
}

TEST_F(Undo, ClearOnAnEmptyBoardLeavesNoStep)
{
    board.do_clear();
    EXPECT_EQ(board.undoCount(), 0);
}

TEST_F(Undo, ClearKeepsAFinishedCurrentItemSoUndoingTheClearShowsIt)
{
    drawRect(0);
    // A finished item that is still current, as a text box being edited is.
    press(board, {20, 120});
    move(board, {100, 160});
    const auto current = board.currentItem();
    current->markInitialized();
    EXPECT_TRUE(isInk(compose(board), 20, 140));

    board.do_clear();
    EXPECT_EQ(board.undoCount(), 2); // one addition and the clear, nothing more
    ASSERT_EQ(board.items().size(), 2);
    EXPECT_EQ(board.items().last(), current);
    EXPECT_NE(board.currentItem(), current);
    EXPECT_FALSE(isInk(compose(board), 20, 140));

    board.do_undo();
    EXPECT_EQ(visibility(), (QList<bool>{true, true}));
    EXPECT_TRUE(isInk(compose(board), 20, 140));
    EXPECT_TRUE(painted(0));
}

TEST_F(Undo, ClearEmptiesThePressureLayer)
{
    KPWB::ItemProperty pen;
    pen.type = KPWB::DRAW_ITEM_TYPE_PEN;
    board.setCurrentItemProperty(pen);
    tabletStroke(board, {100, 100}, {200, 100});
    EXPECT_TRUE(isInk(compose(board), 150, 100));
    board.do_clear();
    const QPixmap layer = board.pressureLayer();
    EXPECT_EQ(layer.size(), QSize(400, 300));
    EXPECT_FALSE(isInk(compose(board), 150, 100));
    // Undoing the clear shows the stroke's item again, and so the stroke.
    board.do_undo();
    EXPECT_TRUE(isInk(compose(board), 150, 100));
}

TEST_F(Undo, PressureStrokesFollowUndoAndRedoOnScreen)
{
    KPWB::ItemProperty pen;
    pen.type = KPWB::DRAW_ITEM_TYPE_PEN;
    board.setCurrentItemProperty(pen);
    const auto stroke = [this](int y) {
        tabletStroke(board, {100, double(y)}, {200, double(y)});
    };
    stroke(100);
    stroke(200);
    const QImage both = compose(board);
    EXPECT_TRUE(isInk(both, 150, 100) && isInk(both, 150, 200));

    board.do_undo();
    const QImage first = compose(board);
    EXPECT_TRUE(isInk(first, 150, 100));
    EXPECT_FALSE(isInk(first, 150, 200));

    board.do_redo();
    EXPECT_EQ(compose(board), both);
}

// Undo, redo, clear and activation arriving while the pen is down leave the
// stroke being drawn whole: it continues as if nothing had happened.
TEST_F(Undo, TheStrokeBeingDrawnSurvivesCommandsAndActivation)
{
    KPWB::ItemProperty pen;
    pen.type = KPWB::DRAW_ITEM_TYPE_PEN;
    const auto stroke = [&pen](KPWhiteBoardObject &target, bool interrupt) {
        target.setCurrentItemProperty(pen);
        tablet(target, QEvent::TabletPress, {100, 100}, 1.0);
        tablet(target, QEvent::TabletMove, {150, 100}, 1.0);
        if (interrupt) {
            target.do_undo();
            target.do_redo();
            target.do_clear();
            target.setActive(true);
        }
        tablet(target, QEvent::TabletMove, {200, 100}, 1.0);
        tablet(target, QEvent::TabletRelease, {200, 100}, 1.0);
        return compose(target);
    };
    KPWhiteBoardObject plain(nullptr);
    plain.updateWithSettings(boardSettings(KPWB::DRAW_ITEM_TYPE_PEN).get());
    const QImage expected = stroke(plain, false);
    EXPECT_TRUE(isInk(expected, 125, 100));
    EXPECT_EQ(stroke(board, true), expected);
}
