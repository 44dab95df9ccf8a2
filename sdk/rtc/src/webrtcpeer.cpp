#include "webrtcpeer.h"

#include <algorithm>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <memory>

#define GST_USE_UNSTABLE_API
#include <gst/sdp/sdp.h>
#include <gst/video/videooverlay.h>
#include <gst/webrtc/webrtc.h>
#include <xcb/xcb.h>

namespace vendor {
namespace rtc {
namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 360;

const char *const kPublisherVideo =
    "videotestsrc is-live=true pattern=smpte horizontal-speed=4 ! "
    "video/x-raw,width=640,height=360,framerate=30/1 ! ";
const char *const kPublisherCamera =
    "v4l2src device=%s ! videoconvert ! videoscale ! videorate ! "
    "video/x-raw,width=640,height=360,framerate=30/1 ! ";
const char *const kPublisherRest =
    "videoconvert ! queue ! vp8enc name=venc deadline=1 cpu-used=8 target-bitrate=800000 "
    "keyframe-max-dist=30 ! rtpvp8pay pt=96 ! "
    "application/x-rtp,media=video,encoding-name=VP8,payload=96,clock-rate=90000 ! webrtc. "
    "audiotestsrc is-live=true wave=sine freq=440 volume=0.2 ! audioconvert ! audioresample ! "
    "queue ! opusenc name=aenc ! rtpopuspay pt=111 ! "
    "application/x-rtp,media=audio,encoding-name=OPUS,payload=111,clock-rate=48000 ! webrtc. "
    "webrtcbin name=webrtc bundle-policy=max-bundle latency=100";

const char *const kElements[] = {"webrtcbin", "videotestsrc", "audiotestsrc", "vp8enc", "vp8dec",
                                 "rtpvp8pay", "opusenc", "opusdec", "rtpopuspay", "videoconvert",
                                 "videoscale", "audioconvert", "audioresample", "decodebin",
                                 "ximagesink", "tee", "queue", "fakesink", "nicesrc"};

GstElement *make(const char *factory)
{
    return gst_element_factory_make(factory, nullptr);
}

// The size of a native window, or nothing when it is gone.
bool windowSize(unsigned long window, int &width, int &height)
{
    xcb_connection_t *connection = xcb_connect(nullptr, nullptr);
    bool found = false;
    if (!xcb_connection_has_error(connection)) {
        xcb_get_geometry_reply_t *geometry = xcb_get_geometry_reply(
            connection, xcb_get_geometry(connection, static_cast<xcb_drawable_t>(window)), nullptr);
        if (geometry) {
            width = std::max<int>(2, geometry->width);
            height = std::max<int>(2, geometry->height);
            found = true;
            free(geometry);
        }
    }
    xcb_disconnect(connection);
    return found;
}

// With a promise: webrtcbin hands a failure's report to the promise, and
// without one it drops the report unfreed.
void applyDescription(GstElement *webrtc, const char *action, GstWebRTCSessionDescription *description)
{
    GstPromise *promise = gst_promise_new();
    g_signal_emit_by_name(webrtc, action, description, promise);
    gst_promise_unref(promise);
}

// Waits, bounded, for a promise's reply; the reply outlives a late answer.
struct PromiseReply
{
    std::mutex mutex;
    std::condition_variable done;
    GstStructure *reply = nullptr;
    bool answered = false;

    ~PromiseReply()
    {
        if (reply)
            gst_structure_free(reply);
    }

    static void onChange(GstPromise *promise, gpointer data)
    {
        auto *self = static_cast<std::shared_ptr<PromiseReply> *>(data)->get();
        std::lock_guard<std::mutex> lock(self->mutex);
        if (gst_promise_wait(promise) == GST_PROMISE_RESULT_REPLIED && gst_promise_get_reply(promise))
            self->reply = gst_structure_copy(gst_promise_get_reply(promise));
        self->answered = true;
        self->done.notify_all();
    }

