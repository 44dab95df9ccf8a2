#include "kpaddundocommand.h"

#include "kpboardcompositor.h"
#include "kpwhiteboarditemobject.h"

KPAddUndoCommand::KPAddUndoCommand(const QSharedPointer<KPWhiteBoardItemObject> &item,
                                   KPBoardCompositor *compositor, QUndoCommand *parent)
    : QUndoCommand(parent), m_item(item), m_compositor(compositor)
{
}

KPAddUndoCommand::~KPAddUndoCommand() = default;

void KPAddUndoCommand::undo()
{
    if (!m_item)
        return;
    m_item->hide();
    if (m_compositor)
        m_compositor->itemsChanged({m_item});
}

void KPAddUndoCommand::redo()
{
    if (!m_item || !m_pushed) {
        m_pushed = true;
        return;
    }
    m_item->show();
    if (m_compositor)
        m_compositor->itemsChanged({m_item});
}
