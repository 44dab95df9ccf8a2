#include "kpspotlighttool.h"

#include "kptextdata.h"
#include "kptoolboard.h"
#include "kpwhiteboarditemobject.h"


bool KPSpotlightTool::press(KPWhiteBoardItemObject &item, const obs_mouse_event &event, int button)
{
    if (button == MOUSE_LEFT)
        moveTo(item, event);
    return false;
}

bool KPSpotlightTool::move(KPWhiteBoardItemObject &item, const obs_mouse_event &event, bool leave)
{
    if (leave)
        end();
    else
        moveTo(item, event);
    return false;
}

void KPSpotlightTool::moveTo(const KPWhiteBoardItemObject &item, const obs_mouse_event &event)
{
    const bool shown = m_spotlight.visible();
    m_spotlight.moveTo(QPointF(KPTextItemData::eventPoint(&event)),
                       KPSpotlight::radiusFor(item.itemProperty.spotlightRadius, m_board->itemScale()));
    if (shown)
        m_board->requestCompose();
    else
        m_board->requestFullFrame();
}

void KPSpotlightTool::end()
{
    if (m_spotlight.hide())
        m_board->requestFullFrame();
}

QRect KPSpotlightTool::overlayBounds(const QSize &canvas) const
{
    return m_spotlight.visible() ? m_spotlight.bounds() & QRect(QPoint(0, 0), canvas) : QRect();
}

void KPSpotlightTool::paintOverlay(QPainter *painter, const QSize &canvas)
{
    m_spotlight.paint(painter, QRect(QPoint(0, 0), canvas));
}
