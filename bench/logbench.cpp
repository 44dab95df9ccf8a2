// Cost of one diagnostic line in the plug-in, plain and encrypted, written to
// a host log handler that drops it (the sink's own work only).

#include "kplog.h"
#include "kpobsext.h"

#include <QtGlobal>

#include <util/base.h>

#include <benchmark/benchmark.h>

namespace {

void dropLine(int, const char *, va_list, void *) {}
void dropQtMessage(QtMsgType, const QMessageLogContext &, const QString &) {}

void writeLines(benchmark::State &state, bool encrypted)
{
    base_set_log_handler(dropLine, nullptr);
    qInstallMessageHandler(dropQtMessage);
    kp_obs_set_log_encrypted(encrypted);
    const QString content = QStringLiteral("TTTTV:color_mouse_click type=0,x=10,y=20,click_count=1");
    for (auto _ : state)
        KP_LOG(1, content);
    kp_obs_set_log_encrypted(false);
}

void BM_LogLinePlain(benchmark::State &state)
{
    writeLines(state, false);
}

void BM_LogLineEncrypted(benchmark::State &state)
{
    writeLines(state, true);
}

void BM_LogScope(benchmark::State &state)
{
    base_set_log_handler(dropLine, nullptr);
    qInstallMessageHandler(dropQtMessage);
    for (auto _ : state) {
        KP_LOG_SCOPE();
    }
}

} // namespace

BENCHMARK(BM_LogLinePlain);
BENCHMARK(BM_LogLineEncrypted);
BENCHMARK(BM_LogScope);
BENCHMARK_MAIN();
