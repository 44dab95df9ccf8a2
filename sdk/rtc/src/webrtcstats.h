#pragma once

#include <gst/gst.h>

#include "webrtcpeer.h"

namespace vendor {
namespace rtc {

// webrtcbin's statistics: asks for a report and adds up its streams.
class WebRtcStats
{
public:
    // Waits at most timeoutMs for webrtc's report; a late one is dropped
    // when it comes.
    static void read(GstElement *webrtc, int timeoutMs, WebRtcPeer::Stats &stats);

private:
    static void add(const GstStructure *report, WebRtcPeer::Stats &stats);
};

} // namespace rtc
} // namespace vendor
