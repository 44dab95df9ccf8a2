#pragma once

#include <cstdint>

#include <xcb/xcb.h>

#include "vendor/rtc/rtcbase.h"

// A window of the test's own that an audience engine draws the remote
// picture into, read back pixel by pixel.
class RemoteWindow
{
public:
    RemoteWindow(int width, int height);
    ~RemoteWindow();

    RemoteWindow(const RemoteWindow &) = delete;
    RemoteWindow &operator=(const RemoteWindow &) = delete;

    vendor::rtc::view_t view() const { return reinterpret_cast<vendor::rtc::view_t>(uintptr_t{m_window}); }

    // A pixel as 0xRRGGBB, or -1 when it cannot be read.
    long pixel(int x, int y);
    long centre() { return pixel(m_width / 2, m_height / 2); }

    // Whether each channel of rgb is within 40 of want's.
    static bool near(long rgb, long want);

private:
    int m_width, m_height;
    xcb_connection_t *m_connection = nullptr;
    xcb_window_t m_window = 0;
};
