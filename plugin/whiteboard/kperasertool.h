#pragma once

#include "kpboardtool.h"

#include <QHash>
#include <QLineF>
#include <QList>
#include <QPointF>
#include <QRectF>
#include <QSharedPointer>

class KPToolBoard;

// The eraser: a left drag hides every finished item whose painted pixels
// come within the eraser's radius of the pointer's path (each item answers
// for itself, so nothing is rendered to find out). The items leave the
// frame at once; the whole drag is one undo step, filed when the drag ends:
// on release, a change of tool, undo, redo or clear. Hidden handwriting
// cannot be erased: nothing of it is on the screen.
class KPEraserTool final : public KPBoardTool
{
public:
    explicit KPEraserTool(KPToolBoard *board) : m_board(board) {}

    // Half the tool size times the stroke scale, at least one pixel, and
    // bounded so that absurd sizes stay finite.
    static double radius(quint32 size, double scale);

    bool press(KPWhiteBoardItemObject &item, const obs_mouse_event &event, int button) override;
    bool move(KPWhiteBoardItemObject &item, const obs_mouse_event &event, bool leave) override;
    bool release(KPWhiteBoardItemObject &item, const obs_mouse_event &event, int button) override;
    void end() override;
    bool worksOverHiddenHandwriting() const override { return true; }

private:
    void eraseAlong(const QLineF &segment, double radius);
    QRectF boundsOf(const KPWhiteBoardItemObject &item);

    KPToolBoard *m_board;
    bool m_dragging = false;
    QPointF m_last;
    QList<QSharedPointer<KPWhiteBoardItemObject>> m_erased;
    // Finished items do not change during a drag: their bounds are found once.
    QHash<const KPWhiteBoardItemObject *, QRectF> m_bounds;
};
