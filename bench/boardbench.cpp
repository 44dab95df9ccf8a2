// Cost of a board's video tick at 1920 x 1080 as its history grows, without
// video (so no upload): composing after a change, an idle tick, a live drag,
// a live drag over pressure strokes, undo, a focused text box, saving and
// loading, and the memory of loaded text boxes. Each tick benchmark also
// times a full recomposition of the same board (every item painted again, as
// a board without a cache pays on every tick) and prints the ratio.
//
// The history benchmarks (undo, redo, clear and its undo and redo, hidden
// handwriting, reactivation) take the canvas height as their last argument:
// 1080 for 1920 x 1080, 2160 for 3840 x 2160.

#include "kpitemproperty.h"
#include "kpwhiteboardobject.h"

#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QTabletEvent>

#include <util/base.h>

#include <benchmark/benchmark.h>

#include <malloc.h>
#include <unistd.h>

namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;

void dropLine(int, const char *, va_list, void *) {}
void dropQtMessage(QtMsgType, const QMessageLogContext &, const QString &) {}

void mouse(KPWhiteBoardObject &board, int x, int y, int phase)
{
    obs_mouse_event event = {0, x, y};
    if (phase == 0)
        board.do_mouse_click(&event, 0, false, 1);
    else if (phase == 1)
        board.do_mouse_move(&event, false);
    else
        board.do_mouse_click(&event, 0, true, 1);
}

void drag(KPWhiteBoardObject &board, int x0, int y0, int x1, int y1)
{
    mouse(board, x0, y0, 0);
    for (int step = 1; step <= 8; ++step)
        mouse(board, x0 + (x1 - x0) * step / 8, y0 + ((step % 2) ? 10 : -10) + (y1 - y0) * step / 8, 1);
    mouse(board, x1, y1, 2);
}

void tablet(KPWhiteBoardObject &board, QEvent::Type type, QPointF at, double pressure)
{
    const Qt::MouseButtons buttons = type == QEvent::TabletRelease ? Qt::NoButton : Qt::LeftButton;
    QTabletEvent event(type, at, at, QTabletEvent::Stylus, QTabletEvent::Pen, pressure, 0, 0, 0.0, 0.0, 0,
                       Qt::NoModifier, 1, Qt::LeftButton, buttons);
    board.do_tablet_event(&event);
}

void useTool(KPWhiteBoardObject &board, int type, quint32 size, quint32 color)
{
    KPWB::ItemProperty tool;
    tool.type = type;
    tool.size = size;
    tool.color = color;
    board.setCurrentItemProperty(tool);
}

// Finished items of every mouse-drawn type, spread over the canvas.
void fill(KPWhiteBoardObject &board, int count, QSize canvas = QSize(kWidth, kHeight))
{
    const int types[] = {KPWB::DRAW_ITEM_TYPE_RECT,    KPWB::DRAW_ITEM_TYPE_POINT, KPWB::DRAW_ITEM_TYPE_ARROW,
                         KPWB::DRAW_ITEM_TYPE_LINE,    KPWB::DRAW_ITEM_TYPE_ELLIPSE, KPWB::DRAW_ITEM_TYPE_PEN,
                         KPWB::Draw_ITEM_TYPE_PEN_ALPHA};
    for (int i = 0; i < count; ++i) {
        useTool(board, types[i % 7], 1 + i % 20, 0xff000000u | static_cast<quint32>(i * 2654435761u & 0xffffffu));
        const int x = (i * 97) % (canvas.width() - 200), y = (i * 61) % (canvas.height() - 150);
        drag(board, x, y, x + 150, y + 100);
    }
}

void fillPressure(KPWhiteBoardObject &board, int count)
{
    useTool(board, KPWB::DRAW_ITEM_TYPE_PEN, 4, 0xffff0000u);
    for (int i = 0; i < count; ++i) {
        const double x = (i * 131) % (kWidth - 300), y = (i * 71) % (kHeight - 100);
        tablet(board, QEvent::TabletPress, {x, y}, 0.2);
        for (int step = 1; step <= 10; ++step)
            tablet(board, QEvent::TabletMove, {x + step * 25, y + (step % 2) * 20}, 0.1 * step);
        tablet(board, QEvent::TabletRelease, {x + 250, y}, 0.0);
    }
}

std::unique_ptr<KPWhiteBoardObject> newBoard(int items, QSize canvas = QSize(kWidth, kHeight))
{
    auto board = std::make_unique<KPWhiteBoardObject>(nullptr);
    board->setSize(uint32_t(canvas.width()), uint32_t(canvas.height()));
    fill(*board, items, canvas);
    board->do_video_tick();
    return board;
}

