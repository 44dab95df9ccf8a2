// Cost of one video tick of a board: filling, painting every item and (without
// video) no upload, for boards of 1280 x 720 holding 10 and 100 items of every
// mouse-drawn type. This is the per-frame cost the host's graphics thread pays.

#include "kpitemproperty.h"
#include "kpwhiteboardobject.h"

#include <QGuiApplication>

#include <util/base.h>

#include <benchmark/benchmark.h>

namespace {

void dropLine(int, const char *, va_list, void *) {}
void dropQtMessage(QtMsgType, const QMessageLogContext &, const QString &) {}

void drag(KPWhiteBoardObject &board, int x0, int y0, int x1, int y1)
{
    obs_mouse_event event = {0, x0, y0};
    board.do_mouse_click(&event, 0, false, 1);
    for (int step = 1; step <= 8; ++step) {
        event.x = x0 + (x1 - x0) * step / 8;
        event.y = y0 + ((step % 2) ? 10 : -10) + (y1 - y0) * step / 8;
        board.do_mouse_move(&event, false);
    }
    board.do_mouse_click(&event, 0, true, 1);
}

void fill(KPWhiteBoardObject &board, int count)
{
    const int types[] = {KPWB::DRAW_ITEM_TYPE_RECT,    KPWB::DRAW_ITEM_TYPE_POINT, KPWB::DRAW_ITEM_TYPE_ARROW,
                         KPWB::DRAW_ITEM_TYPE_LINE,    KPWB::DRAW_ITEM_TYPE_ELLIPSE, KPWB::DRAW_ITEM_TYPE_PEN,
                         KPWB::Draw_ITEM_TYPE_PEN_ALPHA};
    for (int i = 0; i < count; ++i) {
        KPWB::ItemProperty tool;
        tool.type = types[i % 7];
        tool.size = 1 + i % 20;
        tool.color = 0xff000000u | static_cast<quint32>(i * 2654435761u & 0xffffffu);
        board.setCurrentItemProperty(tool);
        const int x = (i * 97) % 1100, y = (i * 61) % 600;
        drag(board, x, y, x + 150, y + 100);
    }
}

void BM_BoardTick(benchmark::State &state)
{
    base_set_log_handler(dropLine, nullptr);
    qInstallMessageHandler(dropQtMessage);
    KPWhiteBoardObject board(nullptr);
    board.setSize(1280, 720);
    fill(board, static_cast<int>(state.range(0)));
    for (auto _ : state) {
        board.requestRedraw();
        board.do_video_tick();
    }
}

// A saved stroke of a million points of the given type (6 with pressure
// samples when pressure is set, else plain points).
obs_data_t *hugeStrokeRecord(int type, bool pressure)
{
    obs_data_t *item = obs_data_create();
    obs_data_t *tool = obs_data_create();
    obs_data_set_int(tool, "kp_wb_draw_type", type);
    obs_data_set_int(tool, "kp_wb_draw_color", 0xff0000ff);
    obs_data_set_obj(item, "kp_wb_data_itemProperty", tool);
    obs_data_release(tool);
    obs_data_array_t *points = obs_data_array_create();
    for (int i = 0; i < 1000000; ++i) {
        obs_data_t *point = obs_data_create();
        const int x = (i * 7) % 1200 + 20, y = (i / 171) % 680 + 20;
        if (pressure) {
            obs_data_set_double(point, "kp_wb_pressure_points_x", x);
            obs_data_set_double(point, "kp_wb_pressure_points_y", y);
            obs_data_set_double(point, "kp_wb_pressure_points_pressure", 0.5);
        } else {
            obs_data_set_int(point, "kp_wb_data_points_x", x);
            obs_data_set_int(point, "kp_wb_data_points_y", y);
        }
        obs_data_array_push_back(points, point);
        obs_data_release(point);
    }
    obs_data_set_array(item, pressure ? "kp_wb_pressure_points" : "kp_wb_data_points", points);
    obs_data_array_release(points);
    obs_data_array_t *items = obs_data_array_create();
    obs_data_array_push_back(items, item);
    obs_data_release(item);
    obs_data_t *content = obs_data_create();
    obs_data_set_array(content, "kp_wb_data_datas", items);
    obs_data_array_release(items);
    obs_data_t *settings = obs_data_create();
    obs_data_set_obj(settings, "kp_wb_data", content);
    obs_data_release(content);
    return settings;
}

// Loading a stroke of a million points and painting it, then painting it
// again after hide and show (arguments: type, pressure samples).
void BM_HugeStroke(benchmark::State &state)
{
    base_set_log_handler(dropLine, nullptr);
    qInstallMessageHandler(dropQtMessage);
    obs_data_t *record = hugeStrokeRecord(int(state.range(0)), state.range(1) != 0);
    for (auto _ : state) {
        KPWhiteBoardObject board(nullptr);
        board.setSize(1280, 720);
        board.load(record);
        board.do_video_tick();
        board.setActive(false);
        board.setActive(true);
        board.do_video_tick();
    }
    obs_data_release(record);
}

} // namespace

BENCHMARK(BM_HugeStroke)->Args({6, 0})->Args({8, 0})->Args({6, 1})->Unit(benchmark::kSecond)->Iterations(1);
BENCHMARK(BM_BoardTick)->Arg(10)->Arg(100)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    // libobs without video: the board paints, and has no texture to upload to.
    if (!obs_startup("en-US", nullptr, nullptr))
        return 1;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    obs_shutdown();
    return 0;
}
