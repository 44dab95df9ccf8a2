#pragma once

#include "kpboardcompositor.h"
#include "kpboardtool.h"
#include "kplasertrail.h"

class KPToolBoard;

// The laser pointer: while the left button is down the pointer leaves a
// trail in the tool's colour that fades out on the board's clock. The trail
// is drawn above everything, hidden handwriting included; it makes no item.
class KPLaserTool final : public KPBoardTool, public KPBoardCompositor::Overlay
{
public:
    explicit KPLaserTool(KPToolBoard *board) : m_board(board) {}

    bool press(KPWhiteBoardItemObject &item, const obs_mouse_event &event, int button) override;
    bool move(KPWhiteBoardItemObject &item, const obs_mouse_event &event, bool leave) override;
    bool release(KPWhiteBoardItemObject &item, const obs_mouse_event &event, int button) override;
    // The stroke ends; its trail fades on.
    void end() override { m_trail.release(); }
    bool worksOverHiddenHandwriting() const override { return true; }

    // The board's clock, advanced by the video ticks.
    void advance(double seconds);
    // The source is hidden: the trail goes at once.
    void clear();
    const KPLaserTrail &trail() const { return m_trail; }

    // While a trail fades every tick composes its rectangle (the compositor
    // adds the rectangle of the tick before); once it has faded, nothing.
    bool overlayShowing() const override { return m_trail.visible(); }
    QRect overlayBounds(const QSize &canvas) const override;
    void paintOverlay(QPainter *painter, const QSize &canvas) override;

private:
    KPToolBoard *m_board;
    KPLaserTrail m_trail;
};
