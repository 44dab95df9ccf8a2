#include "kpwhiteboardobject.h"

#include "kpaddundocommand.h"
#include "kpclearundocommand.h"
#include "kperaseundocommand.h"
#include "kplog.h"
#include "kptextdata.h"
#include "kputilinterface.h"
#include "kpwhiteboarditemobject.h"

#include <QPainter>
#include <QTabletEvent>
#include <QUndoStack>

#include <cstring>

#include <obs-module.h>

namespace {

const char kItemWidthKey[] = "kp_wb_item_width";
const char kBackgroundKey[] = "kp_wb_background";
const char kHideHandwritingKey[] = "kp_wb_hideHandwriting";
const char kWidthKey[] = "kp_wb_width";
const char kHeightKey[] = "kp_wb_height";

QString yesNo(bool value, const char *yes, const char *no)
{
    return QString::fromLatin1(value ? yes : no);
}

} // namespace

KPWhiteBoardObject::KPWhiteBoardObject(obs_source_t *source) : m_source(source)
{
    QMutexLocker lock(&m_mutex);
    m_undoStack = new QUndoStack();
    m_currentData = createCurrentItem(currentTool());
    m_compositor.addOverlay(&m_tools);
}

// The undo stack goes first, and at once: deleteLater would need an event loop
// on this thread, which a host's thread need not run. Its commands drop their
// references to the items before the board's own references go.
KPWhiteBoardObject::~KPWhiteBoardObject()
{
    delete m_undoStack;
    m_undoStack = nullptr;
    m_items.clear();
    m_currentData.reset();
    m_pressureLayer = QPixmap();
    if (m_compositor.hasTexture()) {
        obs_enter_graphics();
        m_compositor.destroyTexture();
        obs_leave_graphics();
    }
}

bool KPWhiteBoardObject::isValidSide(long long side)
{
    return side >= 0 && side <= kMaxCanvasSide;
}

// ---- settings and tool -----------------------------------------------------

void KPWhiteBoardObject::updateWithSettings(obs_data_t *settings)
{
    if (!settings) {
        KP_LOG(1, QStringLiteral("updateWithSettings: settings is NULL."));
        return;
    }
    const double itemWidth = obs_data_has_user_value(settings, kItemWidthKey)
                                 ? obs_data_get_double(settings, kItemWidthKey)
                                 : 0.0;
    const quint32 background = static_cast<quint32>(obs_data_get_int(settings, kBackgroundKey));
    const bool hide = obs_data_get_bool(settings, kHideHandwritingKey);
    const double scale = m_itemScale;
    const bool restyled = m_background.exchange(background) != background;
    if (m_hideHandwriting.exchange(hide) != hide)
        m_compositor.requestFullFrame();
    const long long width = obs_data_get_int(settings, kWidthKey);
    const long long height = obs_data_get_int(settings, kHeightKey);
    updateCurrentItem(settings);
    if (!isValidSide(width) || !isValidSide(height)) {
        KP_LOG(1, QStringLiteral("canvas size %1x%2 refused.").arg(width).arg(height));
    } else if (width != m_width || height != m_height) {
        m_width = static_cast<int>(width);
        m_height = static_cast<int>(height);
    }
    // The scale relates the canvas this update leaves to the view width, so a
    // width and a view width that change together give the right scale at once.
    if (itemWidth > 1.0)
        m_itemScale = static_cast<unsigned>(m_width.load()) / itemWidth;
    if (restyled || m_itemScale != scale)
        m_compositor.everythingChanged();
    m_compositor.requestCompose();
}

void KPWhiteBoardObject::updateCurrentItem(obs_data_t *settings)
{
    KP_LOG_SCOPE();
    QMutexLocker lock(&m_mutex);
    KP_LOG(2, QStringLiteral("m_currentData.isNull()=%1").arg(yesNo(m_currentData.isNull(), "Y", "N")));
    if (m_currentData.isNull())
        return;
    KP_LOG(2, QStringLiteral("m_currentData.data()->initialized()=%1")
                  .arg(yesNo(m_currentData->initialized(), "Y", "N")));
    KP_LOG(2, QStringLiteral("itemProperty.type=%1").arg(m_currentData->itemProperty.type));
    // A finished item still current is filed before the tool changes.
    if (m_currentData->initialized()) {
        m_currentData->clearFocus();
        pushList();
    }
    KPUtilInterface::updateWithSettings(m_currentData->itemProperty, settings);
    m_tools.toolChanged(m_currentData->itemProperty.type);
}

