#include "boardtestsupport.h"
#include "kptextdata.h"
#include "kpwhiteboarditemobject.h"

#include <QPainter>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace boardtest;

namespace {

Data readBack(const QSharedPointer<KPWhiteBoardItemObject> &item)
{
    return Data(item->toData());
}

} // namespace

// ---- geometry ------------------------------------------------------------

TEST(ItemGeometry, ShiftSquaresBoxesAndStraightensLines)
{
    EXPECT_EQ(KPWhiteBoardItemObject::squareEnd({100, 100}, {160, 130}), QPoint(130, 130));
    EXPECT_EQ(KPWhiteBoardItemObject::squareEnd({100, 100}, {40, 130}), QPoint(70, 130));
    EXPECT_EQ(KPWhiteBoardItemObject::squareEnd({100, 100}, {110, 40}), QPoint(110, 90));
    EXPECT_EQ(KPWhiteBoardItemObject::straightEnd({0, 0}, {30, 10}), QPoint(30, 0));
    // A tie is vertical.
    EXPECT_EQ(KPWhiteBoardItemObject::straightEnd({0, 0}, {10, 10}), QPoint(0, 10));
    EXPECT_EQ(KPWhiteBoardItemObject::normalizedBox(QPointF(100, 100), QPointF(40, 160)),
              QRectF(40, 100, 60, 60));
}

TEST(ItemGeometry, ShiftConstraintHoldsAcrossTheWholeIntegerRange)
{
    const int lo = std::numeric_limits<int>::min();
    const int hi = std::numeric_limits<int>::max();
    EXPECT_EQ(KPWhiteBoardItemObject::squareEnd({lo, lo}, {hi, hi}), QPoint(hi, hi));
    EXPECT_EQ(KPWhiteBoardItemObject::squareEnd({lo, 0}, {hi, 5}), QPoint(lo + 5, 5));
    EXPECT_EQ(KPWhiteBoardItemObject::squareEnd({0, hi}, {hi, lo}), QPoint(hi, 0));
    EXPECT_EQ(KPWhiteBoardItemObject::straightEnd({lo, 0}, {hi, 5}), QPoint(hi, 0));
    EXPECT_EQ(KPWhiteBoardItemObject::straightEnd({0, hi}, {5, lo}), QPoint(0, lo));
}

TEST(ItemGeometry, ArrowHeadIsTwelvePixelsOrAShareOfAShortShaft)
{
    const QVector<QLineF> longArrow = KPWhiteBoardItemObject::arrowLines(QLineF(0, 0, 100, 0));
    ASSERT_EQ(longArrow.size(), 3);
    for (int i = 1; i < 3; ++i) {
        EXPECT_NEAR(longArrow[i].length(), 12.0, 1e-9);
        EXPECT_EQ(longArrow[i].p2(), QPointF(100, 0));
        EXPECT_NEAR(std::abs(longArrow[i].dy()), 6.0, 1e-9); // 30 degrees off the shaft
    }
    const QVector<QLineF> shortArrow = KPWhiteBoardItemObject::arrowLines(QLineF(0, 0, 10, 0));
    ASSERT_EQ(shortArrow.size(), 3);
    EXPECT_NEAR(shortArrow[1].length(), 8.35, 1e-9);

    // A zero-length arrow has no direction: only its point of a shaft, no 0/0 head.
    const QVector<QLineF> none = KPWhiteBoardItemObject::arrowLines(QLineF(5, 5, 5, 5));
    ASSERT_EQ(none.size(), 1);
    EXPECT_FALSE(std::isnan(none[0].x2()));
}

TEST(ItemGeometry, PressureWidthComesFromPressureAndScale)
{
    EXPECT_DOUBLE_EQ(KPWhiteBoardItemObject::pressurePenWidth(0.0, 1.0), 1.0);
    EXPECT_DOUBLE_EQ(KPWhiteBoardItemObject::pressurePenWidth(1.0, 2.0), 7.0);
}

// ---- painting --------------------------------------------------------------

