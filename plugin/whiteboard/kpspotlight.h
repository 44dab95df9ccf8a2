#pragma once

#include <QPointF>
#include <QRect>

class QPainter;

// The spotlight: everything outside a circle around the pointer is darkened
// (black at 60% opacity, with a soft edge). It is a pointer, not
// handwriting: no item, no undo step, nothing saved, and hidden handwriting
// leaves it.
class KPSpotlight
{
public:
    static constexpr double kShade = 0.6;
    static constexpr double kSoftEdge = 4.0;

    // The spotlight radius times the stroke scale, bounded.
    static double radiusFor(quint32 radius, double scale);

    void moveTo(const QPointF &centre, double radius);
    // False when it was not shown.
    bool hide();
    bool visible() const { return m_visible; }
    // The circle with its soft edge, in whole pixels; outside it the shade is uniform.
    QRect bounds() const;
    void paint(QPainter *painter, const QRect &canvas) const;

private:
    bool m_visible = false;
    QPointF m_centre;
    double m_radius = 0.0;
};
