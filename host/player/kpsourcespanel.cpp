#include "kpsourcespanel.h"

#include "kphostdisplay.h"
#include "kphosthotkeys.h"
#include "kpobsruntime.h"
#include "kpscenefile.h"

#include <QApplication>
#include <QFileDialog>
#include <QGridLayout>
#include <QHash>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

#include <obs.hpp>

namespace {

const char kSceneFilter[] = "Scene (*.json);;All files (*)";
const int kSourceRole = Qt::UserRole;

bool listItem(obs_scene_t *, obs_sceneitem_t *item, void *data)
{
    static_cast<QList<obs_sceneitem_t *> *>(data)->prepend(item);
    return true;
}

const char kFitKey[] = "kp_host_fit_to_canvas";

bool isPicture(const QByteArray &id)
{
    return id == "kp_image_source" || id == "kp_clound_source" || id == "kp_single_image_source";
}

bool isSlideshow(obs_source_t *source)
{
    const QByteArray id = source ? obs_source_get_id(source) : "";
    return id == "kp_image_source" || id == "kp_clound_source";
}

// Types a presenter adds by hand: not ones libobs marks as disabled or
// obsolete, nor ones only a host makes for itself.
bool addable(const char *id)
{
    const uint32_t flags = obs_get_source_output_flags(id);
    if (flags & (OBS_SOURCE_CAP_DISABLED | OBS_SOURCE_CAP_OBSOLETE))
        return false;
    const QByteArray type(id);
    return !type.startsWith("kp_test_") && type != "scene" && type != "group";
}

// Whether the source may hold drawings: every source that takes the pointer
// draws.
bool mayHoldDrawings(obs_source_t *source)
{
    return obs_source_get_output_flags(source) & OBS_SOURCE_INTERACTION;
}

} // namespace

// A source taken off the output while another scene is opened, with what
// puts it back as it was should that fail.
struct KPSourcesPanel::Kept
{
    OBSSource source;
    QString name;
    bool visible;
    obs_transform_info transform;
};

KPSourcesPanel::KPSourcesPanel(KPObsRuntime &runtime, KPHostDisplay *display, QWidget *parent)
    : QWidget(parent), m_runtime(runtime), m_display(display), m_list(new QListWidget(this))
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(m_list, 1);
    m_list->setObjectName(QStringLiteral("sources"));
    connect(m_list, &QListWidget::itemChanged, this, &KPSourcesPanel::onItemChanged);
    connect(m_list, &QListWidget::itemSelectionChanged, this, &KPSourcesPanel::onSelectionChanged);
    connect(m_display, &KPHostDisplay::focusedSourceChanged, this, [this] { select(m_display->focusedSource()); });
    buildButtons();
    refresh();
    qApp->installEventFilter(this);
}

bool KPSourcesPanel::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::MouseButtonRelease:
    case QEvent::KeyRelease:
    case QEvent::TabletRelease:
    case QEvent::Wheel:
        break;
    case QEvent::MouseMove:
    case QEvent::TabletMove:
        // A stroke being drawn changes the scene as it goes.
        if (QApplication::mouseButtons() != Qt::NoButton)
            break;
        return false;
    default:
        return false;
    }
    if (watched->isWidgetType() && static_cast<QWidget *>(watched)->window() == window())
        setModified(true);
    return false;
}

void KPSourcesPanel::setModified(bool modified)
{
    m_modified = modified;
    if (modified)
        emit changed();
}

void KPSourcesPanel::buildButtons()
{
    auto *grid = new QGridLayout;
    auto *add = new QToolButton(this);
    add->setText(tr("Add"));
    add->setPopupMode(QToolButton::InstantPopup);
    auto *menu = new QMenu(add);
    for (const auto &entry : addableTypes()) {
        const QString type = entry.first;
        menu->addAction(entry.second, this, [this, type] { addSource(type); })->setObjectName(type);
    }
    add->setMenu(menu);
    add->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    grid->addWidget(add, 0, 0);
    const auto button = [this, grid](const QString &text, int row, int column, auto action) {
        auto *pushButton = new QPushButton(text, this);
        connect(pushButton, &QPushButton::clicked, this, action);
        grid->addWidget(pushButton, row, column);
        return pushButton;
    };
    button(tr("Remove"), 0, 1, [this] { confirmRemove(); });
    button(tr("Up"), 1, 0, [this] { moveSelected(OBS_ORDER_MOVE_UP); });
    button(tr("Down"), 1, 1, [this] { moveSelected(OBS_ORDER_MOVE_DOWN); });
    m_previous = button(tr("Previous picture"), 2, 0, [this] { stepSlideshow(-1); });
    m_next = button(tr("Next picture"), 2, 1, [this] { stepSlideshow(1); });
    m_fit = button(tr("Fit to canvas"), 4, 1, [this] { setFitToCanvas(selected(), m_fit->isChecked()); });
    m_fit->setCheckable(true);
    m_fit->setObjectName(QStringLiteral("fitToCanvas"));
    button(tr("New scene"), 3, 0, [this] {
        if (askToSave())
            newScene();
    });
    button(tr("Save scene..."), 3, 1, [this] { saveDialog(); });
    button(tr("Open scene..."), 4, 0, [this] { openDialog(); });
    static_cast<QVBoxLayout *>(layout())->addLayout(grid);
}

