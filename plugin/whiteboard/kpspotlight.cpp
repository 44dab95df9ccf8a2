#include "kpspotlight.h"

#include <QPainter>
#include <QRadialGradient>

#include <algorithm>
#include <cmath>

double KPSpotlight::radiusFor(quint32 size, double scale)
{
    const double radius = 4.0 * size * scale;
    return std::isfinite(radius) ? std::clamp(radius, 0.0, 1.0e6) : 0.0;
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

// One gradient over the whole canvas: clear up to the radius, the shade
// beyond the soft edge (the pad spread carries it to the corners).
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
    painter->save();
    painter->setPen(Qt::NoPen);
    painter->fillRect(canvas, gradient);
    painter->restore();
}
