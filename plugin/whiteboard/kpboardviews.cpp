#include "kphideundocommand.h"
#include "kplog.h"
#include "kputilinterface.h"
#include "kpwhiteboarditemobject.h"
#include "kpwhiteboardobject.h"

// ---- what the compositor paints from ------------------------------------------

QSize KPWhiteBoardObject::CompositorView::canvasSize() const
{
    return QSize(m_board->m_width, m_board->m_height);
}

QColor KPWhiteBoardObject::CompositorView::backgroundColor() const
{
    return KPUtilInterface::toQColor(m_board->m_background);
}

bool KPWhiteBoardObject::CompositorView::handwritingHidden() const
{
    return m_board->m_hideHandwriting;
}

const QList<QSharedPointer<KPWhiteBoardItemObject>> &KPWhiteBoardObject::CompositorView::finishedItems() const
{
    return m_board->m_items;
}

void KPWhiteBoardObject::CompositorView::prepareLiveLayers()
{
    m_board->ensurePressureLayer();
}

QRect KPWhiteBoardObject::CompositorView::liveBounds() const
{
    return m_board->m_tools.liveBounds(canvasSize());
}

bool KPWhiteBoardObject::CompositorView::liveShowing() const
{
    return m_board->m_tools.liveShowing();
}

void KPWhiteBoardObject::CompositorView::paintLiveLayers(QPainter *painter, int flags)
{
    m_board->paintLayers(painter, flags);
}

// ---- what the tools may do ----------------------------------------------------

void KPWhiteBoardObject::ToolView::commitItem(const Item &item)
{
    m_board->appendToList(item);
}

void KPWhiteBoardObject::ToolView::hideItems(const QList<Item> &items)
{
    for (const auto &item : items)
        item->hide();
    m_board->m_compositor.itemsChanged(items);
}

void KPWhiteBoardObject::ToolView::fileErase(const QList<Item> &items)
{
    KP_LOG(1, QStringLiteral("erased %1 items.").arg(items.size()));
    m_board->pushUndo(new KPHideUndoCommand(items, KPHideUndoCommand::SomeItems, &m_board->m_compositor));
}

void KPWhiteBoardObject::ToolView::markDirty(const QRectF &rect)
{
    m_board->markDirty(rect);
}

void KPWhiteBoardObject::ToolView::requestCompose()
{
    m_board->m_compositor.requestCompose();
}

void KPWhiteBoardObject::ToolView::requestFullFrame()
{
    m_board->m_compositor.requestFullFrame();
}

double KPWhiteBoardObject::ToolView::itemScale() const
{
    return m_board->m_itemScale;
}

bool KPWhiteBoardObject::ToolView::handwritingHidden() const
{
    return m_board->m_hideHandwriting;
}

const QList<KPToolBoard::Item> &KPWhiteBoardObject::ToolView::finishedItems() const
{
    return m_board->m_items;
}

QPixmap *KPWhiteBoardObject::ToolView::pressureLayer()
{
    if (!m_board->m_pressureLayerUsed) {
        m_board->m_pressureLayerUsed = true;
        m_board->ensurePressureLayer();
    }
    return &m_board->m_pressureLayer;
}

KPToolBoard::Item KPWhiteBoardObject::ToolView::createItem(const KPWB::ItemProperty &tool)
{
    return m_board->createCurrentItem(tool);
}
