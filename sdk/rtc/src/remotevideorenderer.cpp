#include "remotevideorenderer.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <string>

namespace vendor {
namespace rtc {
namespace {

constexpr int kFrameIntervalMs = 40;
constexpr uint32_t kBackground = 0x101830;
constexpr uint32_t kBars[] = {0xc0c0c0, 0xc0c000, 0x00c0c0, 0x00c000,
                              0xc000c0, 0xc00000, 0x0000c0};
constexpr int kBarCount = sizeof(kBars) / sizeof(kBars[0]);

} // namespace

RemoteVideoRenderer::RemoteVideoRenderer(uint32_t window, uid_t uid) : m_window(window), m_uid(uid)
{
}

RemoteVideoRenderer::~RemoteVideoRenderer()
{
    stop();
    if (m_connection)
        xcb_disconnect(m_connection);
}

bool RemoteVideoRenderer::start()
{
    m_connection = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(m_connection))
        return false;
    xcb_generic_error_t *error = nullptr;
    free(xcb_get_geometry_reply(m_connection, xcb_get_geometry(m_connection, m_window), &error));
    if (error) {
        free(error);
        return false;
    }
    m_gc = xcb_generate_id(m_connection);
    xcb_create_gc(m_connection, m_gc, m_window, 0, nullptr);
    m_font = xcb_generate_id(m_connection);
    const std::string fontName = "fixed";
    error = xcb_request_check(m_connection,
                              xcb_open_font_checked(m_connection, m_font, fontName.size(), fontName.c_str()));
    if (error) {
        free(error);
        m_font = 0;
    } else {
        xcb_change_gc(m_connection, m_gc, XCB_GC_FONT, &m_font);
    }
    m_thread = std::thread(&RemoteVideoRenderer::run, this);
    return true;
}

void RemoteVideoRenderer::stop()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stopping = true;
        m_wake.notify_one();
    }
    if (m_thread.joinable())
        m_thread.join();
}

void RemoteVideoRenderer::run()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    for (int frame = 0; !m_stopping; ++frame) {
        lock.unlock();
        const bool windowAlive = drawFrame(frame);
        lock.lock();
        if (!windowAlive)
            break;
        m_wake.wait_for(lock, std::chrono::milliseconds(kFrameIntervalMs), [this] { return m_stopping; });
    }
}

bool RemoteVideoRenderer::drawFrame(int frame)
{
    xcb_get_geometry_reply_t *geometry =
        xcb_get_geometry_reply(m_connection, xcb_get_geometry(m_connection, m_window), nullptr);
    if (!geometry)
        return false; // the window is gone
    const int width = geometry->width;
    const int height = geometry->height;
    free(geometry);

    fill(kBackground, 0, 0, width, height);
    const int barWidth = width / kBarCount + 1;
    const int shift = (frame * 4) % (barWidth * kBarCount);
    for (int i = 0; i < kBarCount * 2; ++i) {
        const int x = i * barWidth - shift;
        if (x < width && x + barWidth > 0)
            fill(kBars[i % kBarCount], x, height / 8, barWidth, height * 3 / 4);
    }
    const int block = std::max(8, height / 6);
    const int travel = std::max(1, width - block);
    const int position = (frame * 6) % (2 * travel);
    fill(0xffffff, position < travel ? position : 2 * travel - position, (height - block) / 2, block, block);
    if (m_font) {
        const std::string label = "remote uid " + std::to_string(m_uid);
        xcb_image_text_8(m_connection, static_cast<uint8_t>(label.size()), m_window, m_gc, 8, 16, label.c_str());
    }
    xcb_flush(m_connection);
    // Errors of the drawing requests arrive as events; nothing waits for them.
    while (xcb_generic_event_t *event = xcb_poll_for_event(m_connection))
        free(event);
    return !xcb_connection_has_error(m_connection);
}

void RemoteVideoRenderer::fill(uint32_t colour, int16_t x, int16_t y, uint16_t width, uint16_t height)
{
    const uint32_t values[] = {colour, kBackground};
    xcb_change_gc(m_connection, m_gc, XCB_GC_FOREGROUND | XCB_GC_BACKGROUND, values);
    const xcb_rectangle_t rectangle = {x, y, width, height};
    xcb_poly_fill_rectangle(m_connection, m_window, m_gc, 1, &rectangle);
}

} // namespace rtc
} // namespace vendor
