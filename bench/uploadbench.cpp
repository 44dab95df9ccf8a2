// Cost of uploading a board frame to its libobs texture with OpenGL video:
// the whole frame with gs_texture_set_image, against mapping the texture and
// writing only the rows a drag changed (libobs sends a mapped texture's whole
// buffer at unmap, so this saves only the CPU copy), against a frame cut into
// 256 x 256 tiles, each its own texture, of which only the tiles a drag's
// rectangle meets are uploaded; and the cost of drawing the frame whole or
// tile by tile; and a board's tick during a live drag, upload included. Where an argument is 1080 or 2160 it is the frame height, for
// 1920 x 1080 or 3840 x 2160.

#include "kpobsruntime.h"
#include "kpwhiteboardobject.h"

#include <QGuiApplication>
#include <QImage>
#include <QVector>

#include <util/base.h>

#include <benchmark/benchmark.h>

#include <cstring>
#include <functional>

namespace {

constexpr uint32_t kWidth = 1920;
constexpr uint32_t kHeight = 1080;
constexpr int kTile = 256;
// A drag's changed rectangle: about 0.13 of a 1920 x 1080 frame.
const QRect kDragRect(500, 300, 600, 450);

void dropLine(int, const char *, va_list, void *) {}

QSize frameOf(int64_t height)
{
    return height == 2160 ? QSize(3840, 2160) : QSize(int(kWidth), int(kHeight));
}

struct Texture
{
    explicit Texture(QSize size = QSize(int(kWidth), int(kHeight))) : frame(size, QImage::Format_RGBA8888)
    {
        frame.fill(Qt::white);
        const uint8_t *bits = frame.constBits();
        obs_enter_graphics();
        texture = gs_texture_create(uint32_t(size.width()), uint32_t(size.height()), GS_RGBA, 1, &bits, GS_DYNAMIC);
        obs_leave_graphics();
    }
    ~Texture()
    {
        obs_enter_graphics();
        gs_texture_destroy(texture);
        obs_leave_graphics();
    }
    QImage frame;
    gs_texture_t *texture = nullptr;
};

// The frame cut into tiles, each its own texture.
struct Tiles
{
    explicit Tiles(QSize size) : frame(size, QImage::Format_RGBA8888)
    {
        frame.fill(Qt::white);
        obs_enter_graphics();
        for (int y = 0; y < size.height(); y += kTile) {
            for (int x = 0; x < size.width(); x += kTile) {
                const QRect tile = QRect(x, y, kTile, kTile) & frame.rect();
                const QImage part = frame.copy(tile);
                const uint8_t *bits = part.constBits();
                rects.append(tile);
                textures.append(gs_texture_create(uint32_t(tile.width()), uint32_t(tile.height()), GS_RGBA, 1,
                                                  &bits, GS_DYNAMIC));
            }
        }
        obs_leave_graphics();
    }
    ~Tiles()
    {
        obs_enter_graphics();
        for (gs_texture_t *texture : textures)
            gs_texture_destroy(texture);
        obs_leave_graphics();
    }
    QImage frame;
    QVector<QRect> rects;
    QVector<gs_texture_t *> textures;
};

void BM_UploadWholeFrame(benchmark::State &state)
{
    Texture target(frameOf(state.range(0)));
    for (auto _ : state) {
        obs_enter_graphics();
        gs_texture_set_image(target.texture, target.frame.constBits(), uint32_t(target.frame.bytesPerLine()), false);
        gs_flush();
        obs_leave_graphics();
    }
}

// Only the given number of rows written into the mapped texture.
void BM_UploadMappedRows(benchmark::State &state)
{
    Texture target;
    const int rows = int(state.range(0));
    for (auto _ : state) {
        obs_enter_graphics();
        uint8_t *data = nullptr;
        uint32_t lineSize = 0;
        if (gs_texture_map(target.texture, &data, &lineSize)) {
            for (int y = 0; y < rows; ++y)
                std::memcpy(data + size_t(y) * lineSize, target.frame.constScanLine(y), kWidth * 4);
            gs_texture_unmap(target.texture);
        }
        gs_flush();
        obs_leave_graphics();
    }
}

// Only the tiles the drag's rectangle meets, each straight from the frame.
void BM_UploadTiles(benchmark::State &state)
{
    Tiles target(frameOf(state.range(0)));
    const uint32_t lineSize = uint32_t(target.frame.bytesPerLine());
    int uploaded = 0;
    for (auto _ : state) {
        obs_enter_graphics();
        uploaded = 0;
        for (int i = 0; i < target.rects.size(); ++i) {
            const QRect &tile = target.rects.at(i);
            if (!tile.intersects(kDragRect))
                continue;
            gs_texture_set_image(target.textures.at(i), target.frame.constScanLine(tile.top()) + tile.left() * 4,
                                 lineSize, false);
            ++uploaded;
        }
        gs_flush();
        obs_leave_graphics();
    }
    state.counters["tiles"] = uploaded;
}

// Drawing the frame into a render target: one sprite, or one per tile.
void drawFrame(benchmark::State &state, const QSize &size, const std::function<void(gs_effect_t *)> &draw)
{
    obs_enter_graphics();
    gs_texrender_t *target = gs_texrender_create(GS_RGBA, GS_ZS_NONE);
    gs_effect_t *effect = obs_get_base_effect(OBS_EFFECT_DEFAULT);
    for (auto _ : state) {
        gs_texrender_reset(target);
        if (gs_texrender_begin(target, uint32_t(size.width()), uint32_t(size.height()))) {
            gs_ortho(0.0f, float(size.width()), 0.0f, float(size.height()), -100.0f, 100.0f);
            while (gs_effect_loop(effect, "Draw"))
                draw(effect);
            gs_texrender_end(target);
        }
        gs_flush();
    }
    gs_texrender_destroy(target);
    obs_leave_graphics();
}

void BM_DrawWholeFrame(benchmark::State &state)
{
    Texture source(frameOf(state.range(0)));
    drawFrame(state, source.frame.size(), [&](gs_effect_t *effect) {
        gs_effect_set_texture(gs_effect_get_param_by_name(effect, "image"), source.texture);
        gs_draw_sprite(source.texture, 0, 0, 0);
    });
}

void BM_DrawTiles(benchmark::State &state)
{
    Tiles source(frameOf(state.range(0)));
    drawFrame(state, source.frame.size(), [&](gs_effect_t *effect) {
        for (int i = 0; i < source.rects.size(); ++i) {
            const QRect &tile = source.rects.at(i);
            gs_matrix_push();
            gs_matrix_translate3f(float(tile.left()), float(tile.top()), 0.0f);
            gs_effect_set_texture(gs_effect_get_param_by_name(effect, "image"), source.textures.at(i));
            gs_draw_sprite(source.textures.at(i), 0, 0, 0);
            gs_matrix_pop();
        }
    });
}

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

// One pointer move of a freehand stroke being drawn over 1,000 rectangles,
// then the tick that composes and uploads it.
void BM_LiveDragTick(benchmark::State &state)
{
    const QSize size = frameOf(state.range(0));
    KPWhiteBoardObject board(nullptr);
    board.setSize(uint32_t(size.width()), uint32_t(size.height()));
    KPWB::ItemProperty tool;
    tool.type = KPWB::DRAW_ITEM_TYPE_RECT;
    tool.size = 3;
    tool.color = 0xff0000ffu;
    board.setCurrentItemProperty(tool);
    for (int i = 0; i < 1000; ++i) {
        const int x = (i * 97) % (size.width() - 200), y = (i * 61) % (size.height() - 150);
        mouse(board, x, y, 0);
        mouse(board, x + 150, y + 100, 2);
    }
    tool.type = KPWB::DRAW_ITEM_TYPE_PEN;
    board.setCurrentItemProperty(tool);
    mouse(board, 400, 400, 0);
    board.do_video_tick();
    const quint64 uploads = board.uploads();
    int step = 0;
    for (auto _ : state) {
        ++step;
        mouse(board, 400 + step % 600, 400 + (step / 600) % 300 + (step % 7), 1);
        board.do_video_tick();
    }
    state.counters["uploads_per_tick"] = double(board.uploads() - uploads) / double(state.iterations());
    mouse(board, 400, 400, 2);
}

} // namespace

BENCHMARK(BM_LiveDragTick)->Arg(1080)->Arg(2160)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_UploadWholeFrame)->Arg(1080)->Arg(2160)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_UploadMappedRows)->Arg(100)->Arg(1080)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_UploadTiles)->Arg(1080)->Arg(2160)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DrawWholeFrame)->Arg(1080)->Arg(2160)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DrawTiles)->Arg(1080)->Arg(2160)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    base_set_log_handler(dropLine, nullptr);
    KPObsRuntime runtime;
    KPObsRuntime::Options options;
    options.width = int(kWidth);
    options.height = int(kHeight);
    QString error;
    if (!runtime.start(options, &error))
        return 1;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    runtime.shutdown();
    return 0;
}
