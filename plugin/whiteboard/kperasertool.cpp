#include "kperasertool.h"

#include "kptextdata.h"
#include "kptoolboard.h"
#include "kpwhiteboarditemobject.h"

#include <algorithm>

namespace {

// Far beyond any canvas: a larger radius touches the same items.
const double kMaxRadius = 1.0e6;

} // namespace

double KPEraserTool::radius(quint32 size, double scale)
{
    return std::clamp(size * scale / 2.0, 1.0, kMaxRadius);
}

bool KPEraserTool::press(KPWhiteBoardItemObject &item, const obs_mouse_event &event, int button)
{
    if (button != MOUSE_LEFT || m_board->handwritingHidden())
        return false;
    const QPointF point(KPTextItemData::eventPoint(&event));
    m_dragging = true;
    m_erased.clear();
    m_bounds.clear();
    m_last = point;
    eraseAlong(QLineF(point, point), radius(item.itemProperty.size, m_board->itemScale()));
    return false;
}

bool KPEraserTool::move(KPWhiteBoardItemObject &item, const obs_mouse_event &event, bool leave)
{
    if (!m_dragging || leave || m_board->handwritingHidden())
        return false;
    const QPointF point(KPTextItemData::eventPoint(&event));
    const QLineF segment(m_last, point);
    m_last = point;
    eraseAlong(segment, radius(item.itemProperty.size, m_board->itemScale()));
    return false;
}

bool KPEraserTool::release(KPWhiteBoardItemObject &, const obs_mouse_event &, int button)
{
    if (button == MOUSE_LEFT)
        end();
    return false;
}

void KPEraserTool::end()
{
    if (!m_dragging)
        return;
    m_dragging = false;
    m_bounds.clear();
    QList<QSharedPointer<KPWhiteBoardItemObject>> erased;
    erased.swap(m_erased);
    if (!erased.isEmpty())
        m_board->fileErase(erased);
}

// A loose box around everything the item can paint: a path farther than the
// radius from it touches nothing.
QRectF KPEraserTool::boundsOf(const KPWhiteBoardItemObject &item)
{
    auto found = m_bounds.constFind(&item);
    if (found != m_bounds.constEnd())
        return found.value();
    const QRectF bounds = item.paintBounds();
    m_bounds.insert(&item, bounds);
    return bounds;
}

void KPEraserTool::eraseAlong(const QLineF &segment, double radius)
{
    QList<QSharedPointer<KPWhiteBoardItemObject>> touched;
    const QRectF reach = QRectF(segment.p1(), segment.p2()).normalized().adjusted(-radius, -radius, radius, radius);
    for (const auto &item : m_board->finishedItems()) {
        if (!item || !item->visible() || !boundsOf(*item).intersects(reach))
            continue;
        if (item->meets(segment, radius))
            touched.append(item);
    }
    if (touched.isEmpty())
        return;
    m_erased.append(touched);
    m_board->hideItems(touched);
}
