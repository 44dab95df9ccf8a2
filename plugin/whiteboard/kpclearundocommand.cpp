#include "kpclearundocommand.h"

#include "kpwhiteboarditemobject.h"

KPClearUndoCommand::KPClearUndoCommand(const QList<QSharedPointer<KPWhiteBoardItemObject>> &items,
                                       QUndoCommand *parent)
    : QUndoCommand(parent), m_clearedItems(items)
{
}

KPClearUndoCommand::~KPClearUndoCommand() = default;

void KPClearUndoCommand::undo()
{
    for (const auto &item : m_clearedItems)
        item->show();
}

void KPClearUndoCommand::redo()
{
    for (const auto &item : m_clearedItems)
        item->hide();
}
