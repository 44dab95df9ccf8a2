// Frames libobs reports lagged while 50 annotated 1080p pictures are
// exported from a slideshow on a 1920 x 1080 output. "Former" repeats the
// work the export used to do, on a thread of normal priority: every picture
// decoded and composed first and held, then each encoded at zlib's default
// level, then the handout. "Export" presses the source's button and waits
// for its subfolder. Both run in one process, one after the other, so the
// machine's load is the same for both; compare lagged_per_1000_frames and
// seconds.

#include "detailedpicture.h"
#include "kpobsruntime.h"

#include <QDir>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QImage>
#include <QImageReader>
#include <QPainter>
#include <QPdfWriter>
#include <QTemporaryDir>
#include <QThread>

#include <util/base.h>

#include <benchmark/benchmark.h>

#include <thread>

namespace {

const int kPictures = 50;

KPObsRuntime *g_runtime = nullptr;
obs_source_t *g_slideshow = nullptr;
QString g_pictures;
QString g_out;

void dropLine(int, const char *, va_list, void *) {}

void writePictures(const QString &dir)
{
    QDir().mkpath(dir);
    for (int i = 0; i < kPictures; ++i) {
        detailedPicture({1920, 1080}, i).save(QDir(dir).filePath(QStringLiteral("slide%1.png").arg(i, 2, 10, QLatin1Char('0'))), "PNG", 90);
    }
}

void formerExport(const QString &folder)
{
    QDir().mkpath(folder);
    QList<QImage> composed;
    const QImage drawings(1920, 1080, QImage::Format_ARGB32_Premultiplied);
    for (const QString &name : QDir(g_pictures).entryList(QDir::Files, QDir::Name)) {
        QImage picture = QImageReader(QDir(g_pictures).filePath(name)).read();
        picture = picture.convertToFormat(QImage::Format_ARGB32_Premultiplied);
        QPainter painter(&picture);
        painter.drawImage(0, 0, drawings);
        painter.end();
        composed.append(picture.convertToFormat(QImage::Format_RGBA8888));
    }
    for (int i = 0; i < composed.size(); ++i)
        composed[i].save(QDir(folder).filePath(QStringLiteral("%1-annotated.png").arg(i)), "PNG");
    QPdfWriter pdf(QDir(folder).filePath(QStringLiteral("deck-annotated.pdf")));
    pdf.setResolution(300);
    QPainter painter(&pdf);
    for (int i = 0; i < composed.size(); ++i) {
        if (i > 0)
            pdf.newPage();
        painter.drawImage(QRect(0, 0, pdf.width(), pdf.height()), composed[i]);
    }
}

bool exportPublished(const QString &folder)
{
    return !QDir(folder).entryList(QDir::Dirs | QDir::NoDotAndDotDot).isEmpty();
}

template<typename Work> void measure(benchmark::State &state, Work work)
{
    for (auto _ : state) {
        g_runtime->waitTicks(30, 30000);
        const uint32_t laggedBefore = obs_get_lagged_frames();
        const uint32_t totalBefore = obs_get_total_frames();
        QElapsedTimer timer;
        timer.start();
        work();
        const double lagged = obs_get_lagged_frames() - laggedBefore;
        const double frames = obs_get_total_frames() - totalBefore;
        state.counters["seconds"] = timer.elapsed() / 1000.0;
        state.counters["lagged_frames"] = lagged;
        state.counters["frames"] = frames;
        state.counters["lagged_per_1000_frames"] = frames > 0 ? 1000.0 * lagged / frames : 0.0;
    }
}

void BM_ExportFormer(benchmark::State &state)
{
    const QString folder = QDir(g_out).filePath(QStringLiteral("former"));
    measure(state, [&] {
        std::thread worker([&] { formerExport(folder); });
        worker.join();
    });
}

void BM_Export(benchmark::State &state)
{
    const QString folder = QDir(g_out).filePath(QStringLiteral("export"));
    obs_data_t *settings = obs_data_create();
    obs_data_set_string(settings, "kp_export_folder", QFile::encodeName(folder).constData());
    obs_source_update(g_slideshow, settings);
    obs_data_release(settings);
    measure(state, [&] {
        obs_properties_t *properties = obs_source_properties(g_slideshow);
        obs_property_button_clicked(obs_properties_get(properties, "kp_export"), g_slideshow);
        obs_properties_destroy(properties);
        while (!exportPublished(folder))
            QThread::msleep(50);
    });
}

} // namespace

BENCHMARK(BM_ExportFormer)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();
BENCHMARK(BM_Export)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    base_set_log_handler(dropLine, nullptr);
    QTemporaryDir dir;
    g_pictures = dir.filePath(QStringLiteral("pictures"));
    g_out = dir.filePath(QStringLiteral("out"));
    writePictures(g_pictures);
    KPObsRuntime runtime;
    KPObsRuntime::Options options;
    options.width = 1920;
    options.height = 1080;
    QString error;
    if (!runtime.start(options, &error) || !runtime.loadModule(QStringLiteral(KP_BENCH_PLUGIN_PATH), QString(), &error)) {
        fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    g_runtime = &runtime;
    obs_data_t *settings = obs_data_create();
    obs_data_set_string(settings, "file", QFile::encodeName(g_pictures).constData());
    g_slideshow = obs_source_create("kp_image_source", "deck", settings, nullptr);
    obs_data_release(settings);
    obs_sceneitem_t *item = runtime.show(g_slideshow);
    runtime.waitTicks(60, 30000);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    runtime.removeFromOutput(item);
    obs_source_release(g_slideshow);
    runtime.shutdown();
    return 0;
}
