#include "boardtestsupport.h"

#include <QTabletEvent>

namespace boardtest {

Data boardSettings(int type, quint32 background, quint32 color, int size, int width, int height)
{
    Data settings(obs_data_create());
    obs_data_set_int(settings.get(), "kp_wb_width", width);
    obs_data_set_int(settings.get(), "kp_wb_height", height);
    obs_data_set_int(settings.get(), "kp_wb_background", background);
    obs_data_set_bool(settings.get(), "kp_wb_hideHandwriting", false);
    obs_data_set_int(settings.get(), "kp_wb_draw_type", type);
    obs_data_set_int(settings.get(), "kp_wb_draw_color", color);
    obs_data_set_int(settings.get(), "kp_wb_draw_size", size);
    return settings;
}

obs_mouse_event mouseAt(int x, int y)
{
    obs_mouse_event event = {};
    event.x = x;
    event.y = y;
    return event;
}

void press(KPWhiteBoardObject &board, QPoint p, int button, uint32_t clicks)
{
    const obs_mouse_event event = mouseAt(p.x(), p.y());
    board.do_mouse_click(&event, button, false, clicks);
}

void move(KPWhiteBoardObject &board, QPoint p)
{
    const obs_mouse_event event = mouseAt(p.x(), p.y());
    board.do_mouse_move(&event, false);
}

void release(KPWhiteBoardObject &board, QPoint p, int button, uint32_t clicks)
{
    const obs_mouse_event event = mouseAt(p.x(), p.y());
    board.do_mouse_click(&event, button, true, clicks);
}

void drag(KPWhiteBoardObject &board, QPoint from, QPoint to)
{
    press(board, from);
    move(board, (from + to) / 2);
    move(board, to);
    release(board, to);
}

void setShift(KPWhiteBoardObject &board, bool held)
{
    obs_key_event event = {};
    event.modifiers = held ? INTERACT_SHIFT_KEY : 0;
    board.do_key_click(&event, !held);
}

void tablet(KPWhiteBoardObject &board, QEvent::Type type, QPointF pos, double pressure,
            Qt::MouseButtons buttons)
{
    QTabletEvent event(type, pos, pos, QTabletEvent::Stylus, QTabletEvent::Pen, pressure, 0, 0,
                       0.0, 0.0, 0, Qt::NoModifier, 1, Qt::NoButton, buttons);
    board.do_tablet_event(&event);
}

void tabletStroke(KPWhiteBoardObject &board, QPointF from, QPointF to)
{
    tablet(board, QEvent::TabletPress, from, 1.0);
    tablet(board, QEvent::TabletMove, to, 1.0);
    tablet(board, QEvent::TabletRelease, to, 1.0);
}

QImage compose(KPWhiteBoardObject &board)
{
    board.do_video_tick();
    return board.image();
}

bool isInk(const QImage &image, int x, int y)
{
    const QColor c = image.pixelColor(x, y);
    // Ink is red on white or anything visible on a transparent background.
    return c.alpha() > 0 && c.green() < 200;
}

double columnCoverage(const QImage &image, int x, int y0, int y1, int strokeAlpha)
{
    double sum = 0.0;
    for (int y = y0; y <= y1; ++y)
        sum += image.pixelColor(x, y).alpha();
    return sum / strokeAlpha;
}

double redOnWhiteCoverage(const QImage &image, int x, int y0, int y1)
{
    double sum = 0.0;
    for (int y = y0; y <= y1; ++y)
        sum += 255 - image.pixelColor(x, y).green();
    return sum / 255.0;
}

} // namespace boardtest
