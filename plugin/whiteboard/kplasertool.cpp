#include "kplasertool.h"

#include "kptextdata.h"
#include "kptoolboard.h"
#include "kputilinterface.h"
#include "kpwhiteboarditemobject.h"

bool KPLaserTool::press(KPWhiteBoardItemObject &item, const obs_mouse_event &event, int button)
{
    if (button != MOUSE_LEFT)
        return false;
    m_trail.press(QPointF(KPTextItemData::eventPoint(&event)), KPUtilInterface::toQColor(item.itemProperty.color),
                  KPLaserTrail::penWidth(item.itemProperty.laserWidth, m_board->itemScale()));
    m_board->requestCompose();
    return false;
}

bool KPLaserTool::move(KPWhiteBoardItemObject &, const obs_mouse_event &event, bool leave)
{
    if (leave)
        return false;
    m_trail.moveTo(QPointF(KPTextItemData::eventPoint(&event)));
    m_board->requestCompose();
    return false;
}

bool KPLaserTool::release(KPWhiteBoardItemObject &, const obs_mouse_event &event, int button)
{
    if (button != MOUSE_LEFT)
        return false;
    m_trail.moveTo(QPointF(KPTextItemData::eventPoint(&event)));
    m_trail.release();
    m_board->requestCompose();
    return false;
}

void KPLaserTool::advance(double seconds)
{
    if (!m_trail.visible())
        return;
    m_trail.advance(seconds);
    m_board->requestCompose();
}

void KPLaserTool::clear()
{
    if (m_trail.visible())
        m_board->requestCompose();
    m_trail.clear();
}

QRect KPLaserTool::overlayBounds(const QSize &) const
{
    return m_trail.visible() ? m_trail.bounds() : QRect();
}

void KPLaserTool::paintOverlay(QPainter *painter, const QSize &)
{
    m_trail.paint(painter);
}