TEST(ItemPaint, RectangleIsANormalisedOnePixelOutlineWhateverTheSize)
{
    DrawingBoard d(KPWB::DRAW_ITEM_TYPE_RECT);
    drag(d.board, {100, 100}, {40, 160});
    const QImage frame = compose(d.board);
    EXPECT_TRUE(isInk(frame, 40, 130));
    EXPECT_TRUE(isInk(frame, 100, 130));
    EXPECT_TRUE(isInk(frame, 70, 100));
    EXPECT_TRUE(isInk(frame, 70, 160));
    EXPECT_FALSE(isInk(frame, 70, 130));
    EXPECT_FALSE(isInk(frame, 42, 130));
    EXPECT_FALSE(isInk(frame, 37, 130));
    EXPECT_NEAR(redOnWhiteCoverage(frame, 70, 90, 110), 1.0, 0.1);
}

TEST(ItemPaint, ShiftSquaresTheRectangleOnRelease)
{
    DrawingBoard d(KPWB::DRAW_ITEM_TYPE_RECT);
    setShift(d.board, true);
    drag(d.board, {100, 100}, {160, 130});
    const auto items = d.board.items();
    ASSERT_EQ(items.size(), 1);
    EXPECT_EQ(items[0]->endPoint(), QPoint(130, 130));
    const QImage frame = compose(d.board);
    EXPECT_TRUE(isInk(frame, 130, 115));
    EXPECT_FALSE(isInk(frame, 160, 115));
}

TEST(ItemPaint, LivePreviewAppliesShiftToTheCurrentItemOnly)
{
    DrawingBoard d(KPWB::DRAW_ITEM_TYPE_LINE);
    setShift(d.board, true);
    press(d.board, {100, 100});
    move(d.board, {160, 110});
    const QImage frame = compose(d.board);
    EXPECT_TRUE(isInk(frame, 150, 100));  // straightened to horizontal
    EXPECT_FALSE(isInk(frame, 150, 108)); // not the raw diagonal
    EXPECT_EQ(d.board.currentItem()->endPoint(), QPoint(160, 110));
}

TEST(ItemPaint, DotIsAFilledCircleOfTheToolSizeWithAlpha136)
{
    // Stored alpha 0x40: the dot ignores it.
    DrawingBoard d(KPWB::DRAW_ITEM_TYPE_POINT, kTransparent, 0x400000ffu, 20);
    press(d.board, {200, 150});
    EXPECT_EQ(d.board.items().size(), 1);
    const QImage frame = compose(d.board);
    const QColor centre = frame.pixelColor(200, 150);
    EXPECT_NEAR(centre.alpha(), 136, 1);
    EXPECT_EQ(centre.red(), 255);
    EXPECT_EQ(centre.green(), 0);
    EXPECT_GE(frame.pixelColor(208, 150).alpha(), 135);
    EXPECT_GE(frame.pixelColor(200, 142).alpha(), 135);
    EXPECT_EQ(frame.pixelColor(212, 150).alpha(), 0);
    EXPECT_EQ(frame.pixelColor(200, 138).alpha(), 0);
}

TEST(ItemPaint, ArrowHasItsHeadAtTheEndPoint)
{
    DrawingBoard d(KPWB::DRAW_ITEM_TYPE_ARROW);
    drag(d.board, {100, 150}, {200, 150});
    const QImage frame = compose(d.board);
    EXPECT_TRUE(isInk(frame, 150, 150));
    // Head strokes run 12 pixels back from the tip, 30 degrees off: their
    // middles lie near (194.8, 147) and (194.8, 153).
    EXPECT_TRUE(isInk(frame, 195, 147));
    EXPECT_TRUE(isInk(frame, 195, 153));
    EXPECT_FALSE(isInk(frame, 185, 140));
    EXPECT_FALSE(isInk(frame, 100, 145));
}

