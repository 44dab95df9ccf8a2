#pragma once

// The studio's going live: the tool bar's "Go live" (while live "Stop going
// live") and "Room..." actions, and the status bar's word on how it goes,
// read from the output about once a second. Nothing shows there before the
// first start. The first "Go live" without a channel asks for the room.

#include <QObject>

#include <obs.h>

#include <memory>

class KPHostLive;
class QAction;
class QLabel;
class QMainWindow;
class QToolBar;

class KPHostLiveControls : public QObject
{
    Q_OBJECT
public:
    KPHostLiveControls(QMainWindow &window, QToolBar *bar, obs_scene_t *scene);
    ~KPHostLiveControls() override;

    KPHostLive *live() const { return m_live.get(); }
    QAction *goLiveAction() const { return m_goLive; }
    QLabel *statusLabel() const { return m_status; }

    // Starts or stops going live.
    void toggle();
    // Asks for the room; false when the presenter cancels.
    bool editRoom();
    // Reads the output's state into the action and the status bar.
    void refresh();
    // Stops going live and lets the output go, before libobs shuts down.
    void release();

signals:
    // The presenter changed the room: the scene has changed.
    void roomChanged();

private:
    QString statusText() const;

    QMainWindow &m_window;
    std::unique_ptr<KPHostLive> m_live;
    QAction *m_goLive = nullptr;
    QLabel *m_status = nullptr;
};
