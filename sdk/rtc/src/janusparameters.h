#pragma once

#include <string>

#include "webrtcpeer.h"

namespace vendor {
namespace rtc {

// The Janus engine's own keys of a parameters object (setParameters):
// "rtc.janus.url" (the server's API root), "rtc.video.codec" ("vp8" or
// "h264"), "rtc.video.bitrate_kbps" and "rtc.video.frame_rate" (of an
// external source), "rtc.video.receive_latency_ms"
// (how long received video is held to reorder packets, 0 to 5000). Other
// keys are taken and ignored.
class JanusParameters
{
public:
    struct Values
    {
        std::string url;
        WebRtcPeer::Media media;
    };

    // Reads parameters over values. False, with values unchanged, when it is
    // no JSON object or a known key has a value of the wrong type or out of
    // range: the whole object is refused.
    static bool read(const char *parameters, Values &values);
};

} // namespace rtc
} // namespace vendor
