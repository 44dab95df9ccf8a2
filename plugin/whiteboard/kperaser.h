#pragma once

#include <QHash>
#include <QLineF>
#include <QList>
#include <QPointF>
#include <QRectF>
#include <QSharedPointer>

class KPWhiteBoardItemObject;

// The eraser's drag: which finished items the pointer's path touches. An item
// is touched when its painted pixels come within the eraser's radius of the
// path; the test works on each item's painted geometry (outline, dot, arrow
// lines, stroke centre lines with their widths, a text box's text rectangle),
// so nothing is rendered to find out.
class KPEraser
{
public:
    // Half the tool size times the stroke scale, at least one pixel, and
    // bounded so that absurd sizes stay finite.
    static double radius(quint32 size, double scale);
    // True when the item paints something within radius of the segment.
    static bool touches(const KPWhiteBoardItemObject &item, const QLineF &segment, double radius, double scale);

    bool dragging() const { return m_dragging; }
    // Starts a drag at a point; the items touched there are returned.
    QList<QSharedPointer<KPWhiteBoardItemObject>> press(const QPointF &point,
                                                        const QList<QSharedPointer<KPWhiteBoardItemObject>> &items,
                                                        double radius, double scale);
    // Extends the path to a point; returns the items it newly touched.
    QList<QSharedPointer<KPWhiteBoardItemObject>> moveTo(const QPointF &point,
                                                         const QList<QSharedPointer<KPWhiteBoardItemObject>> &items,
                                                         double radius, double scale);
    // Ends the drag and hands over every item it erased, in the order touched.
    QList<QSharedPointer<KPWhiteBoardItemObject>> finish();

private:
    QList<QSharedPointer<KPWhiteBoardItemObject>> eraseAlong(const QLineF &segment,
                                                             const QList<QSharedPointer<KPWhiteBoardItemObject>> &items,
                                                             double radius, double scale);
    QRectF boundsOf(const KPWhiteBoardItemObject &item, double scale);

    bool m_dragging = false;
    QPointF m_last;
    QList<QSharedPointer<KPWhiteBoardItemObject>> m_erased;
    // Finished items do not change during a drag: their bounds are found once.
    QHash<const KPWhiteBoardItemObject *, QRectF> m_bounds;
};
