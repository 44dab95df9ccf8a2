#pragma once

// Source hotkeys fired as a host application fires them: libobs routes every
// hotkey to the host, which runs it on its own user-interface thread.

#include <QString>

#include <obs.h>

class KPHostHotkeys
{
public:
    // The id of the hotkey the source registered under that name, or
    // OBS_INVALID_HOTKEY_ID.
    static obs_hotkey_id find(obs_source_t *source, const QString &name);
    // Runs the hotkey's press or release now, on the calling thread.
    static void fire(obs_hotkey_id id, bool pressed);
    // Routes hotkeys that libobs triggers from bound keys to the Qt main thread.
    static void routeToHost();

private:
    static void route(void *data, obs_hotkey_id id, bool pressed);
};
