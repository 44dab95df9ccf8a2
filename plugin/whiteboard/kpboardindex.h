#pragma once

#include <QHash>
#include <QRect>
#include <QRegion>
#include <QVector>

// Where a board's visible finished items paint: a uniform grid of square
// cells, each listing the items whose bounds meet it, so that the items under
// a rectangle are found without walking the whole history. Items are known by
// their place in the board's list, which is also their painting order.
// Items that cover most of the canvas (text boxes) are kept in one list that
// every query returns, instead of in every cell.
class KPBoardIndex
{
public:
    static constexpr int kCellSide = 256;

    // Forgets every item and lays the cells over a canvas of this size.
    void reset(const QSize &canvas);
    // An item with empty bounds is known but meets nothing.
    void insert(int order, const QRect &bounds);
    void remove(int order);
    bool contains(int order) const { return m_bounds.contains(order); }
    QRect bounds(int order) const { return m_bounds.value(order); }
    int count() const { return m_bounds.size(); }
    // Every item known, in painting order.
    QVector<int> orders() const;
    // The items whose bounds meet the region, in painting order.
    QVector<int> itemsMeeting(const QRegion &region) const;
    QSize canvas() const { return m_canvas; }
    // Bytes the cells and the bounds take.
    qint64 memoryBytes() const;

private:
    struct Entry
    {
        int order;
        QRect bounds;
    };
    QRect cellsMeeting(const QRect &rect) const;
    bool isLarge(const QRect &cells) const;
    static void eraseOrder(QVector<Entry> *entries, int order);

    QSize m_canvas;
    int m_columns = 0;
    int m_rows = 0;
    QVector<QVector<Entry>> m_cells;
    QVector<Entry> m_large;
    QHash<int, QRect> m_bounds;
};
