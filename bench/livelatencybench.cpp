// Pen-to-screen latency of going live: a whiteboard filling libobs's
// 1280 x 720 canvas (the plug-in loaded as a module into kp-host's own
// runtime) goes out through "kp_rtc_output" at 30 fps into a private Janus
// server; this program started a second time as a watcher, in a process of
// its own, joins the room as audience, draws what it decodes into a window
// and tells, on the same monotonic clock, when the window's centre changes
// colour. The sender switches the board's background between two colours
// 50 times and takes, for each, the time from the switch to the watcher
// seeing it: median and 95th percentile, the sender's CPU as a share of one
// core, and libobs's lagged and the output's dropped frames; with VP8 and
// with H.264.
//
// Run through scripts/janus/with-janus.sh (make bench-live does), which sets
// VENDOR_RTC_JANUS_URL and KP_JANUS_TOKEN; without them it measures nothing.
// KP_BENCH_RECEIVE_LATENCY_MS gives the watcher's engine another
// "rtc.video.receive_latency_ms" than its default.

#include "kpobsruntime.h"
#include "remotewindow.h"

#include "vendor/rtc/irtcengine.h"

#include <QByteArray>
#include <QGuiApplication>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <benchmark/benchmark.h>
#include <util/base.h>

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr int kChanges = 50;
constexpr int kChangeEveryMs = 300;
constexpr int kSeenWithinMs = 2000;
constexpr int kConnectWithinMs = 60000;
constexpr unsigned kSenderUid = 4101;
constexpr unsigned kWatcherUid = 4102;
constexpr long long kRedAbgr = 0xff2020e0LL;
constexpr long long kBlueAbgr = 0xffe02020LL;
constexpr long kRedRgb = 0xe02020;
constexpr long kBlueRgb = 0x2020e0;

KPObsRuntime *g_runtime = nullptr;

