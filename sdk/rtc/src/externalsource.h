#pragma once

#include <atomic>
#include <functional>
#include <mutex>

#include "vendor/rtc/rtcbase.h"

namespace vendor {
namespace rtc {

// The frames a broadcaster's caller pushes: checks them, keeps frames in
// order and counts what was sent and dropped. Pushes come from any thread and
// never wait for more than these counters.
class ExternalSource
{
public:
    enum class Verdict { Take, Invalid, Off, Dropped };

    // Turning the source on starts the counts again.
    void setEnabled(bool enable);
    bool enabled() const;

    // Whether the engine may send the frame; joined says whether a channel
    // takes media now. Frames that cannot go are counted as dropped.
    Verdict checkVideo(const ExternalVideoFrame &frame, bool joined);
    Verdict checkAudio(const AudioFrame &frame, bool joined);
    // For a frame taken that the engine then had to drop (its encoder lags).
    void dropSent();

    // What became of a frame taken: queued for the encoder, queued in the
    // place of an older one (which is lost), or dropped for want of an encoder.
    enum class Sent { Queued, DisplacedOlder, Nowhere };
    // Checks the frame and, when it may go, hands it to send; the answer an
    // engine gives its caller.
    int sendVideo(const ExternalVideoFrame &frame, bool joined,
                  const std::function<Sent(const ExternalVideoFrame &)> &send);
    int sendAudio(const AudioFrame &frame, bool joined, const std::function<void(const AudioFrame &)> &send);

    // Bytes of the whole frame as laid out in its buffer; 0 if its fields make no picture.
    static size_t frameBytes(const ExternalVideoFrame &frame);
    static int rowBytes(const ExternalVideoFrame &frame);

    unsigned int sentFrames() const { return m_sent; }
    unsigned int droppedFrames() const { return m_dropped; }
    unsigned long long audioSamples() const { return m_audioSamples; }

    static int errorFor(Verdict verdict);

private:
    static bool validAudio(const AudioFrame &frame);

    mutable std::mutex m_mutex;
    bool m_enabled = false;
    long long m_lastVideoMs = 0;
    bool m_anyVideo = false;
    std::atomic<unsigned int> m_sent{0};
    std::atomic<unsigned int> m_dropped{0};
    std::atomic<unsigned long long> m_audioSamples{0};
};

} // namespace rtc
} // namespace vendor
