#include "kphostviewer.h"

#include "kphostdisplay.h"
#include "kpobsext.h"
#include "kpobsruntime.h"

#include <QAction>
#include <QColorDialog>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QGuiApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <QSpinBox>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QWindow>

#include <obs.hpp>

#include <algorithm>

namespace {

const char kFileFilter[] = "Saved source (*.json);;All files (*)";

// Every board-bearing source, whiteboard or picture, hides its drawings by this key.
const char kHideHandwriting[] = "kp_wb_hideHandwriting";

QColor fromSettingsColour(quint32 colour)
{
    return QColor(colour & 0xff, (colour >> 8) & 0xff, (colour >> 16) & 0xff, (colour >> 24) & 0xff);
}

quint32 toSettingsColour(const QColor &colour)
{
    return quint32(colour.red()) | quint32(colour.green()) << 8 | quint32(colour.blue()) << 16
           | quint32(colour.alpha()) << 24;
}

struct ItemSearch
{
    obs_source_t *source;
    obs_sceneitem_t *item = nullptr;
};

bool findItem(obs_scene_t *, obs_sceneitem_t *item, void *data)
{
    auto *search = static_cast<ItemSearch *>(data);
    if (obs_sceneitem_get_source(item) == search->source)
        search->item = item;
    return true;
}

} // namespace

KPHostViewer::KPHostViewer(KPObsRuntime &runtime, QWidget *parent)
    : QMainWindow(parent), m_runtime(runtime), m_display(new KPHostDisplay(runtime.scene(), this))
{
    setWindowTitle(QStringLiteral("kp-host"));
    setCentralWidget(m_display);
    buildToolBar();
    m_status = new QLabel(this);
    m_status->setTextInteractionFlags(Qt::TextSelectableByMouse);
    statusBar()->addWidget(m_status, 1);
    connect(m_display, &KPHostDisplay::focusedSourceChanged, this, &KPHostViewer::refreshStatus);
    // The bar shows the tool of the source it acts on.
    connect(m_display, &KPHostDisplay::focusedSourceChanged, this, &KPHostViewer::showSourceTool);
    showSourceTool();
    auto *timer = new QTimer(this);
    connect(timer, &QTimer::timeout, this, &KPHostViewer::refreshStatus);
    timer->start(250);
    const QSize canvas = KPHostDisplay::canvasSize();
    resize(canvas.scaled(960, 540, Qt::KeepAspectRatio) + QSize(0, 80));
    m_display->setFocus();
    refreshStatus();
}

