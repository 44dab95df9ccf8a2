#include "kphostlivecontrols.h"

#include "kphostlive.h"
#include "kphostroomdialog.h"

#include <QAction>
#include <QLabel>
#include <QMainWindow>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>

namespace {

const int kRefreshMs = 1000;

} // namespace

KPHostLiveControls::KPHostLiveControls(QMainWindow &window, QToolBar *bar, obs_scene_t *scene)
    : QObject(&window), m_window(window), m_live(new KPHostLive(scene))
{
    bar->addAction(tr("Room..."), this, &KPHostLiveControls::editRoom)->setObjectName(QStringLiteral("room"));
    m_goLive = bar->addAction(tr("Go live"), this, &KPHostLiveControls::toggle);
    m_goLive->setObjectName(QStringLiteral("goLive"));
    // Beside the source's status, not hidden by the status bar's messages.
    m_status = new QLabel(&window);
    m_status->setObjectName(QStringLiteral("liveStatus"));
    window.statusBar()->addPermanentWidget(m_status);
    m_live->adoptActive();
    auto *timer = new QTimer(this);
    connect(timer, &QTimer::timeout, this, &KPHostLiveControls::refresh);
    timer->start(kRefreshMs);
    refresh();
}

KPHostLiveControls::~KPHostLiveControls()
{
    release();
}

void KPHostLiveControls::toggle()
{
    if (m_live->active()) {
        m_live->stop();
    } else {
        // Without a channel there is nowhere to go: the room comes first.
        if (m_live->channel().isEmpty())
            editRoom();
        if (!m_live->channel().isEmpty())
            m_live->start();
    }
    refresh();
}

bool KPHostLiveControls::editRoom()
{
    OBSDataAutoRelease room = m_live->room();
    KPHostRoomDialog dialog(room, &m_window);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    OBSDataAutoRelease edited = dialog.settings();
    m_live->setRoom(edited);
    emit roomChanged();
    return true;
}

void KPHostLiveControls::refresh()
{
    m_goLive->setText(m_live->active() ? tr("Stop going live") : tr("Go live"));
    m_status->setText(statusText());
}

QString KPHostLiveControls::statusText() const
{
    const KPHostLive::Status status = m_live->status();
    switch (status.state) {
    case KPHostLive::State::NeverStarted: return QString();
    case KPHostLive::State::Connecting: return tr("Connecting to %1...").arg(status.channel);
    case KPHostLive::State::Live:
        return tr("Live: %1 kbit/s, %2 fps, %3 dropped").arg(status.bitrateKbps).arg(status.fps).arg(status.droppedFrames);
    case KPHostLive::State::Reconnecting: return tr("Reconnecting...");
    case KPHostLive::State::Failed: return tr("Not live: %1").arg(status.error);
    case KPHostLive::State::Stopped: break;
    }
    return tr("Not live");
}

void KPHostLiveControls::release()
{
    m_live->release();
}