QSize canvasOf(int64_t height)
{
    return height == 2160 ? QSize(3840, 2160) : QSize(kWidth, kHeight);
}

// Milliseconds of one full recomposition of the board as it stands.
double fullComposeMs(KPWhiteBoardObject &board)
{
    const int runs = 2;
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < runs; ++i)
        benchmark::DoNotOptimize(board.fullComposition());
    return timer.nsecsElapsed() / 1.0e6 / runs;
}

void reportAgainstFull(benchmark::State &state, KPWhiteBoardObject &board, double ownNs)
{
    const double full = fullComposeMs(board);
    state.counters["full_ms"] = full;
    state.counters["full_over_this"] = ownNs > 0.0 ? full * 1.0e6 / ownNs : 0.0;
}

double meanNs(const QElapsedTimer &timer, int64_t iterations)
{
    return iterations ? timer.nsecsElapsed() / double(iterations) : 0.0;
}

// A change that needs the whole frame again (a committed item does this):
// the frame is composed from the cache.
void BM_TickAfterChange(benchmark::State &state)
{
    auto board = newBoard(int(state.range(0)));
    QElapsedTimer timer;
    timer.start();
    for (auto _ : state) {
        board->requestRedraw();
        board->do_video_tick();
    }
    reportAgainstFull(state, *board, meanNs(timer, state.iterations()));
}

void BM_IdleTick(benchmark::State &state)
{
    auto board = newBoard(int(state.range(0)));
    const quint64 composed = board->composedFrames();
    QElapsedTimer timer;
    timer.start();
    for (auto _ : state)
        board->do_video_tick();
    state.counters["frames_composed"] = double(board->composedFrames() - composed);
    reportAgainstFull(state, *board, meanNs(timer, state.iterations()));
}

// One pointer move of a freehand stroke being drawn, then a tick.
void BM_LiveDrag(benchmark::State &state)
{
    auto board = newBoard(int(state.range(0)));
    if (state.range(1))
        fillPressure(*board, 200);
    useTool(*board, KPWB::DRAW_ITEM_TYPE_PEN, 3, 0xff00ff00u);
    mouse(*board, 400, 400, 0);
    board->do_video_tick();
    int step = 0;
    QElapsedTimer timer;
    timer.start();
    for (auto _ : state) {
        ++step;
        mouse(*board, 400 + step % 600, 400 + (step / 600) % 300 + (step % 7), 1);
        board->do_video_tick();
    }
    reportAgainstFull(state, *board, meanNs(timer, state.iterations()));
    mouse(*board, 400, 400, 2);
}

// Undo of the last item and the tick that shows it (redo, untimed, restores it).
void BM_Undo(benchmark::State &state)
{
    auto board = newBoard(int(state.range(0)));
    const quint64 rebuilds = board->cacheRebuilds();
    QElapsedTimer timer;
    qint64 timed = 0;
    for (auto _ : state) {
        timer.start();
        board->do_undo();
        board->do_video_tick();
        timed += timer.nsecsElapsed();
        state.PauseTiming();
        board->do_redo();
        board->do_video_tick();
        state.ResumeTiming();
    }
    state.counters["rebuilds_per_undo"] = double(board->cacheRebuilds() - rebuilds) / 2.0 / double(state.iterations());
    reportAgainstFull(state, *board, timed / double(state.iterations()));
}

// The timed half of a pair of changes and the tick that shows it; the other
// half, untimed, puts the board back. Reports the rebuilds the timed half made
// and its cost against a full recomposition of the board with all its items
// shown (fullMs, taken before the benchmark changed the board).
template <typename Timed, typename Untimed>
void timeHalf(benchmark::State &state, KPWhiteBoardObject &board, double fullMs, Timed timed, Untimed untimed)
{
    QElapsedTimer timer;
    qint64 spent = 0;
    quint64 rebuilds = 0;
    for (auto _ : state) {
        const quint64 before = board.cacheRebuilds();
        timer.start();
        timed();
        board.do_video_tick();
        spent += timer.nsecsElapsed();
        rebuilds += board.cacheRebuilds() - before;
        state.PauseTiming();
        untimed();
        board.do_video_tick();
        state.ResumeTiming();
    }
    const double ownMs = spent / 1.0e6 / double(state.iterations());
    state.counters["rebuilds"] = double(rebuilds) / double(state.iterations());
    state.counters["own_ms"] = ownMs;
    state.counters["full_ms"] = fullMs;
    state.counters["full_over_this"] = ownMs > 0.0 ? fullMs / ownMs : 0.0;
}

