// A slideshow switching between 4K pictures on a 1920 x 1080 output, as a
// presenter pages through a deck: the longest gap between two video ticks
// and the frames libobs reports lagged over the switches. The plug-in module
// comes from KP_BENCH_PLUGIN (default: the build tree's), so that two builds
// are compared by running this once with each.

#include "detailedpicture.h"
#include "kpobsruntime.h"

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QTemporaryDir>

#include <util/base.h>
#include <util/platform.h>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>

namespace {

KPObsRuntime *g_runtime = nullptr;
QStringList g_pictures;
std::atomic<float> g_longestTick{0.0f};

void dropLine(int, const char *, va_list, void *) {}

// The wall-clock gap since the previous tick: a frame's period, or more
// when something stalled the video thread.
void recordTick(void *, float)
{
    static uint64_t previous = 0;
    const uint64_t now = os_gettime_ns();
    const float seconds = previous ? float(now - previous) / 1e9f : 0.0f;
    previous = now;
    float longest = g_longestTick.load();
    while (seconds > longest && !g_longestTick.compare_exchange_weak(longest, seconds)) {
    }
}

// Detailed pictures, so that decoding costs what a photograph's would.
QStringList writePictures(const QString &dir, int count)
{
    QStringList paths;
    for (int i = 0; i < count; ++i) {
        paths << QDir(dir).filePath(QStringLiteral("slide%1.png").arg(i));
        detailedPicture({3840, 2160}, i).save(paths.last(), "PNG");
    }
    return paths;
}

void showFile(obs_source_t *slideshow, const QString &file)
{
    obs_data_t *settings = obs_data_create();
    obs_data_set_string(settings, "file", file.toUtf8().constData());
    obs_source_update(slideshow, settings);
    obs_data_release(settings);
}

void BM_SlideshowSwitch4K(benchmark::State &state)
{
    obs_source_t *slideshow = obs_source_create("kp_image_source", "deck", nullptr, nullptr);
    obs_sceneitem_t *item = g_runtime->show(slideshow);
    showFile(slideshow, g_pictures[0]);
    g_runtime->waitTicks(60, 30000);
    g_longestTick = 0.0f;
    const uint32_t laggedBefore = obs_get_lagged_frames();
    const uint32_t totalBefore = obs_get_total_frames();
    int next = 1;
    for (auto _ : state) {
        showFile(slideshow, g_pictures[next]);
        next = (next + 1) % g_pictures.size();
        // About a second per slide: the switch and its 100 ms cut.
        g_runtime->waitTicks(30, 30000);
    }
    state.counters["longest_tick_ms"] = double(g_longestTick.load()) * 1000.0;
    state.counters["lagged_frames"] = double(obs_get_lagged_frames() - laggedBefore);
    state.counters["frames"] = double(obs_get_total_frames() - totalBefore);
    g_runtime->removeFromOutput(item);
    obs_source_release(slideshow);
    g_runtime->waitTicks(5, 5000);
}

} // namespace

BENCHMARK(BM_SlideshowSwitch4K)->Iterations(12)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    base_set_log_handler(dropLine, nullptr);
    QTemporaryDir dir;
    g_pictures = writePictures(dir.path(), 4);
    KPObsRuntime runtime;
    KPObsRuntime::Options options;
    options.width = 1920;
    options.height = 1080;
    QString error;
    const QString plugin = qEnvironmentVariableIsSet("KP_BENCH_PLUGIN") ? qEnvironmentVariable("KP_BENCH_PLUGIN")
                                                                      : QStringLiteral(KP_BENCH_PLUGIN_PATH);
    if (!runtime.start(options, &error) || !runtime.loadModule(plugin, QString(), &error)) {
        fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    g_runtime = &runtime;
    obs_add_tick_callback(recordTick, nullptr);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    obs_remove_tick_callback(recordTick, nullptr);
    runtime.shutdown();
    return 0;
}
