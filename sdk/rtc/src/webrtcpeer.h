#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

#include <gst/gst.h>

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

    // camera: a V4L2 device to publish from; empty sends the test picture.
    WebRtcPeer(Role role, Callbacks callbacks, std::string camera = {});
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
    // Waits at most timeoutMs for webrtcbin's statistics.
    Stats stats(int timeoutMs);
    void stop();

    // Whether GStreamer has every element the peers use; names the first missing one.
    static bool available(std::string &missing);

private:
    static void onNegotiationNeeded(GstElement *webrtc, gpointer self);
    static void onIceCandidate(GstElement *webrtc, guint mline, gchar *candidate, gpointer self);
    static void onGatheringState(GstElement *webrtc, GParamSpec *, gpointer self);
    static void onConnectionState(GstElement *webrtc, GParamSpec *, gpointer self);
    static void onIncomingPad(GstElement *webrtc, GstPad *pad, gpointer self);
    static void onDecodedPad(GstElement *decodebin, GstPad *pad, gpointer self);
    static void onDescriptionCreated(GstPromise *promise, gpointer self);
    static GstPadProbeReturn onVideoBuffer(GstPad *pad, GstPadProbeInfo *info, gpointer self);
    static GstPadProbeReturn onAudioBuffer(GstPad *pad, GstPadProbeInfo *info, gpointer self);
    static GstBusSyncReply onBusMessage(GstBus *bus, GstMessage *message, gpointer self);

    bool buildPublisher(std::string &error);
    bool buildSubscriber(std::string &error);
    void linkVideo(GstPad *pad);
    void linkAudio(GstPad *pad);
    void addDisplayBranch();
    void readStats(const GstStructure *report, Stats &stats) const;

    const Role m_role;
    const Callbacks m_callbacks;
    const std::string m_camera;
    GstElement *m_pipeline = nullptr;
    GstElement *m_webrtc = nullptr;

    mutable std::mutex m_mutex; // guards the decoded-video branch and the window
    GstElement *m_videoTee = nullptr;
    GstElement *m_display = nullptr;
    unsigned long m_window = 0;

    std::atomic<bool> m_stopped{false};
    std::atomic<uint64_t> m_videoFrames{0};
    std::atomic<bool> m_audioSeen{false};
    std::atomic<int> m_audioLevel{0};
    std::atomic<int> m_width{0};
    std::atomic<int> m_height{0};
};

} // namespace rtc
} // namespace vendor
