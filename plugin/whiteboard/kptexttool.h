#pragma once

#include "kpboardtool.h"

// Text boxes, edited through the item's text state: a left press opens a box
// (or places the cursor or starts a selection in the open one), a drag
// selects, keys type. A press outside the open box finishes it; the release
// ends only a selection, so the box stays on the board's live layer while
// it is edited.
class KPTextTool final : public KPBoardTool
{
public:
    bool press(KPWhiteBoardItemObject &item, const obs_mouse_event &event, int button) override;
    bool move(KPWhiteBoardItemObject &item, const obs_mouse_event &event, bool leave) override;
    bool release(KPWhiteBoardItemObject &item, const obs_mouse_event &event, int button) override;
    void key(KPWhiteBoardItemObject &item, const obs_key_event &event, bool keyUp) override;
};
