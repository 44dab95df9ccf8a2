#include "kpitemshapes.h"

#include "kphittest.h"
#include "kputilinterface.h"
#include "kpwhiteboarditemobject.h"

#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

namespace {

const int kDotAlpha = 0x88;

} // namespace

QPoint KPItemShapes::constrainedEnd(int type, const QPoint &start, const QPoint &end)
{
    switch (type) {
    case KPWB::DRAW_ITEM_TYPE_RECT:
    case KPWB::DRAW_ITEM_TYPE_ELLIPSE:
        return KPWhiteBoardItemObject::squareEnd(start, end);
    case KPWB::DRAW_ITEM_TYPE_LINE:
    case KPWB::DRAW_ITEM_TYPE_ARROW:
        return KPWhiteBoardItemObject::straightEnd(start, end);
    default:
        return end;
    }
}

void KPItemShapes::paint(const KPWhiteBoardItemObject &item, QPainter *painter, const QPoint &end)
{
    const QPoint start = item.startPoint();
    switch (item.itemProperty.type) {
    case KPWB::DRAW_ITEM_TYPE_RECT: {
        const QRectF box = KPWhiteBoardItemObject::normalizedBox(start, end);
        painter->drawRects(&box, 1);
        break;
    }
    case KPWB::DRAW_ITEM_TYPE_POINT: {
        QColor dot = KPUtilInterface::toQColor(item.itemProperty.color);
        dot.setAlpha(kDotAlpha);
        painter->setPen(QPen(dot));
        painter->setBrush(QBrush(dot, Qt::SolidPattern));
        const double radius = item.itemProperty.size * 0.5;
        const QPointF centre(start);
        painter->drawEllipse(KPWhiteBoardItemObject::normalizedBox(centre - QPointF(radius, radius),
                                                                   centre + QPointF(radius, radius)));
        break;
    }
    case KPWB::DRAW_ITEM_TYPE_ARROW:
        for (const QLineF &line : KPWhiteBoardItemObject::arrowLines(QLineF(QPointF(start), QPointF(end)),
                                                                                  item.itemProperty.lineWidth))
            painter->drawLines(&line, 1);
        break;
    case KPWB::DRAW_ITEM_TYPE_LINE: {
        const QLine line(start, end);
        painter->drawLines(&line, 1);
        break;
    }
    case KPWB::DRAW_ITEM_TYPE_ELLIPSE:
        painter->drawEllipse(KPWhiteBoardItemObject::normalizedBox(start, end));
        break;
    default:
        break;
    }
}

bool KPItemShapes::meets(const KPWhiteBoardItemObject &item, const QLineF &path, double radius)
{
    const QPointF start(item.startPoint());
    const QPointF end(item.endPoint());
    const double thin = radius + item.lineHalfWidth();
    switch (item.itemProperty.type) {
    case KPWB::DRAW_ITEM_TYPE_RECT:
        return KPHitTest::nearPolyline(KPHitTest::boxOutline(KPWhiteBoardItemObject::normalizedBox(start, end)),
                                       path, thin);
    case KPWB::DRAW_ITEM_TYPE_POINT:
        return KPHitTest::pointToSegment(start, path) <= radius + item.itemProperty.size * 0.5;
    case KPWB::DRAW_ITEM_TYPE_ARROW:
        for (const QLineF &line : KPWhiteBoardItemObject::arrowLines(QLineF(start, end), item.itemProperty.lineWidth)) {
            if (KPHitTest::segmentToSegment(line, path) <= thin)
                return true;
        }
        return false;
    case KPWB::DRAW_ITEM_TYPE_LINE:
        return KPHitTest::segmentToSegment(QLineF(start, end), path) <= thin;
    case KPWB::DRAW_ITEM_TYPE_ELLIPSE: {
        QPainterPath ellipse;
        ellipse.addEllipse(KPWhiteBoardItemObject::normalizedBox(start, end));
        for (const QPolygonF &outline : ellipse.toSubpathPolygons()) {
            if (KPHitTest::nearPolyline(outline, path, thin))
                return true;
        }
        return false;
    }
    default:
        return false;
    }
}
