#include "kpstroketool.h"

#include "kpitemstrokes.h"
#include "kptextdata.h"
#include "kptoolboard.h"
#include "kputilinterface.h"
#include "kpwhiteboarditemobject.h"

#include <QPainter>
#include <QTabletEvent>

bool KPStrokeTool::press(KPWhiteBoardItemObject &item, const obs_mouse_event &event, int button)
{
    item.setDrawing(button == MOUSE_LEFT);
    if (button != MOUSE_LEFT)
        return false;
    m_moved = false;
    item.clearPoints();
    item.appendPoint(KPTextItemData::eventPoint(&event));
    return false;
}

bool KPStrokeTool::move(KPWhiteBoardItemObject &item, const obs_mouse_event &event, bool)
{
    if (!item.leftClicked())
        return false;
    m_moved = true;
    if (item.pressurePoints().isEmpty())
        item.appendPoint(KPTextItemData::eventPoint(&event));
    return false;
}

bool KPStrokeTool::release(KPWhiteBoardItemObject &item, const obs_mouse_event &event, int)
{
    if (!item.leftClicked())
        return false;
    item.setDrawing(false);
    if (!m_moved)
        return false;
    item.appendPoint(KPTextItemData::eventPoint(&event));
    return true;
}

bool KPStrokeTool::tablet(KPWhiteBoardItemObject &item, QTabletEvent *event)
{
    if (!event || item.itemProperty.type != KPWB::DRAW_ITEM_TYPE_PEN)
        return false;
    const PressurePoint sample{event->posF().x(), event->posF().y(), event->pressure()};
    switch (event->type()) {
    case QEvent::TabletPress:
        if (m_tabletPressed)
            return false;
        m_tabletPressed = true;
        item.appendPressurePoint(sample);
        m_lastSample = event->posF();
        return false;
    case QEvent::TabletMove:
        if (!m_tabletPressed)
            return false;
        item.appendPressurePoint(sample);
        drawSegment(item, event->posF());
        return false;
    case QEvent::TabletRelease:
        // A barrel button still held keeps the stroke going.
        if (!m_tabletPressed || event->buttons() != Qt::NoButton)
            return false;
        return true;
    default:
        return false;
    }
}

void KPStrokeTool::drawSegment(KPWhiteBoardItemObject &item, const QPointF &to)
{
    QPixmap *layer = m_board->pressureLayer();
    if (layer && !layer->isNull()) {
        QPainter painter(layer);
        painter.setRenderHint(QPainter::Antialiasing);
        m_board->markDirty(KPItemStrokes::paintPressureSegment(&painter, m_lastSample, item.pressurePoints().last(),
                                                               KPUtilInterface::toQColor(item.itemProperty.color),
                                                               m_board->itemScale(), item.itemProperty.lineWidth));
    }
    m_lastSample = to;
}

void KPStrokeTool::strokeLeft(const KPWhiteBoardItemObject &item)
{
    if (item.pressurePoints().isEmpty())
        return;
    m_tabletPressed = false;
    QPixmap *layer = m_board->pressureLayer();
    if (!layer || layer->isNull())
        return;
    const QRect bounds = item.paintBounds().toAlignedRect() & layer->rect();
    QPainter painter(layer);
    painter.setCompositionMode(QPainter::CompositionMode_Clear);
    painter.fillRect(bounds, Qt::transparent);
    m_board->markDirty(bounds);
}

void KPStrokeTool::repaintLive(const KPWhiteBoardItemObject &item, QPixmap *layer)
{
    if (!layer || layer->isNull() || item.pressurePoints().size() < 2)
        return;
    QPainter painter(layer);
    KPItemStrokes::paint(item, &painter);
}