TEST(ItemPaint, ZeroLengthArrowPaintsNoHeadAndNothingFails)
{
    DrawingBoard d(KPWB::DRAW_ITEM_TYPE_ARROW);
    press(d.board, {100, 100});
    move(d.board, {120, 100});
    move(d.board, {100, 100});
    release(d.board, {100, 100});
    ASSERT_EQ(d.board.items().size(), 1);
    const QImage frame = compose(d.board);
    for (int y = 85; y <= 115; ++y) {
        for (int x = 85; x <= 115; ++x) {
            if (std::abs(x - 100) > 2 || std::abs(y - 100) > 2) {
                ASSERT_FALSE(isInk(frame, x, y)) << x << "," << y;
            }
        }
    }
}

TEST(ItemPaint, LineEllipseAndFreehandAreOnePixelWide)
{
    DrawingBoard d(KPWB::DRAW_ITEM_TYPE_LINE);
    drag(d.board, {50, 50}, {150, 50});
    KPWB::ItemProperty tool;
    tool.type = KPWB::DRAW_ITEM_TYPE_ELLIPSE;
    d.board.setCurrentItemProperty(tool);
    drag(d.board, {200, 100}, {300, 160});
    tool.type = KPWB::DRAW_ITEM_TYPE_PEN;
    d.board.setCurrentItemProperty(tool);
    press(d.board, {50, 250});
    move(d.board, {100, 250});
    move(d.board, {150, 250});
    release(d.board, {200, 250});
    ASSERT_EQ(d.board.items().size(), 3);
    EXPECT_EQ(d.board.items()[2]->points(),
              (QVector<QPoint>{{50, 250}, {100, 250}, {150, 250}, {200, 250}}));

    const QImage frame = compose(d.board);
    EXPECT_NEAR(redOnWhiteCoverage(frame, 100, 40, 60), 1.0, 0.1);
    EXPECT_NEAR(redOnWhiteCoverage(frame, 175, 240, 260), 1.0, 0.1);
    // Ellipse inscribed in x 200..300, y 100..160: edges at the box middles.
    EXPECT_TRUE(isInk(frame, 200, 130));
    EXPECT_TRUE(isInk(frame, 250, 100));
    EXPECT_FALSE(isInk(frame, 250, 130));
    EXPECT_FALSE(isInk(frame, 203, 103)); // outside the curve, inside the box corner
}

TEST(ItemPaint, AlphaPenWidthFollowsTheStrokeScale)
{
    // Canvas 300 wide, tool sizes for a 200-wide view: scale 1.5, width 15.
    KPWhiteBoardObject board(nullptr);
    board.updateWithSettings(boardSettings(KPWB::Draw_ITEM_TYPE_PEN_ALPHA, kTransparent, kRed,
                                           20, 300, 300).get());
    Data scale(obs_data_create());
    obs_data_apply(scale.get(), boardSettings(KPWB::Draw_ITEM_TYPE_PEN_ALPHA, kTransparent,
                                              kRed, 20, 300, 300).get());
    obs_data_set_double(scale.get(), "kp_wb_item_width", 200.0);
    board.updateWithSettings(scale.get());
    EXPECT_DOUBLE_EQ(board.itemScale(), 1.5);
    drag(board, {50, 150}, {250, 150});
    const QImage frame = compose(board);
    EXPECT_NEAR(frame.pixelColor(150, 150).alpha(), 128, 1);
    EXPECT_NEAR(columnCoverage(frame, 150, 120, 180, 128), 15.0, 0.6);

    // A small scale truncates towards zero: 0.19 gives 1 pixel.
    obs_data_set_int(scale.get(), "kp_wb_width", 300);
    obs_data_set_double(scale.get(), "kp_wb_item_width", 300.0 / 0.19);
    board.updateWithSettings(scale.get());
    board.do_clear();
    drag(board, {50, 100}, {250, 100});
    const QImage thin = compose(board);
    EXPECT_NEAR(columnCoverage(thin, 150, 80, 120, 128), 1.0, 0.2);
}

TEST(ItemPaint, UndefinedTextAndUnknownTypesPaintNothing)
{
    for (int type : {0, 7, 9, -1}) {
        KPWhiteBoardItemObject item(nullptr, KPWB::ItemProperty{20, kRed, type});
        item.setStartPoint({10, 10});
        item.setEndPoint({90, 90});
        QImage image(100, 100, QImage::Format_RGBA8888);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        item.paint(&painter, 0);
        painter.end();
        EXPECT_EQ(image.pixelColor(50, 50).alpha(), 0) << type;
        EXPECT_EQ(image.pixelColor(10, 10).alpha(), 0) << type;
    }
}

