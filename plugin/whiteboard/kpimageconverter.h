#pragma once

#include <QImage>

// Converts pictures on the calling thread. QImage::convertToFormat hands a
// large picture to Qt's global thread pool in pieces and waits for them on
// the caller's stack; under load the stack of the call after such a
// conversion was found smashed. Pictures are converted here in bands small
// enough for Qt to convert them on the calling thread.
class KPImageConverter
{
public:
    static QImage converted(const QImage &image, QImage::Format format);

private:
    // Qt keeps a conversion of fewer pixels than this on the calling thread.
    static constexpr int kBandPixels = 16384;
};
