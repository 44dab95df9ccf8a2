#include "kperaseundocommand.h"

#include "kpwhiteboarditemobject.h"

KPEraseUndoCommand::KPEraseUndoCommand(const QList<QSharedPointer<KPWhiteBoardItemObject>> &items,
                                       QUndoCommand *parent)
    : QUndoCommand(parent), m_erasedItems(items)
{
}

KPEraseUndoCommand::~KPEraseUndoCommand() = default;

void KPEraseUndoCommand::undo()
{
    for (const auto &item : m_erasedItems)
        item->show();
}

void KPEraseUndoCommand::redo()
{
    for (const auto &item : m_erasedItems)
        item->hide();
}
