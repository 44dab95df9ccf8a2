#include "kphostviewer.h"

#include "kpfilereader.h"
#include "kphostdisplay.h"
#include "kphostkeys.h"
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

// The spotlight radius as the boards read it.
const long long kMinSpotlightRadius = 20;
const long long kMaxSpotlightRadius = 2000;
// A circle wider than this is most of the window rather than a pointer; the
// spotlight then shows its circle itself.
const int kLargestRing = 512;

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
    m_status->setObjectName(QStringLiteral("status"));
    m_status->setTextInteractionFlags(Qt::TextSelectableByMouse);
    statusBar()->addWidget(m_status, 1);
    connect(m_display, &KPHostDisplay::focusedSourceChanged, this, &KPHostViewer::refreshStatus);
    // The bar shows the tool of the source it acts on, however it was chosen.
    connect(m_display, &KPHostDisplay::focusedSourceChanged, this, &KPHostViewer::showSourceTool);
    showSourceTool();
    auto *timer = new QTimer(this);
    connect(timer, &QTimer::timeout, this, &KPHostViewer::refreshStatus);
    connect(timer, &QTimer::timeout, this, &KPHostViewer::showSourceTool);
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
    m_tool->setObjectName(QStringLiteral("tool"));
    m_tool->setSizeAdjustPolicy(QComboBox::AdjustToContents);
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

    m_lineWidth = new QSpinBox(bar);
    m_lineWidth->setRange(1, 64);
    m_lineWidth->setToolTip(QStringLiteral("Line width"));
    m_lineWidth->setFocusPolicy(Qt::ClickFocus);
    connect(m_lineWidth, QOverload<int>::of(&QSpinBox::valueChanged), this, &KPHostViewer::applyTool);
    bar->addWidget(m_lineWidth);
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
    m_keys = new KPHostKeys(m_runtime.scene(), m_display, this);
    bar->addAction(QStringLiteral("Keys..."), m_keys, &KPHostKeys::editBindings);
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

void KPHostViewer::listSourceTools()
{
    obs_source_t *source = m_display->focusedSource();
    const QByteArray type = source ? obs_source_get_id(source) : "";
    if (type == m_toolsOf)
        return;
    m_toolsOf = type;
    m_tool->clear();
    obs_properties_t *properties = source ? obs_source_properties(source) : nullptr;
    obs_property_t *tools = obs_properties_get(properties, "kp_wb_draw_type");
    for (size_t i = 0; tools && i < obs_property_list_item_count(tools); ++i)
        m_tool->addItem(QString::fromUtf8(obs_property_list_item_name(tools, i)),
                        static_cast<int>(obs_property_list_item_int(tools, i)));
    obs_properties_destroy(properties);
    m_tool->setEnabled(m_tool->count() > 0);
}

// The pointer shows the tool: a cross for what is drawn, a dot for the
// laser, and the eraser's and the spotlight's circles as large on the screen
// as they reach: their sizes times the board's stroke scale, times the scale
// the source is shown at.
void KPHostViewer::showToolCursor(obs_source_t *source, int type)
{
    if (!source || type == 0) {
        m_display->unsetCursor();
        return;
    }
    OBSDataAutoRelease settings = obs_source_get_settings(source);
    const double itemWidth = obs_data_get_double(settings, "kp_wb_item_width");
    const double strokeScale = itemWidth > 1.0 ? obs_source_get_width(source) / itemWidth : 1.0;
    const double scale = strokeScale * m_display->sourceScale(source);
    const auto ring = [](double diameter, bool filled) {
        const int side = qBound(5, qRound(diameter), kLargestRing);
        QPixmap pixmap(side + 2, side + 2);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(Qt::black, 1));
        painter.setBrush(filled ? QBrush(Qt::red) : QBrush(Qt::NoBrush));
        painter.drawEllipse(QRectF(1, 1, side, side));
        return QCursor(pixmap);
    };
    const double eraser = obs_data_get_int(settings, "kp_wb_draw_size") * scale;
    const double spotlight = 2.0 * qBound<long long>(kMinSpotlightRadius, obs_data_get_int(settings, "kp_wb_spotlight_radius"),
                                                      kMaxSpotlightRadius) * scale;
    switch (type) {
    case 9: m_display->setCursor(ring(eraser, false)); break;
    case 10: m_display->setCursor(ring(7, true)); break;
    case 11: m_display->setCursor(spotlight <= kLargestRing ? ring(spotlight, false) : QCursor(Qt::CrossCursor)); break;
    case 7: m_display->setCursor(Qt::IBeamCursor); break;
    default: m_display->setCursor(Qt::CrossCursor); break;
    }
}

