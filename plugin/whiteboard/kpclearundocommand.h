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
    // What undo and redo hide or show, for the board's compositor.
    const QList<QSharedPointer<KPWhiteBoardItemObject>> &items() const { return m_clearedItems; }

private:
    QList<QSharedPointer<KPWhiteBoardItemObject>> m_clearedItems;
};
