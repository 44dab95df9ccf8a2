#pragma once

#include <QtGlobal>

namespace KPWB {

// Draw types. The values are stored in settings and in saved boards, so they
// never change.
enum DrawItemType {
    DRAW_ITEM_TYPE_UNDEFINED = 0,
    DRAW_ITEM_TYPE_RECT = 1,
    DRAW_ITEM_TYPE_POINT = 2,
    DRAW_ITEM_TYPE_ARROW = 3,
    DRAW_ITEM_TYPE_LINE = 4,
    DRAW_ITEM_TYPE_ELLIPSE = 5,
    DRAW_ITEM_TYPE_PEN = 6,
    DRAW_ITEM_TYPE_TEXT = 7,
    Draw_ITEM_TYPE_PEN_ALPHA = 8,
    // Presenter tools: they act on the board but never become items.
    DRAW_ITEM_TYPE_ERASER = 9,
    DRAW_ITEM_TYPE_LASER = 10,
    DRAW_ITEM_TYPE_SPOTLIGHT = 11,
};

// Types whose drags become items (text boxes included).
inline bool drawsItem(qint32 type)
{
    return type >= DRAW_ITEM_TYPE_RECT && type <= Draw_ITEM_TYPE_PEN_ALPHA;
}

inline bool isPresenterTool(qint32 type)
{
    return type >= DRAW_ITEM_TYPE_ERASER && type <= DRAW_ITEM_TYPE_SPOTLIGHT;
}

// The drawing tool an item was started with.
struct ItemProperty
{
    quint32 size = 20;          // dot diameter in board pixels
    quint32 color = 0xff0000ffu; // 0xAABBGGRR: red in the low byte, alpha in the high byte
    qint32 type = DRAW_ITEM_TYPE_UNDEFINED;
    // Outline, line and stroke width in board pixels; 1 is the hairline every
    // board drew before widths existed.
    quint32 lineWidth = 1;
    // The pointers' own sizes, tool settings only: no item records them.
    quint32 spotlightRadius = 120; // board pixels before the stroke scale
    quint32 laserWidth = 20;       // board pixels before the stroke scale, as the default size drew it
};

} // namespace KPWB
