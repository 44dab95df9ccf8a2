#pragma once

// The studio's one "kp_rtc_output" output, going live into the scene's room
// (KPSceneFile::room). Starting returns at once: the output joins in its
// engine and tells how it goes through its procedure "kp_rtc_status". Each
// start makes a fresh output from the room as it is then, so a field taken
// out of the room is gone from the output too.

#include <QString>

#include <obs.hpp>

class KPHostLive
{
public:
    enum class State { NeverStarted, Connecting, Live, Reconnecting, Stopped, Failed };
    struct Status
    {
        State state = State::NeverStarted;
        int bitrateKbps = 0;
        int fps = 0;
        int droppedFrames = 0;
        QString channel; // the one the output was started with
        QString error;   // why it failed
    };

    explicit KPHostLive(obs_scene_t *scene);
    ~KPHostLive();

    KPHostLive(const KPHostLive &) = delete;
    KPHostLive &operator=(const KPHostLive &) = delete;

    OBSDataAutoRelease room() const;
    void setRoom(obs_data_t *room);
    QString channel() const;

    // Takes over a "kp_rtc_output" a script started before the studio
    // opened, so that the button and the status tell of it; a scene without
    // a room takes the output's settings as its room.
    void adoptActive();
    // False, with libobs's last error in the status, when the output refuses.
    bool start();
    void stop();
    // From the start until the output has stopped.
    bool active() const;
    Status status() const;
    // Stops the output and lets it go: before libobs shuts down.
    void release();

private:
    obs_scene_t *m_scene;
    OBSOutputAutoRelease m_output;
    QString m_startError;
};