void KPHostViewer::buildToolBar()
{
    QToolBar *bar = addToolBar(QStringLiteral("Tools"));
    bar->setMovable(false);
    m_tool = new QComboBox(bar);
    const QStringList tools = {"None", "Rectangle", "Dot",  "Arrow",      "Line",   "Ellipse",
                               "Pen",  "Text",      "Highlighter", "Eraser", "Laser", "Spotlight"};
    for (int i = 0; i < tools.size(); ++i)
        m_tool->addItem(tools[i], i);
    m_tool->setFocusPolicy(Qt::NoFocus);
    connect(m_tool, QOverload<int>::of(&QComboBox::activated), this, &KPHostViewer::applyTool);
    bar->addWidget(m_tool);

    m_colourButton = new QToolButton(bar);
    m_colourButton->setToolTip(QStringLiteral("Colour"));
    connect(m_colourButton, &QToolButton::clicked, this, &KPHostViewer::chooseColour);
    bar->addWidget(m_colourButton);
    addColourSwatches(bar);

    m_size = new QSpinBox(bar);
    m_size->setRange(1, 200);
    m_size->setToolTip(QStringLiteral("Size"));
    m_size->setFocusPolicy(Qt::ClickFocus);
    connect(m_size, QOverload<int>::of(&QSpinBox::valueChanged), this, &KPHostViewer::applyTool);
    bar->addWidget(m_size);
    bar->addSeparator();

    m_undo = bar->addAction(QStringLiteral("Undo"), this, [this] { sendCommand(1); });
    m_undo->setShortcut(QKeySequence::Undo);
    QAction *redo = bar->addAction(QStringLiteral("Redo"), this, [this] { sendCommand(2); });
    redo->setShortcuts({QKeySequence(Qt::CTRL + Qt::Key_Y), QKeySequence(Qt::CTRL + Qt::SHIFT + Qt::Key_Z)});
    QAction *clear = bar->addAction(QStringLiteral("Clear"), this, [this] { sendCommand(3); });
    clear->setShortcut(QKeySequence(Qt::CTRL + Qt::Key_Delete));
    m_hide = bar->addAction(QStringLiteral("Hide handwriting"), this, &KPHostViewer::toggleHandwriting);
    m_hide->setCheckable(true);
    m_hide->setShortcut(QKeySequence(Qt::CTRL + Qt::Key_H));
    bar->addSeparator();
    bar->addAction(QStringLiteral("Save..."), this, &KPHostViewer::saveDialog)->setShortcut(QKeySequence::Save);
    bar->addAction(QStringLiteral("Open..."), this, &KPHostViewer::openDialog)->setShortcut(QKeySequence::Open);
    for (QAction *action : bar->actions())
        action->setToolTip(action->text() + QLatin1Char(' ') + action->shortcut().toString(QKeySequence::NativeText));
}

// The six colours the colour keys set, one click away.
void KPHostViewer::addColourSwatches(QToolBar *bar)
{
    const QList<QPair<QString, quint32>> swatches = {
        {"Red", 0xff0000ffu},   {"Green", 0xff00ff00u}, {"Blue", 0xffff0000u},
        {"Yellow", 0xff00ffffu}, {"White", 0xffffffffu}, {"Black", 0xff000000u}};
    for (const auto &swatch : swatches) {
        // Framed, so that the white swatch shows on a light tool bar.
        QPixmap icon(12, 12);
        icon.fill(Qt::darkGray);
        QPainter(&icon).fillRect(1, 1, 10, 10, fromSettingsColour(swatch.second));
        const quint32 colour = swatch.second;
        QAction *action = bar->addAction(QIcon(icon), swatch.first, this, [this, colour] {
            m_colour = colour;
            applyTool();
        });
        action->setObjectName(QStringLiteral("colour") + swatch.first);
    }
}

void KPHostViewer::showSourceTool()
{
    obs_source_t *source = m_display->focusedSource();
    if (source) {
        OBSDataAutoRelease settings = obs_source_get_settings(source);
        const int index = m_tool->findData(static_cast<int>(obs_data_get_int(settings, "kp_wb_draw_type")));
        m_tool->setCurrentIndex(std::max(index, 0));
        m_colour = static_cast<quint32>(obs_data_get_int(settings, "kp_wb_draw_color"));
        const QSignalBlocker blocker(m_size);
        m_size->setValue(static_cast<int>(obs_data_get_int(settings, "kp_wb_draw_size")));
    }
    showColour();
}

void KPHostViewer::showColour()
{
    QPixmap swatch(16, 16);
    swatch.fill(fromSettingsColour(m_colour));
    m_colourButton->setIcon(swatch);
}

void KPHostViewer::applyTool()
{
    showColour();
    obs_source_t *source = m_display->focusedSource();
    if (!source)
        return;
    OBSDataAutoRelease tool = obs_data_create();
    obs_data_set_int(tool, "kp_wb_draw_type", m_tool->currentData().toInt());
    obs_data_set_int(tool, "kp_wb_draw_color", m_colour);
    obs_data_set_int(tool, "kp_wb_draw_size", m_size->value());
    obs_source_update(source, tool);
}

void KPHostViewer::setTool(int type)
{
    m_tool->setCurrentIndex(m_tool->findData(type));
    applyTool();
}