KPWB::ItemProperty KPWhiteBoardObject::currentTool() const
{
    KPWB::ItemProperty tool;
    if (m_currentData) {
        tool.size = m_currentData->itemProperty.size;
        tool.color = m_currentData->itemProperty.color;
        tool.type = m_currentData->itemProperty.type;
    }
    return tool;
}

QSharedPointer<KPWhiteBoardItemObject> KPWhiteBoardObject::createCurrentItem(
    const KPWB::ItemProperty &property)
{
    KP_LOG_SCOPE();
    return QSharedPointer<KPWhiteBoardItemObject>(new KPWhiteBoardItemObject(this, property));
}

void KPWhiteBoardObject::replaceCurrentItem()
{
    m_currentData = createCurrentItem(currentTool());
}

void KPWhiteBoardObject::setCurrentItemProperty(const KPWB::ItemProperty &property)
{
    QMutexLocker lock(&m_mutex);
    if (!m_currentData)
        return;
    m_currentData->itemProperty.size = property.size;
    m_currentData->itemProperty.color = property.color;
    m_currentData->itemProperty.type = property.type;
    m_tools.toolChanged(property.type);
    m_compositor.requestCompose();
}

void KPWhiteBoardObject::setSize(uint32_t width, uint32_t height)
{
    if (!isValidSide(width) || !isValidSide(height)) {
        KP_LOG(1, QStringLiteral("canvas size %1x%2 refused.").arg(width).arg(height));
        return;
    }
    if (static_cast<int>(width) == m_width && static_cast<int>(height) == m_height)
        return;
    m_width = static_cast<int>(width);
    m_height = static_cast<int>(height);
    m_compositor.requestCompose();
}

void KPWhiteBoardObject::setHideHandwriting(bool hide)
{
    if (hide == m_hideHandwriting)
        return;
    m_hideHandwriting = hide;
    if (hide && m_pendingItem) {
        QMutexLocker lock(&m_mutex);
        pushList();
    }
    // The cached layer stays as it is: showing the handwriting again is one copy.
    m_compositor.requestFullFrame();
}

void KPWhiteBoardObject::reset()
{
    QMutexLocker lock(&m_mutex);
    m_undoStack->clear();
    m_items.clear();
    m_pendingItem = false;
    replaceCurrentItem();
    // The pressure strokes of the dropped items go with them.
    if (!m_pressureLayer.isNull())
        m_pressureLayer.fill(Qt::transparent);
    m_compositor.everythingChanged();
}

// ---- composition and rendering -----------------------------------------------

void KPWhiteBoardObject::do_video_tick()
{
    if (m_width <= 0 || m_height <= 0)
        return;
    {
        QMutexLocker lock(&m_mutex);
        // An inactive page keeps its layer but composes nothing until shown again.
        if (!m_active || (!m_compositor.needsCompose() && !blinkDue()))
            return;
        if (!m_compositor.compose())
            return;
    }
    // Painting needs no graphics context: only the upload holds it, so the
    // host's renderer never waits for the painting.
    obs_enter_graphics();
    {
        QMutexLocker lock(&m_mutex);
        m_compositor.upload();
    }
    obs_leave_graphics();
}

// The item being drawn and the pressure layer, over the cached items.
void KPWhiteBoardObject::paintLayers(QPainter *painter, int flags)
{
    if (m_hideHandwriting)
        return;
    if (m_currentData && m_currentData->leftClicked())
        m_currentData->paint(painter, flags);
    if (m_pressureLayerUsed && !m_pressureLayer.isNull())
        painter->drawPixmap(0, 0, m_pressureLayer);
}

QRect KPWhiteBoardObject::currentBounds() const
{
    if (m_hideHandwriting || !m_currentData || !m_currentData->leftClicked())
        return QRect();
    const QRect canvas(0, 0, m_width, m_height);
    // A text box lays itself out over the canvas: it is composed whole.
    if (m_currentData->itemProperty.type == KPWB::DRAW_ITEM_TYPE_TEXT)
        return canvas;
    return m_currentData->paintBounds().intersected(QRectF(canvas)).toAlignedRect();
}

bool KPWhiteBoardObject::blinkDue() const
{
    return m_currentData && m_currentData->itemProperty.type == KPWB::DRAW_ITEM_TYPE_TEXT &&
           m_currentData->textItemData() && m_currentData->textItemData()->blinkDue();
}

