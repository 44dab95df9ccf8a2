#pragma once

#include <QColor>
#include <QLineF>
#include <QRectF>

class KPWhiteBoardItemObject;
class QPainter;
struct PressurePoint;

// The rules of the stroke kinds: the pen from the mouse (a polyline of the
// line width), the highlighter (a translucent polyline whose width follows the
// stroke scale, or a larger line width) and the pen from a tablet (segments
// whose widths follow the pressure of their far samples, times the line width).
class KPItemStrokes
{
public:
    // The highlighter's width before the stroke scale.
    static constexpr double kHighlighterWidth = 10.0;

    static void paint(const KPWhiteBoardItemObject &item, QPainter *painter);
    static bool meets(const KPWhiteBoardItemObject &item, const QLineF &path, double radius);
    // The widest reach of the tablet samples' pens beyond their centre lines.
    static double pressureReach(const KPWhiteBoardItemObject &item);
    // One tablet segment ending at a sample, as drawn live and repainted;
    // returns the rectangle it can touch.
    static QRectF paintPressureSegment(QPainter *painter, const QPointF &from, const PressurePoint &to,
                                       const QColor &color, double scale, double lineWidth);
};
