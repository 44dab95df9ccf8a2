#pragma once

#include <QList>
#include <QSharedPointer>
#include <QUndoCommand>

class KPBoardCompositor;
class KPWhiteBoardItemObject;

// Items hidden together, by one eraser drag or by a clear: redo hides them,
// undo shows them again, in their old places in the drawing order (they never
// leave the board's list). A clear hid every visible item, which the
// compositor answers by swapping whole layers; an erase has the rectangles of
// its items recomposed. Pushed once the items are hidden and reported, so the
// redo that pushing runs changes nothing.
class KPHideUndoCommand : public QUndoCommand
{
public:
    enum Scope { SomeItems, EveryItem };

    KPHideUndoCommand(const QList<QSharedPointer<KPWhiteBoardItemObject>> &items, Scope scope,
                      KPBoardCompositor *compositor, QUndoCommand *parent = nullptr);
    ~KPHideUndoCommand() override;

    void undo() override;
    void redo() override;
    const QList<QSharedPointer<KPWhiteBoardItemObject>> &items() const { return m_items; }

private:
    QList<QSharedPointer<KPWhiteBoardItemObject>> m_items;
    Scope m_scope;
    KPBoardCompositor *m_compositor;
    bool m_pushed = false;
};