void KPWhiteBoardObject::markDirty(const QRectF &rect)
{
    m_compositor.markDirty(rect.intersected(QRectF(0, 0, m_width, m_height)).toAlignedRect());
}

QImage KPWhiteBoardObject::fullComposition()
{
    QMutexLocker lock(&m_mutex);
    return m_compositor.fullComposition(KPWhiteBoardItemObject::PaintKeepBlink)
        .convertToFormat(QImage::Format_RGBA8888);
}

QVector<int> KPWhiteBoardObject::indexedItems() const
{
    QMutexLocker lock(&m_mutex);
    return m_compositor.indexedItems();
}

qint64 KPWhiteBoardObject::indexBytes() const
{
    QMutexLocker lock(&m_mutex);
    return m_compositor.indexBytes();
}

qint64 KPWhiteBoardObject::keptLayerBytes() const
{
    QMutexLocker lock(&m_mutex);
    return m_compositor.keptLayerBytes();
}

void KPWhiteBoardObject::addOverlay(KPBoardCompositor::Overlay *overlay)
{
    QMutexLocker lock(&m_mutex);
    m_compositor.addOverlay(overlay);
}

void KPWhiteBoardObject::removeOverlay(KPBoardCompositor::Overlay *overlay)
{
    QMutexLocker lock(&m_mutex);
    m_compositor.removeOverlay(overlay);
}

void KPWhiteBoardObject::do_video_render(gs_effect_t *effect)
{
    QMutexLocker lock(&m_mutex);
    if (m_active)
        m_compositor.render(effect);
}

void KPWhiteBoardObject::ensurePressureLayer()
{
    if (!m_pressureLayerUsed)
        return;
    const QSize canvas(m_width, m_height);
    if (m_pressureLayer.size() == canvas)
        return;
    QPixmap layer(canvas);
    layer.fill(Qt::transparent);
    if (!m_pressureLayer.isNull() && !layer.isNull()) {
        QPainter painter(&layer);
        painter.drawPixmap(0, 0, m_pressureLayer);
    }
    m_pressureLayer = layer;
    if (m_pressureRepaintPending && !m_pressureLayer.isNull())
        repaintPressureStrokes();
}

void KPWhiteBoardObject::advanceClock(double seconds)
{
    QMutexLocker lock(&m_mutex);
    m_tools.advance(seconds);
}

void KPWhiteBoardObject::hidePointers()
{
    QMutexLocker lock(&m_mutex);
    m_tools.deactivate();
}

void KPWhiteBoardObject::setActive(bool active)
{
    KP_LOG_SCOPE();
    obs_enter_graphics();
    {
        QMutexLocker lock(&m_mutex);
        m_active = active;
        if (active) {
            // The strokes repaint onto an empty layer, never over themselves;
            // a dropped layer is made again, and painted, at the next composition.
            if (!m_pressureLayer.isNull()) {
                m_pressureLayer.fill(Qt::transparent);
                repaintPressureStrokes();
            } else {
                m_pressureRepaintPending = m_pressureLayerUsed;
            }
            // The cached layer is kept while inactive: at the same size it is shown as it was.
            m_compositor.requestFullFrame();
        } else {
            m_tools.deactivate();
            m_pressureLayer = QPixmap();
            m_compositor.release();
        }
    }
    obs_leave_graphics();
}

// Every visible pressure stroke into the layer, as it was drawn.
void KPWhiteBoardObject::repaintPressureStrokes()
{
    m_pressureRepaintPending = false;
    for (const auto &item : qAsConst(m_items)) {
        if (item->visible() && !item->pressurePoints().isEmpty())
            item->repaintPressureStroke();
    }
    repaintCurrentStroke();
}

// ---- input -------------------------------------------------------------------

void KPWhiteBoardObject::do_mouse_click(const obs_mouse_event *event, int32_t type, bool mouseUp,
                                        uint32_t clickCount)
{
    {
        // The pointers work over hidden handwriting too.
        QMutexLocker lock(&m_mutex);
        if (m_tools.mouseClick(currentTool(), event, type, mouseUp, clickCount))
            return;
    }
    if (m_hideHandwriting) {
        m_pendingItem = false;
        return;
    }
    QMutexLocker lock(&m_mutex);
    // A copy: a finishing item replaces the current item during the call.
    const QSharedPointer<KPWhiteBoardItemObject> item = m_currentData;
    if (item)
        item->mouse_click(event, type, mouseUp, clickCount);
    m_compositor.requestCompose();
}

