#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

#include <xcb/xcb.h>

#include "vendor/rtc/rtcbase.h"

namespace vendor {
namespace rtc {

// Draws a remote user's simulated video (moving colour bars and a bouncing
// block) into a native X11 window from a thread of its own, through a
// display connection of its own so that the host's toolkit is not disturbed.
class RemoteVideoRenderer
{
public:
    RemoteVideoRenderer(uint32_t window, uid_t uid);
    ~RemoteVideoRenderer();

    RemoteVideoRenderer(const RemoteVideoRenderer &) = delete;
    RemoteVideoRenderer &operator=(const RemoteVideoRenderer &) = delete;

    // Connects to the display and checks the window; false when either fails.
    bool start();
    void stop();

    uint32_t window() const { return m_window; }
    uid_t uid() const { return m_uid; }

private:
    void run();
    bool drawFrame(int frame);
    void fill(uint32_t colour, int16_t x, int16_t y, uint16_t width, uint16_t height);

    uint32_t m_window;
    uid_t m_uid;
    xcb_connection_t *m_connection = nullptr;
    xcb_gcontext_t m_gc = 0;
    xcb_font_t m_font = 0;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stopping = false;
    std::thread m_thread;
};

} // namespace rtc
} // namespace vendor
