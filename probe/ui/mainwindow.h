#pragma once

#include <cstdint>

#include <QMainWindow>
#include <QString>

#include "vendor/rtc/rtcbase.h"

class CRtcObject;

namespace Ui {
class MainWindow;
}

// The probe's window: its button joins the fixed channel (or leaves it when
// joined), and the first decoded frame of a remote user binds that user's
// video to widget_view.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    using uid_t = vendor::rtc::uid_t;

    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

private slots:
    void on_pushButton_clicked();
    void onFirstRemoteVideoDecoded(uid_t uid, int width, int height, int elapsed);

private:
    Ui::MainWindow *ui;
    CRtcObject *m_rtc = nullptr;
    QString m_appId;
    QString m_channelName;
    QString m_token;
    uint32_t m_uid = 0;
};
