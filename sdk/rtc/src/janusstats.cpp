#include "janusstats.h"

#include <algorithm>
#include <thread>

namespace vendor {
namespace rtc {
namespace {

// How long a peer is waited for its statistics.
constexpr int kPeerTimeoutMs = 1000;

// Kilobits a second between two byte counts taken seconds apart.
unsigned short kbps(uint64_t before, uint64_t after, double seconds)
{
    if (after < before || seconds <= 0)
        return 0;
    return static_cast<unsigned short>(std::min(65535.0, (after - before) * 8 / 1000.0 / seconds));
}

int perSecond(uint64_t before, uint64_t after, double seconds)
{
    return seconds > 0 && after >= before ? static_cast<int>((after - before) / seconds + 0.5) : 0;
}

} // namespace

bool JanusStats::measure(const JanusPeers::Snapshot &peers, Report &report)
{
    const WebRtcPeer::Stats sent = peers.publisher ? peers.publisher->stats(kPeerTimeoutMs) : WebRtcPeer::Stats{};
    const WebRtcPeer::Stats received =
        peers.subscriber ? peers.subscriber->stats(kPeerTimeoutMs) : WebRtcPeer::Stats{};
    report.publishing = peers.publisher != nullptr;
    report.feed = peers.subscriber ? peers.feed : 0;
    return measureTotals(sent, received, report);
}

bool JanusStats::measureTotals(const WebRtcPeer::Stats &sent, const WebRtcPeer::Stats &received, Report &report)
{
    const auto now = std::chrono::steady_clock::now();
    const std::clock_t cpu = std::clock();
    const double seconds =
        m_last.when.time_since_epoch().count() ? std::chrono::duration<double>(now - m_last.when).count() : 0;
    if (received.videoFrames < m_last.received.videoFrames)
        m_last.received = WebRtcPeer::Stats{}; // a new subscription counts from zero
    if (sent.videoFrames < m_last.sent.videoFrames)
        m_last.sent = WebRtcPeer::Stats{};
    measureRates(sent, received, seconds, report);
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    if (seconds > 0)
        report.channel.cpuAppUsage = 100.0 * (cpu - m_last.cpu) / CLOCKS_PER_SEC / seconds / cores;
    report.received = received;
    m_last = Totals{now, cpu, sent, received};
    return seconds > 0;
}

void JanusStats::measureRates(const WebRtcPeer::Stats &sent, const WebRtcPeer::Stats &received, double seconds,
                              Report &report) const
{
    RtcStats &stats = report.channel;
    stats.txVideoKBitRate = kbps(m_last.sent.videoBytes, sent.videoBytes, seconds);
    stats.txAudioKBitRate = kbps(m_last.sent.audioBytes, sent.audioBytes, seconds);
    stats.rxVideoKBitRate = kbps(m_last.received.videoBytes, received.videoBytes, seconds);
    stats.rxAudioKBitRate = kbps(m_last.received.audioBytes, received.audioBytes, seconds);
    stats.txKBitRate = static_cast<unsigned short>(stats.txVideoKBitRate + stats.txAudioKBitRate);
    stats.rxKBitRate = static_cast<unsigned short>(stats.rxVideoKBitRate + stats.rxAudioKBitRate);
    stats.txBytes = static_cast<unsigned int>(sent.videoBytes + sent.audioBytes);
    stats.rxBytes = static_cast<unsigned int>(received.videoBytes + received.audioBytes);
    report.sentFps = perSecond(m_last.sent.videoFrames, sent.videoFrames, seconds);
    report.receivedFps = perSecond(m_last.received.videoFrames, received.videoFrames, seconds);
    report.delayMs = static_cast<int>(received.jitterSeconds * 1000 + received.roundTripSeconds * 500);
}

void JanusStats::deliver(IRtcEngineEventHandler *handler, const Report &report)
{
    handler->onRtcStats(report.channel);
    if (report.publishing)
        handler->onLocalVideoStats(LocalVideoStats{report.channel.txVideoKBitRate, report.sentFps, 30,
                                                     report.sentFrames, report.droppedFrames});
    if (!report.feed) {
        handler->onAudioVolumeIndication(nullptr, 0, 0);
        return;
    }
    deliverRemote(handler, report);
}

void JanusStats::deliverRemote(IRtcEngineEventHandler *handler, const Report &report)
{
    const RtcStats &stats = report.channel;
    const WebRtcPeer::Stats &received = report.received;
    const uid_t feed = report.feed;
    const auto delay = static_cast<unsigned short>(report.delayMs);
    handler->onRemoteVideoStats(RemoteVideoStats{feed, report.delayMs, received.width, received.height,
                                                 stats.rxVideoKBitRate, report.receivedFps});
    const auto lost = static_cast<unsigned short>(std::min<int64_t>(65535, std::max<int64_t>(0, received.packetsLost)));
    handler->onRemoteVideoTransportStats(feed, delay, lost, stats.rxVideoKBitRate);
    handler->onRemoteAudioTransportStats(feed, delay, lost, stats.rxAudioKBitRate);
    // Quality on the usual scale: 1 excellent to 6 down, from the loss seen.
    const int quality = stats.rxAudioKBitRate == 0 ? 6 : lost == 0 ? 1 : lost < 10 ? 2 : lost < 50 ? 3 : 4;
    handler->onAudioQuality(feed, quality, delay, lost);
    const AudioVolumeInfo speaker{feed, static_cast<unsigned int>(received.audioLevel)};
    handler->onAudioVolumeIndication(&speaker, 1, received.audioLevel);
}

} // namespace rtc
} // namespace vendor
