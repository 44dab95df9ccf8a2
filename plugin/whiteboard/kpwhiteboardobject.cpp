#include "kpwhiteboardobject.h"

#include "kpaddundocommand.h"
#include "kpboardrecord.h"
#include "kphideundocommand.h"
#include "kplog.h"
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
    // The spotlight darkens the trail too: it goes last.
    m_compositor.addOverlay(m_tools.laser());
    m_compositor.addOverlay(m_tools.spotlight());
}

// The undo stack goes first, and at once: deleteLater would need an event loop
// on this thread, which a host's thread need not run. Its commands drop their
// references to the items before the board's own references go.
KPWhiteBoardObject::~KPWhiteBoardObject()
{
    delete m_undoStack;
    m_undoStack = nullptr;
    m_items.clear();
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
    // A finished item still current is filed before the tool changes.
    m_tools.fileFinished();
    KPWB::ItemProperty tool = m_tools.tool();
    KPUtilInterface::updateWithSettings(tool, settings);
    KP_LOG(2, QStringLiteral("itemProperty.type=%1").arg(tool.type));
    m_tools.setTool(tool);
}

QSharedPointer<KPWhiteBoardItemObject> KPWhiteBoardObject::createCurrentItem(
    const KPWB::ItemProperty &property)
{
    KP_LOG_SCOPE();
    return QSharedPointer<KPWhiteBoardItemObject>(new KPWhiteBoardItemObject(this, property));
}

void KPWhiteBoardObject::setCurrentItemProperty(const KPWB::ItemProperty &property)
{
    QMutexLocker lock(&m_mutex);
    m_tools.setTool(property);
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
    // The cached layer stays as it is: showing the handwriting again is one copy.
    m_compositor.requestFullFrame();
}

