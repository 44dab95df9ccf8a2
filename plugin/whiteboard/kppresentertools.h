#pragma once

#include "kpboardcompositor.h"
#include "kperaser.h"
#include "kpitemproperty.h"
#include "kplasertrail.h"
#include "kpspotlight.h"

#include <QRect>

#include <obs.h>

class KPWhiteBoardObject;
class QPainter;

// The presenter tools of one board: the eraser (9), the laser pointer (10)
// and the spotlight (11). They take the pointer while one of them is the
// board's tool, so the board's current item sees none of it. The eraser
// works on the board's items; the laser trail and the spotlight are pointers
// drawn over the composed frame, never items, and hidden handwriting leaves
// them: they are an overlay the board's compositor paints above everything.
// Like an item, this runs inside its board's lock and never locks.
class KPPresenterTools final : public KPBoardCompositor::Overlay
{
public:
    explicit KPPresenterTools(KPWhiteBoardObject *board) : m_board(board) {}

    // True when the tool is a presenter tool: the event is then theirs.
    bool mouseClick(const KPWB::ItemProperty &tool, const obs_mouse_event *event, int32_t button, bool mouseUp,
                    uint32_t clickCount);
    bool mouseMove(const KPWB::ItemProperty &tool, const obs_mouse_event *event, bool mouseLeave);
    // A new tool ends what the old one was doing: the spotlight goes, an
    // eraser drag files its step, a laser stroke ends (its trail fades on).
    void toolChanged(qint32 type);
    // The source is hidden or deactivated: the pointers go at once.
    void deactivate();
    // Files the undo step of an eraser drag in progress.
    void finishErase();

    // The board's clock, advanced by the video ticks; the laser fades by it.
    void advance(double seconds);
    // The trail's rectangle, and the whole canvas while the spotlight shows.
    QRect overlayBounds(const QSize &canvas) const override;
    void paintOverlay(QPainter *painter, const QSize &canvas) override;

    const KPLaserTrail &laser() const { return m_laser; }
    const KPSpotlight &spotlight() const { return m_spotlight; }

private:
    void erase(const KPWB::ItemProperty &tool, const QPointF &point, bool start);
    void laserClick(const KPWB::ItemProperty &tool, const QPointF &point, bool mouseUp);
    void hideSpotlight();

    KPWhiteBoardObject *m_board;
    KPEraser m_eraser;
    KPLaserTrail m_laser;
    KPSpotlight m_spotlight;
};
