#include "kptexttool.h"

#include "kptextdata.h"
#include "kpwhiteboarditemobject.h"

bool KPTextTool::press(KPWhiteBoardItemObject &item, const obs_mouse_event &event, int button)
{
    item.textData()->mouse_pressed(&event, button);
    return item.takeFinishRequest();
}

bool KPTextTool::move(KPWhiteBoardItemObject &item, const obs_mouse_event &event, bool)
{
    item.textData()->mouse_move(&event);
    return false;
}

bool KPTextTool::release(KPWhiteBoardItemObject &item, const obs_mouse_event &event, int button)
{
    item.textData()->mouse_released(&event, button);
    return false;
}

void KPTextTool::key(KPWhiteBoardItemObject &item, const obs_key_event &event, bool keyUp)
{
    item.textData()->do_key_click(&event, keyUp);
}
