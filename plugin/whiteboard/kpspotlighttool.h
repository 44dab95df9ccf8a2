#pragma once

#include "kpboardcompositor.h"
#include "kpboardtool.h"
#include "kpspotlight.h"

class KPToolBoard;

// The spotlight: everything outside a circle around the pointer is darkened
// while the tool is chosen, until the mouse leaves or another tool is
// chosen. The shade outside the circle is the same wherever the circle is,
// so a move composes only the old and the new circle's boxes; showing or
// hiding it composes the whole frame.
class KPSpotlightTool final : public KPBoardTool, public KPBoardCompositor::Overlay
{
public:
    explicit KPSpotlightTool(KPToolBoard *board) : m_board(board) {}

    bool press(KPWhiteBoardItemObject &item, const obs_mouse_event &event, int button) override;
    bool move(KPWhiteBoardItemObject &item, const obs_mouse_event &event, bool leave) override;
    bool release(KPWhiteBoardItemObject &, const obs_mouse_event &, int) override { return false; }
    void end() override;
    bool worksOverHiddenHandwriting() const override { return true; }

    const KPSpotlight &spotlight() const { return m_spotlight; }

    // The circle's box with its soft edge: the shade beyond it does not move.
    bool overlayShowing() const override { return m_spotlight.visible(); }
    QRect overlayBounds(const QSize &canvas) const override;
    void paintOverlay(QPainter *painter, const QSize &canvas) override;

private:
    void moveTo(const KPWhiteBoardItemObject &item, const obs_mouse_event &event);

    KPToolBoard *m_board;
    KPSpotlight m_spotlight;
};
