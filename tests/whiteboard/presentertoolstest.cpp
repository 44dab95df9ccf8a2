// The eraser, the laser pointer and the spotlight on a board without video.

#include "boardtestsupport.h"
#include "ft2source.h"
#include "kpimageplugin.h"
#include "kpimagepluginlist.h"
#include "kptextdata.h"
#include "kpwhiteboarditemobject.h"

#include <gtest/gtest.h>

#include <functional>

using namespace boardtest;

namespace {

const quint32 kBlue = 0xffff0000u;
const quint32 kGreen = 0xff00ff00u;

void useTool(KPWhiteBoardObject &board, int type, int size, quint32 colour = kRed)
{
    board.setCurrentItemProperty({quint32(size), colour, type});
}

void useSpotlight(KPWhiteBoardObject &board, int radius)
{
    KPWB::ItemProperty tool{10, kRed, KPWB::DRAW_ITEM_TYPE_SPOTLIGHT};
    tool.spotlightRadius = quint32(radius);
    board.setCurrentItemProperty(tool);
}

// An eraser of size 10: radius 5 at scale 1.
void eraseAlong(KPWhiteBoardObject &board, QPoint from, QPoint to)
{
    useTool(board, KPWB::DRAW_ITEM_TYPE_ERASER, 10);
    drag(board, from, to);
}

int visibleItems(const KPWhiteBoardObject &board)
{
    int count = 0;
    for (const auto &item : board.items())
        count += item->visible();
    return count;
}

int savedItems(KPWhiteBoardObject &board)
{
    Data saved(obs_data_create());
    board.save(saved.get());
    Data content(obs_data_get_obj(saved.get(), "kp_wb_data"));
    obs_data_array_t *items = obs_data_get_array(content.get(), "kp_wb_data_datas");
    const int count = int(obs_data_array_count(items));
    obs_data_array_release(items);
    return count;
}

void typeText(KPWhiteBoardObject &board, QPoint at, const char *text)
{
    useTool(board, KPWB::DRAW_ITEM_TYPE_TEXT, 20);
    press(board, at);
    release(board, at);
    for (const char *c = text; *c; ++c) {
        char one[2] = {*c, 0};
        obs_key_event event = {0, one, 0, uint32_t(*c), 0};
        board.do_key_click(&event, false);
        board.do_key_click(&event, true);
    }
    compose(board); // lays the text out
    board.focus(false);
}

QRect textRectOf(const KPWhiteBoardObject &board)
{
    const auto item = board.items().last();
    return item->textItemData()->source()->textRect();
}

struct Board
{
    Board() : board(nullptr) { board.updateWithSettings(boardSettings(0).get()); }
    KPWhiteBoardObject board;
};

} // namespace

