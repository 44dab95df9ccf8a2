#include "kpsourcespanel.h"

#include "kphostdisplay.h"
#include "kphosthotkeys.h"
#include "kpobsruntime.h"
#include "kpscenefile.h"

#include <QFileDialog>
#include <QGridLayout>
#include <QListWidget>
#include <QMenu>
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

bool isSlideshow(obs_source_t *source)
{
    const QByteArray id = source ? obs_source_get_id(source) : "";
    return id == "kp_image_source" || id == "kp_clound_source";
}

} // namespace

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
}

void KPSourcesPanel::buildButtons()
{
    auto *grid = new QGridLayout;
    auto *add = new QToolButton(this);
    add->setText(tr("Add"));
    add->setPopupMode(QToolButton::InstantPopup);
    auto *menu = new QMenu(add);
    const char *id = nullptr;
    for (size_t i = 0; obs_enum_input_types(i, &id); ++i) {
        const QString type = QString::fromUtf8(id);
        menu->addAction(QString::fromUtf8(obs_source_get_display_name(id)), this, [this, type] { addSource(type); });
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
    button(tr("Remove"), 0, 1, [this] { removeSelected(); });
    button(tr("Up"), 1, 0, [this] { moveSelected(OBS_ORDER_MOVE_UP); });
    button(tr("Down"), 1, 1, [this] { moveSelected(OBS_ORDER_MOVE_DOWN); });
    m_previous = button(tr("Previous picture"), 2, 0, [this] { stepSlideshow(-1); });
    m_next = button(tr("Next picture"), 2, 1, [this] { stepSlideshow(1); });
    button(tr("Save scene..."), 3, 0, [this] {
        const QString path = QFileDialog::getSaveFileName(this, tr("Save scene"), QString(), tr(kSceneFilter));
        if (!path.isEmpty())
            saveScene(path);
    });
    button(tr("Open scene..."), 3, 1, [this] {
        const QString path = QFileDialog::getOpenFileName(this, tr("Open scene"), QString(), tr(kSceneFilter));
        if (!path.isEmpty())
            openScene(path);
    });
    static_cast<QVBoxLayout *>(layout())->addLayout(grid);
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
    refresh();
    m_display->setFocusedSource(source);
    return source;
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
    return saved;
}

bool KPSourcesPanel::openScene(const QString &path)
{
    QStringList names;
    QString error;
    const bool opened = KPSceneFile::open(m_runtime.scene(), path, &names, &error);
    emit message(opened ? tr("Opened %1 sources from %2").arg(names.size()).arg(path) : error);
    refresh();
    return opened;
}
