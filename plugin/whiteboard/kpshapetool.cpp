#include "kpshapetool.h"

#include "kpitemshapes.h"
#include "kptextdata.h"
#include "kpwhiteboarditemobject.h"

bool KPShapeTool::press(KPWhiteBoardItemObject &item, const obs_mouse_event &event, int button)
{
    item.setDrawing(button == MOUSE_LEFT);
    if (button != MOUSE_LEFT)
        return false;
    // A left press starts the item afresh: movement of an earlier, abandoned
    // drag does not count for this one.
    m_moved = false;
    const QPoint position = KPTextItemData::eventPoint(&event);
    item.setStartPoint(position);
    item.setEndPoint(position);
    item.setConstrained(*m_shiftHeld);
    return item.itemProperty.type == KPWB::DRAW_ITEM_TYPE_POINT;
}

bool KPShapeTool::move(KPWhiteBoardItemObject &item, const obs_mouse_event &event, bool)
{
    if (!item.leftClicked())
        return false;
    m_moved = true;
    item.setEndPoint(KPTextItemData::eventPoint(&event));
    return false;
}

bool KPShapeTool::release(KPWhiteBoardItemObject &item, const obs_mouse_event &event, int)
{
    if (!item.leftClicked())
        return false;
    item.setDrawing(false);
    item.setConstrained(false);
    if (!m_moved)
        return false;
    const QPoint position = KPTextItemData::eventPoint(&event);
    item.setEndPoint(*m_shiftHeld ? KPItemShapes::constrainedEnd(item.itemProperty.type, item.startPoint(), position)
                                  : position);
    return true;
}

void KPShapeTool::shiftChanged(KPWhiteBoardItemObject &item, bool held)
{
    item.setConstrained(held && item.leftClicked());
}
