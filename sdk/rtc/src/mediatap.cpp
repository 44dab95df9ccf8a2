#include "mediatap.h"

#include "threadhandover.h"

#include <algorithm>
#include <cstdlib>
#include <initializer_list>
#include <iterator>

#include <gst/video/videooverlay.h>
#include <xcb/xcb.h>

namespace vendor {
namespace rtc {
namespace {

// The size the first frame is announced with when its caps say none.
constexpr int kWidth = 640;
constexpr int kHeight = 360;

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

// Adds the elements to bin, links them in order and starts them, the last
// first, so that none pushes into one not yet running.
void addChain(GstElement *bin, std::initializer_list<GstElement *> chain)
{
    GstElement *previous = nullptr;
    for (GstElement *element : chain) {
        gst_bin_add(GST_BIN(bin), element);
        if (previous)
            gst_element_link(previous, element);
        previous = element;
    }
    for (auto it = std::rbegin(chain); it != std::rend(chain); ++it)
        gst_element_sync_state_with_parent(*it);
}

} // namespace

MediaTap::MediaTap(Callbacks callbacks, const std::atomic<bool> &stopped)
    : m_callbacks(std::move(callbacks)), m_stopped(stopped)
{
}

void MediaTap::handOver()
{
    handOverToCallbacks(this);
}

void MediaTap::tapEncoder(GstElement *encoder, bool video)
{
    GstPad *pad = gst_element_get_static_pad(encoder, "sink");
    gst_pad_add_probe(pad, GST_PAD_PROBE_TYPE_BUFFER, video ? onVideoBuffer : onAudioBuffer, this, nullptr);
    gst_object_unref(pad);
}

void MediaTap::decode(GstElement *pipeline, GstPad *incoming)
{
    GstElement *decodebin = make("decodebin");
    g_signal_connect(decodebin, "pad-added", G_CALLBACK(onDecodedPad), this);
    gst_bin_add(GST_BIN(pipeline), decodebin);
    gst_element_sync_state_with_parent(decodebin);
    GstPad *sink = gst_element_get_static_pad(decodebin, "sink");
    gst_pad_link(incoming, sink);
    gst_object_unref(sink);
}

void MediaTap::onDecodedPad(GstElement *decodebin, GstPad *pad, gpointer data)
{
    auto *self = takeOverInCallback<MediaTap>(data);
    GstCaps *caps = gst_pad_get_current_caps(pad);
    if (!caps)
        caps = gst_pad_query_caps(pad, nullptr);
    const char *name = gst_structure_get_name(gst_caps_get_structure(caps, 0));
    const bool video = g_str_has_prefix(name, "video/");
    const bool audio = g_str_has_prefix(name, "audio/");
    gst_caps_unref(caps);
    GstElement *bin = GST_ELEMENT(gst_element_get_parent(decodebin));
    if (!bin)
        return;
    if (video)
        self->linkVideo(bin, pad);
    else if (audio)
        self->linkAudio(bin, pad);
    gst_object_unref(bin);
}

void MediaTap::linkVideo(GstElement *bin, GstPad *pad)
{
    GstElement *convert = make("videoconvert");
    GstElement *tee = make("tee");
    GstElement *queue = make("queue");
    GstElement *sink = make("fakesink");
    g_object_set(tee, "allow-not-linked", TRUE, nullptr);
    g_object_set(sink, "sync", FALSE, "async", FALSE, nullptr);
    addChain(bin, {convert, tee, queue, sink});
    GstPad *input = gst_element_get_static_pad(convert, "sink");
    gst_pad_add_probe(input, GST_PAD_PROBE_TYPE_BUFFER, onVideoBuffer, this, nullptr);
    gst_pad_link(pad, input);
    gst_object_unref(input);
    std::lock_guard<std::mutex> lock(m_mutex);
    m_bin = bin;
    m_videoTee = tee;
    if (m_window)
        addDisplayBranch();
}

void MediaTap::linkAudio(GstElement *bin, GstPad *pad)
{
    GstElement *convert = make("audioconvert");
    GstElement *filter = make("capsfilter");
    GstElement *sink = make("fakesink");
    GstCaps *caps = gst_caps_from_string("audio/x-raw,format=S16LE");
    g_object_set(filter, "caps", caps, nullptr);
    gst_caps_unref(caps);
    g_object_set(sink, "sync", FALSE, "async", FALSE, nullptr);
    addChain(bin, {convert, filter, sink});
    GstPad *input = gst_element_get_static_pad(sink, "sink");
    gst_pad_add_probe(input, GST_PAD_PROBE_TYPE_BUFFER, onDecodedAudio, this, nullptr);
    gst_object_unref(input);
    GstPad *convertInput = gst_element_get_static_pad(convert, "sink");
    gst_pad_link(pad, convertInput);
    gst_object_unref(convertInput);
}

void MediaTap::setWindow(unsigned long window)
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

void MediaTap::forgetBranches()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_bin = nullptr;
    m_videoTee = nullptr;
    m_display = nullptr;
}

// Fit: the picture scaled to the window with its aspect ratio kept, borders
// filling the rest.
void MediaTap::addDisplayBranch()
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
    addChain(m_bin, {queue, scale, filter, convert, sink});
    GstPad *teePad = gst_element_request_pad_simple(m_videoTee, "src_%u");
    GstPad *input = gst_element_get_static_pad(queue, "sink");
    gst_pad_link(teePad, input);
    gst_object_unref(input);
    gst_object_unref(teePad);
    m_display = sink;
}

GstPadProbeReturn MediaTap::onVideoBuffer(GstPad *pad, GstPadProbeInfo *, gpointer data)
{
    auto *self = takeOverInCallback<MediaTap>(data);
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

void MediaTap::announceAudio()
{
    if (!m_audioSeen.exchange(true) && m_callbacks.firstAudioFrame && !m_stopped)
        m_callbacks.firstAudioFrame();
}

GstPadProbeReturn MediaTap::onAudioBuffer(GstPad *, GstPadProbeInfo *, gpointer data)
{
    takeOverInCallback<MediaTap>(data)->announceAudio();
    return GST_PAD_PROBE_OK;
}

// The loudest sample of the buffer, on the 0 to 255 scale of volume reports.
GstPadProbeReturn MediaTap::onDecodedAudio(GstPad *, GstPadProbeInfo *info, gpointer data)
{
    auto *self = takeOverInCallback<MediaTap>(data);
    self->announceAudio();
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

} // namespace rtc
} // namespace vendor
