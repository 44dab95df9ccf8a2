#include "kpaddundocommand.h"

#include "kpwhiteboarditemobject.h"

KPAddUndoCommand::KPAddUndoCommand(const QSharedPointer<KPWhiteBoardItemObject> &item,
                                   QUndoCommand *parent)
    : QUndoCommand(parent), m_item(item)
{
}

KPAddUndoCommand::~KPAddUndoCommand() = default;

void KPAddUndoCommand::undo()
{
    if (m_item)
        m_item->hide();
}

void KPAddUndoCommand::redo()
{
    if (m_item)
        m_item->show();
}
