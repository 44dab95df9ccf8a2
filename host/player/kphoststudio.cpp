#include "kphoststudio.h"

#include "kphostdisplay.h"
#include "kphostkeys.h"
#include "kphostlivecontrols.h"
#include "kphostrecovery.h"
#include "kphostviewer.h"
#include "kpobsruntime.h"
#include "kppropertysheet.h"
#include "kpsourcespanel.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDockWidget>
#include <QMessageBox>
#include <QScrollArea>
#include <QSettings>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>

namespace {

const int kMessageMs = 10000;
const int kDockWidth = 380;
const int kSourcesWidth = 260;
// How often the sheet looks for settings changed by the tool bar or hotkeys.
const int kRefreshMs = 500;

QDockWidget *dock(KPHostViewer &viewer, const QString &title, QWidget *content, Qt::DockWidgetArea area)
{
    auto *widget = new QDockWidget(title, &viewer);
    widget->setObjectName(title);
    widget->setFeatures(QDockWidget::DockWidgetMovable | QDockWidget::DockWidgetFloatable);
    widget->setWidget(content);
    viewer.addDockWidget(area, widget);
    return widget;
}

QToolBar *liveBar(KPHostViewer &viewer)
{
    QToolBar *bar = viewer.addToolBar(QObject::tr("Live"));
    bar->setObjectName(QStringLiteral("Live"));
    bar->setMovable(false);
    return bar;
}

} // namespace

KPHostStudio::KPHostStudio(KPHostViewer &viewer, KPObsRuntime &runtime)
    : QObject(&viewer), m_viewer(viewer), m_sheet(new KPPropertySheet), m_sources(new KPSourcesPanel(runtime, viewer.display())),
      m_live(new KPHostLiveControls(viewer, liveBar(viewer), runtime.scene()))
{
    auto *scroll = new QScrollArea;
    scroll->setObjectName(QStringLiteral("propertiesScroll"));
    scroll->setWidgetResizable(true);
    scroll->setWidget(m_sheet);
    scroll->setMinimumWidth(kDockWidth);
    QDockWidget *sources = dock(viewer, tr("Sources"), m_sources, Qt::LeftDockWidgetArea);
    QDockWidget *properties = dock(viewer, tr("Properties"), scroll, Qt::RightDockWidgetArea);
    // The sheet's widest fields (file lists) would otherwise take the canvas's room.
    viewer.resizeDocks({sources, properties}, {kSourcesWidth, kDockWidth}, Qt::Horizontal);
    connect(m_sheet, &KPPropertySheet::message, this, &KPHostStudio::showMessage);
    connect(m_sources, &KPSourcesPanel::message, this, &KPHostStudio::showMessage);
    connect(viewer.display(), &KPHostDisplay::focusedSourceChanged, this, &KPHostStudio::followFocus);
    connect(m_sources, &KPSourcesPanel::sceneReplaced, this, &KPHostStudio::followNewScene);
    connect(m_live, &KPHostLiveControls::roomChanged, m_sources, [this] { m_sources->setModified(true); });
    // Every close stops going live, asked first or not.
    viewer.installEventFilter(this);
    followFocus();
    auto *timer = new QTimer(this);
    connect(timer, &QTimer::timeout, m_sheet, &KPPropertySheet::refreshIfChanged);
    timer->start(kRefreshMs);
    viewer.resize(viewer.width() + kSourcesWidth + kDockWidth, viewer.height() + 160);
}

void KPHostStudio::followFocus()
{
    obs_source_t *focused = m_viewer.display()->focusedSource();
    if (m_sheet->source() != focused)
        m_sheet->setSource(focused);
}

void KPHostStudio::showMessage(const QString &text)
{
    m_viewer.statusBar()->showMessage(text, kMessageMs);
}

void KPHostStudio::followNewScene()
{
    // An opened scene brings its own keys.
    m_viewer.keys()->takeFromScene();
    m_viewer.keys()->sync();
    followFocus();
}

void KPHostStudio::recover(KPHostRecovery &recovery)
{
    connect(m_sources, &KPSourcesPanel::changed, &recovery, &KPHostRecovery::noteChange);
    // A scene from the command line or a script is what the presenter has
    // now: a copy of it is made before the first change.
    connect(m_sources, &KPSourcesPanel::sceneReplaced, &recovery, &KPHostRecovery::noteChange);
    if (!recovery.hasLeftover())
        return;
    KPHostRecovery::Answer answer = KPHostRecovery::presetAnswer();
    if (answer == KPHostRecovery::Answer::Ask) {
        answer = QMessageBox::question(&m_viewer, tr("Recover"),
                                       tr("The studio did not close properly last time. Reopen the scene it had open?"),
                                       QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes)
                         == QMessageBox::Yes
                     ? KPHostRecovery::Answer::Reopen
                     : KPHostRecovery::Answer::Discard;
    }
    if (answer == KPHostRecovery::Answer::Discard) {
        recovery.discardLeftover();
        return;
    }
    if (m_sources->openScene(recovery.path())) {
        recovery.keepLeftover();
        // Recovered, not saved: closing asks as for any other change.
        m_sources->setModified(true);
        showMessage(tr("Reopened the scene recovered from %1").arg(recovery.path()));
    } else {
        showMessage(tr("The recovered scene could not be reopened; it is kept as %1").arg(recovery.setLeftoverAside()));
    }
}

void KPHostStudio::rememberLayout()
{
    QSettings settings(QStringLiteral("kp-toolkit"), QStringLiteral("studio"));
    m_viewer.restoreGeometry(settings.value(QStringLiteral("geometry")).toByteArray());
    m_viewer.restoreState(settings.value(QStringLiteral("docks")).toByteArray());
    connect(qApp, &QCoreApplication::aboutToQuit, this, [this] {
        QSettings stored(QStringLiteral("kp-toolkit"), QStringLiteral("studio"));
        stored.setValue(QStringLiteral("geometry"), m_viewer.saveGeometry());
        stored.setValue(QStringLiteral("docks"), m_viewer.saveState());
    });
}

void KPHostStudio::askBeforeClosing()
{
    m_askBeforeClosing = true;
}

bool KPHostStudio::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != &m_viewer || event->type() != QEvent::Close)
        return QObject::eventFilter(watched, event);
    if (m_askBeforeClosing && !m_sources->askToSave()) {
        event->ignore();
        return true;
    }
    m_live->release();
    return false;
}
