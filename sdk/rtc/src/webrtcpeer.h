#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

#include <gst/gst.h>

#include "mediatap.h"
#include "vendor/rtc/rtcbase.h"

namespace vendor {
namespace rtc {

// One WebRTC peer connection of a Janus video room, run by GStreamer's
// webrtcbin: a publisher sends a test picture (or a camera) as VP8 and a test
// tone as Opus; a subscriber decodes what it receives and draws the video into
// a native X11 window through the video overlay interface. The callbacks run
// on GStreamer's threads.
class WebRtcPeer
{
public:
    enum class Role { Publisher, Subscriber };

    struct Callbacks
    {
        std::function<void(const std::string &type, const std::string &sdp)> localDescription;
        std::function<void(unsigned mlineIndex, const std::string &candidate)> localCandidate; // empty: all gathered
        std::function<void(int width, int height)> firstVideoFrame;
        std::function<void()> firstAudioFrame;
        std::function<void(bool connected)> connectionChanged; // false: the connection failed
        std::function<void(const std::string &message)> error;
    };

    // Totals since the connection started, from webrtcbin's statistics and
    // the decoded frames counted here.
    struct Stats
    {
        uint64_t videoBytes = 0; // sent by a publisher, received by a subscriber
        uint64_t audioBytes = 0;
        uint64_t videoFrames = 0; // encoded by a publisher, decoded by a subscriber
        int64_t packetsLost = 0;
        double jitterSeconds = 0;
        double roundTripSeconds = 0;
        int audioLevel = 0; // 0 to 255, of the decoded sound
        int width = 0;
        int height = 0;
    };

    // How an external publisher encodes its video (VP8 or H.264, in their
    // real-time modes; a key frame goes out at least every two seconds of
    // frames), and how long a subscriber holds
    // incoming packets to put them in order. On a good link a short hold
    // costs nothing and is most of what a viewer waits for a frame.
    struct Media
    {
        enum class Codec { Vp8, H264 };
        Codec codec = Codec::Vp8;
        int bitrateKbps = 1500;
        int frameRate = 30;
        int receiveLatencyMs = 40;
    };

    // camera: a V4L2 device to publish from; empty sends the test picture.
    // external: a publisher sends what pushVideo and pushAudio are given instead.
    WebRtcPeer(Role role, Callbacks callbacks, std::string camera, bool external, Media media);
    ~WebRtcPeer();

    WebRtcPeer(const WebRtcPeer &) = delete;
    WebRtcPeer &operator=(const WebRtcPeer &) = delete;

    // Builds the pipeline and starts it; false (with a reason in error) when
    // GStreamer lacks an element.
    bool start(std::string &error);
    // A publisher offers once started; the answer comes back through
    // setRemoteDescription. A subscriber answers the offer it is given.
    void setRemoteDescription(const std::string &type, const std::string &sdp);
    void addRemoteCandidate(unsigned mlineIndex, const std::string &candidate);
    // Draws the decoded video into this X11 window (0: nowhere).
    void setWindow(unsigned long window);
    // An external publisher's frames, copied before the call returns; it
    // never waits for the encoder. True when the frame displaced an older
    // one the encoder had not taken yet (which is then lost).
    bool pushVideo(const ExternalVideoFrame &frame);
    void pushAudio(const AudioFrame &frame);
    // Waits at most timeoutMs for webrtcbin's statistics.
    Stats stats(int timeoutMs);
    void stop();

    // Starts GStreamer once; whether it has every element the peers use
    // (the first missing one is logged).
    static bool available();

private:
    static void onNegotiationNeeded(GstElement *webrtc, gpointer self);
    static void onIceCandidate(GstElement *webrtc, guint mline, gchar *candidate, gpointer self);
    static void onGatheringState(GstElement *webrtc, GParamSpec *, gpointer self);
    static void onConnectionState(GstElement *webrtc, GParamSpec *, gpointer self);
    static void onIncomingPad(GstElement *webrtc, GstPad *pad, gpointer self);
    static void onDescriptionCreated(GstPromise *promise, gpointer self);
    static GstBusSyncReply onBusMessage(GstBus *bus, GstMessage *message, gpointer self);

    bool buildPublisher(std::string &error);
    std::string publisherDescription() const;
    // A new reference to one of an external publisher's sources, or null.
    GstElement *sourceRef(GstElement *const &source) const;
    // Gives source these caps unless it has them already (m_mutex held).
    static void setCaps(GstElement *source, GstCaps *&current, GstCaps *caps);
    bool buildSubscriber(std::string &error);
    GstElement *webrtcRef() const; // a new reference, or null once stopped
    // What start() wrote is seen by every callback (see threadhandover.h).
    void handOver();
    static WebRtcPeer *fromCallback(gpointer data);

    // The peer is used from the engine's control thread (start, descriptions,
    // candidates, stop), the caller's thread (setWindow), the media thread
    // (stats) and GStreamer's threads (the callbacks above).
    const Role m_role;
    const Callbacks m_callbacks;
    const std::string m_camera;
    const bool m_external;
    const Media m_media;
    // Set by start() before the pipeline runs and kept to the destructor:
    // GStreamer's threads add elements to it without a lock.
    GstElement *m_pipeline = nullptr;
    mutable std::mutex m_mutex;
    // Guarded by m_mutex. Set by start() and cleared by stop(); any other
    // thread takes its own reference through webrtcRef().
    GstElement *m_webrtc = nullptr;
    // Guarded by m_mutex: an external publisher's sources and the caps last given to them.
    GstElement *m_videoSource = nullptr;
    GstElement *m_audioSource = nullptr;
    GstCaps *m_videoCaps = nullptr;
    GstCaps *m_audioCaps = nullptr;

    // Set by stop(), read by GStreamer's threads before each callback.
    std::atomic<bool> m_stopped{false};
    MediaTap m_tap;
};

} // namespace rtc
} // namespace vendor
