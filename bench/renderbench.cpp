// CPU per frame of a picture shown through libobs with OpenGL video at
// 1920 x 1080: nothing on the output, the picture alone (drawn by a minimal
// source of this benchmark), an image source showing the same picture with
// an empty board, and the same with one stroke on its board. The CPU time of
// the whole process over a fixed number of video ticks, divided by the ticks.

#include "kpobsruntime.h"

#include <QGuiApplication>
#include <QImage>
#include <QTemporaryDir>

#include <graphics/image-file.h>
#include <util/base.h>

#include <benchmark/benchmark.h>

#include <ctime>
#include <functional>

namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;
constexpr int kFrames = 240;

void dropLine(int, const char *, va_list, void *) {}

QString g_picture;

// The picture alone: a texture drawn with the default effect.
struct Picture
{
    gs_image_file_t image;
};

void *createPicture(obs_data_t *, obs_source_t *)
{
    auto *picture = new Picture;
    gs_image_file_init(&picture->image, g_picture.toUtf8().constData());
    obs_enter_graphics();
    gs_image_file_init_texture(&picture->image);
    obs_leave_graphics();
    return picture;
}

void destroyPicture(void *data)
{
    auto *picture = static_cast<Picture *>(data);
    obs_enter_graphics();
    gs_image_file_free(&picture->image);
    obs_leave_graphics();
    delete picture;
}

void renderPicture(void *data, gs_effect_t *effect)
{
    auto *picture = static_cast<Picture *>(data);
    if (!picture->image.texture)
        return;
    gs_effect_set_texture(gs_effect_get_param_by_name(effect, "image"), picture->image.texture);
    gs_draw_sprite(picture->image.texture, 0, picture->image.cx, picture->image.cy);
}

uint32_t pictureWidth(void *data) { return static_cast<Picture *>(data)->image.cx; }
uint32_t pictureHeight(void *data) { return static_cast<Picture *>(data)->image.cy; }
const char *pictureName(void *) { return "bench picture"; }

void registerPicture()
{
    obs_source_info info = {};
    info.id = "bench_picture";
    info.type = OBS_SOURCE_TYPE_INPUT;
    info.output_flags = OBS_SOURCE_VIDEO;
    info.get_name = pictureName;
    info.create = createPicture;
    info.destroy = destroyPicture;
    info.video_render = renderPicture;
    info.get_width = pictureWidth;
    info.get_height = pictureHeight;
    obs_register_source(&info);
}

double processCpuMs()
{
    timespec now = {};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return now.tv_sec * 1.0e3 + now.tv_nsec / 1.0e6;
}

KPObsRuntime *g_runtime = nullptr;

// Milliseconds of CPU per video tick while the source (or nothing) is shown.
// Once shown and loaded, the source gets the given input before the measurement.
void measure(benchmark::State &state, obs_source_t *source, const std::function<void()> &input = {})
{
    obs_sceneitem_t *item = source ? g_runtime->show(source) : nullptr;
    g_runtime->waitTicks(30, 10000);
    if (input) {
        input();
        g_runtime->waitTicks(10, 10000);
        // The stroke is there: the rendered line is red where it crosses the middle of its run.
        const QImage shot = g_runtime->renderSource(source);
        state.counters["stroke_red"] = shot.isNull() ? -1 : shot.pixelColor(350, 250).red();
    }
    for (auto _ : state) {
        const double start = processCpuMs();
        const quint64 ticks = g_runtime->tickCount();
        g_runtime->waitTicks(kFrames, 60000);
        state.counters["cpu_ms_per_frame"] = (processCpuMs() - start) / double(g_runtime->tickCount() - ticks);
    }

    if (item)
        g_runtime->removeFromOutput(item);
    g_runtime->waitTicks(5, 5000);
}

obs_source_t *imageSource()
{
    obs_data_t *settings = obs_data_create();
    obs_data_set_string(settings, "file", g_picture.toUtf8().constData());
    obs_source_t *source = obs_source_create("kp_single_image_source", "bench image", settings, nullptr);
    obs_data_release(settings);
    return source;
}

void BM_NothingShown(benchmark::State &state)
{
    measure(state, nullptr);
}

void BM_PictureAlone(benchmark::State &state)
{
    obs_source_t *source = obs_source_create("bench_picture", "bench picture", nullptr, nullptr);
    measure(state, source);
    obs_source_release(source);
}

void BM_ImageSourceEmptyBoard(benchmark::State &state)
{
    obs_source_t *source = imageSource();
    measure(state, source);
    obs_source_release(source);
}

void BM_ImageSourceOneStroke(benchmark::State &state)
{
    obs_source_t *source = imageSource();
    measure(state, source, [source] {
        obs_data_t *tool = obs_data_create();
        obs_data_set_string(tool, "file", g_picture.toUtf8().constData());
        obs_data_set_int(tool, "kp_wb_draw_type", 4);
        obs_data_set_int(tool, "kp_wb_draw_color", 0xff0000ffLL);
        obs_data_set_int(tool, "kp_wb_draw_size", 4);
        obs_source_update(source, tool);
        obs_data_release(tool);
        // libobs applies a video source's settings at its next tick.
        g_runtime->waitTicks(3, 5000);
        obs_mouse_event event = {0, 100, 100};
        obs_source_send_mouse_click(source, &event, MOUSE_LEFT, false, 1);
        event.x = 600;
        event.y = 400;
        obs_source_send_mouse_move(source, &event, false);
        obs_source_send_mouse_click(source, &event, MOUSE_LEFT, true, 1);
    });
    obs_source_release(source);
}

} // namespace

BENCHMARK(BM_NothingShown)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PictureAlone)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ImageSourceEmptyBoard)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ImageSourceOneStroke)->Iterations(1)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    base_set_log_handler(dropLine, nullptr);
    QTemporaryDir dir;
    QImage picture(kWidth, kHeight, QImage::Format_RGB32);
    picture.fill(Qt::darkCyan);
    g_picture = dir.filePath(QStringLiteral("picture.png"));
    if (!dir.isValid() || !picture.save(g_picture))
        return 1;
    KPObsRuntime runtime;
    KPObsRuntime::Options options;
    options.width = kWidth;
    options.height = kHeight;
    QString error;
    if (!runtime.start(options, &error) ||
        !runtime.loadModule(QStringLiteral(KP_PLUGIN_PATH), QString(), &error))
        return 1;
    g_runtime = &runtime;
    registerPicture();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    runtime.shutdown();
    return 0;
}
