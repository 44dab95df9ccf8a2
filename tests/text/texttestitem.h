#pragma once

// A stand-in for the board's draw item around a text box: it keeps the item
// state a text box reads and writes, counts redraw requests and finishes, and
// paints the box onto a canvas of its own as the board does.

#include "ft2source.h"
#include "kptextdata.h"
#include "kptextitemhost.h"

#include <QImage>
#include <QPainter>

#include <obs-interaction.h>

class TextTestItem : public KPTextItemHost
{
public:
    explicit TextTestItem(const QSize &canvas = QSize(1280, 720))
        : canvas(canvas, QImage::Format_RGBA8888), data(this)
    {
    }

    bool textLeftClicked() const override { return leftClicked; }
    void setTextLeftClicked(bool clicked) override { leftClicked = clicked; }
    QPoint textStartPoint() const override { return start; }
    QPoint textEndPoint() const override { return end; }
    void setTextStartPoint(const QPoint &point) override { start = point; }
    void setTextEndPoint(const QPoint &point) override { end = point; }
    void markTextInitialized() override { initialized = true; }
    void finishTextItem() override { ++finishCount; }
    void requestTextRedraw() override { ++redrawCount; }
    QColor textColor() const override { return color; }

    ft2_source &text() { return *data.source(); }

    // Composes the canvas: background, then the text box.
    void paint()
    {
        canvas.fill(Qt::white);
        QPainter painter(&canvas);
        data.render(&painter, canvas);
    }

    void press(int x, int y, int button = 0)
    {
        obs_mouse_event event{0, x, y};
        data.mouse_pressed(&event, button);
        paint();
    }
    void move(int x, int y)
    {
        obs_mouse_event event{0, x, y};
        data.mouse_move(&event);
        paint();
    }
    void release(int x, int y, int button = 0)
    {
        obs_mouse_event event{0, x, y};
        data.mouse_released(&event, button);
        paint();
    }

    // One key press as the host sends it, followed by a repaint.
    void key(quint32 vkey, const char *text = "", quint32 modifiers = 0, bool keyUp = false)
    {
        QByteArray bytes(text);
        obs_key_event event{};
        event.modifiers = modifiers;
        event.text = bytes.data();
        event.native_vkey = vkey;
        data.do_key_click(&event, keyUp);
        paint();
    }
    void type(const QString &characters)
    {
        for (QChar ch : characters)
            key(ch.unicode(), QString(ch).toUtf8().constData());
    }

    // Places the box at a press and types into it.
    void placeWith(const QString &characters, int x = 100, int y = 65)
    {
        press(x, y);
        type(characters);
    }

    bool leftClicked = false;
    QPoint start;
    QPoint end;
    bool initialized = false;
    int finishCount = 0;
    int redrawCount = 0;
    QColor color = QColor(255, 0, 0, 255);
    QImage canvas;
    KPTextItemData data;
};
