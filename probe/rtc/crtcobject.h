#pragma once

#include <cstdint>

#include <QObject>
#include <QString>

#include "vendor/rtc/irtcengine.h"

class CRtcEventHandler;

// Stores the app id that the next engine is initialised with (Latin-1, at
// most 1023 bytes; longer ids are cut and logged).
void initAppid(const QString &appId);

// Owns the probe's engine: creates and initialises it with the process-wide
// event bridge and offers join, leave and query operations to the window.
// Engine, bridge and app id exist once per process.
class CRtcObject : public QObject
{
    Q_OBJECT

public:
    explicit CRtcObject(QObject *parent = nullptr);
    ~CRtcObject() override;

    vendor::rtc::IRtcEngine *getEngine();
    const CRtcEventHandler *getEventHander() const;
    bool isJoined();
    bool joinChannel(const char *token, const char *channelId, uint32_t uid);
    bool leaveChannel();
    int setDefaultMuteAllRemoteAudioStreams(bool mute);
    int setDefaultMuteAllRemoteVideoStreams(bool mute);

private slots:
    void onChannelStatusChanged(bool isJoined);

private:
    // Sends one default-mute key through the parameter interface.
    int setDefaultMutePeers(const char *key, bool mute);

    bool m_ready = false;
};
