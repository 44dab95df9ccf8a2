#include "kphoststudio.h"

#include "kphostdisplay.h"
#include "kphostviewer.h"
#include "kppropertysheet.h"
#include "kpsourcespanel.h"

#include <QDockWidget>
#include <QScrollArea>
#include <QStatusBar>
#include <QTimer>

namespace {

const int kMessageMs = 10000;
const int kDockWidth = 320;
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

} // namespace

KPHostStudio::KPHostStudio(KPHostViewer &viewer, KPObsRuntime &runtime)
    : QObject(&viewer), m_viewer(viewer), m_sheet(new KPPropertySheet), m_sources(new KPSourcesPanel(runtime, viewer.display()))
{
    auto *scroll = new QScrollArea;
    scroll->setWidgetResizable(true);
    scroll->setWidget(m_sheet);
    scroll->setMinimumWidth(kDockWidth);
    dock(viewer, tr("Sources"), m_sources, Qt::LeftDockWidgetArea);
    dock(viewer, tr("Properties"), scroll, Qt::RightDockWidgetArea);
    connect(m_sheet, &KPPropertySheet::message, this, &KPHostStudio::showMessage);
    connect(m_sources, &KPSourcesPanel::message, this, &KPHostStudio::showMessage);
    connect(viewer.display(), &KPHostDisplay::focusedSourceChanged, this, &KPHostStudio::followFocus);
    followFocus();
    auto *timer = new QTimer(this);
    connect(timer, &QTimer::timeout, m_sheet, &KPPropertySheet::refreshIfChanged);
    timer->start(kRefreshMs);
    viewer.resize(viewer.width() + 2 * kDockWidth, viewer.height() + 160);
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
