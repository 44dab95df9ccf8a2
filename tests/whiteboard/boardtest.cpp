#include "boardtestsupport.h"
#include "kplogcapture.h"
#include "kpobstestenvironment.h"
#include "kpwhiteboarditemobject.h"

#include <gtest/gtest.h>

#include <obs-interaction.h>

#include <thread>

using namespace boardtest;

// libobs without video: every texture step must be harmless.
static auto *const g_environment = ::testing::AddGlobalTestEnvironment(
    new KPObsTestEnvironment({/*video*/ false, /*plugin*/ false, 1280, 720}));

TEST(Board, NewBoardIsWhite400By300WithAnIdleCurrentItem)
{
    KPWhiteBoardObject board(nullptr);
    EXPECT_EQ(board.width(), 400);
    EXPECT_EQ(board.height(), 300);
    EXPECT_EQ(board.background(), KPWhiteBoardObject::kInitialBackground);
    ASSERT_TRUE(board.currentItem());
    EXPECT_EQ(board.currentItem()->itemProperty.type, 0);
    press(board, {10, 10});
    move(board, {100, 100});
    release(board, {100, 100});
    const QImage frame = compose(board);
    ASSERT_EQ(frame.size(), QSize(400, 300));
    EXPECT_EQ(frame.format(), QImage::Format_RGBA8888);
    EXPECT_EQ(frame.pixelColor(50, 50), QColor(Qt::white));
    EXPECT_TRUE(board.items().isEmpty());
    EXPECT_FALSE(board.hasTexture());
}

TEST(Board, StrokeScaleNeedsAnItemWidthAboveOne)
{
    KPWhiteBoardObject board(nullptr);
    Data settings = boardSettings(1);
    board.updateWithSettings(settings.get());
    EXPECT_DOUBLE_EQ(board.itemScale(), 1.0);
    obs_data_set_double(settings.get(), "kp_wb_item_width", 1.0);
    board.updateWithSettings(settings.get());
    EXPECT_DOUBLE_EQ(board.itemScale(), 1.0);
    obs_data_set_double(settings.get(), "kp_wb_item_width", 200.0);
    board.updateWithSettings(settings.get());
    EXPECT_DOUBLE_EQ(board.itemScale(), 2.0);

    // A canvas width arriving with the view width scales from the new width.
    KPWhiteBoardObject wide(nullptr);
    Data wideSettings = boardSettings(1, kWhite, kRed, 20, 800, 300);
    obs_data_set_double(wideSettings.get(), "kp_wb_item_width", 400.0);
    wide.updateWithSettings(wideSettings.get());
    EXPECT_DOUBLE_EQ(wide.itemScale(), 2.0);
}

TEST(Board, SizeChangesRebuildTheImageAndAbsurdSizesAreRefused)
{
    KPWhiteBoardObject board(nullptr);
    Data settings = boardSettings(1);
    board.updateWithSettings(settings.get());
    EXPECT_EQ(compose(board).size(), QSize(400, 300));
    obs_data_set_int(settings.get(), "kp_wb_height", 200);
    board.updateWithSettings(settings.get());
    EXPECT_EQ(compose(board).size(), QSize(400, 200));

    KPLogCapture log;
    obs_data_set_int(settings.get(), "kp_wb_width", -4);
    board.updateWithSettings(settings.get());
    board.setSize(100000, 10);
    EXPECT_EQ(board.width(), 400);
    EXPECT_EQ(compose(board).size(), QSize(400, 200));
    EXPECT_EQ(log.linesWithContent(QStringLiteral("canvas size 100000x10 refused.")).size(), 1);

    board.setSize(0, 10);
    board.do_video_tick(); // a zero side composes nothing
    EXPECT_EQ(board.image().size(), QSize(400, 200));
    board.updateWithSettings(nullptr);
    EXPECT_EQ(board.width(), 0);
}

TEST(Board, HiddenHandwritingIgnoresPointerAndTabletInput)
{
    KPWhiteBoardObject board(nullptr);
    board.updateWithSettings(boardSettings(KPWB::DRAW_ITEM_TYPE_RECT).get());
    drag(board, {10, 10}, {100, 100});
    Data hidden = boardSettings(KPWB::DRAW_ITEM_TYPE_PEN);
    obs_data_set_bool(hidden.get(), "kp_wb_hideHandwriting", true);
    board.updateWithSettings(hidden.get());

    KPLogCapture log;
    press(board, {200, 200});
    move(board, {250, 250});
    release(board, {250, 250});
    tablet(board, QEvent::TabletPress, {200, 200}, 1.0);
    EXPECT_EQ(log.linesWithContent(QStringLiteral("m_hideHandwriting is true.")).size(), 1);
    EXPECT_FALSE(board.currentItem()->leftClicked());
    EXPECT_TRUE(board.currentItem()->points().isEmpty());
    EXPECT_EQ(board.items().size(), 1);
    EXPECT_TRUE(board.pressureLayer().isNull());
    const QImage frame = compose(board);
    EXPECT_EQ(frame.pixelColor(10, 50), QColor(Qt::white)); // the rectangle is not drawn
}

