// Cost of laying out and painting one text box: with the glyph cache warm (a
// repaint of unchanged text), after a face reset (the first paint and every
// font-size change) and of the hit test that turns a click into an index.

#include "ft2source.h"
#include "kptextdata.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <util/base.h>

#include <benchmark/benchmark.h>

namespace {

void dropLine(int, const char *, va_list, void *) {}
void dropQtMessage(QtMsgType, const QMessageLogContext &, const QString &) {}

QString sampleText()
{
    QString text;
    for (int line = 0; line < 8; ++line)
        text += QStringLiteral("Line %1: the quick brown fox 你好，世界\n").arg(line);
    return text;
}

struct TextBox
{
    TextBox() : canvas(1280, 720, QImage::Format_RGBA8888), data(nullptr)
    {
        data.source()->text = sampleText();
        data.source()->textX = 40;
        data.source()->textY = 40;
    }
    void paint()
    {
        canvas.fill(Qt::white);
        QPainter painter(&canvas);
        data.render(&painter, canvas);
    }
    QImage canvas;
    KPTextItemData data;
};

void quiet()
{
    base_set_log_handler(dropLine, nullptr);
    qInstallMessageHandler(dropQtMessage);
}

void BM_TextRepaintWarmCache(benchmark::State &state)
{
    quiet();
    TextBox box;
    box.paint();
    for (auto _ : state)
        box.paint();
    state.SetItemsProcessed(state.iterations() * box.data.source()->cells.size());
}

void BM_TextRepaintAfterFaceReset(benchmark::State &state)
{
    quiet();
    TextBox box;
    for (auto _ : state) {
        box.data.source()->faceResetPending = true;
        box.paint();
    }
    state.SetItemsProcessed(state.iterations() * box.data.source()->cells.size());
}

void BM_TextHitTest(benchmark::State &state)
{
    quiet();
    TextBox box;
    box.paint();
    const TextCell last = box.data.source()->cells.last();
    const QPoint point(last.x + last.width + 5, last.y + last.height / 2);
    for (auto _ : state)
        benchmark::DoNotOptimize(box.data.source()->indexAt(point));
}

} // namespace

BENCHMARK(BM_TextRepaintWarmCache);
BENCHMARK(BM_TextRepaintAfterFaceReset);
BENCHMARK(BM_TextHitTest);

int main(int argc, char **argv)
{
    // Text is painted with Qt's fonts, which need a GUI application; no
    // display is needed for painting into an image.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