void KPHostViewer::showSourceTool()
{
    listSourceTools();
    obs_source_t *source = m_display->focusedSource();
    if (source) {
        OBSDataAutoRelease settings = obs_source_get_settings(source);
        const int index = m_tool->findData(static_cast<int>(obs_data_get_int(settings, "kp_wb_draw_type")));
        m_tool->setCurrentIndex(std::max(index, 0));
        m_colour = static_cast<quint32>(obs_data_get_int(settings, "kp_wb_draw_color"));
        const QSignalBlocker blocker(m_size);
        if (!m_size->hasFocus())
            m_size->setValue(static_cast<int>(obs_data_get_int(settings, "kp_wb_draw_size")));
        const QSignalBlocker widthBlocker(m_lineWidth);
        // A source that never set a width draws hairlines.
        if (!m_lineWidth->hasFocus())
            m_lineWidth->setValue(obs_data_has_user_value(settings, "kp_wb_line_width") ||
                                          obs_data_has_default_value(settings, "kp_wb_line_width")
                                      ? static_cast<int>(obs_data_get_int(settings, "kp_wb_line_width"))
                                      : 1);
    }
    showToolCursor(source, m_tool->currentData().toInt());
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
    obs_data_set_int(tool, "kp_wb_line_width", m_lineWidth->value());
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
    QByteArray json;
    QString reason;
    if (!old || !KPFileReader::read(path, &json, &reason))
        return false;
    OBSDataAutoRelease settings = obs_data_create_from_json(json.constData());
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
    QStringList words;
    if (!m_tool->currentText().isEmpty())
        words << m_tool->currentText();
    if (m_tool->currentData().toInt() > 0)
        words << tr("size %1").arg(m_size->value()) << tr("width %1").arg(m_lineWidth->value());
    // The host keeps the status record; it is not released here.
    obs_data_t *status = kp_obs_get_source_status(source);
    if (obs_data_get_bool(status, "kp_wb_text_item_editing"))
        words << tr("typing into a text box");
    if (obs_data_get_bool(status, "kp_picture_loading"))
        words << tr("loading the picture");
    const QString notShown = QString::fromUtf8(obs_data_get_string(status, "kp_picture_not_shown")).simplified();
    if (!notShown.isEmpty())
        words << tr("Picture not shown: %1").arg(notShown);
    // Whatever the source says in words of its own (why a picture is not
    // shown, how an export went) is shown as it says it.
    for (obs_data_item_t *item = obs_data_first(status); item; obs_data_item_next(&item)) {
        const QByteArray key = obs_data_item_get_name(item);
        if (obs_data_item_gettype(item) == OBS_DATA_STRING
            && (key.endsWith("_message") || key.endsWith("_reason") || key.endsWith("_error"))) {
            const QString text = QString::fromUtf8(obs_data_item_get_string(item)).simplified();
            if (!text.isEmpty())
                words << text;
        }
    }
    const QString name = QString::fromUtf8(obs_source_get_name(source));
    m_status->setText(words.isEmpty() ? name : QStringLiteral("%1: %2").arg(name, words.join(tr(", "))));
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
