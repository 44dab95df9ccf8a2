#pragma once

#include "kperasertool.h"
#include "kpitemproperty.h"
#include "kplasertool.h"
#include "kpshapetool.h"
#include "kpspotlighttool.h"
#include "kpstroketool.h"
#include "kptexttool.h"

#include <QRect>
#include <QSharedPointer>

class KPToolBoard;
class KPWhiteBoardItemObject;
class QPainter;
class QTabletEvent;

// The board's tools: one handler per tool, the only table from tool number
// to handler, and the item being drawn (the current item, which carries the
// chosen size, colour and type, and which the drawing handlers grow). Every
// event comes here once, under the board's lock, and is handed to the
// chosen tool; here too are the rules that hold for all of them: only
// single clicks count, the drawing tools rest while the handwriting is
// hidden (the pointers do not), Shift follows the modifiers of every key
// event, and a new tool ends what the old one was doing.
class KPToolbox
{
public:
    using Item = QSharedPointer<KPWhiteBoardItemObject>;

    explicit KPToolbox(KPToolBoard *board);
    KPToolbox(const KPToolbox &) = delete;
    KPToolbox &operator=(const KPToolbox &) = delete;

    // Size, colour and type of the tool; a new type ends the old tool's work.
    void setTool(const KPWB::ItemProperty &tool);
    KPWB::ItemProperty tool() const;
    const Item &current() const { return m_current; }
    bool shiftHeld() const { return m_shift; }

    void mouseClick(const obs_mouse_event *event, int button, bool mouseUp, uint32_t clickCount);
    void mouseMove(const obs_mouse_event *event, bool leave);
    void tabletEvent(QTabletEvent *event);
    void keyClick(const obs_key_event *event, bool keyUp);

    // The current item when it is finished, replaced by a new one with the
    // same tool (a text box loses its editing frame and cursor first); null
    // when it is not finished.
    Item takeFinished();
    // Files the current item with its undo step when it is finished.
    void fileFinished();
    // Files the undo step of an eraser drag in progress.
    void finishErase() { m_eraser.end(); }
    // The source is hidden or deactivated: the pointers go at once.
    void hidePointers();
    // A new current item with the same tool; what was drawn is dropped.
    void dropCurrent();
    void advanceClock(double seconds) { m_laser.advance(seconds); }

    // The live layer: the item being drawn.
    QRect liveBounds(const QSize &canvas) const;
    bool liveShowing() const;
    void paintLive(QPainter *painter, int flags);
    // True when a text box's cursor is due to blink.
    bool blinkDue() const;

    KPLaserTool *laser() { return &m_laser; }
    KPSpotlightTool *spotlight() { return &m_spotlight; }

    // The setting the size keys step while type is the tool: a line's
    // width, the laser's width, the spotlight's radius, or else the size.
    static const char *sizeKeyFor(qint32 type);
    // Whether the tool's look is a line, and so follows the line width.
    static bool drawsLines(qint32 type);

private:
    KPBoardTool *toolFor(qint32 type);
    KPBoardTool *activeTool(bool overHiddenHandwriting);
    Item replaceCurrent();
    void fileCurrent();

    KPToolBoard *m_board;
    bool m_shift = false;
    KPShapeTool m_shapes{&m_shift};
    KPStrokeTool m_strokes;
    KPTextTool m_text;
    KPEraserTool m_eraser;
    KPLaserTool m_laser;
    KPSpotlightTool m_spotlight;
    Item m_current;
};