    static void release(gpointer data) { delete static_cast<std::shared_ptr<PromiseReply> *>(data); }
};

} // namespace

WebRtcPeer::WebRtcPeer(Role role, Callbacks callbacks, std::string camera)
    : m_role(role), m_callbacks(std::move(callbacks)), m_camera(std::move(camera))
{
}

WebRtcPeer::~WebRtcPeer()
{
    stop();
}

bool WebRtcPeer::available(std::string &missing)
{
    for (const char *name : kElements) {
        GstElementFactory *factory = gst_element_factory_find(name);
        if (!factory) {
            missing = name;
            return false;
        }
        gst_object_unref(factory);
    }
    return true;
}

bool WebRtcPeer::start(std::string &error)
{
    const bool built = m_role == Role::Publisher ? buildPublisher(error) : buildSubscriber(error);
    if (!built)
        return false;
    // UDP only: the room's server offers no ICE-TCP.
    GstWebRTCICE *ice = nullptr;
    g_object_get(m_webrtc, "ice-agent", &ice, nullptr);
    if (ice) {
        g_object_set(ice, "ice-tcp", FALSE, nullptr);
        gst_object_unref(ice);
    }
    g_signal_connect(m_webrtc, "on-ice-candidate", G_CALLBACK(onIceCandidate), this);
    g_signal_connect(m_webrtc, "notify::ice-gathering-state", G_CALLBACK(onGatheringState), this);
    g_signal_connect(m_webrtc, "notify::connection-state", G_CALLBACK(onConnectionState), this);
    GstBus *bus = gst_element_get_bus(m_pipeline);
    gst_bus_set_sync_handler(bus, onBusMessage, this, nullptr);
    gst_object_unref(bus);
    if (gst_element_set_state(m_pipeline, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
        error = "the media pipeline does not start";
        return false;
    }
    return true;
}

bool WebRtcPeer::buildPublisher(std::string &error)
{
    std::string description;
    if (m_camera.empty()) {
        description = kPublisherVideo;
    } else {
        gchar *camera = g_strdup_printf(kPublisherCamera, m_camera.c_str());
        description = camera;
        g_free(camera);
    }
    description += kPublisherRest;
    GError *parseError = nullptr;
    m_pipeline = gst_parse_launch(description.c_str(), &parseError);
    if (!m_pipeline || parseError) {
        error = parseError ? parseError->message : "the publisher's pipeline cannot be built";
        g_clear_error(&parseError);
        return false;
    }
    m_webrtc = gst_bin_get_by_name(GST_BIN(m_pipeline), "webrtc");
    g_signal_connect(m_webrtc, "on-negotiation-needed", G_CALLBACK(onNegotiationNeeded), this);

    // The room only receives from a publisher.
    GArray *transceivers = nullptr;
    g_signal_emit_by_name(m_webrtc, "get-transceivers", &transceivers);
    for (guint i = 0; transceivers && i < transceivers->len; ++i)
        g_object_set(g_array_index(transceivers, GstWebRTCRTPTransceiver *, i), "direction",
                     GST_WEBRTC_RTP_TRANSCEIVER_DIRECTION_SENDONLY, nullptr);
    if (transceivers)
        g_array_unref(transceivers);

    for (const char *name : {"venc", "aenc"}) {
        GstElement *encoder = gst_bin_get_by_name(GST_BIN(m_pipeline), name);
        GstPad *pad = gst_element_get_static_pad(encoder, "sink");
        gst_pad_add_probe(pad, GST_PAD_PROBE_TYPE_BUFFER,
                          std::strcmp(name, "venc") == 0 ? onVideoBuffer : onAudioBuffer, this, nullptr);
        gst_object_unref(pad);
        gst_object_unref(encoder);
    }
    return true;
}

bool WebRtcPeer::buildSubscriber(std::string &error)
{
    m_pipeline = gst_pipeline_new(nullptr);
    m_webrtc = make("webrtcbin");
    if (!m_webrtc) {
        error = "GStreamer has no webrtcbin";
        return false;
    }
    g_object_set(m_webrtc, "bundle-policy", GST_WEBRTC_BUNDLE_POLICY_MAX_BUNDLE, "latency", 100u, nullptr);
    gst_bin_add(GST_BIN(m_pipeline), m_webrtc);
    gst_object_ref(m_webrtc); // held like the publisher's, which gst_bin_get_by_name gave
    g_signal_connect(m_webrtc, "pad-added", G_CALLBACK(onIncomingPad), this);
    return true;
}

void WebRtcPeer::setRemoteDescription(const std::string &type, const std::string &sdp)
{
    GstSDPMessage *message = nullptr;
    gst_sdp_message_new(&message);
    if (gst_sdp_message_parse_buffer(reinterpret_cast<const guint8 *>(sdp.data()),
                                     static_cast<guint>(sdp.size()), message) != GST_SDP_OK) {
        gst_sdp_message_free(message);
        if (m_callbacks.error)
            m_callbacks.error("the server's session description does not parse");
        return;
    }
    const bool offer = type == "offer";
    GstWebRTCSessionDescription *description = gst_webrtc_session_description_new(
        offer ? GST_WEBRTC_SDP_TYPE_OFFER : GST_WEBRTC_SDP_TYPE_ANSWER, message);
    applyDescription(m_webrtc, "set-remote-description", description);
    gst_webrtc_session_description_free(description);
    if (offer) {
        GstPromise *promise = gst_promise_new_with_change_func(onDescriptionCreated, this, nullptr);
        g_signal_emit_by_name(m_webrtc, "create-answer", nullptr, promise);
    }
}

void WebRtcPeer::addRemoteCandidate(unsigned mlineIndex, const std::string &candidate)
{
    if (m_webrtc && !candidate.empty())
        g_signal_emit_by_name(m_webrtc, "add-ice-candidate", mlineIndex, candidate.c_str());
}

void WebRtcPeer::onNegotiationNeeded(GstElement *webrtc, gpointer self)
{
    GstPromise *promise = gst_promise_new_with_change_func(onDescriptionCreated, self, nullptr);
    g_signal_emit_by_name(webrtc, "create-offer", nullptr, promise);
}

void WebRtcPeer::onDescriptionCreated(GstPromise *promise, gpointer data)
{
    auto *self = static_cast<WebRtcPeer *>(data);
    const bool offer = self->m_role == Role::Publisher;
    GstWebRTCSessionDescription *description = nullptr;
    const GstStructure *reply =
        gst_promise_wait(promise) == GST_PROMISE_RESULT_REPLIED ? gst_promise_get_reply(promise) : nullptr;
    if (reply)
        gst_structure_get(reply, offer ? "offer" : "answer", GST_TYPE_WEBRTC_SESSION_DESCRIPTION,
                          &description, nullptr);
    gst_promise_unref(promise);
    if (!description) {
        if (self->m_callbacks.error && !self->m_stopped)
            self->m_callbacks.error(offer ? "no offer was created" : "no answer was created");
        return;
    }
    // Announced before it is applied, so that the server has it before the
    // candidates gathered once it is set.
    gchar *text = gst_sdp_message_as_text(description->sdp);
    if (self->m_callbacks.localDescription && !self->m_stopped)
        self->m_callbacks.localDescription(offer ? "offer" : "answer", text);
    g_free(text);
    applyDescription(self->m_webrtc, "set-local-description", description);
    gst_webrtc_session_description_free(description);
}

void WebRtcPeer::onIceCandidate(GstElement *, guint mline, gchar *candidate, gpointer data)
{
    auto *self = static_cast<WebRtcPeer *>(data);
    if (self->m_callbacks.localCandidate && !self->m_stopped && candidate && *candidate)
        self->m_callbacks.localCandidate(mline, candidate);
}

void WebRtcPeer::onGatheringState(GstElement *webrtc, GParamSpec *, gpointer data)
{
    auto *self = static_cast<WebRtcPeer *>(data);
    GstWebRTCICEGatheringState state = GST_WEBRTC_ICE_GATHERING_STATE_NEW;
    g_object_get(webrtc, "ice-gathering-state", &state, nullptr);
    if (state == GST_WEBRTC_ICE_GATHERING_STATE_COMPLETE && self->m_callbacks.localCandidate && !self->m_stopped)
        self->m_callbacks.localCandidate(0, std::string());
}

void WebRtcPeer::onConnectionState(GstElement *webrtc, GParamSpec *, gpointer data)
{
    auto *self = static_cast<WebRtcPeer *>(data);
    GstWebRTCPeerConnectionState state = GST_WEBRTC_PEER_CONNECTION_STATE_NEW;
    g_object_get(webrtc, "connection-state", &state, nullptr);
    if (!self->m_callbacks.connectionChanged || self->m_stopped)
        return;
    if (state == GST_WEBRTC_PEER_CONNECTION_STATE_CONNECTED)
        self->m_callbacks.connectionChanged(true);
    else if (state == GST_WEBRTC_PEER_CONNECTION_STATE_FAILED)
        self->m_callbacks.connectionChanged(false);
}

void WebRtcPeer::onIncomingPad(GstElement *, GstPad *pad, gpointer data)
{
    auto *self = static_cast<WebRtcPeer *>(data);
    if (GST_PAD_DIRECTION(pad) != GST_PAD_SRC || self->m_stopped)
        return;
    GstElement *decodebin = make("decodebin");
    g_signal_connect(decodebin, "pad-added", G_CALLBACK(onDecodedPad), self);
    gst_bin_add(GST_BIN(self->m_pipeline), decodebin);
    gst_element_sync_state_with_parent(decodebin);
    GstPad *sink = gst_element_get_static_pad(decodebin, "sink");
    gst_pad_link(pad, sink);
    gst_object_unref(sink);
}

void WebRtcPeer::onDecodedPad(GstElement *, GstPad *pad, gpointer data)
{
    auto *self = static_cast<WebRtcPeer *>(data);
    GstCaps *caps = gst_pad_get_current_caps(pad);
    if (!caps)
        caps = gst_pad_query_caps(pad, nullptr);
    const char *name = gst_structure_get_name(gst_caps_get_structure(caps, 0));
    const bool video = g_str_has_prefix(name, "video/");
    const bool audio = g_str_has_prefix(name, "audio/");
    gst_caps_unref(caps);
    if (video)
        self->linkVideo(pad);
    else if (audio)
        self->linkAudio(pad);
}

void WebRtcPeer::linkVideo(GstPad *pad)
{
    GstElement *convert = make("videoconvert");
    GstElement *tee = make("tee");
    GstElement *queue = make("queue");
    GstElement *sink = make("fakesink");
    g_object_set(tee, "allow-not-linked", TRUE, nullptr);
    g_object_set(sink, "sync", FALSE, "async", FALSE, nullptr);
    gst_bin_add_many(GST_BIN(m_pipeline), convert, tee, queue, sink, nullptr);
    gst_element_link_many(convert, tee, queue, sink, nullptr);
    for (GstElement *element : {sink, queue, tee, convert})
        gst_element_sync_state_with_parent(element);
    GstPad *input = gst_element_get_static_pad(convert, "sink");
    gst_pad_add_probe(input, GST_PAD_PROBE_TYPE_BUFFER, onVideoBuffer, this, nullptr);
    gst_pad_link(pad, input);
    gst_object_unref(input);
    std::lock_guard<std::mutex> lock(m_mutex);
    m_videoTee = tee;
    if (m_window)
        addDisplayBranch();
}

void WebRtcPeer::linkAudio(GstPad *pad)
{
    GstElement *convert = make("audioconvert");
    GstElement *filter = make("capsfilter");
    GstElement *sink = make("fakesink");
    GstCaps *caps = gst_caps_from_string("audio/x-raw,format=S16LE");
    g_object_set(filter, "caps", caps, nullptr);
    gst_caps_unref(caps);
    g_object_set(sink, "sync", FALSE, "async", FALSE, nullptr);
    gst_bin_add_many(GST_BIN(m_pipeline), convert, filter, sink, nullptr);
    gst_element_link_many(convert, filter, sink, nullptr);
    for (GstElement *element : {sink, filter, convert})
        gst_element_sync_state_with_parent(element);
    GstPad *input = gst_element_get_static_pad(sink, "sink");
    gst_pad_add_probe(input, GST_PAD_PROBE_TYPE_BUFFER, onAudioBuffer, this, nullptr);
    gst_object_unref(input);
    GstPad *convertInput = gst_element_get_static_pad(convert, "sink");
    gst_pad_link(pad, convertInput);
    gst_object_unref(convertInput);
}

void WebRtcPeer::setWindow(unsigned long window)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_window = window;
    if (m_display) {
        // A running sink takes a new window at once; no window keeps the last one.
        if (window)
            gst_video_overlay_set_window_handle(GST_VIDEO_OVERLAY(m_display), window);
        return;
    }
    if (m_videoTee && window)
        addDisplayBranch();
}

// Fit: the picture scaled to the window with its aspect ratio kept, borders
// filling the rest. Called with m_mutex held.
void WebRtcPeer::addDisplayBranch()
{
    int width = kWidth;
    int height = kHeight;
    if (!windowSize(m_window, width, height))
        return;
    GstElement *queue = make("queue");
    GstElement *scale = make("videoscale");
    GstElement *filter = make("capsfilter");
    GstElement *convert = make("videoconvert");
    GstElement *sink = make("ximagesink");
    if (!sink) {
        for (GstElement *element : {queue, scale, filter, convert})
            if (element)
                gst_object_unref(element);
        return;
    }
    g_object_set(queue, "leaky", 2, "max-size-buffers", 2u, nullptr);
    GstCaps *caps = gst_caps_new_simple("video/x-raw", "width", G_TYPE_INT, width, "height", G_TYPE_INT, height,
                                        "pixel-aspect-ratio", GST_TYPE_FRACTION, 1, 1, nullptr);
    g_object_set(filter, "caps", caps, nullptr);
    gst_caps_unref(caps);
    g_object_set(sink, "sync", FALSE, "handle-events", FALSE, nullptr);
    gst_video_overlay_set_window_handle(GST_VIDEO_OVERLAY(sink), m_window);
    gst_bin_add_many(GST_BIN(m_pipeline), queue, scale, filter, convert, sink, nullptr);
    gst_element_link_many(queue, scale, filter, convert, sink, nullptr);
    for (GstElement *element : {sink, convert, filter, scale, queue})
        gst_element_sync_state_with_parent(element);
    GstPad *teePad = gst_element_request_pad_simple(m_videoTee, "src_%u");
    GstPad *input = gst_element_get_static_pad(queue, "sink");
    gst_pad_link(teePad, input);
    gst_object_unref(input);
    gst_object_unref(teePad);
    m_display = sink;
}

GstPadProbeReturn WebRtcPeer::onVideoBuffer(GstPad *pad, GstPadProbeInfo *, gpointer data)
{
    auto *self = static_cast<WebRtcPeer *>(data);
    if (self->m_videoFrames++ == 0) {
        int width = kWidth;
        int height = kHeight;
        if (GstCaps *caps = gst_pad_get_current_caps(pad)) {
            const GstStructure *structure = gst_caps_get_structure(caps, 0);
            gst_structure_get_int(structure, "width", &width);
            gst_structure_get_int(structure, "height", &height);
            gst_caps_unref(caps);
        }
        self->m_width = width;
        self->m_height = height;
        if (self->m_callbacks.firstVideoFrame && !self->m_stopped)
            self->m_callbacks.firstVideoFrame(width, height);
    }
    return GST_PAD_PROBE_OK;
}

GstPadProbeReturn WebRtcPeer::onAudioBuffer(GstPad *, GstPadProbeInfo *info, gpointer data)
{
    auto *self = static_cast<WebRtcPeer *>(data);
    if (!self->m_audioSeen.exchange(true) && self->m_callbacks.firstAudioFrame && !self->m_stopped)
        self->m_callbacks.firstAudioFrame();
    if (self->m_role != Role::Subscriber)
        return GST_PAD_PROBE_OK;
    // The loudest sample of the buffer, on the 0 to 255 scale of volume reports.
    GstBuffer *buffer = GST_PAD_PROBE_INFO_BUFFER(info);
    GstMapInfo map;
    if (buffer && gst_buffer_map(buffer, &map, GST_MAP_READ)) {
        int peak = 0;
        const auto *samples = reinterpret_cast<const int16_t *>(map.data);
        for (gsize i = 0; i < map.size / 2; ++i)
            peak = std::max(peak, std::abs(static_cast<int>(samples[i])));
        self->m_audioLevel = peak * 255 / 32768;
        gst_buffer_unmap(buffer, &map);
    }
    return GST_PAD_PROBE_OK;
}

GstBusSyncReply WebRtcPeer::onBusMessage(GstBus *, GstMessage *message, gpointer data)
{
    auto *self = static_cast<WebRtcPeer *>(data);
    if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_ERROR && self->m_callbacks.error && !self->m_stopped) {
        GError *error = nullptr;
        gst_message_parse_error(message, &error, nullptr);
        self->m_callbacks.error(error ? error->message : "media pipeline error");
        g_clear_error(&error);
    }
    return GST_BUS_DROP;
}

