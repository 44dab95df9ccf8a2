#include "kptoolbox.h"

#include "kplog.h"
#include "kptextdata.h"
#include "kptoolboard.h"
#include "kputilinterface.h"
#include "kpwhiteboarditemobject.h"

#include <QPainter>
#include <QTabletEvent>

#include <cstring>
#include <utility>

KPToolbox::KPToolbox(KPToolBoard *board)
    : m_board(board), m_strokes(board), m_eraser(board), m_laser(board), m_spotlight(board),
      m_current(board->createItem(KPWB::ItemProperty()))
{
}

namespace {

enum class Handler { Shapes, Strokes, Text, Eraser, Laser, Spotlight };

struct ToolRow
{
    qint32 type;
    Handler handler;
    const char *sizeKey; // the setting the size keys step for the tool
};

// The one table from tool number to handler; numbers without a row (no
// tool, or one this board does not know) make nothing.
const ToolRow kTools[] = {
    {KPWB::DRAW_ITEM_TYPE_RECT, Handler::Shapes, KPUtilInterface::kLineWidthKey},
    {KPWB::DRAW_ITEM_TYPE_POINT, Handler::Shapes, KPUtilInterface::kSizeKey},
    {KPWB::DRAW_ITEM_TYPE_ARROW, Handler::Shapes, KPUtilInterface::kLineWidthKey},
    {KPWB::DRAW_ITEM_TYPE_LINE, Handler::Shapes, KPUtilInterface::kLineWidthKey},
    {KPWB::DRAW_ITEM_TYPE_ELLIPSE, Handler::Shapes, KPUtilInterface::kLineWidthKey},
    {KPWB::DRAW_ITEM_TYPE_PEN, Handler::Strokes, KPUtilInterface::kLineWidthKey},
    {KPWB::DRAW_ITEM_TYPE_TEXT, Handler::Text, KPUtilInterface::kSizeKey},
    {KPWB::Draw_ITEM_TYPE_PEN_ALPHA, Handler::Strokes, KPUtilInterface::kLineWidthKey},
    {KPWB::DRAW_ITEM_TYPE_ERASER, Handler::Eraser, KPUtilInterface::kSizeKey},
    {KPWB::DRAW_ITEM_TYPE_LASER, Handler::Laser, KPUtilInterface::kLaserWidthKey},
    {KPWB::DRAW_ITEM_TYPE_SPOTLIGHT, Handler::Spotlight, KPUtilInterface::kSpotlightRadiusKey},
};

const ToolRow *rowFor(qint32 type)
{
    for (const ToolRow &row : kTools) {
        if (row.type == type)
            return &row;
    }
    return nullptr;
}

} // namespace

const char *KPToolbox::sizeKeyFor(qint32 type)
{
    const ToolRow *row = rowFor(type);
    return row ? row->sizeKey : KPUtilInterface::kSizeKey;
}

bool KPToolbox::drawsLines(qint32 type)
{
    return std::strcmp(sizeKeyFor(type), KPUtilInterface::kLineWidthKey) == 0;
}

KPBoardTool *KPToolbox::toolFor(qint32 type)
{
    const ToolRow *row = rowFor(type);
    if (!row)
        return nullptr;
    switch (row->handler) {
    case Handler::Shapes: return &m_shapes;
    case Handler::Strokes: return &m_strokes;
    case Handler::Text: return &m_text;
    case Handler::Eraser: return &m_eraser;
    case Handler::Laser: return &m_laser;
    case Handler::Spotlight: return &m_spotlight;
    }
    return nullptr;
}

// The handwriting rule: while it is hidden only the pointers work.
KPBoardTool *KPToolbox::activeTool(bool overHiddenHandwriting)
{
    KPBoardTool *tool = toolFor(m_current->itemProperty.type);
    if (tool && overHiddenHandwriting && m_board->handwritingHidden() && !tool->worksOverHiddenHandwriting())
        return nullptr;
    return tool;
}