// ---- pressure pen ------------------------------------------------------------

namespace {

struct PressureBoard
{
    PressureBoard() : board(nullptr)
    {
        Data settings = boardSettings(KPWB::DRAW_ITEM_TYPE_PEN, kWhite, kRed);
        obs_data_set_double(settings.get(), "kp_wb_item_width", 200.0);
        board.updateWithSettings(settings.get());
    }
    void stroke()
    {
        tablet(board, QEvent::TabletPress, {100, 100}, 0.5);
        tablet(board, QEvent::TabletMove, {150, 100}, 1.0);
        tablet(board, QEvent::TabletMove, {200, 100}, 0.0);
        tablet(board, QEvent::TabletRelease, {200, 100}, 0.0);
    }
    KPWhiteBoardObject board;
};

} // namespace

namespace {

QImage paintAlone(const QSharedPointer<KPWhiteBoardItemObject> &item)
{
    QImage canvas(400, 300, QImage::Format_RGBA8888);
    canvas.fill(Qt::transparent);
    QPainter painter(&canvas);
    painter.setRenderHint(QPainter::Antialiasing);
    item->paint(&painter, 0);
    return canvas;
}

} // namespace

// Drawn live into the pressure layer; once finished, the stroke is an item
// that paints itself and the layer is empty again.
TEST(ItemPressure, FinishedStrokesPaintAsItemsWithWidthsFromPressure)
{
    PressureBoard p;
    p.stroke();
    const auto items = p.board.items();
    ASSERT_EQ(items.size(), 1);
    EXPECT_EQ(items[0]->pressurePoints().size(), 3);
    EXPECT_TRUE(items[0]->points().isEmpty());
    EXPECT_EQ(columnCoverage(p.board.pressureLayer().toImage(), 125, 80, 120, 255), 0.0);

    // Scale 2: pressure 1 gives 7 pixels, pressure 0 gives 1.
    const QImage canvas = paintAlone(items[0]);
    EXPECT_NEAR(columnCoverage(canvas, 125, 80, 120, 255), 7.0, 0.6);
    EXPECT_NEAR(columnCoverage(canvas, 175, 80, 120, 255), 1.0, 0.3);
    EXPECT_TRUE(isInk(compose(p.board), 125, 100));
}

TEST(ItemPressure, ReleaseWithAButtonHeldDoesNotEndTheStroke)
{
    PressureBoard p;
    tablet(p.board, QEvent::TabletPress, {100, 100}, 0.5);
    tablet(p.board, QEvent::TabletMove, {150, 100}, 0.5);
    tablet(p.board, QEvent::TabletRelease, {150, 100}, 0.0, Qt::MiddleButton);
    EXPECT_TRUE(p.board.items().isEmpty());
    tablet(p.board, QEvent::TabletMove, {160, 100}, 0.5);
    tablet(p.board, QEvent::TabletRelease, {160, 100}, 0.0);
    ASSERT_EQ(p.board.items().size(), 1);
    EXPECT_EQ(p.board.items()[0]->pressurePoints().size(), 3);
}

TEST(ItemPressure, ALoadedStrokeRepaintsIdentically)
{
    PressureBoard live;
    live.stroke();
    Data record(live.board.items()[0]->toData());

    PressureBoard loaded;
    const auto item = KPWhiteBoardItemObject::createFromData(&loaded.board, record.get());
    ASSERT_TRUE(item);
    EXPECT_EQ(paintAlone(item), paintAlone(live.board.items()[0]));
}

TEST(ItemPressure, MouseMovesAfterTabletSamplesAddNoPoints)
{
    PressureBoard p;
    tablet(p.board, QEvent::TabletPress, {100, 100}, 0.5);
    press(p.board, {10, 10});
    move(p.board, {20, 20});
    EXPECT_EQ(p.board.currentItem()->points(), QVector<QPoint>{QPoint(10, 10)});
}

