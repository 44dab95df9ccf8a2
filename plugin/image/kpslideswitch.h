#pragma once

// The switch to a slide waits, on the video ticks, until its picture is
// decoded: the picture on air stays until then. A later switch replaces a
// waiting one, and the slide it passed over lets its picture go.
//
// The waiting slide counts as showing: a transition taken off air hides
// every picture it still holds, and a slide hidden there would drop the
// decode its switch waits for, so that the switch went to an empty frame.
//
// Written on the video thread only; waiting() is read from any thread, so
// that a host asking for status waits for the picture too.

#include <obs.h>

#include <atomic>
#include <cstddef>
#include <cstdint>

class KPSlideSwitch
{
public:
    static const size_t kNone = SIZE_MAX;

    KPSlideSwitch() = default;
    ~KPSlideSwitch();
    KPSlideSwitch(const KPSlideSwitch &) = delete;
    KPSlideSwitch &operator=(const KPSlideSwitch &) = delete;

    // Waits for slide (index in the slide list; a reference is kept).
    void wait(size_t index, obs_source_t *slide, bool resize);
    bool waiting() const { return m_waiting.load(); }
    size_t index() const { return m_index; }
    bool resize() const { return m_resize; }
    // A new reference to the waiting slide once its picture is ready, or
    // after about ten seconds; null while it still waits or none does.
    obs_source_t *ready();
    // After the transition took the slide over (it shows it from now on).
    void done();

private:
    void release();

    obs_source_t *m_slide = nullptr;
    size_t m_index = kNone;
    bool m_resize = false;
    uint32_t m_ticks = 0;
    // The slide's update count when its switch was asked for: its own
    // update, which asks for the decode, lands on a later tick.
    uint64_t m_updates = 0;
    std::atomic<bool> m_waiting{false};
};