// Each kind is drawn, then erased by a path as far from its painted edge as
// the eraser reaches (touched), and by one a pixel farther (not touched).
TEST(Eraser, EveryItemKindIsTouchedWithinTheRadiusAndNotOnePixelBeyond)
{
    struct Case
    {
        const char *kind;
        std::function<void(KPWhiteBoardObject &)> draw;
        // The top of what is painted, x range of the path, and how far the
        // paint reaches beyond the eraser's radius (half a pen, a dot's radius).
        std::function<int(KPWhiteBoardObject &)> top;
        int x0, x1, reach;
    };
    const auto fixedTop = [](int y) { return [y](KPWhiteBoardObject &) { return y; }; };
    const auto shape = [](int type, int size, QPoint a, QPoint b) {
        return [=](KPWhiteBoardObject &board) {
            useTool(board, type, size);
            drag(board, a, b);
        };
    };
    const QList<Case> cases = {
        {"rectangle", shape(1, 20, {100, 100}, {200, 160}), fixedTop(100), 120, 180, 0},
        {"dot", shape(2, 20, {150, 130}, {150, 130}), fixedTop(130), 140, 160, 10},
        {"arrow", shape(3, 20, {100, 130}, {200, 130}), fixedTop(130), 110, 150, 0},
        {"line", shape(4, 20, {100, 130}, {200, 130}), fixedTop(130), 110, 190, 0},
        {"ellipse", shape(5, 20, {100, 100}, {200, 160}), fixedTop(100), 148, 152, 0},
        {"freehand", shape(6, 20, {100, 130}, {200, 130}), fixedTop(130), 110, 190, 0},
        {"pressure",
         [](KPWhiteBoardObject &board) {
             useTool(board, 6, 20);
             tabletStroke(board, {100, 130}, {200, 130});
         },
         fixedTop(130), 110, 190, 2},
        {"highlighter", shape(8, 20, {100, 130}, {200, 130}), fixedTop(130), 110, 190, 5},
        {"text", [](KPWhiteBoardObject &board) { typeText(board, {100, 100}, "Wide"); },
         [](KPWhiteBoardObject &board) { return textRectOf(board).top(); }, 100, 140, 0},
    };
    for (const Case &c : cases) {
        for (const int beyond : {0, 1}) {
            Board b;
            c.draw(b.board);
            ASSERT_EQ(visibleItems(b.board), 1) << c.kind;
            const int undo = b.board.undoCount();
            const int y = c.top(b.board) - 5 - c.reach - beyond;
            eraseAlong(b.board, {c.x0, y}, {c.x1, y});
            EXPECT_EQ(visibleItems(b.board), beyond) << c.kind << (beyond ? " beyond" : " within");
            // A drag that touched nothing files no step.
            EXPECT_EQ(b.board.undoCount(), undo + 1 - beyond) << c.kind;
        }
    }
}

TEST(Eraser, OneDragIsOneStepWhoseUndoRestoresTheFrameAndTheDrawingOrder)
{
    Board b;
    KPWhiteBoardObject &board = b.board;
    useTool(board, KPWB::Draw_ITEM_TYPE_PEN_ALPHA, 20, kBlue);
    drag(board, {50, 100}, {350, 100});
    useTool(board, KPWB::DRAW_ITEM_TYPE_RECT, 20, kGreen);
    drag(board, {80, 80}, {300, 200});
    useTool(board, KPWB::DRAW_ITEM_TYPE_PEN, 20);
    tabletStroke(board, {60, 110}, {340, 90});
    useTool(board, KPWB::DRAW_ITEM_TYPE_LINE, 20);
    drag(board, {10, 280}, {390, 280});
    const QImage before = compose(board);
    const int steps = board.undoCount();

    // A vertical drag across the first three, not the line at the bottom.
    eraseAlong(board, {200, 60}, {200, 210});
    EXPECT_EQ(visibleItems(board), 1);
    EXPECT_EQ(board.undoCount(), steps + 1);
    EXPECT_EQ(savedItems(board), 1);
    const QImage erased = compose(board);
    EXPECT_NE(erased, before);

    board.do_undo();
    EXPECT_EQ(compose(board), before);
    EXPECT_EQ(savedItems(board), 4);
    board.do_redo();
    EXPECT_EQ(compose(board), erased);
    EXPECT_EQ(board.image(), board.fullComposition());
}

TEST(Eraser, ErasingOnAnImagePageLeavesTheOtherPagesAlone)
{
    KPImagePluginList list(nullptr);
    for (const char *file : {"a.png", "b.png"}) {
        list.setCurrentFile(QString::fromLatin1(file));
        list.setSize(400, 300);
        KPImagePlugin *page = list.currentPage();
        useTool(*page, KPWB::DRAW_ITEM_TYPE_LINE, 4);
        drag(*page, {10, 50}, {390, 50});
    }
    eraseAlong(*list.currentPage(), {200, 10}, {200, 90});
    EXPECT_EQ(visibleItems(*list.currentPage()), 0);
    list.setCurrentFile(QStringLiteral("a.png"));
    EXPECT_EQ(visibleItems(*list.currentPage()), 1);
}