// Key events carry the modifiers held once they have happened: a key let go
// while Shift is down keeps it, Shift's own release ends it.
TEST(Board, ShiftFollowsTheModifiersOfEveryKeyEvent)
{
    KPWhiteBoardObject board(nullptr);
    KPLogCapture log;
    setShift(board, true);
    EXPECT_TRUE(board.isShiftPressed());
    obs_key_event shifted = {};
    shifted.modifiers = INTERACT_SHIFT_KEY;
    board.do_key_click(&shifted, true);
    EXPECT_TRUE(board.isShiftPressed());
    setShift(board, false);
    EXPECT_FALSE(board.isShiftPressed());
    obs_key_event plain = {};
    board.do_key_click(&plain, true);
    EXPECT_FALSE(board.isShiftPressed());
    EXPECT_EQ(log.linesWithContent(QStringLiteral("shift held: 0")).size(), 1);
    EXPECT_EQ(log.linesWithContent(QStringLiteral("shift held: 1")).size(), 1);
    board.do_key_click(nullptr, false); // dropped, with a log line
}

TEST(Board, FocusLossFilesAFinishedCurrentItem)
{
    KPWhiteBoardObject board(nullptr);
    board.updateWithSettings(boardSettings(KPWB::DRAW_ITEM_TYPE_RECT).get());
    board.focus(false);
    EXPECT_TRUE(board.items().isEmpty());

    const auto finished = board.currentItem();
    finished->markInitialized();
    board.focus(true);
    EXPECT_TRUE(board.items().isEmpty());
    board.focus(false);
    ASSERT_EQ(board.items().size(), 1);
    EXPECT_EQ(board.items()[0], finished);
    EXPECT_EQ(board.undoCount(), 1);
    EXPECT_NE(board.currentItem(), finished);
    EXPECT_EQ(board.currentItem()->itemProperty.type, KPWB::DRAW_ITEM_TYPE_RECT);
}

TEST(Board, SettingsUpdateFilesAFinishedCurrentItemBeforeChangingTheTool)
{
    KPWhiteBoardObject board(nullptr);
    board.updateWithSettings(boardSettings(KPWB::DRAW_ITEM_TYPE_RECT).get());
    const auto finished = board.currentItem();
    finished->markInitialized();
    board.updateWithSettings(boardSettings(KPWB::DRAW_ITEM_TYPE_LINE).get());
    ASSERT_EQ(board.items().size(), 1);
    EXPECT_EQ(finished->itemProperty.type, KPWB::DRAW_ITEM_TYPE_RECT);
    EXPECT_EQ(board.currentItem()->itemProperty.type, KPWB::DRAW_ITEM_TYPE_LINE);
}

TEST(Board, DeactivationDropsImageLayerAndTextureAndReactivationRedrawsThem)
{
    KPWhiteBoardObject board(nullptr);
    board.updateWithSettings(boardSettings(KPWB::DRAW_ITEM_TYPE_PEN).get());
    tabletStroke(board, {100, 100}, {200, 100});
    const QImage drawn = compose(board);
    EXPECT_TRUE(isInk(drawn, 150, 100));
    const QImage layer = board.pressureLayer().toImage();
    EXPECT_FALSE(layer.isNull());
    board.setActive(false);
    EXPECT_FALSE(board.isActive());
    EXPECT_TRUE(board.image().isNull());
    EXPECT_TRUE(board.pressureLayer().isNull());
    EXPECT_FALSE(board.hasTexture());
    board.do_video_tick();
    EXPECT_TRUE(board.image().isNull());
    board.do_video_render(nullptr); // draws nothing

    // Back at the same size: the frame and the stroke come back as they were.
    board.setActive(true);
    EXPECT_TRUE(board.isActive());
    EXPECT_EQ(compose(board), drawn);
    // Activating an active board repaints its strokes once, not over themselves.
    board.setActive(true);
    compose(board);
    EXPECT_EQ(board.pressureLayer().toImage(), layer);
}

TEST(Board, ResetEmptiesListHistoryAndKeepsTheTool)
{
    KPWhiteBoardObject board(nullptr);
    board.updateWithSettings(boardSettings(KPWB::DRAW_ITEM_TYPE_LINE).get());
    drag(board, {10, 10}, {100, 10});
    KPWB::ItemProperty pen;
    pen.type = KPWB::DRAW_ITEM_TYPE_PEN;
    board.setCurrentItemProperty(pen);
    tabletStroke(board, {100, 100}, {200, 100});
    EXPECT_TRUE(isInk(compose(board), 150, 100));
    pen.type = KPWB::DRAW_ITEM_TYPE_LINE;
    board.setCurrentItemProperty(pen);
    board.reset();
    EXPECT_TRUE(board.items().isEmpty());
    EXPECT_EQ(board.undoCount(), 0);
    EXPECT_EQ(board.currentItem()->itemProperty.type, KPWB::DRAW_ITEM_TYPE_LINE);
    const QImage frame = compose(board);
    EXPECT_FALSE(isInk(frame, 50, 10));
    // The pressure strokes of the dropped items are gone too.
    EXPECT_FALSE(isInk(frame, 150, 100));
}

// Hosts destroy sources on long-lived threads that run no Qt event loop: the
// history and with it every item must go with the board, not at thread exit.
TEST(Board, DestructionOnAPlainThreadReleasesHistoryAndItemsAtOnce)
{
    bool released = false;
    std::thread host([&released] {
        auto *board = new KPWhiteBoardObject(nullptr);
        board->updateWithSettings(boardSettings(KPWB::DRAW_ITEM_TYPE_LINE).get());
        drag(*board, {10, 10}, {100, 10});
        const QWeakPointer<KPWhiteBoardItemObject> drawn = board->items().first();
        delete board;
        released = drawn.isNull();
    });
    host.join();
    EXPECT_TRUE(released);
}
