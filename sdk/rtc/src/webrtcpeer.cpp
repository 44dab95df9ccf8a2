#include "webrtcpeer.h"

#include "threadhandover.h"
#include "webrtcstats.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#define GST_USE_UNSTABLE_API
#include <gst/sdp/sdp.h>
#include <gst/video/video.h>
#include <gst/webrtc/webrtc.h>

namespace vendor {
namespace rtc {
namespace {

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

// The caller's frames go in as they come, stamped with the pipeline's clock
// when pushed. Each source holds at most two frames: when the encoder lags,
// the oldest is dropped, so that what is sent stays close to now. A key frame
// goes out at least every 2 s, and at once when a receiver asks (webrtcbin
// turns PLI and FIR into a key-unit request).
// Silence is mixed under the caller's sound, so that the room gets audio
// before the first audio frame or without any. The sources state their
// latency: without it the pipeline's latency cannot be set and no frame
// reaches the connection.
const char *const kExternalVideo =
    "appsrc name=vsrc is-live=true format=time do-timestamp=true block=false max-buffers=2 min-latency=0 max-latency=100000000 "
    "leaky-type=downstream ! videoconvert ! ";
// Target bit rate in bit/s, then the key frame distance in frames.
const char *const kVp8Encoder =
    "vp8enc name=venc deadline=1 cpu-used=8 target-bitrate=%d keyframe-max-dist=%d ! rtpvp8pay pt=96 ! "
    "application/x-rtp,media=video,encoding-name=VP8,payload=96,clock-rate=90000 ! webrtc. ";
// Target bit rate in kbit/s, then the key frame distance in frames. The
// constrained baseline profile is the one every WebRTC receiver decodes.
const char *const kH264Encoder =
    "x264enc name=venc tune=zerolatency speed-preset=ultrafast bitrate=%d key-int-max=%d ! "
    "video/x-h264,profile=constrained-baseline ! rtph264pay pt=102 config-interval=-1 aggregate-mode=zero-latency ! "
    "application/x-rtp,media=video,encoding-name=H264,payload=102,clock-rate=90000 ! webrtc. ";
const char *const kExternalAudio =
    "audiotestsrc is-live=true wave=silence ! audiomixer name=amix ! audioconvert ! audioresample ! "
    "opusenc name=aenc ! rtpopuspay pt=111 ! "
    "application/x-rtp,media=audio,encoding-name=OPUS,payload=111,clock-rate=48000 ! webrtc. "
    "appsrc name=asrc is-live=true format=time do-timestamp=true block=false max-buffers=8 min-latency=0 max-latency=100000000 "
    "leaky-type=downstream caps=audio/x-raw,format=S16LE,layout=interleaved,rate=48000,channels=2 ! "
    "audioconvert ! audioresample ! amix. "
    "webrtcbin name=webrtc bundle-policy=max-bundle latency=100";

GstVideoFormat gstFormat(VIDEO_PIXEL_FORMAT format)
{
    switch (format) {
    case VIDEO_PIXEL_I420:
        return GST_VIDEO_FORMAT_I420;
    case VIDEO_PIXEL_NV12:
        return GST_VIDEO_FORMAT_NV12;
    case VIDEO_PIXEL_BGRA:
        return GST_VIDEO_FORMAT_BGRA;
    }
    return GST_VIDEO_FORMAT_UNKNOWN;
}

// The caller's planes, row by row, into GStreamer's layout for the format.
// The frame was checked: its planes follow each other with the stride given.
GstBuffer *copyVideo(const ExternalVideoFrame &frame, const GstVideoInfo &info)
{
    const int row = frame.stride > 0 ? frame.stride : frame.format == VIDEO_PIXEL_BGRA ? frame.width * 4 : frame.width;
    GstBuffer *buffer = gst_buffer_new_allocate(nullptr, GST_VIDEO_INFO_SIZE(&info), nullptr);
    GstMapInfo map;
    if (!gst_buffer_map(buffer, &map, GST_MAP_WRITE)) {
        gst_buffer_unref(buffer);
        return nullptr;
    }
    const auto *from = static_cast<const guint8 *>(frame.buffer);
    size_t offset = 0;
    for (guint plane = 0; plane < GST_VIDEO_INFO_N_PLANES(&info); ++plane) {
        const bool chroma = plane > 0;
        const int rows = chroma ? frame.height / 2 : frame.height;
        const int stride = chroma && frame.format == VIDEO_PIXEL_I420 ? row / 2 : row;
        const int bytes = frame.format == VIDEO_PIXEL_BGRA ? frame.width * 4
                          : chroma && frame.format == VIDEO_PIXEL_I420 ? frame.width / 2 : frame.width;
        guint8 *to = map.data + GST_VIDEO_INFO_PLANE_OFFSET(&info, plane);
        for (int y = 0; y < rows; ++y)
            std::memcpy(to + static_cast<size_t>(y) * GST_VIDEO_INFO_PLANE_STRIDE(&info, plane),
                        from + offset + static_cast<size_t>(y) * stride, bytes);
        offset += static_cast<size_t>(rows) * stride;
    }
    gst_buffer_unmap(buffer, &map);
    return buffer;
}

const char *const kElements[] = {"webrtcbin", "videotestsrc", "audiotestsrc", "vp8enc", "vp8dec",
                                 "rtpvp8pay", "opusenc", "opusdec", "rtpopuspay", "videoconvert",
                                 "videoscale", "audioconvert", "audioresample", "decodebin",
                                 "ximagesink", "tee", "queue", "fakesink", "nicesrc", "appsrc", "audiomixer"};

GstElement *make(const char *factory)
{
    return gst_element_factory_make(factory, nullptr);
}

// With a promise: webrtcbin hands a failure's report to the promise, and
// without one it drops the report unfreed.
void applyDescription(GstElement *webrtc, const char *action, GstWebRTCSessionDescription *description)
{
    GstPromise *promise = gst_promise_new();
    g_signal_emit_by_name(webrtc, action, description, promise);
    gst_promise_unref(promise);
}

} // namespace

WebRtcPeer::WebRtcPeer(Role role, Callbacks callbacks, std::string camera, bool external, Media media)
    : m_role(role), m_callbacks(std::move(callbacks)), m_camera(std::move(camera)), m_external(external),
      m_media(media), m_tap({m_callbacks.firstVideoFrame, m_callbacks.firstAudioFrame}, m_stopped)
{
}

WebRtcPeer::~WebRtcPeer()
{
    stop();
    // Kept until here: GStreamer's threads may still be adding elements to
    // it while stop() runs.
    if (m_pipeline)
        gst_object_unref(m_pipeline);
}

bool WebRtcPeer::available()
{
    static std::once_flag gstOnce;
    std::call_once(gstOnce, [] { gst_init(nullptr, nullptr); });
    for (const char *name : kElements) {
        GstElementFactory *factory = gst_element_factory_find(name);
        if (!factory) {
            std::fprintf(stderr, "vendor_rtc: GStreamer has no element \"%s\"; the Janus engine cannot run\n", name);
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
    handOver();
    if (gst_element_set_state(m_pipeline, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
        error = "the media pipeline does not start";
        return false;
    }
    return true;
}

std::string WebRtcPeer::publisherDescription() const
{
    if (m_external) {
        const bool h264 = m_media.codec == Media::Codec::H264;
        gchar *encoder = g_strdup_printf(h264 ? kH264Encoder : kVp8Encoder,
                                         h264 ? m_media.bitrateKbps : m_media.bitrateKbps * 1000, m_media.frameRate * 2);
        const std::string text = std::string(kExternalVideo) + encoder + kExternalAudio;
        g_free(encoder);
        return text;
    }
    std::string description;
    if (m_camera.empty()) {
        description = kPublisherVideo;
    } else {
        gchar *camera = g_strdup_printf(kPublisherCamera, m_camera.c_str());
        description = camera;
        g_free(camera);
    }
    return description + kPublisherRest;
}

bool WebRtcPeer::buildPublisher(std::string &error)
{
    GError *parseError = nullptr;
    m_pipeline = gst_parse_launch(publisherDescription().c_str(), &parseError);
    if (!m_pipeline || parseError) {
        error = parseError ? parseError->message : "the publisher's pipeline cannot be built";
        g_clear_error(&parseError);
        return false;
    }
    m_webrtc = gst_bin_get_by_name(GST_BIN(m_pipeline), "webrtc");
    g_signal_connect(m_webrtc, "on-negotiation-needed", G_CALLBACK(onNegotiationNeeded), this);
    if (m_external) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_videoSource = gst_bin_get_by_name(GST_BIN(m_pipeline), "vsrc");
        m_audioSource = gst_bin_get_by_name(GST_BIN(m_pipeline), "asrc");
    }

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
        m_tap.tapEncoder(encoder, std::strcmp(name, "venc") == 0);
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
    g_object_set(m_webrtc, "bundle-policy", GST_WEBRTC_BUNDLE_POLICY_MAX_BUNDLE, "latency",
                 guint(m_media.receiveLatencyMs), nullptr);
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
    GstElement *webrtc = webrtcRef();
    if (webrtc)
        applyDescription(webrtc, "set-remote-description", description);
    gst_webrtc_session_description_free(description);
    if (webrtc && offer) {
        GstPromise *promise = gst_promise_new_with_change_func(onDescriptionCreated, this, nullptr);
        g_signal_emit_by_name(webrtc, "create-answer", nullptr, promise);
        // webrtcbin holds the promise while it works on it and drops it
        // unanswered when its pipeline stops first.
        gst_promise_unref(promise);
    }
    if (webrtc)
        gst_object_unref(webrtc);
}

void WebRtcPeer::addRemoteCandidate(unsigned mlineIndex, const std::string &candidate)
{
    GstElement *webrtc = candidate.empty() ? nullptr : webrtcRef();
    if (!webrtc)
        return;
    g_signal_emit_by_name(webrtc, "add-ice-candidate", mlineIndex, candidate.c_str());
    gst_object_unref(webrtc);
}

void WebRtcPeer::onNegotiationNeeded(GstElement *webrtc, gpointer self)
{
    GstPromise *promise = gst_promise_new_with_change_func(onDescriptionCreated, self, nullptr);
    g_signal_emit_by_name(webrtc, "create-offer", nullptr, promise);
    gst_promise_unref(promise);
}

void WebRtcPeer::onDescriptionCreated(GstPromise *promise, gpointer data)
{
    WebRtcPeer *self = fromCallback(data);
    const bool offer = self->m_role == Role::Publisher;
    GstWebRTCSessionDescription *description = nullptr;
    const GstStructure *reply =
        gst_promise_wait(promise) == GST_PROMISE_RESULT_REPLIED ? gst_promise_get_reply(promise) : nullptr;
    if (reply)
        gst_structure_get(reply, offer ? "offer" : "answer", GST_TYPE_WEBRTC_SESSION_DESCRIPTION,
                          &description, nullptr);
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
    if (GstElement *webrtc = self->webrtcRef()) {
        applyDescription(webrtc, "set-local-description", description);
        gst_object_unref(webrtc);
    }
    gst_webrtc_session_description_free(description);
}

void WebRtcPeer::onIceCandidate(GstElement *, guint mline, gchar *candidate, gpointer data)
{
    WebRtcPeer *self = fromCallback(data);
    if (self->m_callbacks.localCandidate && !self->m_stopped && candidate && *candidate)
        self->m_callbacks.localCandidate(mline, candidate);
}

void WebRtcPeer::onGatheringState(GstElement *webrtc, GParamSpec *, gpointer data)
{
    WebRtcPeer *self = fromCallback(data);
    GstWebRTCICEGatheringState state = GST_WEBRTC_ICE_GATHERING_STATE_NEW;
    g_object_get(webrtc, "ice-gathering-state", &state, nullptr);
    if (state == GST_WEBRTC_ICE_GATHERING_STATE_COMPLETE && self->m_callbacks.localCandidate && !self->m_stopped)
        self->m_callbacks.localCandidate(0, std::string());
}

void WebRtcPeer::onConnectionState(GstElement *webrtc, GParamSpec *, gpointer data)
{
    WebRtcPeer *self = fromCallback(data);
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
    WebRtcPeer *self = fromCallback(data);
    if (GST_PAD_DIRECTION(pad) == GST_PAD_SRC && !self->m_stopped)
        self->m_tap.decode(self->m_pipeline, pad);
}

void WebRtcPeer::setWindow(unsigned long window)
{
    m_tap.setWindow(window);
}

GstBusSyncReply WebRtcPeer::onBusMessage(GstBus *, GstMessage *message, gpointer data)
{
    WebRtcPeer *self = fromCallback(data);
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
    stats.videoFrames = m_tap.videoFrames();
    stats.audioLevel = m_tap.audioLevel();
    stats.width = m_tap.width();
    stats.height = m_tap.height();
    if (GstElement *webrtc = webrtcRef()) {
        WebRtcStats::read(webrtc, timeoutMs, stats);
        gst_object_unref(webrtc);
    }
    return stats;
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
    GstElement *webrtc = nullptr;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        webrtc = m_webrtc;
        m_webrtc = nullptr;
        for (GstElement **source : {&m_videoSource, &m_audioSource})
            g_clear_pointer(source, gst_object_unref);
        for (GstCaps **caps : {&m_videoCaps, &m_audioCaps})
            g_clear_pointer(caps, gst_caps_unref);
    }
    m_tap.forgetBranches();
    if (webrtc)
        gst_object_unref(webrtc);
}

GstElement *WebRtcPeer::sourceRef(GstElement *const &source) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return source ? GST_ELEMENT(gst_object_ref(source)) : nullptr;
}

void WebRtcPeer::setCaps(GstElement *source, GstCaps *&current, GstCaps *caps)
{
    if (current && gst_caps_is_equal(current, caps)) {
        gst_caps_unref(caps);
        return;
    }
    g_object_set(source, "caps", caps, nullptr);
    if (current)
        gst_caps_unref(current);
    current = caps;
}

bool WebRtcPeer::pushVideo(const ExternalVideoFrame &frame)
{
    GstVideoInfo info;
    if (!gst_video_info_set_format(&info, gstFormat(frame.format), frame.width, frame.height))
        return false;
    GstElement *source = sourceRef(m_videoSource);
    if (!source)
        return false;
    GstBuffer *buffer = copyVideo(frame, info);
    guint64 queued = 0;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        GstCaps *caps = gst_video_info_to_caps(&info);
        gst_caps_set_simple(caps, "framerate", GST_TYPE_FRACTION, 30, 1, nullptr);
        setCaps(source, m_videoCaps, caps);
        g_object_get(source, "current-level-buffers", &queued, nullptr);
    }
    guint64 limit = 0;
    g_object_get(source, "max-buffers", &limit, nullptr);
    GstFlowReturn flow = GST_FLOW_OK;
    if (buffer)
        g_signal_emit_by_name(source, "push-buffer", buffer, &flow);
    if (buffer)
        gst_buffer_unref(buffer);
    gst_object_unref(source);
    return queued >= limit;
}

void WebRtcPeer::pushAudio(const AudioFrame &frame)
{
    GstElement *source = sourceRef(m_audioSource);
    if (!source)
        return;
    const gsize size = static_cast<gsize>(frame.samplesPerChannel) * frame.channels * sizeof(gint16);
    GstBuffer *buffer = gst_buffer_new_memdup(frame.buffer, size);
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        setCaps(source, m_audioCaps,
                gst_caps_new_simple("audio/x-raw", "format", G_TYPE_STRING, "S16LE", "layout", G_TYPE_STRING,
                                    "interleaved", "rate", G_TYPE_INT, frame.samplesPerSec, "channels", G_TYPE_INT,
                                    frame.channels, nullptr));
    }
    GstFlowReturn flow = GST_FLOW_OK;
    g_signal_emit_by_name(source, "push-buffer", buffer, &flow);
    gst_buffer_unref(buffer);
    gst_object_unref(source);
}

void WebRtcPeer::handOver()
{
    m_tap.handOver();
    handOverToCallbacks(this);
}

WebRtcPeer *WebRtcPeer::fromCallback(gpointer data)
{
    return takeOverInCallback<WebRtcPeer>(data);
}

// Statistics and answers run on other threads than stop(): each holds its own
// reference to webrtcbin for as long as it uses it.
GstElement *WebRtcPeer::webrtcRef() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_webrtc && !m_stopped ? GST_ELEMENT(gst_object_ref(m_webrtc)) : nullptr;
}

} // namespace rtc
} // namespace vendor