void KPWhiteBoardObject::do_mouse_move(const obs_mouse_event *event, bool mouseLeave)
{
    {
        QMutexLocker lock(&m_mutex);
        if (m_tools.mouseMove(currentTool(), event, mouseLeave))
            return;
    }
    if (m_hideHandwriting) {
        m_pendingItem = false;
        return;
    }
    QMutexLocker lock(&m_mutex);
    const QSharedPointer<KPWhiteBoardItemObject> item = m_currentData;
    if (item)
        item->mouse_move(event, mouseLeave);
    m_compositor.requestCompose();
}

void KPWhiteBoardObject::do_mouse_wheel(const obs_mouse_event *, int, int) {}

void KPWhiteBoardObject::do_tablet_event(void *event)
{
    if (m_hideHandwriting) {
        m_pendingItem = false;
        KP_LOG(1, QStringLiteral("m_hideHandwriting is true."));
        return;
    }
    // The layer is built under the lock: the graphics thread may be composing.
    QMutexLocker lock(&m_mutex);
    if (!m_pressureLayerUsed) {
        m_pressureLayerUsed = true;
        ensurePressureLayer();
    }
    const QSharedPointer<KPWhiteBoardItemObject> item = m_currentData;
    if (item)
        item->do_tablet_event(static_cast<QTabletEvent *>(event));
    else
        KP_LOG(1, QStringLiteral("m_currentData is NULL."));
    m_compositor.requestCompose();
}

void KPWhiteBoardObject::do_key_click(const obs_key_event *event, bool keyUp)
{
    KP_LOG_SCOPE();
    QMutexLocker lock(&m_mutex);
    if (!event) {
        KP_LOG(1, QStringLiteral("key event is NULL."));
        return;
    }
    if (event->modifiers & INTERACT_SHIFT_KEY) {
        KP_LOG(1, QStringLiteral("shift pressed: %1").arg(keyUp ? 1 : 0));
        m_shiftPressed = !keyUp;
    }
    if (m_currentData)
        m_currentData->do_key_click(event, keyUp);
    else
        KP_LOG(1, QStringLiteral("m_currentData.isNull()"));
    m_compositor.requestCompose();
}

void KPWhiteBoardObject::focus(bool focused)
{
    KP_LOG_SCOPE();
    QMutexLocker lock(&m_mutex);
    KP_LOG(2, QStringLiteral("focus=%1").arg(yesNo(focused, "YES", "NO")));
    if (focused)
        return;
    if (m_currentData && m_currentData->initialized()) {
        m_currentData->clearFocus();
        pushList();
    }
    m_compositor.requestCompose();
}

// ---- undo history --------------------------------------------------------------

void KPWhiteBoardObject::appendToList(const QSharedPointer<KPWhiteBoardItemObject> &item)
{
    KP_LOG_SCOPE();
    m_undoStack->push(new KPAddUndoCommand(item));
    m_items.append(item);
    // The current item is composed once it has been replaced (see fileCurrentItem).
    if (item != m_currentData)
        m_compositor.itemAdded(item);
}

// The current item becomes a finished one: it is composed once it is no
// longer current, as every later frame paints it.
void KPWhiteBoardObject::fileCurrentItem()
{
    const QSharedPointer<KPWhiteBoardItemObject> finished = m_currentData;
    replaceCurrentItem();
    m_compositor.itemAdded(finished);
}

void KPWhiteBoardObject::pushList()
{
    KP_LOG_SCOPE();
    if (!m_currentData)
        return;
    appendToList(m_currentData);
    fileCurrentItem();
    m_pendingItem = false;
}

void KPWhiteBoardObject::do_undo()
{
    KP_LOG_SCOPE();
    QMutexLocker lock(&m_mutex);
    m_tools.finishErase();
    // Filed like any other finished item: a text box loses its editing frame
    // and cursor, or a later redo would bring them back for good.
    if (m_currentData && m_currentData->initialized()) {
        m_currentData->clearFocus();
        appendToList(m_currentData);
        fileCurrentItem();
    }
    KP_LOG(1, QStringLiteral("QQQV:do_undo:count=%1,index=%2")
                  .arg(m_undoStack->count())
                  .arg(m_undoStack->index()));
    const int index = m_undoStack->index();
    m_undoStack->undo();
    if (m_undoStack->index() != index)
        reportUndoStep(index - 1, true);
}

