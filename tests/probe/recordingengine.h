#pragma once

#include <QStringList>

#include "vendor/rtc/irtcengine.h"

// An engine that records every call as text ("joinChannel(tok,chan,null,123)")
// in one process-wide list, answers with configurable results and never calls
// back by itself: tests drive the callbacks through handler().
class RecordingEngine : public vendor::rtc::IRtcEngine
{
public:
    struct Settings
    {
        bool createNull = false;
        int initializeResult = 0;
        bool nullVersion = false;
        bool parameterInterface = true;
        int joinResult = 0;
    };

    static Settings &settings();
    static QStringList &calls();
    static int created();
    static RecordingEngine *last();

    vendor::rtc::IRtcEngineEventHandler *handler() const { return m_handler; }
    QByteArray appId() const { return m_appId; }

    void release(bool sync) override;
    int initialize(const vendor::rtc::RtcEngineContext &context) override;
    const char *getVersion(int *build) override;
    int queryInterface(vendor::rtc::INTERFACE_ID_TYPE iid, void **inter) override;
    int enableVideo() override;
    int enableAudio() override;
    int setChannelProfile(vendor::rtc::CHANNEL_PROFILE_TYPE profile) override;
    int setClientRole(vendor::rtc::CLIENT_ROLE_TYPE role) override;
    int startPreview() override;
    int stopPreview() override;
    int joinChannel(const char *token, const char *channelId, const char *info, vendor::rtc::uid_t uid) override;
    int leaveChannel() override;
    int setupRemoteVideo(const vendor::rtc::VideoCanvas &canvas) override;

private:
    vendor::rtc::IRtcEngineEventHandler *m_handler = nullptr;
    QByteArray m_appId;
};
