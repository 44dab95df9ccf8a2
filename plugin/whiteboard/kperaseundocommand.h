#pragma once

#include <QList>
#include <QSharedPointer>
#include <QUndoCommand>

class KPWhiteBoardItemObject;

// One eraser drag: redo hides every item the drag touched, undo shows them
// again. The items never leave the board's list, so undo brings each back in
// its old place in the drawing order. Pushed once the drag is over, when the
// items are already hidden; the redo that pushing runs changes nothing.
class KPEraseUndoCommand : public QUndoCommand
{
public:
    explicit KPEraseUndoCommand(const QList<QSharedPointer<KPWhiteBoardItemObject>> &items,
                                QUndoCommand *parent = nullptr);
    ~KPEraseUndoCommand() override;

    void undo() override;
    void redo() override;

    const QList<QSharedPointer<KPWhiteBoardItemObject>> &items() const { return m_erasedItems; }

private:
    QList<QSharedPointer<KPWhiteBoardItemObject>> m_erasedItems;
};
