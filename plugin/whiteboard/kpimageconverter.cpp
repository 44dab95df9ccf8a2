#include "kpimageconverter.h"

#include <cstring>

QImage KPImageConverter::converted(const QImage &image, QImage::Format format)
{
    const int bandRows = qMax(1, kBandPixels / qMax(1, image.width()));
    // An indexed target gets a colour table of its own from every band: such
    // formats, pictures small enough already and rows too wide for a band
    // (wider than any canvas) take Qt's path unchanged.
    if (image.isNull() || image.height() <= bandRows || image.width() > kBandPixels
        || QImage::toPixelFormat(format).bitsPerPixel() != 32)
        return image.convertToFormat(format);
    QImage result(image.size(), format);
    if (result.isNull())
        return result;
    const size_t rowBytes = static_cast<size_t>(image.width()) * 4;
    for (int top = 0; top < image.height(); top += bandRows) {
        const int rows = qMin(bandRows, image.height() - top);
        QImage band(image.constScanLine(top), image.width(), rows, image.bytesPerLine(), image.format());
        band.setColorTable(image.colorTable());
        const QImage piece = band.convertToFormat(format);
        if (piece.isNull())
            return QImage();
        for (int y = 0; y < rows; ++y)
            std::memcpy(result.scanLine(top + y), piece.constScanLine(y), rowBytes);
    }
    result.setDotsPerMeterX(image.dotsPerMeterX());
    result.setDotsPerMeterY(image.dotsPerMeterY());
    return result;
}
