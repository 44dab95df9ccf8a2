#include "kphostdisplay.h"

#include "kpobsext.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTabletEvent>
#include <QWheelEvent>

#include <graphics/matrix4.h>
#include <obs-interaction.h>
#include <obs-nix-platform.h>

#include <algorithm>
#include <cmath>

namespace {

uint32_t interactModifiers(Qt::KeyboardModifiers modifiers, Qt::MouseButtons buttons = Qt::NoButton)
{
    uint32_t result = 0;
    if (modifiers & Qt::ShiftModifier)
        result |= INTERACT_SHIFT_KEY;
    if (modifiers & Qt::ControlModifier)
        result |= INTERACT_CONTROL_KEY;
    if (modifiers & Qt::AltModifier)
        result |= INTERACT_ALT_KEY;
    if (buttons & Qt::LeftButton)
        result |= INTERACT_MOUSE_LEFT;
    if (buttons & Qt::MiddleButton)
        result |= INTERACT_MOUSE_MIDDLE;
    if (buttons & Qt::RightButton)
        result |= INTERACT_MOUSE_RIGHT;
    return result;
}

int32_t buttonType(Qt::MouseButton button)
{
    switch (button) {
    case Qt::MiddleButton: return MOUSE_MIDDLE;
    case Qt::RightButton: return MOUSE_RIGHT;
    default: return MOUSE_LEFT;
    }
}

// X reports the modifiers held before a key event: a modifier's own press
// comes without its bit and its release with it. Sources get the state that
// follows the event, so a board knows Shift is up once it is released.
Qt::KeyboardModifiers modifiersAfter(const QKeyEvent *event, bool up)
{
    Qt::KeyboardModifiers modifiers = event->modifiers();
    Qt::KeyboardModifier own = Qt::NoModifier;
    switch (event->key()) {
    case Qt::Key_Shift: own = Qt::ShiftModifier; break;
    case Qt::Key_Control: own = Qt::ControlModifier; break;
    case Qt::Key_Alt: own = Qt::AltModifier; break;
    default: return modifiers;
    }
    return up ? modifiers & ~own : modifiers | own;
}

// The canvas scaled into an area, centred, keeping its aspect.
QRectF letterbox(const QSizeF &area, const QSize &canvas)
{
    if (canvas.isEmpty() || area.isEmpty())
        return QRectF();
    const double scale = std::min(area.width() / canvas.width(), area.height() / canvas.height());
    const QSizeF size(canvas.width() * scale, canvas.height() * scale);
    return QRectF(QPointF((area.width() - size.width()) / 2, (area.height() - size.height()) / 2), size);
}

struct HitSearch
{
    vec3 point;
    obs_source_t *source = nullptr;
};

bool containsPoint(obs_scene_t *, obs_sceneitem_t *item, void *data)
{
    auto *search = static_cast<HitSearch *>(data);
    obs_source_t *source = obs_sceneitem_get_source(item);
    if (!obs_sceneitem_visible(item) || !(obs_source_get_output_flags(source) & OBS_SOURCE_INTERACTION))
        return true;
    matrix4 transform, inverse;
    obs_sceneitem_get_draw_transform(item, &transform);
    matrix4_inv(&inverse, &transform);
    vec3 local;
    vec3_transform(&local, &search->point, &inverse);
    if (local.x >= 0 && local.y >= 0 && local.x < obs_source_get_width(source)
        && local.y < obs_source_get_height(source)) {
        // Items are enumerated bottom to top: the last hit is on top.
        search->source = source;
    }
    return true;
}

struct ItemSearch
{
    obs_source_t *source;
    obs_sceneitem_t *item = nullptr;
    obs_source_t *topmost = nullptr;
};

bool findItem(obs_scene_t *, obs_sceneitem_t *item, void *data)
{
    auto *search = static_cast<ItemSearch *>(data);
    obs_source_t *source = obs_sceneitem_get_source(item);
    if (source == search->source)
        search->item = item;
    if (obs_source_get_output_flags(source) & OBS_SOURCE_INTERACTION)
        search->topmost = source;
    return true;
}

} // namespace