QList<QPair<QString, QString>> KPSourcesPanel::addableTypes() const
{
    QList<QPair<QString, QString>> types;
    QHash<QString, int> uses;
    const char *id = nullptr;
    for (size_t i = 0; obs_enum_input_types(i, &id); ++i) {
        if (!addable(id))
            continue;
        const QString name = QString::fromUtf8(obs_source_get_display_name(id));
        types.append({QString::fromUtf8(id), name});
        ++uses[name];
    }
    // Two types under one name are told apart by their ids.
    for (auto &type : types) {
        if (uses.value(type.second) > 1)
            type.second = tr("%1 (%2)").arg(type.second, type.first);
    }
    return types;
}

void KPSourcesPanel::saveDialog()
{
    const QString path = QFileDialog::getSaveFileName(this, tr("Save scene"), QString(), tr(kSceneFilter));
    if (!path.isEmpty())
        saveScene(path);
}

void KPSourcesPanel::openDialog()
{
    if (!askToSave())
        return;
    const QString path = QFileDialog::getOpenFileName(this, tr("Open scene"), QString(), tr(kSceneFilter));
    if (!path.isEmpty())
        openScene(path);
}

bool KPSourcesPanel::askToSave()
{
    if (!m_modified)
        return true;
    const auto answer = QMessageBox::question(this, tr("Unsaved changes"),
                                              tr("The scene has changes that are not saved. Save them first?"),
                                              QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel,
                                              QMessageBox::Save);
    if (answer == QMessageBox::Cancel)
        return false;
    if (answer == QMessageBox::Discard)
        return true;
    const QString path = QFileDialog::getSaveFileName(this, tr("Save scene"), QString(), tr(kSceneFilter));
    return !path.isEmpty() && saveScene(path);
}

void KPSourcesPanel::refresh()
{
    QList<obs_sceneitem_t *> items;
    obs_scene_enum_items(m_runtime.scene(), &listItem, &items);
    m_refreshing = true;
    m_list->clear();
    for (obs_sceneitem_t *sceneItem : qAsConst(items)) {
        obs_source_t *source = obs_sceneitem_get_source(sceneItem);
        auto *item = new QListWidgetItem(QString::fromUtf8(obs_source_get_name(source)), m_list);
        item->setFlags(item->flags() | Qt::ItemIsEditable | Qt::ItemIsUserCheckable);
        item->setCheckState(obs_sceneitem_visible(sceneItem) ? Qt::Checked : Qt::Unchecked);
        item->setData(kSourceRole, QVariant::fromValue(reinterpret_cast<quintptr>(source)));
        item->setToolTip(QString::fromUtf8(obs_source_get_display_name(obs_source_get_id(source))));
        applyFit(sceneItem);
    }
    m_refreshing = false;
    select(m_display->focusedSource());
}

obs_source_t *KPSourcesPanel::selected() const
{
    const QListWidgetItem *item = m_list->currentItem();
    return item ? reinterpret_cast<obs_source_t *>(item->data(kSourceRole).value<quintptr>()) : nullptr;
}

void KPSourcesPanel::select(obs_source_t *source)
{
    for (int i = 0; i < m_list->count(); ++i) {
        if (reinterpret_cast<obs_source_t *>(m_list->item(i)->data(kSourceRole).value<quintptr>()) == source)
            m_list->setCurrentRow(i);
    }
    m_previous->setEnabled(isSlideshow(source));
    m_next->setEnabled(isSlideshow(source));
    m_fit->setEnabled(source != nullptr);
    m_fit->setChecked(source && fitsToCanvas(source));
}

