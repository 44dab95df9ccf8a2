#include "kptextdata.h"

#include "ft2source.h"
#include "kplog.h"
#include "kptextitemhost.h"

#include <QImage>
#include <QPainter>

#include <cstdlib>

namespace {

const char *const KeyTextX = "kp_wb_text_x";
const char *const KeyTextY = "kp_wb_text_y";
const char *const KeyText = "kp_wb_text";
const char *const KeyFontSize = "kp_wb_text_font_size";

const quint32 MaximumFontSize = 1000;

} // namespace

int KPTextItemData::boundedCoordinate(long long value, const char *what)
{
    const int truncated = int(qint32(value));
    const int bounded = qBound(-CoordinateLimit, truncated, CoordinateLimit);
    if (bounded != truncated)
        KP_LOG(1, QStringLiteral("%1=%2 out of range").arg(QLatin1String(what)).arg(truncated));
    return bounded;
}

QPoint KPTextItemData::eventPoint(const obs_mouse_event *event)
{
    return QPoint(boundedCoordinate(event->x, "x"), boundedCoordinate(event->y, "y"));
}

KPTextItemData::KPTextItemData(KPTextItemHost *item)
    : m_whiteBoardItemObject(item), m_ft2Source(new ft2_source(this))
{
}

KPTextItemData::~KPTextItemData()
{
    delete m_ft2Source;
}

void KPTextItemData::setFocus()
{
    KP_LOG_SCOPE();
    m_ft2Source->setFocusState(true);
}

void KPTextItemData::clearFocus()
{
    KP_LOG_SCOPE();
    const bool wasFocused = m_ft2Source->focused;
    m_ft2Source->setFocusState(false);
    // An unfocused box requests no redraws of its own, yet its frame and
    // cursor must still disappear from the canvas.
    if (wasFocused && m_whiteBoardItemObject)
        m_whiteBoardItemObject->requestTextRedraw();
}

void KPTextItemData::do_key_click(const obs_key_event *event, bool keyUp)
{
    if (!event) {
        KP_LOG(1, QStringLiteral("do_key_click without a key event"));
        return;
    }
    KP_LOG(1, QStringLiteral("native_vkey=%1").arg(event->native_vkey));
    const QString text = QString::fromUtf8(event->text ? event->text : "");
    KP_LOG(1, QStringLiteral("text=%1").arg(text));
    if (!m_ft2Source->focused || keyUp)
        return;
    if (event->modifiers == INTERACT_CONTROL_KEY)
        controlShortcut(event->native_vkey);
    else
        editKey(event->native_vkey, text);
}

bool KPTextItemData::controlShortcut(quint32 key)
{
    switch (key) {
    case KeyA:
        m_ft2Source->selectAll();
        return true;
    case KeyC:
        m_ft2Source->doCopy();
        return true;
    case KeyV:
        m_ft2Source->doPaste();
        return true;
    case KeyX:
        m_ft2Source->doCut();
        return true;
    default:
        return false;
    }
}

void KPTextItemData::editKey(quint32 key, const QString &text)
{
    switch (key) {
    case KeyEscape:
        clearFocus();
        break;
    case KeyBackspace:
        m_ft2Source->do_backspace_key();
        break;
    case KeyReturn:
    case KeyEnter:
        m_ft2Source->insertText(QStringLiteral("\n"));
        break;
    case KeyLeft:
        m_ft2Source->moveCursorLeft();
        break;
    case KeyUp:
        m_ft2Source->moveCursorLine(true);
        break;
    case KeyRight:
        m_ft2Source->moveCursorRight();
        break;
    case KeyDown:
        m_ft2Source->moveCursorLine(false);
        break;
    default:
        if (!text.isEmpty())
            m_ft2Source->insertText(text);
        break;
    }
}

void KPTextItemData::mouse_pressed(const obs_mouse_event *event, int button)
{
    KP_LOG_SCOPE();
    if (!event) {
        KP_LOG(1, QStringLiteral("mouse_pressed without a mouse event"));
        return;
    }
    if (m_whiteBoardItemObject)
        m_whiteBoardItemObject->setTextLeftClicked(button == 0);
    if (button == 0) {
        pressLeft(eventPoint(event));
        return;
    }
    m_dragging = false;
    if (m_editing)
        finish();
}

void KPTextItemData::pressLeft(const QPoint &pos)
{
    KPTextItemHost *item = m_whiteBoardItemObject;
    if (item) {
        item->markTextInitialized();
        item->setTextStartPoint(pos);
        item->setTextEndPoint(pos);
    }
    if (!m_editing) {
        m_editing = true;
        m_dragging = true;
        setFocus();
        const int L = m_ft2Source->lineHeight();
        updatePos(QPoint(pos.x(), pos.y() - L / 2));
        return;
    }
    if (!m_ft2Source->frameRect().contains(pos)) {
        m_dragging = false;
        finish();
        return;
    }
    m_dragging = true;
    if (m_ft2Source->textRect().contains(pos) && m_ft2Source->focused) {
        const QPoint start = item ? item->textStartPoint() : pos;
        const QPoint end = item ? item->textEndPoint() : pos;
        m_ft2Source->setSelectionPoints(start, end);
    }
}