KPHostDisplay::KPHostDisplay(obs_scene_t *scene, QWidget *parent) : QWidget(parent), m_scene(scene)
{
    setAttribute(Qt::WA_NativeWindow);
    setAttribute(Qt::WA_PaintOnScreen);
    setAttribute(Qt::WA_NoSystemBackground);
    setAttribute(Qt::WA_TabletTracking);
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setMinimumSize(160, 90);
    ItemSearch search{nullptr};
    obs_scene_enum_items(m_scene, &findItem, &search);
    m_focused = search.topmost;
    m_resizeTimer.setSingleShot(true);
    m_resizeTimer.setInterval(100);
    connect(&m_resizeTimer, &QTimer::timeout, this, &KPHostDisplay::recreateDisplay);
    qApp->installEventFilter(this);
}

KPHostDisplay::~KPHostDisplay()
{
    destroyDisplay();
}

QSize KPHostDisplay::canvasSize()
{
    obs_video_info video = {};
    if (!obs_get_video_info(&video))
        return QSize();
    return QSize(static_cast<int>(video.base_width), static_cast<int>(video.base_height));
}

QRectF KPHostDisplay::canvasRect() const
{
    return letterbox(size(), canvasSize());
}

void KPHostDisplay::setFocusedSource(obs_source_t *source)
{
    if (source == m_focused)
        return;
    if (m_focused)
        obs_source_send_focus(m_focused, false);
    m_focused = source;
    if (m_focused && hasFocus())
        obs_source_send_focus(m_focused, true);
    emit focusedSourceChanged();
}

void KPHostDisplay::createDisplay()
{
    if (m_display || !windowHandle())
        return;
    const qreal ratio = devicePixelRatioF();
    gs_init_data init = {};
    init.cx = static_cast<uint32_t>(width() * ratio);
    init.cy = static_cast<uint32_t>(height() * ratio);
    init.format = GS_BGRA;
    init.zsformat = GS_ZS_NONE;
    init.window.id = static_cast<uint32_t>(winId());
    init.window.display = obs_get_nix_platform_display();
    m_display = obs_display_create(&init, 0x202020);
    if (m_display)
        obs_display_add_draw_callback(m_display, &KPHostDisplay::draw, this);
    else
        blog(LOG_WARNING, "kp-host: libobs could not create a display for the viewer");
}

void KPHostDisplay::draw(void *, uint32_t cx, uint32_t cy)
{
    const QSize canvas = canvasSize();
    const QRectF area = letterbox(QSizeF(cx, cy), canvas);
    if (area.isEmpty())
        return;
    gs_viewport_push();
    gs_projection_push();
    gs_ortho(0.0f, static_cast<float>(canvas.width()), 0.0f, static_cast<float>(canvas.height()), -100.0f, 100.0f);
    gs_set_viewport(qRound(area.x()), qRound(area.y()), qRound(area.width()), qRound(area.height()));
    obs_render_main_texture();
    gs_projection_pop();
    gs_viewport_pop();
}

void KPHostDisplay::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    createDisplay();
}

void KPHostDisplay::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    // libobs's X11 swap chain resizes its window on a connection nobody
    // flushes, so a display keeps its first size: a new one is made at the
    // new size once the resizing settles.
    m_resizeTimer.start();
}

void KPHostDisplay::recreateDisplay()
{
    destroyDisplay();
    createDisplay();
}

void KPHostDisplay::destroyDisplay()
{
    if (!m_display)
        return;
    obs_display_remove_draw_callback(m_display, &KPHostDisplay::draw, this);
    obs_display_destroy(m_display);
    m_display = nullptr;
}

void KPHostDisplay::paintEvent(QPaintEvent *)
{
    createDisplay();
}

vec3 KPHostDisplay::toCanvas(const QPointF &widgetPoint) const
{
    const QRectF area = canvasRect();
    const double scale = area.isEmpty() ? 1.0 : area.width() / canvasSize().width();
    vec3 point;
    vec3_set(&point, static_cast<float>((widgetPoint.x() - area.x()) / scale),
             static_cast<float>((widgetPoint.y() - area.y()) / scale), 0.0f);
    return point;
}

