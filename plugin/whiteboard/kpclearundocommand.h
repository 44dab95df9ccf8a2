#pragma once

#include <QList>
#include <QSharedPointer>
#include <QUndoCommand>

class KPWhiteBoardItemObject;

// Clearing the board: redo hides every cleared item, undo shows them again.
class KPClearUndoCommand : public QUndoCommand
{
public:
    explicit KPClearUndoCommand(const QList<QSharedPointer<KPWhiteBoardItemObject>> &items,
                                QUndoCommand *parent = nullptr);
    ~KPClearUndoCommand() override;

    void undo() override;
    void redo() override;

private:
    QList<QSharedPointer<KPWhiteBoardItemObject>> m_clearedItems;
};