TEST(Laser, ATrailFadesWithinASecondOfTicksLeavingNoItemAndAnIdleBoard)
{
    Board b;
    KPWhiteBoardObject &board = b.board;
    const QImage blank = compose(board);
    useTool(board, KPWB::DRAW_ITEM_TYPE_LASER, 6);
    drag(board, {50, 150}, {350, 150});
    board.advanceClock(0.1);
    QImage frame = compose(board);
    EXPECT_TRUE(isInk(frame, 200, 150));
    EXPECT_TRUE(board.items().isEmpty());
    EXPECT_EQ(board.undoCount(), 0);
    EXPECT_EQ(savedItems(board), 0);

    // A pointer, not handwriting: clear, undo and hidden handwriting leave it.
    board.do_clear();
    board.do_undo();
    board.setHideHandwriting(true);
    frame = compose(board);
    EXPECT_TRUE(isInk(frame, 200, 150));
    EXPECT_EQ(frame, board.fullComposition());
    board.setHideHandwriting(false);

    // Half faded: still there, fainter.
    board.advanceClock(0.4);
    const QImage half = compose(board);
    EXPECT_GT(half.pixelColor(200, 150).green(), frame.pixelColor(200, 150).green());
    const quint64 rebuilds = board.cacheRebuilds();
    for (int i = 0; i < 7; ++i) {
        board.advanceClock(0.1);
        board.do_video_tick();
    }
    EXPECT_EQ(board.image(), blank);
    EXPECT_EQ(board.cacheRebuilds(), rebuilds);
    const quint64 frames = board.composedFrames();
    for (int i = 0; i < 10; ++i) {
        board.advanceClock(0.1);
        board.do_video_tick();
    }
    EXPECT_EQ(board.composedFrames(), frames);

    // Held still until the whole trail faded, then moved on: a dot where the
    // pointer is now, and nothing read before the trail's first point.
    press(board, {100, 100});
    for (int i = 0; i < 12; ++i) {
        board.advanceClock(0.1);
        board.do_video_tick();
    }
    move(board, {120, 100});
    EXPECT_TRUE(isInk(compose(board), 120, 100));
    release(board, {120, 100});
}

// Trail points from a slow pointer to ones almost as far apart as the trail
// is wide, each a little newer than the last: along the centre line and off
// it, the alpha only grows towards the newest point, with no gap between
// points and no bead where neighbouring segments overlap (beads show where
// points lie apart; close ones overlap evenly).
TEST(Laser, TrailPointsCloserThanItsWidthFadeSmoothlyAlongItsPath)
{
    const struct
    {
        int width, spacing;
    } cases[] = {{12, 3}, {12, 8}, {12, 11}, {30, 20}, {40, 6}};
    for (const auto &c : cases) {
        DrawingBoard b(0, kTransparent);
        KPWhiteBoardObject &board = b.board;
        KPWB::ItemProperty tool{20, kRed, KPWB::DRAW_ITEM_TYPE_LASER};
        tool.laserWidth = quint32(c.width);
        board.setCurrentItemProperty(tool);
        press(board, {50, 150});
        int last = 50;
        for (; last + c.spacing <= 350; last += c.spacing) {
            board.advanceClock(0.003);
            move(board, {last + c.spacing, 150});
        }
        const QImage frame = compose(board);
        // The core's centre, inside the core, and the glow beyond the core.
        for (const int offset : {0, c.width / 4, c.width}) {
            int previous = 0;
            int broken = -1; // where the alpha first drops to nothing or falls back
            for (int x = 50 + c.width; x <= last - c.width && broken < 0; ++x) {
                const int alpha = frame.pixelColor(x, 150 + offset).alpha();
                if (alpha == 0 || alpha < previous - 1)
                    broken = x;
                previous = alpha;
            }
            EXPECT_EQ(broken, -1) << "width " << c.width << ", points " << c.spacing << " apart, " << offset
                                  << " off the centre";
        }
        release(board, {last, 150});
    }
}

