#include "kphittest.h"

#include <algorithm>
#include <cmath>

double KPHitTest::pointToSegment(const QPointF &p, const QLineF &s)
{
    const QPointF d = s.p2() - s.p1();
    const double length2 = QPointF::dotProduct(d, d);
    double t = length2 > 0.0 ? QPointF::dotProduct(p - s.p1(), d) / length2 : 0.0;
    t = std::clamp(t, 0.0, 1.0);
    const QPointF nearest = s.p1() + d * t;
    return std::hypot(p.x() - nearest.x(), p.y() - nearest.y());
}

double KPHitTest::segmentToSegment(const QLineF &a, const QLineF &b)
{
    if (a.intersects(b, nullptr) == QLineF::BoundedIntersection)
        return 0.0;
    return std::min({pointToSegment(a.p1(), b), pointToSegment(a.p2(), b), pointToSegment(b.p1(), a),
                     pointToSegment(b.p2(), a)});
}

bool KPHitTest::nearPolyline(const QVector<QPointF> &points, const QLineF &path, double reach)
{
    for (int i = 1; i < points.size(); ++i) {
        if (segmentToSegment(QLineF(points[i - 1], points[i]), path) <= reach)
            return true;
    }
    return false;
}

QVector<QPointF> KPHitTest::boxOutline(const QRectF &box)
{
    return {box.topLeft(), box.topRight(), box.bottomRight(), box.bottomLeft(), box.topLeft()};
}

bool KPHitTest::nearFilledRect(const QRectF &rect, const QLineF &path, double reach)
{
    if (rect.contains(path.p1()) || rect.contains(path.p2()))
        return true;
    return nearPolyline(boxOutline(rect), path, reach);
}