void KPToolbox::setTool(const KPWB::ItemProperty &tool)
{
    KPBoardTool *before = toolFor(m_current->itemProperty.type);
    KPBoardTool *after = toolFor(tool.type);
    m_current->itemProperty = tool;
    if (after != before)
        m_current->setDrawing(false);
    for (KPBoardTool *handler : std::initializer_list<KPBoardTool *>{&m_shapes, &m_strokes, &m_text, &m_eraser,
                                                                      &m_laser, &m_spotlight}) {
        if (handler != after)
            handler->end();
    }
}

KPWB::ItemProperty KPToolbox::tool() const
{
    return m_current->itemProperty;
}

void KPToolbox::mouseClick(const obs_mouse_event *event, int button, bool mouseUp, uint32_t clickCount)
{
    KPBoardTool *tool = activeTool(true);
    if (!tool || !event || clickCount != 1)
        return;
    const bool finished = mouseUp ? tool->release(*m_current, *event, button) : tool->press(*m_current, *event, button);
    if (finished)
        fileCurrent();
}

void KPToolbox::mouseMove(const obs_mouse_event *event, bool leave)
{
    KPBoardTool *tool = activeTool(true);
    if (tool && event && tool->move(*m_current, *event, leave))
        fileCurrent();
}

void KPToolbox::tabletEvent(QTabletEvent *event)
{
    if (m_board->handwritingHidden()) {
        KP_LOG(1, QStringLiteral("m_hideHandwriting is true."));
        return;
    }
    KPBoardTool *tool = activeTool(true);
    if (tool && tool->tablet(*m_current, event))
        fileCurrent();
}

// A key event carries the modifiers held once it has happened: Shift's own
// release comes without the Shift bit and ends the constraint.
void KPToolbox::keyClick(const obs_key_event *event, bool keyUp)
{
    if (!event) {
        KP_LOG(1, QStringLiteral("key event is NULL."));
        return;
    }
    KPBoardTool *tool = activeTool(false);
    const bool shift = event->modifiers & INTERACT_SHIFT_KEY;
    if (shift != m_shift) {
        KP_LOG(1, QStringLiteral("shift held: %1").arg(shift ? 1 : 0));
        m_shift = shift;
        if (tool)
            tool->shiftChanged(*m_current, shift);
    }
    if (tool)
        tool->key(*m_current, *event, keyUp);
}

// A tablet stroke leaves the pressure layer with its item, however the item goes.
KPToolbox::Item KPToolbox::replaceCurrent()
{
    const Item old = m_current;
    m_current = m_board->createItem(old->itemProperty);
    m_strokes.strokeLeft(*old);
    return old;
}

void KPToolbox::fileCurrent()
{
    const Item finished = replaceCurrent();
    finished->markInitialized();
    m_board->commitItem(finished);
}

KPToolbox::Item KPToolbox::takeFinished()
{
    if (!m_current->initialized())
        return Item();
    m_current->clearFocus();
    return replaceCurrent();
}

void KPToolbox::fileFinished()
{
    if (m_current->initialized()) {
        m_current->clearFocus();
        fileCurrent();
    }
}

void KPToolbox::dropCurrent()
{
    replaceCurrent();
}

void KPToolbox::hidePointers()
{
    m_eraser.end();
    m_spotlight.end();
    m_laser.clear();
}

QRect KPToolbox::liveBounds(const QSize &canvas) const
{
    if (m_board->handwritingHidden() || !m_current->leftClicked())
        return QRect();
    return m_current->paintBounds().toAlignedRect() & QRect(QPoint(0, 0), canvas);
}

bool KPToolbox::liveShowing() const
{
    return !m_board->handwritingHidden() && (m_current->leftClicked() || !m_current->pressurePoints().isEmpty());
}

// A tablet stroke being drawn shows through the pressure layer, not here.
void KPToolbox::paintLive(QPainter *painter, int flags)
{
    if (!m_board->handwritingHidden() && m_current->leftClicked() && m_current->pressurePoints().isEmpty())
        m_current->paint(painter, flags);
}

bool KPToolbox::blinkDue() const
{
    const KPTextItemData *text = m_current->textItemData();
    return m_current->isText() && text && text->blinkDue();
}
