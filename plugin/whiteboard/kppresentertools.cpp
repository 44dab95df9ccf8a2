#include "kppresentertools.h"

#include "kptextdata.h"
#include "kputilinterface.h"
#include "kpwhiteboardobject.h"

bool KPPresenterTools::mouseClick(const KPWB::ItemProperty &tool, const obs_mouse_event *event, int32_t button,
                                  bool mouseUp, uint32_t clickCount)
{
    if (!KPWB::isPresenterTool(tool.type))
        return false;
    // Only the left button's single clicks count, as for drawing.
    if (!event || button != MOUSE_LEFT || clickCount != 1)
        return true;
    const QPointF point(KPTextItemData::eventPoint(event));
    switch (tool.type) {
    case KPWB::DRAW_ITEM_TYPE_ERASER:
        if (mouseUp)
            finishErase();
        else
            erase(tool, point, true);
        break;
    case KPWB::DRAW_ITEM_TYPE_LASER:
        laserClick(tool, point, mouseUp);
        break;
    default:
        m_spotlight.moveTo(point, KPSpotlight::radiusFor(tool.size, m_board->itemScale()));
        m_board->requestRedraw();
        break;
    }
    return true;
}

bool KPPresenterTools::mouseMove(const KPWB::ItemProperty &tool, const obs_mouse_event *event, bool mouseLeave)
{
    if (!KPWB::isPresenterTool(tool.type))
        return false;
    if (!event)
        return true;
    const QPointF point(KPTextItemData::eventPoint(event));
    switch (tool.type) {
    case KPWB::DRAW_ITEM_TYPE_ERASER:
        if (m_eraser.dragging() && !mouseLeave)
            erase(tool, point, false);
        break;
    case KPWB::DRAW_ITEM_TYPE_LASER:
        if (!mouseLeave) {
            m_laser.moveTo(point);
            m_board->m_compositor.requestCompose();
        }
        break;
    default:
        if (mouseLeave) {
            hideSpotlight();
        } else {
            m_spotlight.moveTo(point, KPSpotlight::radiusFor(tool.size, m_board->itemScale()));
            m_board->requestRedraw();
        }
        break;
    }
    return true;
}

// Hidden handwriting cannot be erased: nothing of it is on the screen.
void KPPresenterTools::erase(const KPWB::ItemProperty &tool, const QPointF &point, bool start)
{
    if (m_board->hideHandwriting())
        return;
    const double scale = m_board->itemScale();
    const double radius = KPEraser::radius(tool.size, scale);
    const auto &items = m_board->m_items;
    const auto touched = start ? m_eraser.press(point, items, radius, scale) : m_eraser.moveTo(point, items, radius, scale);
    if (!touched.isEmpty())
        m_board->eraseItems(touched);
}

void KPPresenterTools::finishErase()
{
    if (!m_eraser.dragging())
        return;
    const auto erased = m_eraser.finish();
    if (!erased.isEmpty())
        m_board->fileErase(erased);
}

void KPPresenterTools::laserClick(const KPWB::ItemProperty &tool, const QPointF &point, bool mouseUp)
{
    if (mouseUp) {
        m_laser.moveTo(point);
        m_laser.release();
    } else {
        m_laser.press(point, KPUtilInterface::toQColor(tool.color), KPLaserTrail::penWidth(tool.size, m_board->itemScale()));
    }
    m_board->m_compositor.requestCompose();
}

void KPPresenterTools::hideSpotlight()
{
    if (m_spotlight.hide())
        m_board->requestRedraw();
}

void KPPresenterTools::toolChanged(qint32 type)
{
    if (type != KPWB::DRAW_ITEM_TYPE_SPOTLIGHT)
        hideSpotlight();
    if (type != KPWB::DRAW_ITEM_TYPE_ERASER)
        finishErase();
    if (type != KPWB::DRAW_ITEM_TYPE_LASER)
        m_laser.release();
}

void KPPresenterTools::deactivate()
{
    finishErase();
    hideSpotlight();
    if (m_laser.visible())
        m_board->m_compositor.requestCompose();
    m_laser.clear();
}

void KPPresenterTools::advance(double seconds)
{
    if (!m_laser.visible())
        return;
    m_laser.advance(seconds);
    m_board->m_compositor.requestCompose();
}

// While a trail fades every tick composes its rectangle (the compositor
// adds the rectangle of the tick before); once it has faded, nothing.
QRect KPPresenterTools::overlayBounds(const QSize &canvas) const
{
    if (m_spotlight.visible())
        return QRect(QPoint(0, 0), canvas);
    return m_laser.visible() ? m_laser.bounds() : QRect();
}

// The spotlight darkens the trail too: it goes last.
void KPPresenterTools::paintOverlay(QPainter *painter, const QSize &canvas)
{
    m_laser.paint(painter);
    m_spotlight.paint(painter, QRect(QPoint(0, 0), canvas));
}
