#pragma once

// The module's two hotkeys "Go live" and "Stop going live", for hosts with no
// button of their own: they start and stop one "kp_rtc_output" output whose
// settings come from live.json in the module's configuration folder, read
// afresh at each "Go live" (the same keys as the output's settings):
//
//   {"server": "http://127.0.0.1:8088/janus", "channel": "lesson", "token": "",
//    "uid": 0, "width": 1280, "height": 720, "fps": 30, "bitrate_kbps": 1500}
//
// Hotkeys fire on libobs's hotkey thread; the host's last call into the
// module (detach) may come from another, so the output is guarded.

#include <obs.h>

#include <QString>

#include <mutex>

class KPLiveHotkeys
{
public:
    // The file's name in the module's configuration folder.
    static const char kSettingsFile[];
    // A bound on the file's size: settings are a few hundred bytes.
    static constexpr qint64 kMaxSettingsBytes = 64 * 1024;

    static KPLiveHotkeys &instance();

    void attach(obs_module_t *module);
    // Stops and releases the output and unregisters the hotkeys.
    void detach();

    void goLive();
    void stopGoingLive();
    // The output the hotkeys drive, once one was started (a new reference).
    obs_output_t *output();

private:
    KPLiveHotkeys() = default;
    // The file's settings, or null with a log line; under m_mutex.
    obs_data_t *readSettings() const;

    std::mutex m_mutex;
    obs_module_t *m_module = nullptr;
    obs_output_t *m_output = nullptr;
    obs_hotkey_id m_goLive = OBS_INVALID_HOTKEY_ID;
    obs_hotkey_id m_stop = OBS_INVALID_HOTKEY_ID;
};
