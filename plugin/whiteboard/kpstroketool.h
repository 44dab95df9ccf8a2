#pragma once

#include "kpboardtool.h"

#include <QPointF>

class KPToolBoard;
class QPixmap;

// The pen and the highlighter from the mouse: a left drag collects points
// and the release finishes the stroke. The pen also takes a tablet: its
// samples are drawn live into the board's pressure layer, each segment as
// wide as its far sample's pressure, until the pen is lifted with no barrel
// button held; the finished stroke then paints like any other item and
// leaves the layer. Once a tablet has delivered samples the mouse no
// longer draws on that stroke.
class KPStrokeTool final : public KPBoardTool
{
public:
    explicit KPStrokeTool(KPToolBoard *board) : m_board(board) {}

    bool press(KPWhiteBoardItemObject &item, const obs_mouse_event &event, int button) override;
    bool move(KPWhiteBoardItemObject &item, const obs_mouse_event &event, bool leave) override;
    bool release(KPWhiteBoardItemObject &item, const obs_mouse_event &event, int button) override;
    bool tablet(KPWhiteBoardItemObject &item, QTabletEvent *event) override;

    // The item is no longer the one being drawn (finished, filed or dropped):
    // its tablet stroke leaves the pressure layer and the pen starts afresh.
    void strokeLeft(const KPWhiteBoardItemObject &item);
    // Paints a tablet stroke being drawn into a new, empty layer, so that it
    // goes on from where the pen is.
    static void repaintLive(const KPWhiteBoardItemObject &item, QPixmap *layer);

private:
    void drawSegment(KPWhiteBoardItemObject &item, const QPointF &to);

    KPToolBoard *m_board;
    bool m_moved = false;
    bool m_tabletPressed = false;
    QPointF m_lastSample;
};
