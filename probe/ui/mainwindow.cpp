#include "mainwindow.h"

#include "crtceventhandler.h"
#include "crtcobject.h"
#include "kplog.h"
#include "logitems.h"
#include "ui_mainwindow.h"

using logitems::item;
using logitems::join;

MainWindow::MainWindow(QWidget *parent) : QMainWindow(parent), ui(new Ui::MainWindow)
{
    ui->setupUi(this);
    m_appId = QStringLiteral(RTC_PROBE_APP_ID);
    m_channelName = QStringLiteral(RTC_PROBE_CHANNEL);
    m_token = QStringLiteral(RTC_PROBE_TOKEN);
    m_uid = 123;
}

MainWindow::~MainWindow()
{
    delete ui;
}

void MainWindow::on_pushButton_clicked()
{
    if (!m_rtc) {
        initAppid(m_appId);
        m_rtc = new CRtcObject(this);
        connect(m_rtc->getEventHander(), SIGNAL(sigFirstRemoteVideoDecoded(uid_t,int,int,int)), this,
                SLOT(onFirstRemoteVideoDecoded(uid_t,int,int,int)), Qt::AutoConnection);
    }
    if (m_rtc->isJoined()) {
        m_rtc->leaveChannel();
        return;
    }
    if (vendor::rtc::IRtcEngine *engine = m_rtc->getEngine()) {
        engine->setChannelProfile(vendor::rtc::CHANNEL_PROFILE_LIVE_BROADCASTING);
        engine->setClientRole(vendor::rtc::CLIENT_ROLE_AUDIENCE);
        engine->startPreview();
    }
    const QByteArray token = m_token.toLocal8Bit();
    const QByteArray channel = m_channelName.toLocal8Bit();
    m_rtc->joinChannel(token.constData(), channel.constData(), m_uid);
}

void MainWindow::onFirstRemoteVideoDecoded(uid_t uid, int width, int height, int elapsed)
{
    KP_LOG(2, join({item("uid=%1", uid), item("width=%1", width), item("height=%1", height),
                    item("elapsed=%1", elapsed)}));
    vendor::rtc::IRtcEngine *engine = m_rtc ? m_rtc->getEngine() : nullptr;
    if (!engine)
        return;
    vendor::rtc::VideoCanvas canvas{};
    canvas.view = reinterpret_cast<vendor::rtc::view_t>(ui->widget_view->winId());
    canvas.renderMode = vendor::rtc::RENDER_MODE_FIT;
    canvas.uid = uid;
    canvas.priv = nullptr;
    engine->setupRemoteVideo(canvas);
}
