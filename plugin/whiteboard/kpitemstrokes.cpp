#include "kpitemstrokes.h"

#include "kphittest.h"
#include "kputilinterface.h"
#include "kpwhiteboarditemobject.h"

#include <QPainter>

namespace {

const int kHighlighterAlpha = 128;
// A one-pixel pen covers half a pixel on each side of its line.
const double kThinHalfWidth = 0.5;

// Strokes up to this many points are stroked as one polyline. Qt's stroker
// and rasterizer slow down far more than linearly with the length of one
// path, so longer strokes are stroked in pieces of this size, each starting
// where the last ended.
const int kStrokePiece = 2048;

void drawPolyline(QPainter *painter, const QVector<QPoint> &points)
{
    for (int first = 0; first < points.size() - 1; first += kStrokePiece)
        painter->drawPolyline(points.constData() + first, qMin(kStrokePiece + 1, points.size() - first));
}

QRect strokeBounds(const QVector<QPoint> &points, int penWidth)
{
    QRect bounds;
    for (const QPoint &point : points)
        bounds |= QRect(point, QSize(1, 1));
    const int margin = penWidth + 2;
    return bounds.adjusted(-margin, -margin, margin, margin);
}

// A line width beyond the highlighter's own widens it.
int highlighterWidth(double scale, quint32 lineWidth)
{
    const int own = static_cast<int>(scale * KPItemStrokes::kHighlighterWidth);
    return lineWidth > 1 && int(lineWidth) > own ? int(lineWidth) : own;
}

// Qt paints a pen of width 0 one pixel wide.
double highlighterHalfWidth(double scale, quint32 lineWidth)
{
    const int width = highlighterWidth(scale, lineWidth);
    return width > 0 ? width / 2.0 : kThinHalfWidth;
}

void paintHighlighter(const KPWhiteBoardItemObject &item, QPainter *painter)
{
    const QVector<QPoint> &points = item.points();
    QColor color = KPUtilInterface::toQColor(item.itemProperty.color);
    color.setAlpha(kHighlighterAlpha);
    QPen pen(color);
    pen.setWidth(highlighterWidth(item.scale(), item.itemProperty.lineWidth));
    if (points.size() <= kStrokePiece) {
        painter->setPen(pen);
        drawPolyline(painter, points);
        return;
    }
    // Pieces of a translucent stroke would darken where they overlap: they
    // are stroked opaque into a layer, which is then laid on at the alpha.
    const QRect bounds = strokeBounds(points, pen.width())
                             .intersected(QRect(0, 0, painter->device()->width(), painter->device()->height()));
    if (bounds.isEmpty())
        return;
    QImage layer(bounds.size(), QImage::Format_ARGB32_Premultiplied);
    layer.fill(Qt::transparent);
    {
        QPainter layerPainter(&layer);
        layerPainter.setRenderHints(painter->renderHints());
        layerPainter.translate(-bounds.topLeft());
        color.setAlpha(255);
        pen.setColor(color);
        layerPainter.setPen(pen);
        drawPolyline(&layerPainter, points);
    }
    painter->save();
    painter->setOpacity(kHighlighterAlpha / 255.0);
    painter->drawImage(bounds.topLeft(), layer);
    painter->restore();
}

// Each segment takes its width from its far sample, as when drawn live, so
// the repaint matches the live stroke exactly.
void paintPressure(const KPWhiteBoardItemObject &item, QPainter *painter)
{
    const QVector<PressurePoint> &samples = item.pressurePoints();
    const QColor color = KPUtilInterface::toQColor(item.itemProperty.color);
    const double scale = item.scale();
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    QPointF from(samples.first().x, samples.first().y);
    for (int i = 1; i < samples.size(); ++i) {
        KPItemStrokes::paintPressureSegment(painter, from, samples.at(i), color, scale, item.itemProperty.lineWidth);
        from = QPointF(samples.at(i).x, samples.at(i).y);
    }
    painter->restore();
}

QVector<QPointF> toPointsF(const QVector<QPoint> &points)
{
    QVector<QPointF> result;
    result.reserve(points.size());
    for (const QPoint &point : points)
        result.append(point);
    return result;
}

bool nearPressureStroke(const QVector<PressurePoint> &samples, const QLineF &path, double radius, double scale,
                        double lineWidth)
{
    for (int i = 1; i < samples.size(); ++i) {
        const QLineF segment(samples[i - 1].x, samples[i - 1].y, samples[i].x, samples[i].y);
        const double half = KPWhiteBoardItemObject::pressurePenWidth(samples[i].pressure, scale, lineWidth) / 2.0;
        if (KPHitTest::segmentToSegment(segment, path) <= radius + half)
            return true;
    }
    return false;
}

} // namespace

void KPItemStrokes::paint(const KPWhiteBoardItemObject &item, QPainter *painter)
{
    if (item.itemProperty.type == KPWB::Draw_ITEM_TYPE_PEN_ALPHA) {
        paintHighlighter(item, painter);
    } else if (item.pressurePoints().isEmpty()) {
        drawPolyline(painter, item.points());
    } else if (item.pressurePoints().size() > 1) {
        paintPressure(item, painter);
    }
}

bool KPItemStrokes::meets(const KPWhiteBoardItemObject &item, const QLineF &path, double radius)
{
    if (item.itemProperty.type == KPWB::Draw_ITEM_TYPE_PEN_ALPHA)
        return KPHitTest::nearPolyline(toPointsF(item.points()), path,
                                       radius + highlighterHalfWidth(item.scale(), item.itemProperty.lineWidth));
    if (!item.pressurePoints().isEmpty())
        return nearPressureStroke(item.pressurePoints(), path, radius, item.scale(), item.itemProperty.lineWidth);
    return KPHitTest::nearPolyline(toPointsF(item.points()), path, radius + item.lineHalfWidth());
}

double KPItemStrokes::pressureReach(const KPWhiteBoardItemObject &item)
{
    double widest = 0.0;
    for (const PressurePoint &sample : item.pressurePoints())
        widest = qMax(widest, KPWhiteBoardItemObject::pressurePenWidth(sample.pressure, item.scale(), item.itemProperty.lineWidth));
    return widest / 2.0;
}

QRectF KPItemStrokes::paintPressureSegment(QPainter *painter, const QPointF &from, const PressurePoint &to,
                                           const QColor &color, double scale, double lineWidth)
{
    const QPointF position(to.x, to.y);
    QColor opaque = color;
    opaque.setAlpha(255);
    QPen pen(QBrush(opaque, Qt::SolidPattern), KPWhiteBoardItemObject::pressurePenWidth(to.pressure, scale, lineWidth),
             Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    painter->setPen(pen);
    painter->drawLine(QLineF(from, position));
    const double reach = pen.widthF() / 2.0 + 2.0;
    return KPWhiteBoardItemObject::normalizedBox(from, position).adjusted(-reach, -reach, reach, reach);
}
