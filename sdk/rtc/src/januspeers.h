#pragma once

#include <map>
#include <memory>
#include <mutex>

#include "vendor/rtc/rtcbase.h"
#include "webrtcpeer.h"

namespace vendor {
namespace rtc {

// A channel's two peer connections, the remote user watched and the windows
// given for remote users. The control thread sets and takes the peers, the
// caller's thread gives windows and the media thread reads the peers for
// statistics: every member is guarded by m_mutex. A peer handed out is
// called outside the lock, so GStreamer never runs under it.
class JanusPeers
{
public:
    struct Snapshot
    {
        std::shared_ptr<WebRtcPeer> publisher;
        std::shared_ptr<WebRtcPeer> subscriber;
        uid_t feed = 0; // the remote user the subscriber watches
    };

    void setPublisher(std::shared_ptr<WebRtcPeer> peer);
    // The subscriber draws into the window given for feed, if any.
    void setSubscriber(std::shared_ptr<WebRtcPeer> peer, uid_t feed);
    std::shared_ptr<WebRtcPeer> takePublisher();
    std::shared_ptr<WebRtcPeer> takeSubscriber();
    // Stops both peers, outside the lock.
    void stopAll();

    Snapshot snapshot() const;
    uid_t feed() const;

    // window 0 forgets the window of uid.
    void setWindow(uid_t uid, unsigned long window);

private:
    mutable std::mutex m_mutex;
    std::shared_ptr<WebRtcPeer> m_publisher;
    std::shared_ptr<WebRtcPeer> m_subscriber;
    uid_t m_feed = 0;
    std::map<uid_t, unsigned long> m_windows;
};

} // namespace rtc
} // namespace vendor