bool KPSourcesPanel::fitsToCanvas(obs_source_t *source)
{
    OBSDataAutoRelease settings = obs_source_get_private_settings(source);
    return obs_data_get_bool(settings, kFitKey);
}

void KPSourcesPanel::setFitToCanvas(obs_source_t *source, bool fit)
{
    if (!source)
        return;
    OBSDataAutoRelease settings = obs_source_get_private_settings(source);
    obs_data_set_bool(settings, kFitKey, fit);
    applyFit(m_runtime.itemOf(source));
    setModified(true);
}

// Bounds follow the source's size on every frame, so each picture of a
// slideshow fits alike, the one on air and the next.
void KPSourcesPanel::applyFit(obs_sceneitem_t *item)
{
    if (!item)
        return;
    if (!fitsToCanvas(obs_sceneitem_get_source(item))) {
        if (obs_sceneitem_get_bounds_type(item) == OBS_BOUNDS_SCALE_INNER)
            obs_sceneitem_set_bounds_type(item, OBS_BOUNDS_NONE);
        return;
    }
    obs_video_info video = {};
    obs_get_video_info(&video);
    vec2 origin = {}, unit = {}, bounds = {};
    vec2_set(&unit, 1.0f, 1.0f);
    vec2_set(&bounds, static_cast<float>(video.base_width), static_cast<float>(video.base_height));
    obs_sceneitem_set_pos(item, &origin);
    obs_sceneitem_set_rot(item, 0.0f);
    obs_sceneitem_set_scale(item, &unit);
    obs_sceneitem_set_alignment(item, OBS_ALIGN_LEFT | OBS_ALIGN_TOP);
    obs_sceneitem_set_bounds_type(item, OBS_BOUNDS_SCALE_INNER);
    obs_sceneitem_set_bounds_alignment(item, OBS_ALIGN_CENTER);
    obs_sceneitem_set_bounds(item, &bounds);
}

void KPSourcesPanel::onSelectionChanged()
{
    if (!m_refreshing)
        m_display->setFocusedSource(selected());
}

void KPSourcesPanel::onItemChanged(QListWidgetItem *item)
{
    if (m_refreshing)
        return;
    auto *source = reinterpret_cast<obs_source_t *>(item->data(kSourceRole).value<quintptr>());
    m_runtime.setVisible(m_runtime.itemOf(source), item->checkState() == Qt::Checked);
    const QString name = item->text().trimmed();
    if (name == QString::fromUtf8(obs_source_get_name(source)))
        return;
    OBSSourceAutoRelease existing = obs_get_source_by_name(name.toUtf8().constData());
    if (name.isEmpty() || existing)
        emit message(tr("The name \"%1\" cannot be used: %2").arg(name, name.isEmpty() ? tr("it is empty") : tr("it is taken")));
    else
        obs_source_set_name(source, name.toUtf8().constData());
    QMetaObject::invokeMethod(this, &KPSourcesPanel::refresh, Qt::QueuedConnection);
}

QString KPSourcesPanel::uniqueName(const QString &base) const
{
    for (int counter = 1;; ++counter) {
        const QString name = QStringLiteral("%1 %2").arg(base).arg(counter);
        OBSSourceAutoRelease existing = obs_get_source_by_name(name.toUtf8().constData());
        if (!existing)
            return name;
    }
}

obs_source_t *KPSourcesPanel::addSource(const QString &type)
{
    const QByteArray id = type.toUtf8();
    const QString name = uniqueName(QString::fromUtf8(obs_source_get_display_name(id.constData())));
    OBSSourceAutoRelease source = obs_source_create(id.constData(), name.toUtf8().constData(), nullptr, nullptr);
    if (!source) {
        emit message(tr("Could not create a source of type %1").arg(type));
        return nullptr;
    }
    m_runtime.show(source);
    // A picture larger or smaller than the canvas shows whole, in the middle.
    if (isPicture(id))
        setFitToCanvas(source, true);
    refresh();
    m_display->setFocusedSource(source);
    setModified(true);
    return source;
}

void KPSourcesPanel::confirmRemove()
{
    obs_source_t *source = selected();
    if (!source)
        return;
    if (mayHoldDrawings(source)
        && QMessageBox::question(this, tr("Remove"),
                                 tr("Remove \"%1\" and everything drawn on it?")
                                     .arg(QString::fromUtf8(obs_source_get_name(source))))
               != QMessageBox::Yes)
        return;
    removeSelected();
}