void KPWhiteBoardObject::do_redo()
{
    KP_LOG_SCOPE();
    QMutexLocker lock(&m_mutex);
    m_tools.finishErase();
    KP_LOG(1, QStringLiteral("QQQV:do_redo:count=%1,index=%2")
                  .arg(m_undoStack->count())
                  .arg(m_undoStack->index()));
    const int index = m_undoStack->index();
    m_undoStack->redo();
    if (m_undoStack->index() != index)
        reportUndoStep(index, false);
}

// Tells the compositor which items the step at this place of the history
// hid or showed again.
void KPWhiteBoardObject::reportUndoStep(int index, bool undone)
{
    const QUndoCommand *command = m_undoStack->command(index);
    QList<QSharedPointer<KPWhiteBoardItemObject>> changed;
    if (const auto *add = dynamic_cast<const KPAddUndoCommand *>(command)) {
        changed = {add->item()};
        m_compositor.itemsChanged(changed);
    } else if (const auto *erase = dynamic_cast<const KPEraseUndoCommand *>(command)) {
        changed = erase->items();
        m_compositor.itemsChanged(changed);
    } else if (const auto *clear = dynamic_cast<const KPClearUndoCommand *>(command)) {
        changed = clear->items();
        if (undone)
            m_compositor.clearUndone(changed);
        else
            m_compositor.cleared(changed);
    } else {
        m_compositor.everythingChanged();
    }
    for (const auto &item : qAsConst(changed)) {
        if (item && !item->pressurePoints().isEmpty()) {
            redrawPressureLayer();
            break;
        }
    }
}

// Pressure strokes are painted into their own layer as they are drawn, so
// hiding or showing their items alone would leave the layer as it was: the
// screen would keep an undone stroke that the scene no longer saves. After
// undo and redo of a pressure stroke the layer is emptied and the visible
// strokes repaint into it.
void KPWhiteBoardObject::redrawPressureLayer()
{
    if (!m_pressureLayerUsed || m_pressureLayer.isNull())
        return;
    m_pressureLayer.fill(Qt::transparent);
    repaintPressureStrokes();
    m_compositor.requestFullFrame();
}

// A tablet stroke being drawn lives only in the layer until it is finished:
// whenever the layer is emptied, it is painted back at once, so that it goes
// on from where the pen is.
void KPWhiteBoardObject::repaintCurrentStroke()
{
    if (m_currentData && !m_currentData->pressurePoints().isEmpty())
        m_currentData->repaintPressureStroke();
}

void KPWhiteBoardObject::do_clear()
{
    KP_LOG_SCOPE();
    QMutexLocker lock(&m_mutex);
    QList<QSharedPointer<KPWhiteBoardItemObject>> cleared;
    m_tools.finishErase();
    m_pendingItem = false;
    for (const auto &item : qAsConst(m_items)) {
        if (item->visible())
            cleared.append(item);
    }
    // A finished item still current joins the list as well (without an undo
    // step of its own), so that undoing the clear brings it back painted and saved.
    if (m_currentData && m_currentData->visible() && m_currentData->initialized()) {
        m_currentData->clearFocus();
        cleared.append(m_currentData);
        m_items.append(m_currentData);
        fileCurrentItem();
    }
    if (!cleared.isEmpty()) {
        m_undoStack->push(new KPClearUndoCommand(cleared));
        m_compositor.cleared(cleared);
    }
    if (!m_pressureLayer.isNull()) {
        m_pressureLayer = QPixmap();
        ensurePressureLayer();
        repaintCurrentStroke();
    }
    m_compositor.requestFullFrame();
}

void KPWhiteBoardObject::eraseItems(const QList<QSharedPointer<KPWhiteBoardItemObject>> &items)
{
    bool pressure = false;
    for (const auto &item : items) {
        item->hide();
        pressure = pressure || !item->pressurePoints().isEmpty();
    }
    if (pressure)
        redrawPressureLayer();
    m_compositor.itemsChanged(items);
}

void KPWhiteBoardObject::fileErase(const QList<QSharedPointer<KPWhiteBoardItemObject>> &items)
{
    KP_LOG(1, QStringLiteral("erased %1 items.").arg(items.size()));
    m_undoStack->push(new KPEraseUndoCommand(items));
}

// ---- snapshots -------------------------------------------------------------------

QImage KPWhiteBoardObject::image() const
{
    QMutexLocker lock(&m_mutex);
    return m_compositor.frame().convertToFormat(QImage::Format_RGBA8888);
}

