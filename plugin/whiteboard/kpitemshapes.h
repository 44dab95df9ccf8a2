#pragma once

#include <QLineF>
#include <QPoint>

class KPWhiteBoardItemObject;
class QPainter;

// The rules of the shape kinds: rectangle, dot, arrow, line and ellipse, all
// given by a start and an end point. Outlines and lines are as wide as the
// item's line width; the dot is a filled circle of the tool size.
class KPItemShapes
{
public:
    // At width 1 the arrow head reaches this far back from the tip (less on a short shaft).
    static constexpr double kArrowHeadLength = 12.0;

    // Shift squares boxes (rectangle, ellipse) and straightens lines (line, arrow).
    static QPoint constrainedEnd(int type, const QPoint &start, const QPoint &end);
    static void paint(const KPWhiteBoardItemObject &item, QPainter *painter, const QPoint &end);
    static bool meets(const KPWhiteBoardItemObject &item, const QLineF &path, double radius);
};