WebRtcPeer::Stats WebRtcPeer::stats(int timeoutMs)
{
    Stats stats;
    stats.videoFrames = m_videoFrames;
    stats.audioLevel = m_audioLevel;
    stats.width = m_width;
    stats.height = m_height;
    if (!m_webrtc || m_stopped)
        return stats;
    auto state = std::make_shared<PromiseReply>();
    GstPromise *promise = gst_promise_new_with_change_func(
        PromiseReply::onChange, new std::shared_ptr<PromiseReply>(state), PromiseReply::release);
    g_signal_emit_by_name(m_webrtc, "get-stats", nullptr, promise);
    gst_promise_unref(promise);
    std::unique_lock<std::mutex> lock(state->mutex);
    state->done.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return state->answered; });
    if (state->reply)
        readStats(state->reply, stats);
    return stats;
}

namespace {

uint64_t readCount(const GstStructure *structure, const char *field)
{
    guint64 value = 0;
    return gst_structure_get_uint64(structure, field, &value) ? value : 0;
}

// webrtcbin 1.22 labels every stream "audio"; the RTP clock rate (90 kHz for
// video) tells them apart.
bool isVideo(const GstStructure *stream)
{
    GstStructure *source = nullptr;
    gint clockRate = 0;
    if (gst_structure_get(stream, "gst-rtpsource-stats", GST_TYPE_STRUCTURE, &source, nullptr) && source) {
        gst_structure_get_int(source, "clock-rate", &clockRate);
        gst_structure_free(source);
    }
    return clockRate == 90000;
}

// Received bytes, from the source's own count where the stream's is not kept.
uint64_t receivedBytes(const GstStructure *stream)
{
    uint64_t bytes = readCount(stream, "bytes-received");
    GstStructure *source = nullptr;
    if (!bytes && gst_structure_get(stream, "gst-rtpsource-stats", GST_TYPE_STRUCTURE, &source, nullptr) && source) {
        bytes = readCount(source, "octets-received");
        gst_structure_free(source);
    }
    return bytes;
}

gboolean addStream(GQuark, const GValue *value, gpointer data)
{
    if (!GST_VALUE_HOLDS_STRUCTURE(value))
        return TRUE;
    const GstStructure *stream = gst_value_get_structure(value);
    auto &stats = *static_cast<WebRtcPeer::Stats *>(data);
    const char *name = gst_structure_get_name(stream);
    if (g_str_equal(name, "outbound-rtp")) {
        (isVideo(stream) ? stats.videoBytes : stats.audioBytes) += readCount(stream, "bytes-sent");
    } else if (g_str_equal(name, "inbound-rtp")) {
        (isVideo(stream) ? stats.videoBytes : stats.audioBytes) += receivedBytes(stream);
        gint64 lost = 0;
        if (gst_structure_get_int64(stream, "packets-lost", &lost))
            stats.packetsLost += std::max<gint64>(0, lost);
        double jitter = 0;
        if (gst_structure_get_double(stream, "jitter", &jitter))
            stats.jitterSeconds = std::max(stats.jitterSeconds, jitter);
    } else if (g_str_equal(name, "remote-inbound-rtp")) {
        double roundTrip = 0;
        if (gst_structure_get_double(stream, "round-trip-time", &roundTrip))
            stats.roundTripSeconds = std::max(stats.roundTripSeconds, roundTrip);
        gint64 lost = 0;
        if (gst_structure_get_int64(stream, "packets-lost", &lost))
            stats.packetsLost += std::max<gint64>(0, lost);
    }
    return TRUE;
}

} // namespace

void WebRtcPeer::readStats(const GstStructure *report, Stats &stats) const
{
    if (std::getenv("VENDOR_RTC_JANUS_DUMP_STATS")) {
        gchar *text = gst_structure_to_string(report);
        g_printerr("%s\n", text);
        g_free(text);
    }
    gst_structure_foreach(report, addStream, &stats);
}

void WebRtcPeer::stop()
{
    if (m_stopped.exchange(true))
        return;
    if (m_pipeline) {
        gst_element_set_state(m_pipeline, GST_STATE_NULL);
        GstBus *bus = gst_element_get_bus(m_pipeline);
        gst_bus_set_sync_handler(bus, nullptr, nullptr, nullptr);
        gst_object_unref(bus);
    }
    if (m_webrtc)
        gst_object_unref(m_webrtc);
    if (m_pipeline)
        gst_object_unref(m_pipeline);
    m_webrtc = nullptr;
    m_pipeline = nullptr;
    std::lock_guard<std::mutex> lock(m_mutex);
    m_videoTee = nullptr;
    m_display = nullptr;
}

} // namespace rtc
} // namespace vendor