TEST(Spotlight, DarkensOutsideTheCircleUntilTheMouseLeavesOrTheToolChanges)
{
    Board b;
    KPWhiteBoardObject &board = b.board;
    useTool(board, KPWB::DRAW_ITEM_TYPE_RECT, 20);
    drag(board, {20, 20}, {380, 280});
    const QImage before = compose(board);
    useSpotlight(board, 40);
    move(board, {200, 150});
    QImage lit = compose(board);
    EXPECT_EQ(lit.pixelColor(200, 150), before.pixelColor(200, 150));
    EXPECT_EQ(lit.pixelColor(200, 111), before.pixelColor(200, 111));
    EXPECT_NEAR(lit.pixelColor(100, 150).red(), 102, 1);
    // The rectangle's edge, darkened as well.
    EXPECT_NEAR(lit.pixelColor(20, 150).green(), before.pixelColor(20, 150).green() * 0.4, 1);
    EXPECT_NEAR(lit.pixelColor(20, 150).red(), 102, 1);
    EXPECT_EQ(board.items().size(), 1);
    EXPECT_EQ(board.undoCount(), 1);

    // Hidden handwriting keeps it; the frame is the background, darkened.
    board.setHideHandwriting(true);
    EXPECT_NEAR(compose(board).pixelColor(20, 150).green(), 102, 1);
    board.setHideHandwriting(false);
    EXPECT_EQ(compose(board), lit);

    const obs_mouse_event leave = mouseAt(500, 500);
    board.do_mouse_move(&leave, true);
    EXPECT_EQ(compose(board), before);
    move(board, {100, 100});
    EXPECT_NE(compose(board), before);
    useTool(board, KPWB::DRAW_ITEM_TYPE_PEN, 10);
    EXPECT_EQ(compose(board), before);
    useSpotlight(board, 40);
    move(board, {100, 100});
    board.hidePointers();
    EXPECT_EQ(compose(board), before);
}

TEST(PresenterTools, RecordsClaimingTheirTypesAreKeptAndPaintNothing)
{
    Board b;
    KPWhiteBoardObject &board = b.board;
    const QImage blank = compose(board);
    Data saved(obs_data_create());
    Data content(obs_data_create());
    obs_data_array_t *records = obs_data_array_create();
    for (int type : {9, 10, 11}) {
        KPWhiteBoardItemObject item(&board, {20, kRed, type});
        Data record(item.toData());
        obs_data_set_int(record.get(), "kp_wb_data_endPoint_x", 300);
        obs_data_set_int(record.get(), "kp_wb_data_endPoint_y", 200);
        obs_data_array_push_back(records, record.get());
    }
    obs_data_set_array(content.get(), "kp_wb_data_datas", records);
    obs_data_array_release(records);
    obs_data_set_obj(saved.get(), "kp_wb_data", content.get());
    board.load(saved.get());
    EXPECT_EQ(board.items().size(), 3);
    EXPECT_EQ(compose(board), blank);
    EXPECT_EQ(savedItems(board), 3);
    // Nothing of theirs is painted, so the eraser never touches them.
    eraseAlong(board, {0, 0}, {300, 200});
    EXPECT_EQ(savedItems(board), 3);
}

TEST(PresenterTools, AbsurdSizesAndUnknownToolsDrawWithinBoundsAndFileNothing)
{
    for (const int type : {2, 6, 8, 9, 10, 11, 12, -1}) {
        for (const quint32 size : {0u, 16385u, 0xffffffffu}) {
            Board b;
            KPWhiteBoardObject &board = b.board;
            if (type == 9) {
                useTool(board, KPWB::DRAW_ITEM_TYPE_LINE, 1);
                drag(board, {10, 10}, {20, 20});
            }
            useTool(board, type, int(size));
            drag(board, {-100000, 50}, {100000, 60});
            board.advanceClock(0.1);
            move(board, {200, 150});
            EXPECT_EQ(compose(board).size(), QSize(400, 300));
            EXPECT_EQ(board.image(), board.fullComposition()) << type << " " << size;
            if (type > 9 || type < 0) {
                EXPECT_EQ(savedItems(board), 0) << type << " " << size;
            }
        }
    }
}
