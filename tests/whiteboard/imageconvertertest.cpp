// Pictures converted in bands must equal Qt's own conversion of the whole.

#include "kpimageconverter.h"

#include <QRandomGenerator>

#include <gtest/gtest.h>

namespace {

QImage noise(QSize size, QImage::Format format)
{
    QImage image(size, QImage::Format_ARGB32);
    QRandomGenerator random(7);
    for (int y = 0; y < image.height(); ++y) {
        auto *line = reinterpret_cast<quint32 *>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            line[x] = random.generate();
    }
    return image.convertToFormat(format);
}

} // namespace

TEST(ImageConverter, EqualsQtsConversionOfTheWhole)
{
    struct Case {
        QSize size;
        QImage::Format from;
        QImage::Format to;
    };
    const Case cases[] = {
        {{600, 420}, QImage::Format_ARGB32_Premultiplied, QImage::Format_RGBA8888},
        {{1283, 731}, QImage::Format_ARGB32_Premultiplied, QImage::Format_RGBA8888},
        {{1, 70000}, QImage::Format_RGB888, QImage::Format_ARGB32_Premultiplied},
        {{40000, 3}, QImage::Format_RGBA8888, QImage::Format_ARGB32_Premultiplied},
        {{333, 200}, QImage::Format_Indexed8, QImage::Format_RGBA8888},
        {{300, 300}, QImage::Format_ARGB32, QImage::Format_Indexed8},
        {{100, 100}, QImage::Format_Grayscale8, QImage::Format_RGBA8888},
        {{0, 0}, QImage::Format_ARGB32, QImage::Format_RGBA8888},
    };
    for (const Case &c : cases) {
        const QImage picture = c.size.isEmpty() ? QImage() : noise(c.size, c.from);
        EXPECT_EQ(KPImageConverter::converted(picture, c.to), picture.convertToFormat(c.to))
            << c.size.width() << "x" << c.size.height();
    }
}