void KPHostViewer::chooseColour()
{
    const QColor colour = QColorDialog::getColor(fromSettingsColour(m_colour), this, QStringLiteral("Colour"),
                                                 QColorDialog::ShowAlphaChannel);
    if (!colour.isValid())
        return;
    m_colour = toSettingsColour(colour);
    applyTool();
}

void KPHostViewer::sendCommand(int number)
{
    if (obs_source_t *source = m_display->focusedSource())
        kp_obs_custom_callback(source, number, nullptr);
    refreshStatus();
}

void KPHostViewer::toggleHandwriting(bool hide)
{
    obs_source_t *source = m_display->focusedSource();
    if (!source)
        return;
    OBSDataAutoRelease change = obs_data_create();
    obs_data_set_bool(change, kHideHandwriting, hide);
    obs_source_update(source, change);
}

bool KPHostViewer::saveTo(const QString &path)
{
    obs_source_t *source = m_display->focusedSource();
    if (!source)
        return false;
    obs_source_save(source);
    OBSDataAutoRelease settings = obs_source_get_settings(source);
    QFile file(path);
    const QByteArray json = obs_data_get_json(settings);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(json) == json.size();
}

bool KPHostViewer::openFrom(const QString &path)
{
    obs_source_t *old = m_display->focusedSource();
    QFile file(path);
    if (!old || !file.open(QIODevice::ReadOnly))
        return false;
    OBSDataAutoRelease settings = obs_data_create_from_json(file.readAll().constData());
    if (!settings)
        return false;
    OBSSourceAutoRelease source =
        obs_source_create(obs_source_get_id(old), obs_source_get_name(old), settings, nullptr);
    if (!source)
        return false;
    obs_source_load(source);
    ItemSearch search{old};
    obs_scene_enum_items(m_runtime.scene(), &findItem, &search);
    obs_sceneitem_t *item = m_runtime.show(source);
    if (search.item) {
        obs_transform_info transform;
        obs_sceneitem_get_info(search.item, &transform);
        obs_sceneitem_set_info(item, &transform);
        // Hidden, not removed: whoever created the old source still holds its
        // scene item and removes it when it releases the source.
        m_runtime.setVisible(search.item, false);
    }
    m_display->setFocusedSource(source);
    return true;
}

void KPHostViewer::saveDialog()
{
    const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Save"), QString(), tr(kFileFilter));
    if (!path.isEmpty() && !saveTo(path))
        QMessageBox::warning(this, QStringLiteral("Save"), QStringLiteral("Could not write %1.").arg(path));
}

void KPHostViewer::openDialog()
{
    const QString path = QFileDialog::getOpenFileName(this, QStringLiteral("Open"), QString(), tr(kFileFilter));
    if (!path.isEmpty() && !openFrom(path))
        QMessageBox::warning(this, QStringLiteral("Open"), QStringLiteral("Could not open %1.").arg(path));
}

void KPHostViewer::refreshStatus()
{
    obs_source_t *source = m_display->focusedSource();
    if (!source) {
        m_status->setText(QStringLiteral("No interactive source"));
        return;
    }
    OBSDataAutoRelease settings = obs_source_get_settings(source);
    m_hide->setChecked(obs_data_get_bool(settings, kHideHandwriting));
    // The host keeps the status record; it is not released here.
    obs_data_t *status = kp_obs_get_source_status(source);
    const QString json = QString::fromUtf8(obs_data_get_json(status)).simplified();
    m_status->setText(QStringLiteral("%1: %2").arg(QString::fromUtf8(obs_source_get_name(source)), json));
}

bool KPHostViewer::grab(const QString &path)
{
    QScreen *screen = windowHandle() ? windowHandle()->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return false;
    // The display is drawn by OpenGL: only the screen holds the whole picture.
    const QRect frame = geometry();
    return screen->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height()).save(path, "PNG");
}
