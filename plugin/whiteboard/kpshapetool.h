#pragma once

#include "kpboardtool.h"

// Rectangles, ellipses, lines and arrows are dragged from a left press to
// the left release; a dot is made by the press alone. A press with another
// button abandons the drag, and a release where the press was makes nothing.
// While Shift is held the item being drawn is squared or straightened, and
// the release keeps the constrained end.
class KPShapeTool final : public KPBoardTool
{
public:
    explicit KPShapeTool(const bool *shiftHeld) : m_shiftHeld(shiftHeld) {}

    bool press(KPWhiteBoardItemObject &item, const obs_mouse_event &event, int button) override;
    bool move(KPWhiteBoardItemObject &item, const obs_mouse_event &event, bool leave) override;
    bool release(KPWhiteBoardItemObject &item, const obs_mouse_event &event, int button) override;
    void shiftChanged(KPWhiteBoardItemObject &item, bool held) override;

private:
    const bool *m_shiftHeld;
    bool m_moved = false;
};
