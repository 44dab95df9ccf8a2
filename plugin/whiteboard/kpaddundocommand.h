#pragma once

#include <QSharedPointer>
#include <QUndoCommand>

class KPBoardCompositor;
class KPWhiteBoardItemObject;

// Adding a finished item: redo shows it, undo hides it, and each tells the
// compositor which rectangle changed. Pushed once the item is shown and
// composed, so the redo that pushing runs changes nothing. The command keeps
// the item alive while it is hidden.
class KPAddUndoCommand : public QUndoCommand
{
public:
    KPAddUndoCommand(const QSharedPointer<KPWhiteBoardItemObject> &item, KPBoardCompositor *compositor,
                     QUndoCommand *parent = nullptr);
    ~KPAddUndoCommand() override;

    void undo() override;
    void redo() override;
    const QSharedPointer<KPWhiteBoardItemObject> &item() const { return m_item; }

private:
    QSharedPointer<KPWhiteBoardItemObject> m_item;
    KPBoardCompositor *m_compositor;
    bool m_pushed = false;
};