QPixmap KPWhiteBoardObject::pressureLayer() const
{
    QMutexLocker lock(&m_mutex);
    return m_pressureLayer;
}

QSharedPointer<KPWhiteBoardItemObject> KPWhiteBoardObject::currentItem() const
{
    QMutexLocker lock(&m_mutex);
    return m_currentData;
}

QList<QSharedPointer<KPWhiteBoardItemObject>> KPWhiteBoardObject::items() const
{
    QMutexLocker lock(&m_mutex);
    return m_items;
}

int KPWhiteBoardObject::undoCount() const
{
    QMutexLocker lock(&m_mutex);
    return m_undoStack->count();
}

int KPWhiteBoardObject::undoIndex() const
{
    QMutexLocker lock(&m_mutex);
    return m_undoStack->index();
}

bool KPWhiteBoardObject::hasTexture() const
{
    QMutexLocker lock(&m_mutex);
    return m_compositor.hasTexture();
}

bool KPWhiteBoardObject::isActive() const
{
    QMutexLocker lock(&m_mutex);
    return m_active;
}

void KPWhiteBoardObject::addProperties(obs_properties_t *properties, bool imagePage)
{
    if (!imagePage) {
        obs_properties_add_int(properties, kWidthKey, obs_module_text(kWidthKey), 0, 4096, 1);
        obs_properties_add_int(properties, kHeightKey, obs_module_text(kHeightKey), 0, 4096, 1);
        obs_properties_add_color(properties, kBackgroundKey, obs_module_text(kBackgroundKey));
    }
    obs_properties_add_bool(properties, kHideHandwritingKey, obs_module_text(kHideHandwritingKey));
    KPUtilInterface::addProperties(properties);
}

void KPWhiteBoardObject::save(obs_data_t *settings)
{
    KP_LOG_SCOPE();
    if (!settings) {
        KP_LOG(1, QStringLiteral("settings is NULL."));
        return;
    }
    QMutexLocker lock(&m_mutex);
    obs_data_t *content = obs_data_create();
    obs_data_array_t *records = obs_data_array_create();
    const auto append = [records](const QSharedPointer<KPWhiteBoardItemObject> &item) {
        obs_data_t *record = item->toData();
        obs_data_array_push_back(records, record);
        obs_data_release(record);
    };
    for (const auto &item : qAsConst(m_items)) {
        if (item->visible())
            append(item);
    }
    if (m_currentData && m_currentData->visible() && m_currentData->initialized())
        append(m_currentData);
    obs_data_set_array(content, "kp_wb_data_datas", records);
    obs_data_array_release(records);
    obs_data_set_obj(settings, "kp_wb_data", content);
    obs_data_release(content);
}

void KPWhiteBoardObject::load(obs_data_t *settings)
{
    KP_LOG_SCOPE();
    if (!settings || !obs_data_has_user_value(settings, "kp_wb_data"))
        return;
    QMutexLocker lock(&m_mutex);
    obs_data_t *content = obs_data_get_obj(settings, "kp_wb_data");
    obs_data_array_t *records = nullptr;
    size_t count = 0;
    if (content && obs_data_has_user_value(content, "kp_wb_data_datas")) {
        records = obs_data_get_array(content, "kp_wb_data_datas");
        count = obs_data_array_count(records);
        KP_LOG(2, QStringLiteral(" count=%1").arg(count));
    }
    for (size_t i = 0; i < count; ++i) {
        obs_data_t *record = obs_data_array_item(records, i);
        const QSharedPointer<KPWhiteBoardItemObject> item = KPWhiteBoardItemObject::createFromData(this, record);
        if (item)
            m_items.append(item);
        obs_data_release(record);
    }
    obs_data_array_release(records);
    obs_data_release(content);
    m_compositor.everythingChanged();
}

void KPWhiteBoardObject::setStatusData(obs_data_t *status)
{
    KP_LOG_SCOPE();
    QMutexLocker lock(&m_mutex);
    if (m_currentData && status)
        m_currentData->setStatusData(status);
}

void KPWhiteBoardObject::do_custom_callback(int command, obs_data_t *)
{
    KP_LOG(2, QStringLiteral(" type=%1").arg(command));
    switch (command) {
    case 1:
        do_undo();
        break;
    case 2:
        do_redo();
        break;
    case 3:
        do_clear();
        break;
    default:
        break;
    }
    m_compositor.requestCompose();
}