long long nowUs()
{
    return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void dropLine(int, const char *, va_list, void *) {}

struct EngineDeleter
{
    void operator()(vendor::rtc::IRtcEngine *engine) const { engine->release(true); }
};

class QuietHandler : public vendor::rtc::IRtcEngineEventHandler
{
};

// The watcher: prints "<microseconds> r" or "... b" each time the window's
// centre turns red or blue, until its standard input closes.
int watch(const char *channel, int width, int height)
{
    RemoteWindow window(width, height);
    QuietHandler handler;
    std::unique_ptr<vendor::rtc::IRtcEngine, EngineDeleter> engine(createRtcEngineNamed("janus"));
    vendor::rtc::RtcEngineContext context;
    context.eventHandler = &handler;
    context.appId = "0123456789abcdef0123456789abcdef";
    if (!engine || engine->initialize(context) != 0)
        return 2;
    if (const char *latency = std::getenv("KP_BENCH_RECEIVE_LATENCY_MS")) {
        void *parameter = nullptr;
        const std::string json = std::string(R"({"rtc.video.receive_latency_ms":)") + latency + "}";
        if (engine->queryInterface(vendor::rtc::INTERFACE_ID_PARAMETER, &parameter) != 0 ||
            static_cast<vendor::rtc::IRtcEngineParameter *>(parameter)->setParameters(json.c_str()) != 0)
            return 2;
        static_cast<vendor::rtc::IRtcEngineParameter *>(parameter)->release();
    }
    vendor::rtc::VideoCanvas canvas{};
    canvas.view = window.view();
    canvas.uid = kSenderUid;
    if (engine->setupRemoteVideo(canvas) != 0 ||
        engine->joinChannel(std::getenv("KP_JANUS_TOKEN"), channel, nullptr, kWatcherUid) != 0)
        return 2;
    std::thread ender([] {
        while (std::fgetc(stdin) != EOF) {
        }
        std::_Exit(0); // the sender is done: no orderly leave is needed
    });
    ender.detach();
    char last = 0;
    for (;;) {
        const long rgb = window.centre();
        const char seen = RemoteWindow::near(rgb, kRedRgb) ? 'r' : RemoteWindow::near(rgb, kBlueRgb) ? 'b' : 0;
        if (seen && seen != last) {
            std::printf("%lld %c\n", nowUs(), seen);
            std::fflush(stdout);
            last = seen;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
}

// The watcher's reports, read as they come.
class Watcher
{
public:
    Watcher(const QString &program, const QString &channel, int width, int height)
    {
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(program, {QStringLiteral("--watch"), channel, QString::number(width), QString::number(height)});
    }
    ~Watcher()
    {
        m_process.closeWriteChannel();
        if (!m_process.waitForFinished(5000))
            m_process.kill();
        m_process.waitForFinished(5000);
    }
    // The instant the colour was first seen from after, or -1 after timeoutMs.
    long long seen(char colour, long long after, int timeoutMs)
    {
        const long long until = nowUs() + timeoutMs * 1000LL;
        while (nowUs() < until) {
            while (m_process.canReadLine()) {
                const QList<QByteArray> fields = m_process.readLine().trimmed().split(' ');
                if (fields.size() == 2 && fields[1].size() == 1 && fields[1][0] == colour &&
                    fields[0].toLongLong() >= after)
                    return fields[0].toLongLong();
            }
            m_process.waitForReadyRead(10);
        }
        return -1;
    }

private:
    QProcess m_process;
};

obs_source_t *board()
{
    obs_data_t *settings = obs_data_create();
    obs_data_set_int(settings, "kp_wb_width", 1280);
    obs_data_set_int(settings, "kp_wb_height", 720);
    obs_data_set_int(settings, "kp_wb_background", kRedAbgr);
    obs_source_t *source = obs_source_create("kp_source_whiteboard", "bench board", settings, nullptr);
    obs_data_release(settings);
    return source;
}

void setBackground(obs_source_t *source, long long abgr)
{
    obs_data_t *settings = obs_data_create();
    obs_data_set_int(settings, "kp_wb_background", abgr);
    obs_source_update(source, settings);
    obs_data_release(settings);
}

obs_output_t *startOutput(const std::string &channel, int width, int height, const char *codec)
{
    const std::string json = std::string(R"({"server":")") + std::getenv("VENDOR_RTC_JANUS_URL") + R"(","channel":")" +
                             channel + R"(","uid":)" + std::to_string(kSenderUid) + R"(,"token":")" +
                             std::getenv("KP_JANUS_TOKEN") + R"(","width":)" + std::to_string(width) +
                             R"(,"height":)" + std::to_string(height) + R"(,"fps":30,"codec":")" + codec + R"("})";
    obs_data_t *settings = obs_data_create_from_json(json.c_str());
    obs_output_t *output = obs_output_create("kp_rtc_output", "bench live", settings, nullptr);
    obs_data_release(settings);
    if (output && !obs_output_start(output)) {
        obs_output_release(output);
        return nullptr;
    }
    return output;
}

double cpuSeconds()
{
    rusage usage = {};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double percentile(std::vector<double> values, double share)
{
    if (values.empty())
        return -1;
    std::sort(values.begin(), values.end());
    const size_t at = std::min(values.size() - 1, size_t(share * double(values.size() - 1) + 0.5));
    return values[at];
}

void measure(benchmark::State &state, int width, int height, const char *codec)
{
    const std::string channel = "bench-live-" + std::to_string(width) + "-" + codec;
    obs_source_t *source = board();
    obs_sceneitem_t *item = g_runtime->show(source);
    obs_output_t *output = startOutput(channel, width, height, codec);
    std::vector<double> latencies;
    double cpu = 0, wall = 0;
    uint32_t lagged = 0;
    for (auto _ : state) {
        if (!output) {
            state.SkipWithError("the output did not start");
            break;
        }
        Watcher watcher(QGuiApplication::applicationFilePath(), QString::fromStdString(channel), width, height);
        if (watcher.seen('r', 0, kConnectWithinMs) < 0) {
            state.SkipWithError("the watcher saw no picture");
            break;
        }
        const uint32_t laggedBefore = obs_get_lagged_frames();
        const double cpuBefore = cpuSeconds();
        const long long start = nowUs();
        for (int i = 0; i < kChanges; ++i) {
            const bool blue = i % 2 == 0;
            const long long changed = nowUs();
            setBackground(source, blue ? kBlueAbgr : kRedAbgr);
            const long long seen = watcher.seen(blue ? 'b' : 'r', changed, kSeenWithinMs);
            if (seen >= 0)
                latencies.push_back(double(seen - changed) / 1000.0);
            std::this_thread::sleep_until(std::chrono::steady_clock::time_point(
                std::chrono::microseconds(changed + kChangeEveryMs * 1000LL)));
        }
        cpu = cpuSeconds() - cpuBefore;
        wall = double(nowUs() - start) / 1e6;
        lagged = obs_get_lagged_frames() - laggedBefore;
    }
    state.counters["median_ms"] = percentile(latencies, 0.5);
    state.counters["p95_ms"] = percentile(latencies, 0.95);
    state.counters["missed"] = double(kChanges - int(latencies.size()));
    state.counters["cpu_cores"] = wall > 0 ? cpu / wall : 0;
    state.counters["lagged"] = lagged;
    state.counters["dropped"] = output ? obs_output_get_frames_dropped(output) : 0;
    if (output) {
        obs_output_stop(output);
        obs_output_release(output);
    }
    g_runtime->removeFromOutput(item);
    obs_source_release(source);
}

void BM_LiveLatency(benchmark::State &state)
{
    measure(state, int(state.range(0)), int(state.range(1)), state.range(2) ? "h264" : "vp8");
}

} // namespace

// Sent width, height, and the codec: 0 VP8, 1 H.264.
BENCHMARK(BM_LiveLatency)
    ->Args({640, 360, 0})
    ->Args({1280, 720, 0})
    ->Args({640, 360, 1})
    ->Args({1280, 720, 1})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    if (argc == 5 && std::strcmp(argv[1], "--watch") == 0)
        return watch(argv[2], std::atoi(argv[3]), std::atoi(argv[4]));
    QGuiApplication app(argc, argv);
    if (!std::getenv("VENDOR_RTC_JANUS_URL") || !std::getenv("KP_JANUS_TOKEN")) {
        std::fprintf(stderr, "bench_live_latency needs a Janus server: run it through scripts/janus/with-janus.sh\n");
        return 1;
    }
    base_set_log_handler(dropLine, nullptr);
    setenv("VENDOR_RTC_ENGINE", "janus", 1);
    KPObsRuntime runtime;
    KPObsRuntime::Options options;
    options.audio = true; // as kp-host: the canvas's sound goes out too
    QString error;
    if (!runtime.start(options, &error) ||
        !runtime.loadModule(QStringLiteral(KP_BENCH_PLUGIN_PATH), QString(), &error)) {
        std::fprintf(stderr, "%s\n", error.toUtf8().constData());
        return 1;
    }
    g_runtime = &runtime;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    runtime.shutdown();
    return 0;
}
