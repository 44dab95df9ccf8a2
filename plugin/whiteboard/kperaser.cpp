#include "kperaser.h"

#include "kpitemproperty.h"
#include "kptextdata.h"
#include "ft2source.h"
#include "kpwhiteboarditemobject.h"

#include <QPainterPath>
#include <QPolygonF>
#include <QVector>

#include <algorithm>
#include <cmath>

namespace {

// Far beyond any canvas: a larger radius touches the same items.
const double kMaxRadius = 1.0e6;
// Outlines, lines and mouse strokes are painted with a one-pixel pen.
const double kThinHalfWidth = 0.5;

double pointToSegment(const QPointF &p, const QLineF &s)
{
    const QPointF d = s.p2() - s.p1();
    const double length2 = QPointF::dotProduct(d, d);
    double t = length2 > 0.0 ? QPointF::dotProduct(p - s.p1(), d) / length2 : 0.0;
    t = std::clamp(t, 0.0, 1.0);
    const QPointF nearest = s.p1() + d * t;
    return std::hypot(p.x() - nearest.x(), p.y() - nearest.y());
}

double segmentToSegment(const QLineF &a, const QLineF &b)
{
    if (a.intersects(b, nullptr) == QLineF::BoundedIntersection)
        return 0.0;
    return std::min({pointToSegment(a.p1(), b), pointToSegment(a.p2(), b), pointToSegment(b.p1(), a),
                     pointToSegment(b.p2(), a)});
}

// A polyline with one half width for all of it.
bool nearPolyline(const QVector<QPointF> &points, const QLineF &path, double reach)
{
    for (int i = 1; i < points.size(); ++i) {
        if (segmentToSegment(QLineF(points[i - 1], points[i]), path) <= reach)
            return true;
    }
    return false;
}

QVector<QPointF> toPointsF(const QVector<QPoint> &points)
{
    QVector<QPointF> result;
    result.reserve(points.size());
    for (const QPoint &point : points)
        result.append(point);
    return result;
}

QVector<QPointF> boxOutline(const QRectF &box)
{
    return {box.topLeft(), box.topRight(), box.bottomRight(), box.bottomLeft(), box.topLeft()};
}

bool nearFilledRect(const QRectF &rect, const QLineF &path, double reach)
{
    if (rect.contains(path.p1()) || rect.contains(path.p2()))
        return true;
    return nearPolyline(boxOutline(rect), path, reach);
}

bool nearPressureStroke(const QVector<PressurePoint> &samples, const QLineF &path, double radius, double scale)
{
    // Each segment is as wide as the pressure of its far sample.
    for (int i = 1; i < samples.size(); ++i) {
        const QLineF segment(samples[i - 1].x, samples[i - 1].y, samples[i].x, samples[i].y);
        const double half = KPWhiteBoardItemObject::pressurePenWidth(samples[i].pressure, scale) / 2.0;
        if (segmentToSegment(segment, path) <= radius + half)
            return true;
    }
    return false;
}

double highlighterHalfWidth(double scale)
{
    // Qt paints a pen of width 0 one pixel wide.
    const int width = static_cast<int>(scale * 10.0);
    return width > 0 ? width / 2.0 : kThinHalfWidth;
}

QRectF textBox(const KPWhiteBoardItemObject &item)
{
    const KPTextItemData *text = item.textItemData();
    return text && text->source() ? QRectF(text->source()->textRect()) : QRectF();
}

} // namespace

double KPEraser::radius(quint32 size, double scale)
{
    return std::clamp(size * scale / 2.0, 1.0, kMaxRadius);
}

