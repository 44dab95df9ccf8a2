#include "webrtcstats.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <memory>
#include <mutex>

namespace vendor {
namespace rtc {
namespace {

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

void WebRtcStats::read(GstElement *webrtc, int timeoutMs, WebRtcPeer::Stats &stats)
{
    auto state = std::make_shared<PromiseReply>();
    GstPromise *promise = gst_promise_new_with_change_func(
        PromiseReply::onChange, new std::shared_ptr<PromiseReply>(state), PromiseReply::release);
    g_signal_emit_by_name(webrtc, "get-stats", nullptr, promise);
    gst_promise_unref(promise);
    std::unique_lock<std::mutex> lock(state->mutex);
    state->done.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return state->answered; });
    if (state->reply)
        add(state->reply, stats);
}

void WebRtcStats::add(const GstStructure *report, WebRtcPeer::Stats &stats)
{
    if (std::getenv("VENDOR_RTC_JANUS_DUMP_STATS")) {
        gchar *text = gst_structure_to_string(report);
        g_printerr("%s\n", text);
        g_free(text);
    }
    gst_structure_foreach(report, addStream, &stats);
}

} // namespace rtc
} // namespace vendor