// A board of this many items on the canvas of this height, and its full
// recomposition's cost.
std::unique_ptr<KPWhiteBoardObject> historyBoard(benchmark::State &state, int items, double *fullMs)
{
    auto board = newBoard(items, canvasOf(state.range(1)));
    *fullMs = fullComposeMs(*board);
    return board;
}

// Arguments: items, canvas height.
void BM_UndoOne(benchmark::State &state)
{
    double full = 0.0;
    auto board = historyBoard(state, int(state.range(0)), &full);
    timeHalf(state, *board, full, [&] { board->do_undo(); }, [&] { board->do_redo(); });
}

void BM_RedoOne(benchmark::State &state)
{
    double full = 0.0;
    auto board = historyBoard(state, int(state.range(0)), &full);
    timeHalf(state, *board, full, [&] { board->do_redo(); }, [&] { board->do_undo(); });
}

// A long history of which only the last 1,000 items are on the board: 49,000
// items cleared, then 1,000 drawn as before; compare with BM_UndoOne/1000.
// Arguments: unused, canvas height.
void BM_UndoAfterLongHistory(benchmark::State &state)
{
    double full = 0.0;
    auto board = historyBoard(state, 49000, &full);
    board->do_clear();
    fill(*board, 1000, canvasOf(state.range(1)));
    board->do_video_tick();
    full = fullComposeMs(*board);
    timeHalf(state, *board, full, [&] { board->do_undo(); }, [&] { board->do_redo(); });
}

void BM_Clear(benchmark::State &state)
{
    double full = 0.0;
    auto board = historyBoard(state, int(state.range(0)), &full);
    timeHalf(state, *board, full, [&] { board->do_clear(); }, [&] { board->do_undo(); });
}

void BM_UndoClear(benchmark::State &state)
{
    double full = 0.0;
    auto board = historyBoard(state, int(state.range(0)), &full);
    board->do_clear();
    board->do_video_tick();
    timeHalf(state, *board, full, [&] { board->do_undo(); }, [&] { board->do_redo(); });
}

void BM_RedoClear(benchmark::State &state)
{
    double full = 0.0;
    auto board = historyBoard(state, int(state.range(0)), &full);
    board->do_clear();
    board->do_video_tick();
    board->do_undo();
    board->do_video_tick();
    timeHalf(state, *board, full, [&] { board->do_redo(); }, [&] { board->do_undo(); });
}

// Hidden handwriting switched on and off, each with its tick: the pair is timed.
void BM_HideHandwriting(benchmark::State &state)
{
    double full = 0.0;
    auto board = historyBoard(state, int(state.range(0)), &full);
    timeHalf(state, *board, full, [&] {
        board->setHideHandwriting(true);
        board->do_video_tick();
        board->setHideHandwriting(false);
    }, [] {});
}

// A page deactivated and shown again at the same size.
void BM_Reactivate(benchmark::State &state)
{
    double full = 0.0;
    auto board = historyBoard(state, int(state.range(0)), &full);
    timeHalf(state, *board, full, [&] {
        board->setActive(false);
        board->setActive(true);
    }, [] {});
}

#if __has_include("kpboardcompositor.h")
// What the compositor holds beyond its frame and cached layer (a canvas each):
// the index of this many items, and after a clear the layer and index it kept.
void BM_CompositorMemory(benchmark::State &state)
{
    const QSize canvas = canvasOf(state.range(1));
    auto board = newBoard(int(state.range(0)), canvas);
    for (auto _ : state)
        benchmark::DoNotOptimize(board->indexBytes());
    state.counters["index_MiB"] = board->indexBytes() / (1024.0 * 1024.0);
    board->do_clear();
    board->do_video_tick();
    state.counters["kept_layer_MiB"] = board->keptLayerBytes() / (1024.0 * 1024.0);
    state.counters["kept_index_MiB"] = board->indexBytes() / (1024.0 * 1024.0);
    state.counters["canvas_MiB"] = canvas.width() * canvas.height() * 4 / (1024.0 * 1024.0);
}
BENCHMARK(BM_CompositorMemory)->ArgsProduct({{10000, 50000}, {1080, 2160}})->Iterations(1);
#endif