QPointF KPHostDisplay::toSource(obs_source_t *source, const QPointF &widgetPoint) const
{
    const vec3 point = toCanvas(widgetPoint);
    ItemSearch item{source};
    obs_scene_enum_items(m_scene, &findItem, &item);
    if (!item.item)
        return QPointF(point.x, point.y);
    matrix4 transform, inverse;
    obs_sceneitem_get_draw_transform(item.item, &transform);
    matrix4_inv(&inverse, &transform);
    vec3 local;
    vec3_transform(&local, &point, &inverse);
    return QPointF(local.x, local.y);
}

double KPHostDisplay::sourceScale(obs_source_t *source) const
{
    const double canvas = canvasRect().width() / std::max(1, canvasSize().width());
    ItemSearch item{source};
    obs_scene_enum_items(m_scene, &findItem, &item);
    if (!item.item)
        return canvas;
    matrix4 transform;
    obs_sceneitem_get_draw_transform(item.item, &transform);
    return canvas * std::hypot(transform.x.x, transform.x.y);
}

obs_source_t *KPHostDisplay::sourceAt(const QPointF &widgetPoint) const
{
    if (!canvasRect().contains(widgetPoint))
        return nullptr;
    HitSearch search;
    search.point = toCanvas(widgetPoint);
    obs_scene_enum_items(m_scene, &containsPoint, &search);
    return search.source;
}

obs_mouse_event KPHostDisplay::mouseEvent(obs_source_t *source, const QPointF &widgetPoint,
                                          Qt::KeyboardModifiers modifiers) const
{
    const QPointF local = toSource(source, widgetPoint);
    obs_mouse_event event = {};
    event.modifiers = interactModifiers(modifiers, QGuiApplication::mouseButtons());
    event.x = static_cast<int32_t>(std::floor(local.x()));
    event.y = static_cast<int32_t>(std::floor(local.y()));
    return event;
}

void KPHostDisplay::press(QMouseEvent *event, uint32_t clicks)
{
    obs_source_t *source = sourceAt(event->localPos());
    if (!source)
        return;
    m_grabbed = source;
    setFocusedSource(source);
    const obs_mouse_event mouse = mouseEvent(source, event->localPos(), event->modifiers());
    obs_source_send_mouse_click(source, &mouse, buttonType(event->button()), false, clicks);
}

void KPHostDisplay::mousePressEvent(QMouseEvent *event)
{
    press(event, 1);
}

void KPHostDisplay::mouseDoubleClickEvent(QMouseEvent *event)
{
    press(event, 2);
}

void KPHostDisplay::mouseReleaseEvent(QMouseEvent *event)
{
    if (!m_grabbed)
        return;
    const obs_mouse_event mouse = mouseEvent(m_grabbed, event->localPos(), event->modifiers());
    obs_source_send_mouse_click(m_grabbed, &mouse, buttonType(event->button()), true, 1);
    if (event->buttons() != Qt::NoButton)
        return;
    m_grabbed = nullptr;
    // A drag that ended outside the canvas left it.
    if (!rect().contains(event->pos()))
        leave();
}

void KPHostDisplay::mouseMoveEvent(QMouseEvent *event)
{
    // A drag stays with the source it started on, even past its edge.
    obs_source_t *target = m_grabbed ? m_grabbed.Get() : sourceAt(event->localPos());
    if (m_hovered && m_hovered != target) {
        const obs_mouse_event leave = mouseEvent(m_hovered, event->localPos(), event->modifiers());
        obs_source_send_mouse_move(m_hovered, &leave, true);
    }
    m_hovered = target;
    if (!target)
        return;
    const obs_mouse_event mouse = mouseEvent(target, event->localPos(), event->modifiers());
    obs_source_send_mouse_move(target, &mouse, false);
}

void KPHostDisplay::leaveEvent(QEvent *event)
{
    QWidget::leaveEvent(event);
    if (!m_grabbed)
        leave();
}

