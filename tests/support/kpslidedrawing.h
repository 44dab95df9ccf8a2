#pragma once

// The drawing the slideshow tests put on a picture: a rectangle from (20, 20)
// to (120, 80).

#include <QColor>
#include <QImage>

// Its thin, antialiased left edge darkens some pixel near x 20 against the
// plain picture.
inline bool hasRectangle(const QImage &frame)
{
    const QColor plain = frame.pixelColor(150, 90);
    for (int x = 18; x <= 22; ++x) {
        const QColor edge = frame.pixelColor(x, 50);
        if (plain.red() + plain.green() + plain.blue() - edge.red() - edge.green() - edge.blue() > 80)
            return true;
    }
    return false;
}