bool KPEraser::touches(const KPWhiteBoardItemObject &item, const QLineF &path, double radius, double scale)
{
    if (!item.visible() || !item.initialized())
        return false;
    const QPointF start(item.startPoint());
    const QPointF end(item.endPoint());
    const double thin = radius + kThinHalfWidth;
    switch (item.itemProperty.type) {
    case KPWB::DRAW_ITEM_TYPE_RECT:
        return nearPolyline(boxOutline(KPWhiteBoardItemObject::normalizedBox(start, end)), path, thin);
    case KPWB::DRAW_ITEM_TYPE_POINT:
        return pointToSegment(start, path) <= radius + item.itemProperty.size * 0.5;
    case KPWB::DRAW_ITEM_TYPE_ARROW:
        for (const QLineF &line : KPWhiteBoardItemObject::arrowLines(QLineF(start, end))) {
            if (segmentToSegment(line, path) <= thin)
                return true;
        }
        return false;
    case KPWB::DRAW_ITEM_TYPE_LINE:
        return segmentToSegment(QLineF(start, end), path) <= thin;
    case KPWB::DRAW_ITEM_TYPE_ELLIPSE: {
        QPainterPath ellipse;
        ellipse.addEllipse(KPWhiteBoardItemObject::normalizedBox(start, end));
        for (const QPolygonF &outline : ellipse.toSubpathPolygons()) {
            if (nearPolyline(outline, path, thin))
                return true;
        }
        return false;
    }
    case KPWB::DRAW_ITEM_TYPE_PEN:
        if (!item.pressurePoints().isEmpty())
            return nearPressureStroke(item.pressurePoints(), path, radius, scale);
        return nearPolyline(toPointsF(item.points()), path, thin);
    case KPWB::Draw_ITEM_TYPE_PEN_ALPHA:
        return nearPolyline(toPointsF(item.points()), path, radius + highlighterHalfWidth(scale));
    case KPWB::DRAW_ITEM_TYPE_TEXT: {
        const QRectF box = textBox(item);
        return !box.isEmpty() && nearFilledRect(box, path, radius);
    }
    default:
        return false;
    }
}

// A loose box around everything the item can paint: a path farther than the
// radius from it touches nothing, whatever the kind. Strokes use only their
// points: their start and end points are not painted.
QRectF KPEraser::boundsOf(const KPWhiteBoardItemObject &item, double scale)
{
    auto found = m_bounds.constFind(&item);
    if (found != m_bounds.constEnd())
        return found.value();
    QPolygonF corners;
    double reach = std::max(double(item.itemProperty.size) * 0.5, 12.0);
    const int type = item.itemProperty.type;
    if (type == KPWB::DRAW_ITEM_TYPE_PEN || type == KPWB::Draw_ITEM_TYPE_PEN_ALPHA) {
        for (const QPoint &point : item.points())
            corners.append(point);
        for (const PressurePoint &sample : item.pressurePoints()) {
            corners.append(QPointF(sample.x, sample.y));
            reach = std::max(reach, KPWhiteBoardItemObject::pressurePenWidth(sample.pressure, scale) / 2.0);
        }
        reach = std::max(reach, highlighterHalfWidth(scale));
    } else if (type == KPWB::DRAW_ITEM_TYPE_TEXT) {
        const QRectF box = textBox(item);
        corners << box.topLeft() << box.bottomRight();
    } else {
        corners << QPointF(item.startPoint()) << QPointF(item.endPoint());
    }
    const double pad = std::min(reach, kMaxRadius) + 1.0;
    const QRectF bounds = corners.boundingRect().adjusted(-pad, -pad, pad, pad);
    m_bounds.insert(&item, bounds);
    return bounds;
}

QList<QSharedPointer<KPWhiteBoardItemObject>> KPEraser::eraseAlong(
    const QLineF &segment, const QList<QSharedPointer<KPWhiteBoardItemObject>> &items, double radius, double scale)
{
    QList<QSharedPointer<KPWhiteBoardItemObject>> touched;
    const QRectF reach = QRectF(segment.p1(), segment.p2()).normalized().adjusted(-radius, -radius, radius, radius);
    for (const auto &item : items) {
        if (!item || !item->visible() || !boundsOf(*item, scale).intersects(reach))
            continue;
        if (touches(*item, segment, radius, scale))
            touched.append(item);
    }
    m_erased.append(touched);
    return touched;
}

QList<QSharedPointer<KPWhiteBoardItemObject>> KPEraser::press(
    const QPointF &point, const QList<QSharedPointer<KPWhiteBoardItemObject>> &items, double radius, double scale)
{
    m_dragging = true;
    m_erased.clear();
    m_bounds.clear();
    m_last = point;
    return eraseAlong(QLineF(point, point), items, radius, scale);
}

QList<QSharedPointer<KPWhiteBoardItemObject>> KPEraser::moveTo(
    const QPointF &point, const QList<QSharedPointer<KPWhiteBoardItemObject>> &items, double radius, double scale)
{
    if (!m_dragging)
        return {};
    const QLineF segment(m_last, point);
    m_last = point;
    return eraseAlong(segment, items, radius, scale);
}

QList<QSharedPointer<KPWhiteBoardItemObject>> KPEraser::finish()
{
    m_dragging = false;
    m_bounds.clear();
    QList<QSharedPointer<KPWhiteBoardItemObject>> erased;
    erased.swap(m_erased);
    return erased;
}