// A key typed into a focused text box, then a tick.
void BM_FocusedText(benchmark::State &state)
{
    auto board = newBoard(int(state.range(0)));
    useTool(*board, KPWB::DRAW_ITEM_TYPE_TEXT, 20, 0xff000000u);
    mouse(*board, 300, 300, 0);
    mouse(*board, 300, 300, 2);
    int typed = 0;
    QElapsedTimer timer;
    timer.start();
    for (auto _ : state) {
        char text[2] = {char('a' + typed % 26), 0};
        obs_key_event key = {0, text, 0, uint32_t(text[0]), 0};
        // A short line: typing past the canvas is not what is measured here.
        if (++typed % 40 == 0) {
            text[0] = '\r';
            key.native_vkey = 0x01000004;
        }
        board->do_key_click(&key, false);
        board->do_video_tick();
    }
    reportAgainstFull(state, *board, meanNs(timer, state.iterations()));
}

void BM_Save(benchmark::State &state)
{
    auto board = newBoard(int(state.range(0)));
    for (auto _ : state) {
        obs_data_t *saved = obs_data_create();
        board->save(saved);
        obs_data_release(saved);
    }
}

void BM_Load(benchmark::State &state)
{
    auto board = newBoard(int(state.range(0)));
    obs_data_t *saved = obs_data_create();
    board->save(saved);
    for (auto _ : state) {
        state.PauseTiming();
        auto loaded = std::make_unique<KPWhiteBoardObject>(nullptr);
        loaded->setSize(kWidth, kHeight);
        state.ResumeTiming();
        loaded->load(saved);
        state.PauseTiming();
        loaded.reset();
        state.ResumeTiming();
    }
    obs_data_release(saved);
}

long residentBytes()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toLong() * sysconf(_SC_PAGESIZE) : 0;
}

double heapBytes()
{
    const struct mallinfo2 info = mallinfo2();
    return double(info.uordblks) + double(info.hblkhd);
}

// A saved board of text boxes, written record by record so that no text box
// has lived in this process before the measurement.
obs_data_t *savedTextBoxes(int count)
{
    obs_data_array_t *records = obs_data_array_create();
    for (int i = 0; i < count; ++i) {
        obs_data_t *tool = obs_data_create();
        obs_data_set_int(tool, "kp_wb_draw_type", KPWB::DRAW_ITEM_TYPE_TEXT);
        obs_data_set_int(tool, "kp_wb_draw_color", 0xff000000LL);
        obs_data_set_int(tool, "kp_wb_draw_size", 20);
        obs_data_t *text = obs_data_create();
        obs_data_set_int(text, "kp_wb_text_x", (i * 37) % (kWidth - 200));
        obs_data_set_int(text, "kp_wb_text_y", (i * 23) % (kHeight - 60));
        obs_data_set_int(text, "kp_wb_text_font_size", 20);
        obs_data_set_string(text, "kp_wb_text", QByteArrayLiteral("Box ").append(QByteArray::number(i)).constData());
        obs_data_t *record = obs_data_create();
        obs_data_set_obj(record, "kp_wb_data_itemProperty", tool);
        obs_data_set_obj(record, "kp_wb_data_textData", text);
        obs_data_array_push_back(records, record);
        obs_data_release(record);
        obs_data_release(text);
        obs_data_release(tool);
    }
    obs_data_t *content = obs_data_create();
    obs_data_set_array(content, "kp_wb_data_datas", records);
    obs_data_t *saved = obs_data_create();
    obs_data_set_obj(saved, "kp_wb_data", content);
    obs_data_release(content);
    obs_data_array_release(records);
    return saved;
}

