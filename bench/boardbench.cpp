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

} // namespace

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
