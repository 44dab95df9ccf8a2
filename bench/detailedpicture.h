#pragma once

// A picture with a gradient and many thin lines, so that decoding and
// encoding it cost what a photograph's would; number varies the colours and
// lines between pictures.

#include <QColor>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QSize>

inline QImage detailedPicture(const QSize &size, int number)
{
    QImage picture(size, QImage::Format_RGB32);
    QPainter painter(&picture);
    QLinearGradient gradient(0, 0, size.width(), size.height());
    gradient.setColorAt(0, QColor::fromHsv(number * 80 % 360, 200, 255));
    gradient.setColorAt(1, QColor::fromHsv((number * 80 + 180) % 360, 255, 120));
    painter.fillRect(picture.rect(), gradient);
    for (int line = 0; line < size.height(); line += 7)
        painter.drawLine(0, line, size.width(), (line * 37 + number * 101) % size.height());
    painter.end();
    return picture;
}
