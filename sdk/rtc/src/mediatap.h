#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>

#include <gst/gst.h>

namespace vendor {
namespace rtc {

// What a peer's media branches see of the frames: the video frames counted
// and the first video and audio frame announced as they pass (a publisher's
// encoder inputs, a subscriber's decoded output), the decoded sound's level,
// and a subscriber's decoded video drawn into a native X11 window through the
// video overlay interface. The counting runs on GStreamer's threads; the
// window may be set from any thread.
class MediaTap
{
public:
    struct Callbacks
    {
        std::function<void(int width, int height)> firstVideoFrame;
        std::function<void()> firstAudioFrame;
    };

    // stopped: set once the peer stops; no callback runs after that.
    MediaTap(Callbacks callbacks, const std::atomic<bool> &stopped);

    MediaTap(const MediaTap &) = delete;
    MediaTap &operator=(const MediaTap &) = delete;

    // A publisher's encoder: its input is counted.
    void tapEncoder(GstElement *encoder, bool video);
    // A subscriber's incoming stream, decoded inside pipeline and counted.
    void decode(GstElement *pipeline, GstPad *incoming);
    // Draws the decoded video into this window (0: keeps the last one).
    void setWindow(unsigned long window);
    // The peer stopped: the branches go with its pipeline.
    void forgetBranches();
    // Everything the callbacks use is written: call before the pipeline runs.
    void handOver();

    uint64_t videoFrames() const { return m_videoFrames; }
    int audioLevel() const { return m_audioLevel; }
    int width() const { return m_width; }
    int height() const { return m_height; }

private:
    static void onDecodedPad(GstElement *decodebin, GstPad *pad, gpointer self);
    static GstPadProbeReturn onVideoBuffer(GstPad *pad, GstPadProbeInfo *info, gpointer self);
    static GstPadProbeReturn onAudioBuffer(GstPad *pad, GstPadProbeInfo *info, gpointer self);
    static GstPadProbeReturn onDecodedAudio(GstPad *pad, GstPadProbeInfo *info, gpointer self);
    void announceAudio();
    void linkVideo(GstElement *bin, GstPad *pad);
    void linkAudio(GstElement *bin, GstPad *pad);
    void addDisplayBranch(); // with m_mutex held

    const Callbacks m_callbacks;
    const std::atomic<bool> &m_stopped;
    std::mutex m_mutex;
    // Guarded by m_mutex: the decoded-video branch, the bin it is in and its window.
    GstElement *m_bin = nullptr;
    GstElement *m_videoTee = nullptr;
    GstElement *m_display = nullptr;
    unsigned long m_window = 0;
    // Written on GStreamer's threads, read by the media thread.
    std::atomic<uint64_t> m_videoFrames{0};
    std::atomic<bool> m_audioSeen{false};
    std::atomic<int> m_audioLevel{0};
    std::atomic<int> m_width{0};
    std::atomic<int> m_height{0};
};

} // namespace rtc
} // namespace vendor
