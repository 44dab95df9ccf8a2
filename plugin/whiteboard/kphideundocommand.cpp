#include "kphideundocommand.h"

#include "kpboardcompositor.h"
#include "kpwhiteboarditemobject.h"

KPHideUndoCommand::KPHideUndoCommand(const QList<QSharedPointer<KPWhiteBoardItemObject>> &items, Scope scope,
                                     KPBoardCompositor *compositor, QUndoCommand *parent)
    : QUndoCommand(parent), m_items(items), m_scope(scope), m_compositor(compositor)
{
}

KPHideUndoCommand::~KPHideUndoCommand() = default;

void KPHideUndoCommand::undo()
{
    for (const auto &item : qAsConst(m_items))
        item->show();
    if (!m_compositor)
        return;
    if (m_scope == EveryItem)
        m_compositor->clearUndone(m_items);
    else
        m_compositor->itemsChanged(m_items);
}

void KPHideUndoCommand::redo()
{
    if (!m_pushed) {
        m_pushed = true;
        return;
    }
    for (const auto &item : qAsConst(m_items))
        item->hide();
    if (!m_compositor)
        return;
    if (m_scope == EveryItem)
        m_compositor->cleared(m_items);
    else
        m_compositor->itemsChanged(m_items);
}
