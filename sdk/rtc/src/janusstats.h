#pragma once

#include <chrono>
#include <ctime>

#include "vendor/rtc/irtcengineeventhandler.h"
#include "januspeers.h"
#include "webrtcpeer.h"

namespace vendor {
namespace rtc {

// Turns the peers' running totals into the periodic statistics callbacks:
// rates come from the change since the last sample. Owned by the media thread.
class JanusStats
{
public:
    // What a period's reports are made of.
    struct Report
    {
        RtcStats channel{};
        bool publishing = false;
        uid_t feed = 0; // the remote user watched, 0 for none
        WebRtcPeer::Stats received;
        int sentFps = 0;
        int receivedFps = 0;
        int delayMs = 0;
        unsigned int sentFrames = 0; // pushed by the caller, when the source is external
        unsigned int droppedFrames = 0;
    };

    // Asks the peers for their totals; report.channel holds the duration
    // and user count already. False for the first sample, which only sets
    // where the rates start from.
    bool measure(const JanusPeers::Snapshot &peers, Report &report);

    static void deliver(IRtcEngineEventHandler *handler, const Report &report);

private:
    struct Totals
    {
        std::chrono::steady_clock::time_point when;
        std::clock_t cpu = 0;
        WebRtcPeer::Stats sent;
        WebRtcPeer::Stats received;
    };

    bool measureTotals(const WebRtcPeer::Stats &sent, const WebRtcPeer::Stats &received, Report &report);
    void measureRates(const WebRtcPeer::Stats &sent, const WebRtcPeer::Stats &received, double seconds,
                      Report &report) const;
    static void deliverRemote(IRtcEngineEventHandler *handler, const Report &report);

    Totals m_last;
};

} // namespace rtc
} // namespace vendor
