#pragma once

#include <QImage>

// Converts pictures on the calling thread. QImage::convertToFormat hands a
// large picture to Qt's global thread pool in pieces and waits for them; a
// piece's worker can still write into that wait's state on the caller's stack
// after the caller has returned, which smashed the stack of the next call
// under load. Pictures are converted here in bands that Qt converts in place.
class KPImageConverter
{
public:
    static QImage converted(const QImage &image, QImage::Format format);

private:
    // Qt keeps a conversion of fewer pixels than this on the calling thread.
    static constexpr int kBandPixels = 16384;
};
