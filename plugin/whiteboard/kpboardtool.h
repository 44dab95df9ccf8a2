#pragma once

#include <obs.h>

class KPWhiteBoardItemObject;
class QTabletEvent;

// What one tool does with the pointer, the tablet and the keys. The toolbox
// hands each event to the handler of the board's tool, together with the
// item being drawn (the board's current item, which carries the tool's size,
// colour and type). A handler returns true when the event finished that item:
// the toolbox then files it. Handlers run under the board's lock and never
// take it, nor the graphics context.
class KPBoardTool
{
public:
    virtual ~KPBoardTool() = default;

    // Only a single click reaches a handler; button is MOUSE_LEFT, MOUSE_MIDDLE or MOUSE_RIGHT.
    virtual bool press(KPWhiteBoardItemObject &item, const obs_mouse_event &event, int button) = 0;
    virtual bool move(KPWhiteBoardItemObject &item, const obs_mouse_event &event, bool leave) = 0;
    virtual bool release(KPWhiteBoardItemObject &item, const obs_mouse_event &event, int button) = 0;
    virtual bool tablet(KPWhiteBoardItemObject &, QTabletEvent *) { return false; }
    virtual void key(KPWhiteBoardItemObject &, const obs_key_event &, bool) {}
    // Shift went down or up.
    virtual void shiftChanged(KPWhiteBoardItemObject &, bool) {}
    // Another tool takes over, or the board files what is pending (undo,
    // redo, clear, focus loss): what this one was doing ends.
    virtual void end() {}
    // The pointers work over hidden handwriting; the drawing tools do not.
    virtual bool worksOverHiddenHandwriting() const { return false; }
};
