#include "externalsource.h"

#include <cstdio>

namespace vendor {
namespace rtc {
namespace {

// Larger pictures than 4K are refused: a caller's wrong size must not make
// the engine read far past its buffer.
constexpr int kMaxSide = 4096;

bool knownFormat(VIDEO_PIXEL_FORMAT format)
{
    return format == VIDEO_PIXEL_I420 || format == VIDEO_PIXEL_BGRA || format == VIDEO_PIXEL_NV12;
}

} // namespace

void ExternalSource::setEnabled(bool enable)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (enable && !m_enabled) {
        m_sent = 0;
        m_dropped = 0;
        m_audioSamples = 0;
        m_anyVideo = false;
    }
    m_enabled = enable;
}

bool ExternalSource::enabled() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_enabled;
}

int ExternalSource::rowBytes(const ExternalVideoFrame &frame)
{
    const int tight = frame.format == VIDEO_PIXEL_BGRA ? frame.width * 4 : frame.width;
    return frame.stride > 0 ? frame.stride : tight;
}

size_t ExternalSource::frameBytes(const ExternalVideoFrame &frame)
{
    if (!knownFormat(frame.format) || frame.width <= 0 || frame.height <= 0 || frame.width > kMaxSide ||
        frame.height > kMaxSide || frame.stride < 0)
        return 0;
    const int row = rowBytes(frame);
    if (row < (frame.format == VIDEO_PIXEL_BGRA ? frame.width * 4 : frame.width) || row > 4 * kMaxSide * 2)
        return 0;
    if (frame.format != VIDEO_PIXEL_BGRA && (frame.width % 2 || frame.height % 2))
        return 0;
    const size_t luma = static_cast<size_t>(row) * frame.height;
    // Both chroma layouts take half the luma plane: I420's two quarter planes, NV12's one half plane.
    return frame.format == VIDEO_PIXEL_BGRA ? luma : luma + luma / 2;
}

ExternalSource::Verdict ExternalSource::checkVideo(const ExternalVideoFrame &frame, bool joined)
{
    if (!frame.buffer || frameBytes(frame) == 0) {
        std::fprintf(stderr, "vendor_rtc: a video frame of format %d, %dx%d, stride %d is refused\n",
                     static_cast<int>(frame.format), frame.width, frame.height, frame.stride);
        return Verdict::Invalid;
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_enabled)
        return Verdict::Off;
    if (!joined || (m_anyVideo && frame.timestampMs <= m_lastVideoMs)) {
        ++m_dropped;
        return Verdict::Dropped;
    }
    m_anyVideo = true;
    m_lastVideoMs = frame.timestampMs;
    ++m_sent;
    return Verdict::Take;
}

bool ExternalSource::validAudio(const AudioFrame &frame)
{
    return frame.buffer && frame.samplesPerChannel > 0 && frame.samplesPerChannel <= frame.samplesPerSec &&
           (frame.channels == 1 || frame.channels == 2) && frame.samplesPerSec >= 8000 &&
           frame.samplesPerSec <= 96000;
}

ExternalSource::Verdict ExternalSource::checkAudio(const AudioFrame &frame, bool joined)
{
    if (!validAudio(frame)) {
        std::fprintf(stderr, "vendor_rtc: an audio frame of %d samples, %d channels at %d Hz is refused\n",
                     frame.samplesPerChannel, frame.channels, frame.samplesPerSec);
        return Verdict::Invalid;
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_enabled)
        return Verdict::Off;
    if (!joined)
        return Verdict::Dropped;
    m_audioSamples += static_cast<unsigned long long>(frame.samplesPerChannel);
    return Verdict::Take;
}

void ExternalSource::dropSent()
{
    --m_sent;
    ++m_dropped;
}

int ExternalSource::sendVideo(const ExternalVideoFrame &frame, bool joined,
                              const std::function<Sent(const ExternalVideoFrame &)> &send)
{
    const Verdict verdict = checkVideo(frame, joined);
    if (verdict == Verdict::Take && send(frame) != Sent::Queued)
        dropSent();
    return errorFor(verdict);
}

int ExternalSource::sendAudio(const AudioFrame &frame, bool joined, const std::function<void(const AudioFrame &)> &send)
{
    const Verdict verdict = checkAudio(frame, joined);
    if (verdict == Verdict::Take)
        send(frame);
    return errorFor(verdict);
}

int ExternalSource::errorFor(Verdict verdict)
{
    switch (verdict) {
    case Verdict::Take:
        return 0;
    case Verdict::Invalid:
        return -ERR_INVALID_ARGUMENT;
    case Verdict::Off:
    case Verdict::Dropped:
        return -ERR_NOT_READY;
    }
    return -ERR_FAILED;
}

} // namespace rtc
} // namespace vendor
