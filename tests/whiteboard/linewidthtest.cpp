// Line widths: how wide each line-drawing tool paints, where the eraser finds
// it, and how widths are saved, read and clamped.

#include "boardtestsupport.h"
#include "kputilinterface.h"
#include "kpwhiteboarditemobject.h"

#include <QCryptographicHash>

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

using namespace boardtest;

namespace {

struct Kind
{
    const char *name;
    int type;
    bool tablet;
    // What is painted across the measured column at a line width.
    std::function<double(int)> painted;
    int alpha;
};

// Rectangles and ellipses span (100,100)-(300,200), and are measured across
// their top edge at x 200; lines and strokes run along y 150 from x 100 to
// 300, measured at x 150. Every kind starts at x 100.
void draw(KPWhiteBoardObject &board, const Kind &kind, int width)
{
    KPWB::ItemProperty tool{20, kRed, kind.type};
    tool.lineWidth = quint32(width);
    board.setCurrentItemProperty(tool);
    const bool box = kind.type == KPWB::DRAW_ITEM_TYPE_RECT || kind.type == KPWB::DRAW_ITEM_TYPE_ELLIPSE;
    if (kind.tablet)
        tabletStroke(board, {100, 150}, {300, 150});
    else if (box)
        drag(board, {100, 100}, {300, 200});
    else
        drag(board, {100, 150}, {300, 150});
}

bool isBox(const Kind &kind)
{
    return kind.type == KPWB::DRAW_ITEM_TYPE_RECT || kind.type == KPWB::DRAW_ITEM_TYPE_ELLIPSE;
}

const QList<Kind> &kinds()
{
    const auto same = [](int w) { return double(w); };
    static const QList<Kind> list = {
        {"rectangle", KPWB::DRAW_ITEM_TYPE_RECT, false, same, 255},
        {"ellipse", KPWB::DRAW_ITEM_TYPE_ELLIPSE, false, same, 255},
        {"line", KPWB::DRAW_ITEM_TYPE_LINE, false, same, 255},
        {"arrow", KPWB::DRAW_ITEM_TYPE_ARROW, false, same, 255},
        {"freehand", KPWB::DRAW_ITEM_TYPE_PEN, false, same, 255},
        // Full pressure paints four times the line width.
        {"pressure", KPWB::DRAW_ITEM_TYPE_PEN, true, [](int w) { return 4.0 * w; }, 255},
        {"highlighter", KPWB::Draw_ITEM_TYPE_PEN_ALPHA, false, [](int w) { return qMax(10.0, double(w)); }, 128},
    };
    return list;
}

int visibleItems(const KPWhiteBoardObject &board)
{
    int count = 0;
    for (const auto &item : board.items())
        count += item->visible();
    return count;
}

} // namespace

TEST(LineWidth, EveryLineToolPaintsItsWidthAndIsErasedWherePainted)
{
    for (const Kind &kind : kinds()) {
        for (const int width : {1, 5, 40}) {
            const double expected = kind.painted(width);
            DrawingBoard measured(0, kTransparent);
            draw(measured.board, kind, width);
            const QImage frame = compose(measured.board);
            const int x = isBox(kind) ? 200 : 150;
            const double across = columnCoverage(frame, x, 0, isBox(kind) ? 150 : 299, kind.alpha);
            EXPECT_NEAR(across, expected, qMax(1.0, expected * 0.05)) << kind.name << " at " << width;

            // An eraser of radius 5 along x = 100 - 5 - half the paint touches
            // the item's left end; a pixel farther it does not.
            const int reach = int(expected / 2.0);
            for (const int beyond : {0, 1}) {
                DrawingBoard b(0);
                draw(b.board, kind, width);
                ASSERT_EQ(visibleItems(b.board), 1) << kind.name;
                b.board.setCurrentItemProperty({10, kRed, KPWB::DRAW_ITEM_TYPE_ERASER});
                const int ex = 100 - 5 - reach - beyond;
                drag(b.board, {ex, 100}, {ex, 160});
                EXPECT_EQ(visibleItems(b.board), beyond)
                    << kind.name << " at " << width << (beyond ? " beyond" : " within");
            }
        }
    }
}

TEST(LineWidth, RecordsKeepTheirWidthAndOutOfRangeWidthsAreClamped)
{
    const struct
    {
        const char *value; // JSON of the record's width; null leaves the key out
        quint32 width;
    } cases[] = {
        {nullptr, 1}, {"7", 7}, {"1", 1}, {"64", 64}, {"0", 1}, {"-5", 1}, {"65", 64},
        {"99999999999", 64}, {"12.7", 12}, {"1e300", 64}, {"\"wide\"", 1}, {"true", 1}, {"{}", 1},
    };
    for (const auto &c : cases) {
        const QByteArray property = QByteArray("{\"kp_wb_draw_type\": 4, \"kp_wb_draw_color\": 4278190335") +
                                    (c.value ? QByteArray(", \"kp_wb_line_width\": ") + c.value : QByteArray()) +
                                    "}";
        const QByteArray json = "{\"kp_wb_data_itemProperty\": " + property +
                                ", \"kp_wb_data_startPoint_x\": 10, \"kp_wb_data_endPoint_x\": 90}";
        Data record(obs_data_create_from_json(json.constData()));
        ASSERT_TRUE(record) << json.constData();
        KPWhiteBoardObject board(nullptr);
        const auto item = KPWhiteBoardItemObject::createFromData(&board, record.get());
        ASSERT_TRUE(item) << json.constData();
        EXPECT_EQ(item->itemProperty.lineWidth, c.width) << json.constData();

        // What is loaded is saved and loaded again as it is.
        Data saved(item->toData());
        const auto again = KPWhiteBoardItemObject::createFromData(&board, saved.get());
        EXPECT_EQ(again->itemProperty.lineWidth, c.width) << json.constData();
    }
}

