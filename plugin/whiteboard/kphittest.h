#pragma once

#include <QLineF>
#include <QPointF>
#include <QRectF>
#include <QVector>

// Distances between what an item paints and an eraser's path, so that the
// eraser finds what it touches without rendering anything.
class KPHitTest
{
public:
    static double pointToSegment(const QPointF &point, const QLineF &segment);
    static double segmentToSegment(const QLineF &a, const QLineF &b);
    // A polyline with one reach (radius plus half the pen width) for all of it.
    static bool nearPolyline(const QVector<QPointF> &points, const QLineF &path, double reach);
    static bool nearFilledRect(const QRectF &rect, const QLineF &path, double reach);
    static QVector<QPointF> boxOutline(const QRectF &box);
};