void KPTextItemData::mouse_move(const obs_mouse_event *event)
{
    KPTextItemHost *item = m_whiteBoardItemObject;
    if (!event || !item || !item->textLeftClicked() || !m_dragging)
        return;
    item->setTextEndPoint(eventPoint(event));
    m_ft2Source->selectPoint1 = item->textStartPoint();
    m_ft2Source->selectPoint2 = item->textEndPoint();
    m_ft2Source->selectByPoints = true;
    m_ft2Source->prepareUpdate();
}

void KPTextItemData::mouse_released(const obs_mouse_event *, int)
{
    // Only the drag ends: the item stays clicked so that the board keeps
    // painting the box being edited.
    m_dragging = false;
}

void KPTextItemData::finish()
{
    clearFocus();
    if (m_whiteBoardItemObject)
        m_whiteBoardItemObject->finishTextItem();
}

void KPTextItemData::updatePos(const QPoint &pos)
{
    KP_LOG_SCOPE();
    m_ft2Source->textX = pos.x();
    m_ft2Source->textY = pos.y();
    m_ft2Source->prepareUpdate();
}

void KPTextItemData::prepareUpdate()
{
    if (!m_ft2Source || !m_ft2Source->focused)
        return;
    KP_LOG(2, QStringLiteral("0==m_whiteBoardItemObject=(%1)")
                  .arg(m_whiteBoardItemObject ? QStringLiteral("F") : QStringLiteral("T")));
    if (m_whiteBoardItemObject)
        m_whiteBoardItemObject->requestTextRedraw();
}

void KPTextItemData::setStatusData(obs_data_t *status)
{
    const bool focused = m_ft2Source->focused;
    KP_LOG(1, QStringLiteral("kp_wb_text_item_editing=%1")
                  .arg(focused ? QStringLiteral("YES") : QStringLiteral("NO")));
    if (!status)
        return;
    const QLine cursor = m_ft2Source->getAnchorIndexLine(int(m_ft2Source->anchorStart));
    obs_data_set_bool(status, "kp_wb_text_item_editing", focused);
    obs_data_set_int(status, "kp_wb_text_item_cursor_line_pos1_x", cursor.x1());
    obs_data_set_int(status, "kp_wb_text_item_cursor_line_pos1_y", cursor.y1());
    obs_data_set_int(status, "kp_wb_text_item_cursor_line_pos2_x", cursor.x2());
    obs_data_set_int(status, "kp_wb_text_item_cursor_line_pos2_y", cursor.y2());
}

obs_data_t *KPTextItemData::toData() const
{
    obs_data_t *record = obs_data_create();
    obs_data_set_int(record, KeyTextX, m_ft2Source->textX);
    obs_data_set_int(record, KeyTextY, m_ft2Source->textY);
    obs_data_set_string(record, KeyText, m_ft2Source->text.toUtf8().constData());
    obs_data_set_int(record, KeyFontSize, (long long)m_ft2Source->fontSize);
    return record;
}

void KPTextItemData::updateWithSettings(obs_data_t *record)
{
    if (!record) {
        KP_LOG(1, QStringLiteral("text record missing"));
        return;
    }
    ft2_source *source = m_ft2Source;
    if (obs_data_has_user_value(record, KeyTextX))
        source->textX = boundedCoordinate(obs_data_get_int(record, KeyTextX), KeyTextX);
    if (obs_data_has_user_value(record, KeyTextY))
        source->textY = boundedCoordinate(obs_data_get_int(record, KeyTextY), KeyTextY);
    if (obs_data_has_user_value(record, KeyFontSize)) {
        const quint32 size = quint32(obs_data_get_int(record, KeyFontSize));
        if (size < 1 || size > MaximumFontSize) {
            KP_LOG(1, QStringLiteral("kp_wb_text_font_size=%1 ignored").arg(size));
        } else if (size != source->fontSize) {
            source->fontSize = size;
            // A face already open at the old size would measure wrongly.
            source->faceResetPending = true;
        }
    }
    if (obs_data_has_user_value(record, KeyText)) {
        source->text = QString::fromUtf8(obs_data_get_string(record, KeyText));
        source->anchorEnd = qMin(source->anchorEnd, quint32(source->text.size()));
        source->anchorStart = qMin(source->anchorStart, source->anchorEnd);
    }
}

void KPTextItemData::blinkCursor()
{
    if (!m_ft2Source->focused)
        return;
    const QTime now = QTime::currentTime();
    if (std::abs(now.msecsTo(m_blinkTime)) > CursorBlinkMs) {
        m_ft2Source->cursorVisible = !m_ft2Source->cursorVisible;
        m_blinkTime = now;
    }
}

bool KPTextItemData::blinkDue() const
{
    return m_ft2Source->focused && std::abs(QTime::currentTime().msecsTo(m_blinkTime)) > CursorBlinkMs;
}

void KPTextItemData::render(QPainter *painter, const QImage &canvas, bool advanceBlink)
{
    if (canvas.isNull())
        return;
    if (!painter || !painter->isActive()) {
        KP_LOG(1, QStringLiteral("render without an active painter"));
        return;
    }
    if (advanceBlink)
        blinkCursor();
    const QColor color = m_whiteBoardItemObject ? m_whiteBoardItemObject->textColor()
                                                : QColor(255, 0, 0, 255);
    m_ft2Source->render(painter, canvas.size(), color);
}