TEST(LineWidth, ToolWidthsAndPointerSizesReadWithinTheirRanges)
{
    const struct
    {
        const char *json;
        quint32 width, radius, laser;
    } cases[] = {
        {"{}", 1, 120, 20},
        {"{\"kp_wb_line_width\": 7, \"kp_wb_spotlight_radius\": 300, \"kp_wb_laser_width\": 6}", 7, 300, 6},
        {"{\"kp_wb_line_width\": 0, \"kp_wb_spotlight_radius\": 5, \"kp_wb_laser_width\": 0}", 1, 20, 1},
        {"{\"kp_wb_line_width\": 1e9, \"kp_wb_spotlight_radius\": 5000, \"kp_wb_laser_width\": 1e9}", 64, 2000, 200},
        {"{\"kp_wb_line_width\": \"wide\", \"kp_wb_spotlight_radius\": \"big\", \"kp_wb_laser_width\": -4}", 1, 20, 1},
        {"{\"kp_wb_line_width\": -3, \"kp_wb_spotlight_radius\": [], \"kp_wb_laser_width\": {}}", 1, 20, 1},
    };
    for (const auto &c : cases) {
        Data settings(obs_data_create_from_json(c.json));
        KPWB::ItemProperty tool;
        KPUtilInterface::updateWithSettings(tool, settings.get());
        EXPECT_EQ(tool.lineWidth, c.width) << c.json;
        EXPECT_EQ(tool.spotlightRadius, c.radius) << c.json;
        EXPECT_EQ(tool.laserWidth, c.laser) << c.json;
    }
}

// Records saved before widths existed (no width key), one of every kind that
// draws a line, over a dot for reference: the board renders them to the very
// bytes the code before widths did (its frame's digest, taken then).
TEST(LineWidth, RecordsWithoutAWidthRenderAsBeforeWidths)
{
    QByteArray records;
    const auto add = [&records](int type, const QByteArray &rest) {
        records += (records.isEmpty() ? "" : ", ") + QByteArray("{\"kp_wb_data_itemProperty\": {\"kp_wb_draw_type\": ") +
                   QByteArray::number(type) + ", \"kp_wb_draw_color\": 4278190335, \"kp_wb_draw_size\": 9}, " + rest + "}";
    };
    QByteArray points, pressure;
    for (int i = 0; i <= 10; ++i) {
        points += QByteArray(i ? ", " : "") + "{\"kp_wb_data_points_x\": " + QByteArray::number(20 + i * 35) +
                  ", \"kp_wb_data_points_y\": " + QByteArray::number(200 + (i % 3) * 17) + "}";
        pressure += QByteArray(i ? ", " : "") + "{\"kp_wb_pressure_points_x\": " + QByteArray::number(20 + i * 35.5) +
                    ", \"kp_wb_pressure_points_y\": " + QByteArray::number(260 - (i % 4) * 9.25) +
                    ", \"kp_wb_pressure_points_pressure\": " + QByteArray::number(i / 10.0) + "}";
    }
    for (const int type : {1, 2, 3, 4, 5})
        add(type, "\"kp_wb_data_startPoint_x\": " + QByteArray::number(10 + type * 20) +
                      ", \"kp_wb_data_startPoint_y\": 15, \"kp_wb_data_endPoint_x\": " +
                      QByteArray::number(380 - type * 30) + ", \"kp_wb_data_endPoint_y\": " +
                      QByteArray::number(60 + type * 25));
    add(6, "\"kp_wb_data_points\": [" + points + "]");
    add(8, "\"kp_wb_data_points\": [" + points.replace("\"kp_wb_data_points_y\": 2", "\"kp_wb_data_points_y\": 1") + "]");
    add(6, "\"kp_wb_pressure_points\": [" + pressure + "]");
    const QByteArray json = "{\"kp_wb_width\": 400, \"kp_wb_height\": 300, \"kp_wb_background\": 4294967295, "
                            "\"kp_wb_data\": {\"kp_wb_data_datas\": [" + records + "]}}";
    Data saved(obs_data_create_from_json(json.constData()));
    ASSERT_TRUE(saved);
    KPWhiteBoardObject board(nullptr);
    board.updateWithSettings(saved.get());
    board.load(saved.get());
    ASSERT_EQ(visibleItems(board), 8);
    const QImage frame = compose(board);
    const QByteArray digest = QCryptographicHash::hash(
        QByteArray::fromRawData(reinterpret_cast<const char *>(frame.constBits()), int(frame.sizeInBytes())),
        QCryptographicHash::Sha1);
    EXPECT_EQ(digest.toHex().toStdString(), "fe8cabec6b5350c452344fdf542031e1bc55a28f") << frame.width() << "x" << frame.height();
}
