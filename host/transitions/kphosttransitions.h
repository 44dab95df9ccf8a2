#pragma once

// The host application's own transitions: "fade_transition" blends the two
// sides, "swipe_transition" moves the incoming side over the outgoing one and
// "slide_transition" pushes the outgoing side out with the incoming one. Swipe
// and slide move in their "direction" setting, "left" (the default) or "right".

class KPHostTransitions
{
public:
    // Registers each of the three types that the running libobs does not know
    // yet; call after obs_startup. Returns how many were registered.
    static int registerMissing();
    // True when libobs already has a source type (of any kind) with this id.
    static bool isKnownType(const char *id);
};