void KPHostDisplay::leave()
{
    if (!m_hovered)
        return;
    const obs_mouse_event event = mouseEvent(m_hovered, mapFromGlobal(QCursor::pos()), Qt::NoModifier);
    obs_source_send_mouse_move(m_hovered, &event, true);
    m_hovered = nullptr;
}

void KPHostDisplay::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    leave();
}

// A native window does not always hear of a pointer that moves straight
// onto a neighbouring widget (a dock): a move seen anywhere else ends the
// hover as well.
bool KPHostDisplay::eventFilter(QObject *watched, QEvent *event)
{
    if (m_hovered && !m_grabbed && watched != this && watched->isWidgetType()
        && (event->type() == QEvent::MouseMove || event->type() == QEvent::Enter))
        leave();
    return QWidget::eventFilter(watched, event);
}

void KPHostDisplay::wheelEvent(QWheelEvent *event)
{
    obs_source_t *source = sourceAt(event->position());
    if (!source)
        return;
    const obs_mouse_event mouse = mouseEvent(source, event->position(), event->modifiers());
    obs_source_send_mouse_wheel(source, &mouse, event->angleDelta().x(), event->angleDelta().y());
}

bool KPHostDisplay::event(QEvent *event)
{
    // A text box being typed into takes every key, the studio's keys too.
    if (event->type() == QEvent::ShortcutOverride && typingIntoSource()) {
        event->accept();
        return true;
    }
    if (event->type() == QEvent::WindowDeactivate)
        leave();
    // Tab belongs to the source being typed into, not to widget focus.
    if (event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) {
            keyPressEvent(key);
            return true;
        }
    }
    return QWidget::event(event);
}

void KPHostDisplay::sendKey(QKeyEvent *event, bool up)
{
    if (!m_focused)
        return;
    QByteArray text = event->text().toUtf8();
    obs_key_event key = {};
    key.modifiers = interactModifiers(modifiersAfter(event, up));
    key.text = text.data();
    key.native_modifiers = event->nativeModifiers();
    key.native_scancode = event->nativeScanCode();
    key.native_vkey = static_cast<uint32_t>(event->key());
    obs_source_send_key_click(m_focused, &key, up);
}

void KPHostDisplay::keyPressEvent(QKeyEvent *event)
{
    sendKey(event, false);
}

void KPHostDisplay::keyReleaseEvent(QKeyEvent *event)
{
    sendKey(event, true);
}

bool KPHostDisplay::typingIntoSource() const
{
    if (!m_focused)
        return false;
    // The host keeps the status record; it is not released here.
    return obs_data_get_bool(kp_obs_get_source_status(m_focused), "kp_wb_text_item_editing");
}

void KPHostDisplay::focusInEvent(QFocusEvent *event)
{
    QWidget::focusInEvent(event);
    if (m_focused)
        obs_source_send_focus(m_focused, true);
}

void KPHostDisplay::focusOutEvent(QFocusEvent *event)
{
    QWidget::focusOutEvent(event);
    if (m_focused)
        obs_source_send_focus(m_focused, false);
}

void KPHostDisplay::tabletEvent(QTabletEvent *event)
{
    const bool press = event->type() == QEvent::TabletPress;
    obs_source_t *target = m_grabbed ? m_grabbed.Get() : sourceAt(event->posF());
    if (!target)
        return;
    if (press) {
        m_grabbed = target;
        setFocusedSource(target);
    }
    const QPointF local = toSource(target, event->posF());
    QTabletEvent mapped(event->type(), local, local, event->deviceType(), event->pointerType(), event->pressure(),
                        event->xTilt(), event->yTilt(), event->tangentialPressure(), event->rotation(), event->z(),
                        event->modifiers(), event->uniqueId(), event->button(), event->buttons());
    kp_tablet_event(target, &mapped);
    if (event->type() == QEvent::TabletRelease)
        m_grabbed = nullptr;
    // Accepted, so Qt makes no mouse events of it and nothing is drawn twice.
    event->accept();
}