void KPWhiteBoardObject::reset()
{
    QMutexLocker lock(&m_mutex);
    m_undoStack->clear();
    m_items.clear();
    m_tools.dropCurrent();
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
        if (!m_active || (!m_compositor.needsCompose() && !m_tools.blinkDue()))
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

// The item being drawn and the tablet stroke being drawn, over the cached items.
void KPWhiteBoardObject::paintLayers(QPainter *painter, int flags)
{
    if (m_hideHandwriting)
        return;
    m_tools.paintLive(painter, flags);
    if (!m_tools.current()->pressurePoints().isEmpty() && !m_pressureLayer.isNull())
        painter->drawPixmap(0, 0, m_pressureLayer);
}

void KPWhiteBoardObject::markDirty(const QRectF &rect)
{
    m_compositor.markDirty(rect.intersected(QRectF(0, 0, m_width, m_height)).toAlignedRect());
}

QImage KPWhiteBoardObject::fullComposition(quint32 minimumLineWidth)
{
    QMutexLocker lock(&m_mutex);
    return KPImageConverter::converted(
        m_compositor.fullComposition(KPWhiteBoardItemObject::PaintKeepBlink, minimumLineWidth),
        QImage::Format_RGBA8888);
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
    if (m_pressureRepaintPending && !m_pressureLayer.isNull()) {
        m_pressureRepaintPending = false;
        KPStrokeTool::repaintLive(*m_tools.current(), &m_pressureLayer);
    }
}

void KPWhiteBoardObject::advanceClock(double seconds)
{
    QMutexLocker lock(&m_mutex);
    m_tools.advanceClock(seconds);
}

void KPWhiteBoardObject::hidePointers()
{
    QMutexLocker lock(&m_mutex);
    m_tools.hidePointers();
}

void KPWhiteBoardObject::setActive(bool active)
{
    KP_LOG_SCOPE();
    obs_enter_graphics();
    {
        QMutexLocker lock(&m_mutex);
        m_active = active;
        if (active) {
            // The stroke being drawn repaints onto an empty layer, never over
            // itself; a dropped layer is made again, and painted, at the next composition.
            if (!m_pressureLayer.isNull()) {
                m_pressureLayer.fill(Qt::transparent);
                KPStrokeTool::repaintLive(*m_tools.current(), &m_pressureLayer);
            } else {
                m_pressureRepaintPending = m_pressureLayerUsed;
            }
            // The cached layer is kept while inactive: at the same size it is shown as it was.
            m_compositor.requestFullFrame();
        } else {
            m_tools.hidePointers();
            m_pressureLayer = QPixmap();
            m_compositor.release();
        }
    }
    obs_leave_graphics();
}

// ---- input -------------------------------------------------------------------

// Every event takes the lock once; the toolbox routes it to the tool.
void KPWhiteBoardObject::do_mouse_click(const obs_mouse_event *event, int32_t type, bool mouseUp,
                                        uint32_t clickCount)
{
    QMutexLocker lock(&m_mutex);
    m_tools.mouseClick(event, type, mouseUp, clickCount);
    m_compositor.requestCompose();
}

void KPWhiteBoardObject::do_mouse_move(const obs_mouse_event *event, bool mouseLeave)
{
    QMutexLocker lock(&m_mutex);
    m_tools.mouseMove(event, mouseLeave);
    m_compositor.requestCompose();
}

void KPWhiteBoardObject::do_mouse_wheel(const obs_mouse_event *, int, int) {}

void KPWhiteBoardObject::do_tablet_event(void *event)
{
    QMutexLocker lock(&m_mutex);
    m_tools.tabletEvent(static_cast<QTabletEvent *>(event));
    m_compositor.requestCompose();
}

void KPWhiteBoardObject::do_key_click(const obs_key_event *event, bool keyUp)
{
    KP_LOG_SCOPE();
    QMutexLocker lock(&m_mutex);
    m_tools.keyClick(event, keyUp);
    m_compositor.requestCompose();
}

void KPWhiteBoardObject::focus(bool focused)
{
    KP_LOG_SCOPE();
    QMutexLocker lock(&m_mutex);
    KP_LOG(2, QStringLiteral("focus=%1").arg(yesNo(focused, "YES", "NO")));
    if (focused)
        return;
    m_tools.fileFinished();
    m_compositor.requestCompose();
}

// ---- undo history --------------------------------------------------------------

void KPWhiteBoardObject::pushUndo(QUndoCommand *command)
{
    m_undoStack->push(command);
}

// The item is composed as the topmost finished one; its step's redo, run by
// the push, finds it shown already.
void KPWhiteBoardObject::appendToList(const QSharedPointer<KPWhiteBoardItemObject> &item)
{
    KP_LOG_SCOPE();
    m_items.append(item);
    m_compositor.itemAdded(item);
    pushUndo(new KPAddUndoCommand(item, &m_compositor));
}

void KPWhiteBoardObject::do_undo()
{
    KP_LOG_SCOPE();
    QMutexLocker lock(&m_mutex);
    m_tools.finishErase();
    // Filed like any other finished item: a text box loses its editing frame
    // and cursor, or a later redo would bring them back for good.
    m_tools.fileFinished();
    KP_LOG(1, QStringLiteral("QQQV:do_undo:count=%1,index=%2")
                  .arg(m_undoStack->count())
                  .arg(m_undoStack->index()));
    m_undoStack->undo();
}

void KPWhiteBoardObject::do_redo()
{
    KP_LOG_SCOPE();
    QMutexLocker lock(&m_mutex);
    m_tools.finishErase();
    KP_LOG(1, QStringLiteral("QQQV:do_redo:count=%1,index=%2")
                  .arg(m_undoStack->count())
                  .arg(m_undoStack->index()));
    m_undoStack->redo();
}

void KPWhiteBoardObject::do_clear()
{
    KP_LOG_SCOPE();
    QMutexLocker lock(&m_mutex);
    QList<QSharedPointer<KPWhiteBoardItemObject>> cleared;
    m_tools.finishErase();
    for (const auto &item : qAsConst(m_items)) {
        if (item->visible())
            cleared.append(item);
    }
    // A finished item still current joins the list as well (without an undo
    // step of its own), so that undoing the clear brings it back painted and saved.
    if (const auto finished = m_tools.takeFinished()) {
        cleared.append(finished);
        m_items.append(finished);
        m_compositor.itemAdded(finished);
    }
    if (!cleared.isEmpty()) {
        for (const auto &item : qAsConst(cleared))
            item->hide();
        m_compositor.cleared(cleared);
        pushUndo(new KPHideUndoCommand(cleared, KPHideUndoCommand::EveryItem, &m_compositor));
    }
    m_compositor.requestFullFrame();
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
    const auto &current = m_tools.current();
    const bool finished = current->visible() && current->initialized();
    KPBoardRecord::write(settings, m_items, finished ? current : QSharedPointer<KPWhiteBoardItemObject>());
}

QString KPWhiteBoardObject::savedContentProblem(obs_data_t *settings)
{
    return KPBoardRecord::problem(settings, kMaxSavedItems, kMaxSavedPoints);
}

void KPWhiteBoardObject::load(obs_data_t *settings)
{
    KP_LOG_SCOPE();
    if (!settings || !obs_data_has_user_value(settings, "kp_wb_data"))
        return;
    const QString problem = savedContentProblem(settings);
    if (!problem.isEmpty()) {
        KP_LOG(1, QStringLiteral("saved drawings not loaded: %1").arg(problem));
        return;
    }
    QMutexLocker lock(&m_mutex);
    m_items.append(KPBoardRecord::read(settings, this));
    m_compositor.everythingChanged();
}

void KPWhiteBoardObject::setStatusData(obs_data_t *status)
{
    KP_LOG_SCOPE();
    QMutexLocker lock(&m_mutex);
    if (status)
        m_tools.current()->setStatusData(status);
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