void KPSourcesPanel::removeSelected()
{
    obs_source_t *source = selected();
    if (!source)
        return;
    if (m_display->focusedSource() == source)
        m_display->setFocusedSource(nullptr);
    m_runtime.removeFromOutput(m_runtime.itemOf(source));
    refresh();
    setModified(true);
}

void KPSourcesPanel::moveSelected(obs_order_movement movement)
{
    obs_source_t *source = selected();
    if (obs_sceneitem_t *item = m_runtime.itemOf(source))
        obs_sceneitem_set_order(item, movement);
    refresh();
}

// The buttons press the slideshow's own navigation keys, as a presenter's
// bound keys do, so both walk the file list alike.
void KPSourcesPanel::stepSlideshow(int delta)
{
    obs_source_t *source = selected();
    if (!isSlideshow(source))
        return;
    const char *name = delta > 0 ? "kp_ss_hotkey_next" : "kp_ss_hotkey_previous";
    const obs_hotkey_id id = KPHostHotkeys::find(source, QString::fromLatin1(name));
    if (id == OBS_INVALID_HOTKEY_ID) {
        emit message(tr("The slideshow has no key %1").arg(QString::fromLatin1(name)));
        return;
    }
    KPHostHotkeys::fire(id, true);
    KPHostHotkeys::fire(id, false);
}

bool KPSourcesPanel::saveScene(const QString &path)
{
    QString error;
    const bool saved = KPSceneFile::save(m_runtime.scene(), path, &error);
    emit message(saved ? tr("Scene saved to %1").arg(path) : error);
    if (saved)
        m_modified = false;
    return saved;
}

QList<KPSourcesPanel::Kept> KPSourcesPanel::takeAll()
{
    QList<obs_sceneitem_t *> items;
    obs_scene_enum_items(m_runtime.scene(), &listItem, &items);
    QList<Kept> kept;
    m_display->setFocusedSource(nullptr);
    // Bottom first, the order they go back in.
    for (auto it = items.rbegin(); it != items.rend(); ++it) {
        obs_source_t *source = obs_sceneitem_get_source(*it);
        Kept entry{OBSSource(source), QString::fromUtf8(obs_source_get_name(source)), obs_sceneitem_visible(*it), {}};
        obs_sceneitem_get_info(*it, &entry.transform);
        kept.append(entry);
        m_runtime.removeFromOutput(*it);
        // Whoever made the source may still hold it: its name is freed for
        // the scene coming in.
        obs_source_set_name(source, uniqueName(entry.name + QStringLiteral(" (closed)")).toUtf8().constData());
    }
    return kept;
}

void KPSourcesPanel::putBack(const QList<Kept> &kept)
{
    for (const Kept &entry : kept) {
        obs_source_set_name(entry.source, entry.name.toUtf8().constData());
        obs_sceneitem_t *item = m_runtime.show(entry.source);
        obs_sceneitem_set_info(item, &entry.transform);
        m_runtime.setVisible(item, entry.visible);
    }
}

bool KPSourcesPanel::openScene(const QString &path)
{
    const QList<Kept> kept = takeAll();
    QStringList names;
    QString error;
    const bool opened = KPSceneFile::open(m_runtime.scene(), path, &names, &error);
    if (!opened) {
        // Whatever came in before the failure goes; the scene is as it was.
        for (const QString &name : qAsConst(names)) {
            OBSSourceAutoRelease source = obs_get_source_by_name(name.toUtf8().constData());
            m_runtime.removeFromOutput(m_runtime.itemOf(source));
        }
        putBack(kept);
    }
    emit message(opened ? tr("Opened %1 sources from %2").arg(names.size()).arg(path) : error);
    refresh();
    if (opened) {
        OBSSourceAutoRelease top = names.isEmpty() ? nullptr : obs_get_source_by_name(names.last().toUtf8().constData());
        m_display->setFocusedSource(top);
        m_modified = false;
        emit sceneReplaced();
    } else if (!kept.isEmpty()) {
        m_display->setFocusedSource(kept.last().source);
    }
    return opened;
}

void KPSourcesPanel::newScene()
{
    takeAll();
    refresh();
    m_modified = false;
    emit message(tr("New scene"));
    emit sceneReplaced();
}
