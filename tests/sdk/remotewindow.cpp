#include "remotewindow.h"

#include <cstdlib>
#include <initializer_list>

RemoteWindow::RemoteWindow(int width, int height) : m_width(width), m_height(height)
{
    m_connection = xcb_connect(nullptr, nullptr);
    xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data;
    m_window = xcb_generate_id(m_connection);
    const uint32_t background = screen->black_pixel;
    xcb_create_window(m_connection, XCB_COPY_FROM_PARENT, m_window, screen->root, 0, 0, uint16_t(width),
                      uint16_t(height), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, XCB_CW_BACK_PIXEL,
                      &background);
    xcb_map_window(m_connection, m_window);
    xcb_flush(m_connection);
}

RemoteWindow::~RemoteWindow()
{
    xcb_destroy_window(m_connection, m_window);
    xcb_disconnect(m_connection);
}

long RemoteWindow::pixel(int x, int y)
{
    xcb_get_image_reply_t *image = xcb_get_image_reply(
        m_connection, xcb_get_image(m_connection, XCB_IMAGE_FORMAT_Z_PIXMAP, m_window, int16_t(x), int16_t(y), 1, 1, ~0u),
        nullptr);
    long rgb = -1;
    if (image && xcb_get_image_data_length(image) >= 4) {
        const uint8_t *p = xcb_get_image_data(image);
        rgb = long(p[2]) << 16 | long(p[1]) << 8 | p[0];
    }
    free(image);
    return rgb;
}

bool RemoteWindow::near(long rgb, long want)
{
    for (int shift : {0, 8, 16}) {
        if (rgb < 0 || std::abs(int((rgb >> shift) & 0xff) - int((want >> shift) & 0xff)) > 40)
            return false;
    }
    return true;
}
