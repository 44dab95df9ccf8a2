#include "kpboardindex.h"

#include <QRegion>

#include <algorithm>

void KPBoardIndex::reset(const QSize &canvas)
{
    m_canvas = canvas;
    m_columns = qMax(1, (canvas.width() + kCellSide - 1) / kCellSide);
    m_rows = qMax(1, (canvas.height() + kCellSide - 1) / kCellSide);
    m_cells = QVector<QVector<Entry>>(m_columns * m_rows);
    m_large.clear();
    m_bounds.clear();
}

// Column and row ranges of the cells a rectangle meets; empty when it misses the canvas.
QRect KPBoardIndex::cellsMeeting(const QRect &rect) const
{
    const QRect clipped = rect & QRect(QPoint(0, 0), m_canvas);
    if (clipped.isEmpty())
        return QRect();
    return QRect(QPoint(clipped.left() / kCellSide, clipped.top() / kCellSide),
                 QPoint(clipped.right() / kCellSide, clipped.bottom() / kCellSide));
}

// Listed in a quarter of the cells or more, an item is cheaper to test on its own.
bool KPBoardIndex::isLarge(const QRect &cells) const
{
    return cells.width() * cells.height() * 4 >= m_columns * m_rows && cells.width() * cells.height() > 4;
}

void KPBoardIndex::insert(int order, const QRect &bounds)
{
    if (m_bounds.contains(order))
        remove(order);
    m_bounds.insert(order, bounds);
    const QRect cells = cellsMeeting(bounds);
    if (cells.isEmpty())
        return;
    if (isLarge(cells)) {
        m_large.append({order, bounds});
        return;
    }
    for (int row = cells.top(); row <= cells.bottom(); ++row) {
        for (int column = cells.left(); column <= cells.right(); ++column)
            m_cells[row * m_columns + column].append({order, bounds});
    }
}

// Undo takes back the newest items first: they sit at the end of the lists.
void KPBoardIndex::eraseOrder(QVector<Entry> *entries, int order)
{
    for (int i = entries->size() - 1; i >= 0; --i) {
        if (entries->at(i).order == order) {
            entries->remove(i);
            return;
        }
    }
}

void KPBoardIndex::remove(int order)
{
    const auto found = m_bounds.find(order);
    if (found == m_bounds.end())
        return;
    const QRect cells = cellsMeeting(found.value());
    m_bounds.erase(found);
    if (cells.isEmpty())
        return;
    if (isLarge(cells)) {
        eraseOrder(&m_large, order);
        return;
    }
    for (int row = cells.top(); row <= cells.bottom(); ++row) {
        for (int column = cells.left(); column <= cells.right(); ++column)
            eraseOrder(&m_cells[row * m_columns + column], order);
    }
}

QVector<int> KPBoardIndex::orders() const
{
    QVector<int> result;
    result.reserve(m_bounds.size());
    for (auto it = m_bounds.cbegin(); it != m_bounds.cend(); ++it)
        result.append(it.key());
    std::sort(result.begin(), result.end());
    return result;
}

QVector<int> KPBoardIndex::itemsMeeting(const QRegion &region) const
{
    QVector<int> result;
    const auto collect = [&](const QVector<Entry> &entries, const QRect &rect) {
        for (const Entry &entry : entries) {
            if (entry.bounds.intersects(rect))
                result.append(entry.order);
        }
    };
    for (const QRect &rect : region) {
        collect(m_large, rect);
        const QRect cells = cellsMeeting(rect);
        if (cells.isEmpty())
            continue;
        for (int row = cells.top(); row <= cells.bottom(); ++row) {
            for (int column = cells.left(); column <= cells.right(); ++column)
                collect(m_cells.at(row * m_columns + column), rect);
        }
    }
    std::sort(result.begin(), result.end());
    result.erase(std::unique(result.begin(), result.end()), result.end());
    return result;
}

qint64 KPBoardIndex::memoryBytes() const
{
    qint64 bytes = qint64(m_large.capacity()) * qint64(sizeof(Entry));
    for (const auto &cell : m_cells)
        bytes += qint64(sizeof(cell)) + qint64(cell.capacity()) * qint64(sizeof(Entry));
    // A hash node holds the key, the rectangle and the link; the table a pointer each.
    bytes += qint64(m_bounds.size()) * qint64(sizeof(void *) * 2 + sizeof(int) + sizeof(QRect));
    bytes += qint64(m_bounds.capacity()) * qint64(sizeof(void *));
    return bytes;
}
