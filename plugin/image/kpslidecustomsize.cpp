#include "kpslideshow.h"

#include "kplog.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <cmath>
#include <cstring>

namespace {

// Larger than any texture a graphics card takes: a canvas beyond this is a typo.
const int kMaxCanvasSide = 16384;

} // namespace

namespace {

// Two positive decimal numbers around one separator ("1280x720", "16:9").
bool readPair(const char *text, char separator, qint64 *first, qint64 *second)
{
    const QList<QByteArray> parts = QByteArray(text).split(separator);
    if (parts.size() != 2)
        return false;
    bool firstOk = false;
    bool secondOk = false;
    *first = parts[0].trimmed().toLongLong(&firstOk);
    *second = parts[1].trimmed().toLongLong(&secondOk);
    return firstOk && secondOk;
}

bool fitsCanvas(double side)
{
    return side >= 1.0 && side <= kMaxCanvasSide;
}

} // namespace

void ss_custom_size(const char *customSize, const char *automatic, uint32_t *width,
                    uint32_t *height)
{
    if (!customSize || (automatic && std::strcmp(customSize, automatic) == 0))
        return;
    const QString text = QString::fromUtf8(customSize);
    qint64 first = 0;
    qint64 second = 0;
    if (readPair(customSize, 'x', &first, &second)) {
        if (fitsCanvas(double(first)) && fitsCanvas(double(second))) {
            *width = static_cast<uint32_t>(first);
            *height = static_cast<uint32_t>(second);
        } else {
            KP_LOG(1, QStringLiteral("custom size out of range:%1").arg(text));
        }
        return;
    }
    if (!readPair(customSize, ':', &first, &second))
        return;
    if (first <= 0 || second <= 0 || *width == 0 || *height == 0) {
        KP_LOG(1, QStringLiteral("aspect ratio not applied:%1").arg(text));
        return;
    }
    // In double, so that no ratio overflows on its way to a side; a side
    // beyond any texture would take the host down in the graphics driver.
    const double oldAspect = double(*width) / double(*height);
    const double newAspect = double(first) / double(second);
    if (std::fabs(oldAspect - newAspect) <= 0.0001)
        return;
    const double newWidth = double(*height) * double(first) / double(second);
    const double newHeight = double(*width) * double(second) / double(first);
    const bool widen = newAspect > oldAspect;
    if (!fitsCanvas(widen ? newWidth : newHeight)) {
        KP_LOG(1, QStringLiteral("custom size out of range:%1").arg(text));
        return;
    }
    if (widen)
        *width = static_cast<uint32_t>(newWidth);
    else
        *height = static_cast<uint32_t>(newHeight);
}

