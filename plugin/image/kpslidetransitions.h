#pragma once

// The slideshow's transitions, one per row of its transition table ("cut",
// "fade", "swipe_to_left", ...): each is made the first time its row is
// chosen and kept until the slideshow goes. Used on the video thread only.

#include <obs.h>

#include <cstdint>

class KPSlideTransitions
{
public:
    KPSlideTransitions() = default;
    ~KPSlideTransitions();
    KPSlideTransitions(const KPSlideTransitions &) = delete;
    KPSlideTransitions &operator=(const KPSlideTransitions &) = delete;

    // Picks the row for a "transition" value (an unknown one is "cut") and
    // its duration; returns its transition when the row differs from the
    // one in use, else null (also when the transition cannot be made, so
    // that the next update tries again).
    obs_source_t *choose(const char *name);
    uint32_t duration() const { return tr_duration; }

    // The host's list for the "transition" property.
    static void addList(obs_properties_t *properties);
    static void setLayout(obs_source_t *transition);
    // A new transition starts from the picture on air: a fresh transition
    // alone has no outgoing side, so the switch would come in from nothing.
    static void takeOver(obs_source_t *fresh, obs_source_t *old);
    // Starts transition towards target from the picture on air.
    void start(obs_source_t *transition, obs_source_t *target) const;

private:
    obs_source_t *m_kept[6] = {};
    uint32_t tr_duration = 0;
    const char *tr_name = nullptr; // canonical name of the row in use, or null
};
