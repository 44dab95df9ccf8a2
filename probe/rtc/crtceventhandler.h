#pragma once

#include <atomic>

#include <QList>
#include <QMetaType>
#include <QMutex>
#include <QObject>
#include <QString>

#include "boundedhistory.h"
#include "vendor/rtc/irtcengine.h"

// The interface is named without its namespace so that the meta-object's
// cast answers to "IRtcEngineEventHandler".
using vendor::rtc::IRtcEngineEventHandler;

Q_DECLARE_METATYPE(vendor::rtc::AudioVolumeInfo)

// Receives the engine's callbacks on the engine's threads, logs them, keeps
// the latest statistics and re-emits most of them as Qt signals, which reach
// GUI-thread receivers as queued calls.
class CRtcEventHandler : public QObject, public IRtcEngineEventHandler
{
    Q_OBJECT

public:
    using uid_t = vendor::rtc::uid_t;

    // The latest local-video statistics together with the local user id.
    struct LocalVideoRecord
    {
        uid_t uid;
        vendor::rtc::LocalVideoStats stats;
    };

    static constexpr int kHistoryBound = 15;

    CRtcEventHandler();
    ~CRtcEventHandler() override;

    void setJoined(bool joined);
    bool isJoined() const { return m_joined.load(); }

    // Readers of the statistics cache; each takes the cache lock.
    vendor::rtc::RtcStats latestRtcStats() const;
    LocalVideoRecord latestLocalVideo() const;
    vendor::rtc::RemoteVideoStats latestRemoteVideoStats() const;
    QList<vendor::rtc::RtcStats> rtcStatsHistory() const;
    int localVideoHistorySize() const;
    int remoteVideoHistorySize() const;

    void onError(int err, const char *msg) override;
    void onJoinChannelSuccess(const char *channel, uid_t uid, int elapsed) override;
    void onRejoinChannelSuccess(const char *channel, uid_t uid, int elapsed) override;
    void onLeaveChannel(const vendor::rtc::RtcStats &stat) override;
    void onUserJoined(uid_t uid, int elapsed) override;
    void onUserOffline(uid_t uid, vendor::rtc::USER_OFFLINE_REASON_TYPE reason) override;
    void onLastmileQuality(int quality) override;
    void onConnectionBanned() override;
    void onApiCallExecuted(int err, const char *api, const char *result) override;
    void onTokenPrivilegeWillExpire(const char *token) override;
    void onAudioQuality(uid_t uid, int quality, unsigned short delay, unsigned short lost) override;
    void onRtcStats(const vendor::rtc::RtcStats &stats) override;
    void onLocalVideoStats(const vendor::rtc::LocalVideoStats &stats) override;
    void onRemoteVideoStats(const vendor::rtc::RemoteVideoStats &stats) override;
    void onAudioVolumeIndication(const vendor::rtc::AudioVolumeInfo *speakers,
                                 unsigned int speakerNumber, int totalVolume) override;
    void onVideoStopped() override;
    void onFirstLocalVideoFrame(int width, int height, int elapsed) override;
    void onFirstRemoteVideoDecoded(uid_t uid, int width, int height, int elapsed) override;
    void onUserMuteAudio(uid_t uid, bool muted) override;
    void onUserMuteVideo(uid_t uid, bool muted) override;
    void onAudioDeviceStateChanged(const char *deviceId, int deviceType, int deviceState) override;
    void onAudioDeviceVolumeChanged(vendor::rtc::MEDIA_DEVICE_TYPE deviceType, int volume,
                                    bool muted) override;
    void onFirstRemoteAudioDecoded(uid_t uid, int elapsed) override;
    void onVideoDeviceStateChanged(const char *deviceId, int deviceType, int deviceState) override;
    void onFirstLocalAudioFrame(int elapsed) override;
    void onRtmpStreamingStateChanged(const char *url, vendor::rtc::RTMP_STREAM_PUBLISH_STATE state,
                                     vendor::rtc::RTMP_STREAM_PUBLISH_ERROR errCode) override;
    void onRemoteAudioTransportStats(uid_t uid, unsigned short delay, unsigned short lost,
                                     unsigned short rxKBitRate) override;
    void onRemoteVideoTransportStats(uid_t uid, unsigned short delay, unsigned short lost,
                                     unsigned short rxKBitRate) override;
    void onConnectionStateChanged(vendor::rtc::CONNECTION_STATE_TYPE state,
                                  vendor::rtc::CONNECTION_CHANGED_REASON_TYPE reason) override;

signals:
    void sigJoinChannelSuccess(QString channel, uid_t uid, int elapsed);
    void sigRejoinChannelSuccess(QString channel, uid_t uid, int elapsed);
    void sigError(int err, QString msg);
    void sigAudioVolumeIndication(QList<vendor::rtc::AudioVolumeInfo> objList, int totalVolume);
    void sigLeaveChannel();
    void sigAudioDeviceStateChanged(QString deviceId, int deviceType, int deviceState);
    void sigVideoDeviceStateChanged(QString deviceId, int deviceType, int deviceState);
    void sigNetworkQuality(int quality);
    void sigFirstLocalAudioFrame(int elapsed);
    void sigFirstLocalVideoFrame(int width, int height, int elapsed);
    void sigFirstRemoteVideoDecoded(uid_t uid, int width, int height, int elapsed);
    void sigFirstRemoteAudioDecoded(uid_t uid, int elapsed);
    void sigUserJoined(uid_t uid, int elapsed);
    void sigUserOffline(uid_t uid, int reason);
    void sigUserMuteAudio(uid_t uid, bool muted);
    void sigUserMuteVideo(uid_t uid, bool muted);
    void sigStreamPublished(QString url, int error);
    void sigStreamUnpublished(QString url);
    void sigRtmpStreamingStateChanged(QString url, int state, int errCode);
    void sigChannelStatusChanged(bool);
    void sigLastmileQuality(int quality);
    void sigConnectionBanned(QString reason);
    void sigConnectionStateChanged(int state, int reason);
    void sigTokenPrivilegeWillExpire(QString token);

private:
    // Empties the three histories; the caller holds the cache lock.
    void clearCallbackParamCache();

    std::atomic<bool> m_joined{false};
    uid_t m_localUid = 0;
    mutable QMutex m_cacheMutex;
    vendor::rtc::RtcStats m_rtcStats{};
    LocalVideoRecord m_localVideo{};
    vendor::rtc::RemoteVideoStats m_remoteVideoStats{};
    BoundedHistory<vendor::rtc::RtcStats> m_rtcStatsHistory{kHistoryBound};
    BoundedHistory<LocalVideoRecord> m_localVideoHistory{kHistoryBound};
    BoundedHistory<vendor::rtc::RemoteVideoStats> m_remoteVideoHistory{kHistoryBound};
};