// Resident memory that 1,000 text boxes loaded from a saved board add, once
// laid out and painted.
void BM_TextBoxMemory(benchmark::State &state)
{
    obs_data_t *saved = savedTextBoxes(int(state.range(0)));
    // A board painted once first, so that only the boxes are counted.
    KPWhiteBoardObject board(nullptr);
    board.setSize(kWidth, kHeight);
    board.do_video_tick();
    const long before = residentBytes();
    const double heapBefore = heapBytes();
    for (auto _ : state) {
        board.load(saved);
        board.do_video_tick();
    }
    // Resident memory can reuse what earlier benchmarks freed; the heap in
    // use cannot, so both are shown.
    state.counters["resident_MiB_added"] = double(residentBytes() - before) / (1024.0 * 1024.0);
    state.counters["heap_MiB_added"] = (heapBytes() - heapBefore) / (1024.0 * 1024.0);
    state.counters["heap_KiB_per_box"] = (heapBytes() - heapBefore) / 1024.0 / double(state.range(0));
    obs_data_release(saved);
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

// One pointer move of a presenter tool over 1,000 items, then a tick: the
// laser pointer (pressed, its trail fading by a frame's time each move) and
// the spotlight. Arguments: tool, canvas height.
void BM_PointerMove(benchmark::State &state)
{
    const QSize canvas = canvasOf(state.range(1));
    auto board = newBoard(1000, canvas);
    useTool(*board, int(state.range(0)), 20, 0xff0000ffu);
    mouse(*board, canvas.width() / 2, canvas.height() / 2, 0);
    board->do_video_tick();
    int step = 0;
    for (auto _ : state) {
        ++step;
        mouse(*board, canvas.width() / 4 + step % (canvas.width() / 2), canvas.height() / 3 + (step % 11), 1);
        board->advanceClock(1.0 / 60.0);
        board->do_video_tick();
    }
    mouse(*board, canvas.width() / 2, canvas.height() / 2, 2);
}

// Undo (and then redo) of the last of many tablet strokes, with the tick
// that shows it. Arguments: strokes, 0 for undo or 1 for redo.
void BM_PressureUndoRedo(benchmark::State &state)
{
    auto board = newBoard(0);
    fillPressure(*board, int(state.range(0)));
    board->do_video_tick();
    const bool redo = state.range(1);
    QElapsedTimer timer;
    qint64 timed = 0;
    for (auto _ : state) {
        if (redo) {
            state.PauseTiming();
            board->do_undo();
            board->do_video_tick();
            state.ResumeTiming();
        }
        timer.start();
        redo ? board->do_redo() : board->do_undo();
        board->do_video_tick();
        timed += timer.nsecsElapsed();
        if (!redo) {
            state.PauseTiming();
            board->do_redo();
            board->do_video_tick();
            state.ResumeTiming();
        }
    }
    state.counters["ms_per_step"] = timed / 1.0e6 / double(state.iterations());
}

// One pointer move of an eraser drag across many tablet strokes, then a tick.
// Arguments: strokes.
void BM_PressureEraseDrag(benchmark::State &state)
{
    auto board = newBoard(0);
    fillPressure(*board, int(state.range(0)));
    board->do_video_tick();
    useTool(*board, KPWB::DRAW_ITEM_TYPE_ERASER, 10, 0xff000000u);
    mouse(*board, 100, 100, 0);
    int step = 0;
    for (auto _ : state) {
        ++step;
        mouse(*board, 100 + step * 7 % (kWidth - 200), 100 + step * 3 % (kHeight - 200), 1);
        board->do_video_tick();
    }
    mouse(*board, 100, 100, 2);
}

} // namespace

BENCHMARK(BM_HugeStroke)->Args({6, 0})->Args({8, 0})->Args({6, 1})->Unit(benchmark::kSecond)->Iterations(1);
BENCHMARK(BM_TickAfterChange)->Arg(0)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_IdleTick)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LiveDrag)->Args({0, 0})->Args({10000, 0})->Args({10000, 1})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Undo)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_UndoOne)->ArgsProduct({{0, 1000, 10000, 50000}, {1080, 2160}})->Iterations(10)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RedoOne)->ArgsProduct({{1000, 10000, 50000}, {1080, 2160}})->Iterations(10)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_UndoAfterLongHistory)->Args({49000, 1080})->Args({49000, 2160})->Iterations(10)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Clear)->ArgsProduct({{10000, 50000}, {1080, 2160}})->Iterations(4)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_UndoClear)->ArgsProduct({{10000, 50000}, {1080, 2160}})->Iterations(4)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RedoClear)->ArgsProduct({{10000, 50000}, {1080, 2160}})->Iterations(4)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HideHandwriting)->ArgsProduct({{10000}, {1080, 2160}})->Iterations(4)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Reactivate)->ArgsProduct({{10000}, {1080, 2160}})->Iterations(4)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FocusedText)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Save)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Load)->Arg(10000)->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TextBoxMemory)->Arg(1000)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PointerMove)->ArgsProduct({{KPWB::DRAW_ITEM_TYPE_LASER, KPWB::DRAW_ITEM_TYPE_SPOTLIGHT}, {1080, 2160}})
    ->Iterations(60)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PressureUndoRedo)->ArgsProduct({{1000, 10000}, {0, 1}})->Iterations(10)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PressureEraseDrag)->Arg(1000)->Arg(10000)->Iterations(20)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    // libobs without video: the board paints, and has no texture to upload to.
    if (!obs_startup("en-US", nullptr, nullptr))
        return 1;
    base_set_log_handler(dropLine, nullptr);
    qInstallMessageHandler(dropQtMessage);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    obs_shutdown();
    return 0;
}