// ---- record --------------------------------------------------------------------

TEST(ItemRecord, RoundTripKeepsToolPointsAndSamples)
{
    KPWhiteBoardObject board(nullptr);
    KPWhiteBoardItemObject item(&board, KPWB::ItemProperty{7, 0x80ff00ffu, -3});
    item.itemProperty.type = KPWB::DRAW_ITEM_TYPE_PEN;
    item.appendPoint({-5, 7});
    for (int i = 1; i <= 3; ++i)
        item.appendPoint({i * 10, -i * 20});
    Data record(item.toData());
    obs_data_array_t *samples = obs_data_array_create();
    for (double v : {0.25, 0.5}) {
        obs_data_t *s = obs_data_create();
        obs_data_set_double(s, "kp_wb_pressure_points_x", v * 100);
        obs_data_set_double(s, "kp_wb_pressure_points_y", v * 10);
        obs_data_set_double(s, "kp_wb_pressure_points_pressure", v);
        obs_data_array_push_back(samples, s);
        obs_data_release(s);
    }
    obs_data_set_array(record.get(), "kp_wb_pressure_points", samples);
    obs_data_array_release(samples);

    const auto copy = KPWhiteBoardItemObject::createFromData(&board, record.get());
    ASSERT_TRUE(copy);
    EXPECT_TRUE(copy->initialized());
    EXPECT_TRUE(copy->visible());
    EXPECT_EQ(copy->itemProperty.type, KPWB::DRAW_ITEM_TYPE_PEN);
    EXPECT_EQ(copy->itemProperty.color, 0x80ff00ffu);
    EXPECT_EQ(copy->itemProperty.size, 7u);
    EXPECT_EQ(copy->points(), item.points());
    ASSERT_EQ(copy->pressurePoints().size(), 2);
    EXPECT_DOUBLE_EQ(copy->pressurePoints()[1].x, 50.0);
    EXPECT_DOUBLE_EQ(copy->pressurePoints()[1].pressure, 0.5);

    Data again(copy->toData());
    EXPECT_STREQ(obs_data_get_json(again.get()), obs_data_get_json(record.get()));
}

TEST(ItemRecord, MissingKeysStillGiveAnItem)
{
    KPWhiteBoardObject board(nullptr);
    Data empty(obs_data_create());
    const auto item = KPWhiteBoardItemObject::createFromData(&board, empty.get());
    ASSERT_TRUE(item);
    EXPECT_EQ(item->itemProperty.type, 0);
    EXPECT_EQ(item->itemProperty.color, 0u);
    EXPECT_EQ(item->startPoint(), QPoint(0, 0));
    EXPECT_TRUE(item->points().isEmpty());
    EXPECT_TRUE(item->pressurePoints().isEmpty());

    // Array elements without their keys read as (0, 0), in order.
    Data record(obs_data_create());
    obs_data_set_int(record.get(), "kp_wb_data_endPoint_x", 33);
    obs_data_array_t *points = obs_data_array_create();
    for (int i = 0; i < 3; ++i) {
        obs_data_t *p = obs_data_create();
        if (i != 1) {
            obs_data_set_int(p, "kp_wb_data_points_x", i + 1);
            obs_data_set_int(p, "kp_wb_data_points_y", -(i + 1));
        }
        obs_data_array_push_back(points, p);
        obs_data_release(p);
    }
    obs_data_set_array(record.get(), "kp_wb_data_points", points);
    obs_data_array_release(points);
    const auto read = KPWhiteBoardItemObject::createFromData(&board, record.get());
    ASSERT_TRUE(read);
    EXPECT_EQ(read->endPoint(), QPoint(33, 0));
    EXPECT_EQ(read->points(), (QVector<QPoint>{{1, -1}, {0, 0}, {3, -3}}));

    EXPECT_FALSE(KPWhiteBoardItemObject::createFromData(&board, nullptr));
    EXPECT_FALSE(KPWhiteBoardItemObject::createFromData(nullptr, record.get()));
}
