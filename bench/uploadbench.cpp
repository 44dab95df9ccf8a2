// Cost of uploading a 1920 x 1080 board frame to its libobs texture with
// OpenGL video: the whole frame with gs_texture_set_image, against mapping
// the texture and writing only the rows a drag changed. libobs sends a mapped
// texture's whole buffer at unmap, so the second saves only the CPU copy.

#include "kpobsruntime.h"

#include <QGuiApplication>
#include <QImage>

#include <util/base.h>

#include <benchmark/benchmark.h>

#include <cstring>

namespace {

constexpr uint32_t kWidth = 1920;
constexpr uint32_t kHeight = 1080;

void dropLine(int, const char *, va_list, void *) {}

struct Texture
{
    Texture() : frame(int(kWidth), int(kHeight), QImage::Format_RGBA8888)
    {
        frame.fill(Qt::white);
        const uint8_t *bits = frame.constBits();
        obs_enter_graphics();
        texture = gs_texture_create(kWidth, kHeight, GS_RGBA, 1, &bits, GS_DYNAMIC);
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

void BM_UploadWholeFrame(benchmark::State &state)
{
    Texture target;
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

} // namespace

BENCHMARK(BM_UploadWholeFrame)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_UploadMappedRows)->Arg(100)->Arg(1080)->Unit(benchmark::kMillisecond);

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
