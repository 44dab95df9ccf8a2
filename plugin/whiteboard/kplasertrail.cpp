#include "kplasertrail.h"

#include <QImage>
#include <QPainter>
#include <QPen>

#include <algorithm>
#include <cmath>

namespace {

// The glow is a wider, fainter stroke under the core.
const double kGlowWidth = 2.5;
const double kGlowAlpha = 0.3;
// Beyond this many points the oldest go: a pointer held still on a fast
// machine cannot grow the trail without end.
const int kMaxPoints = 4096;

} // namespace

double KPLaserTrail::penWidth(quint32 size, double scale)
{
    const double width = size * scale;
    return std::isfinite(width) ? std::clamp(width, 1.0, 1000.0) : 1.0;
}

void KPLaserTrail::press(const QPointF &point, const QColor &colour, double width)
{
    m_pressed = true;
    m_colour = colour;
    m_width = width;
    add(point, false);
}

void KPLaserTrail::moveTo(const QPointF &point)
{
    if (m_pressed)
        add(point, true);
}

void KPLaserTrail::release()
{
    m_pressed = false;
}

// A segment needs a point to start from: the first point never has one, even
// when a held pointer's earlier points have all faded or the oldest went.
void KPLaserTrail::add(const QPointF &point, bool joined)
{
    if (m_points.size() >= kMaxPoints) {
        m_points.removeFirst();
        m_points.first().joined = false;
    }
    m_points.append({point, m_now, joined && !m_points.isEmpty(), m_colour, m_width});
}

double KPLaserTrail::alphaAt(const Point &point) const
{
    return std::clamp(1.0 - (m_now - point.time) / kFadeSeconds, 0.0, 1.0);
}

void KPLaserTrail::advance(double seconds)
{
    if (seconds > 0.0 && std::isfinite(seconds))
        m_now += seconds;
    // A faded point goes unless a live segment still starts from it.
    int faded = 0;
    while (faded < m_points.size() && alphaAt(m_points[faded]) <= 0.0) {
        const bool anchor = faded + 1 < m_points.size() && m_points[faded + 1].joined
                            && alphaAt(m_points[faded + 1]) > 0.0;
        if (anchor)
            break;
        ++faded;
    }
    m_points.remove(0, faded);
    if (!m_points.isEmpty())
        m_points.first().joined = false;
}

QRect KPLaserTrail::bounds() const
{
    QRectF area;
    double reach = 0.0;
    for (const Point &point : m_points) {
        area |= QRectF(point.position, QSizeF(0.001, 0.001));
        reach = std::max(reach, point.width * kGlowWidth / 2.0);
    }
    const double pad = reach + 2.0;
    return area.adjusted(-pad, -pad, pad, pad).toAlignedRect();
}

// Each segment takes the fade of its newer end; a point alone is a dot. The
// segments of a pass are drawn into a layer, each replacing what lies under
// it: newer segments are drawn later and are the more opaque, so where
// neighbours overlap at their round caps the trail shows the newer alpha
// rather than the two added up, and it reads as one path fading along its
// tail instead of a string of beads. The glow layer is laid on first, then
// the core over it, as two strokes would be.
void KPLaserTrail::paint(QPainter *painter) const
{
    if (m_points.isEmpty())
        return;
    const QRect area = bounds();
    if (area.isEmpty())
        return;
    QImage layer(area.size(), QImage::Format_ARGB32_Premultiplied);
    if (layer.isNull())
        return;
    for (const bool glow : {true, false}) {
        layer.fill(Qt::transparent);
        QPainter pass(&layer);
        pass.setRenderHints(painter->renderHints());
        pass.setCompositionMode(QPainter::CompositionMode_Source);
        pass.translate(-area.topLeft());
        paintPass(&pass, glow);
        pass.end();
        painter->drawImage(area.topLeft(), layer);
    }
}

void KPLaserTrail::paintPass(QPainter *painter, bool glow) const
{
    painter->setBrush(Qt::NoBrush);
    for (int i = 0; i < m_points.size(); ++i) {
        const Point &point = m_points[i];
        const bool alone = !point.joined && (i + 1 == m_points.size() || !m_points[i + 1].joined);
        if (!point.joined && !alone)
            continue; // the start of a stroke: its segments begin here
        const double alpha = alphaAt(point) * (glow ? kGlowAlpha : 1.0);
        if (alpha <= 0.0)
            continue;
        QColor colour = point.colour;
        colour.setAlphaF(colour.alphaF() * alpha);
        painter->setPen(QPen(colour, glow ? point.width * kGlowWidth : point.width, Qt::SolidLine, Qt::RoundCap,
                             Qt::RoundJoin));
        if (alone)
            painter->drawPoint(point.position);
        else
            painter->drawLine(QLineF(m_points[i - 1].position, point.position));
    }
}

void KPLaserTrail::clear()
{
    m_points.clear();
    m_pressed = false;
}
