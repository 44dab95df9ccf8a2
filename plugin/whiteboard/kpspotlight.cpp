#include "kpspotlight.h"

#include <QPainter>
#include <QRadialGradient>
#include <QRegion>

#include <algorithm>
#include <cmath>

double KPSpotlight::radiusFor(quint32 radius, double scale)
{
    const double scaled = radius * scale;
    return std::isfinite(scaled) ? std::clamp(scaled, 0.0, 1.0e6) : 0.0;
}

void KPSpotlight::moveTo(const QPointF &centre, double radius)
{
    m_visible = true;
    m_centre = centre;
    m_radius = radius;
}

bool KPSpotlight::hide()
{
    const bool was = m_visible;
    m_visible = false;
    return was;
}

// Antialiasing reaches a pixel beyond the soft edge.
QRect KPSpotlight::bounds() const
{
    const double outer = m_radius + kSoftEdge + 1.0;
    return QRectF(m_centre - QPointF(outer, outer), m_centre + QPointF(outer, outer)).toAlignedRect();
}

// The shade beyond the circle's box is one colour; the gradient, clear up to
// the radius and the shade beyond the soft edge, fills the box alone. Its
// rows always start at the box's edge, so a frame composed in parts gives
// the very pixels of a whole one: the gradient's steps along a row add up
// from where the row starts.
void KPSpotlight::paint(QPainter *painter, const QRect &canvas) const
{
    if (!m_visible)
        return;
    const double outer = m_radius + kSoftEdge;
    QRadialGradient gradient(m_centre, outer);
    const QColor shade(0, 0, 0, qRound(255 * kShade));
    gradient.setColorAt(0.0, Qt::transparent);
    gradient.setColorAt(m_radius / outer, Qt::transparent);
    gradient.setColorAt(1.0, shade);
    const QRect box = bounds() & canvas;
    painter->save();
    painter->setPen(Qt::NoPen);
    // Whole pixels: antialiased, a clipped fill can leave its last row a shade lighter.
    painter->setRenderHint(QPainter::Antialiasing, false);
    for (const QRect &rect : QRegion(canvas).subtracted(box))
        painter->fillRect(rect, shade);
    painter->fillRect(box, gradient);
    painter->restore();
}
