#pragma once

#include <QSharedPointer>
#include <QUndoCommand>

class KPWhiteBoardItemObject;

// Adding a finished item: redo shows it, undo hides it. The command keeps the
// item alive while it is hidden.
class KPAddUndoCommand : public QUndoCommand
{
public:
    explicit KPAddUndoCommand(const QSharedPointer<KPWhiteBoardItemObject> &item,
                              QUndoCommand *parent = nullptr);
    ~KPAddUndoCommand() override;

    void undo() override;
    void redo() override;
    // What undo and redo hide or show, for the board's compositor.
    const QSharedPointer<KPWhiteBoardItemObject> &item() const { return m_item; }

private:
    QSharedPointer<KPWhiteBoardItemObject> m_item;
};
