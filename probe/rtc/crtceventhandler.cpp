#include "crtceventhandler.h"

#include <QMutexLocker>

#include "kplog.h"
#include "logitems.h"

using logitems::item;
using logitems::join;

CRtcEventHandler::CRtcEventHandler()
{
    KP_LOG_SCOPE_LEVEL(2);
    qRegisterMetaType<uid_t>("uid_t");
    qRegisterMetaType<QList<vendor::rtc::AudioVolumeInfo>>("QList<vendor::rtc::AudioVolumeInfo>");
}

CRtcEventHandler::~CRtcEventHandler()
{
    KP_LOG_SCOPE_LEVEL(1);
}

void CRtcEventHandler::setJoined(bool joined)
{
    KP_LOG_SCOPE_LEVEL(2);
    m_joined.store(joined);
    if (!joined) {
        QMutexLocker locker(&m_cacheMutex);
        clearCallbackParamCache();
    }
    emit sigChannelStatusChanged(m_joined.load());
}

void CRtcEventHandler::clearCallbackParamCache()
{
    KP_LOG_SCOPE_LEVEL(2);
    m_rtcStatsHistory.clear();
    m_localVideoHistory.clear();
    m_remoteVideoHistory.clear();
}

vendor::rtc::RtcStats CRtcEventHandler::latestRtcStats() const
{
    QMutexLocker locker(&m_cacheMutex);
    return m_rtcStats;
}

CRtcEventHandler::LocalVideoRecord CRtcEventHandler::latestLocalVideo() const
{
    QMutexLocker locker(&m_cacheMutex);
    return m_localVideo;
}

vendor::rtc::RemoteVideoStats CRtcEventHandler::latestRemoteVideoStats() const
{
    QMutexLocker locker(&m_cacheMutex);
    return m_remoteVideoStats;
}

QList<vendor::rtc::RtcStats> CRtcEventHandler::rtcStatsHistory() const
{
    QMutexLocker locker(&m_cacheMutex);
    QList<vendor::rtc::RtcStats> records;
    for (int i = 0; i < m_rtcStatsHistory.size(); ++i)
        records << m_rtcStatsHistory.at(i);
    return records;
}

int CRtcEventHandler::localVideoHistorySize() const
{
    QMutexLocker locker(&m_cacheMutex);
    return m_localVideoHistory.size();
}

int CRtcEventHandler::remoteVideoHistorySize() const
{
    QMutexLocker locker(&m_cacheMutex);
    return m_remoteVideoHistory.size();
}

void CRtcEventHandler::onError(int err, const char *msg)
{
    KP_LOG_SCOPE_LEVEL(2);
    const QString message = logitems::text(msg);
    KP_LOG(2, join({item("err=%1", err), item("msg=%1", message)}));
    emit sigError(err, message);
}

void CRtcEventHandler::onJoinChannelSuccess(const char *channel, uid_t uid, int elapsed)
{
    KP_LOG_SCOPE_LEVEL(2);
    const QString name = logitems::text(channel);
    KP_LOG(2, join({item("channel=%1", name), item("uid=%1", uid), item("elapsed=%1", elapsed)}));
    setJoined(true);
    emit sigJoinChannelSuccess(name, uid, elapsed);
}

void CRtcEventHandler::onRejoinChannelSuccess(const char *channel, uid_t uid, int elapsed)
{
    KP_LOG_SCOPE_LEVEL(2);
    const QString name = logitems::text(channel);
    KP_LOG(2, join({item("channel=%1", name), item("uid=%1", uid), item("elapsed=%1", elapsed)}));
    setJoined(true);
    emit sigRejoinChannelSuccess(name, uid, elapsed);
}

void CRtcEventHandler::onLeaveChannel(const vendor::rtc::RtcStats &stat)
{
    KP_LOG_SCOPE_LEVEL(1);
    setJoined(false);
    KP_LOG(2, join({item("stat.duration=%1", stat.duration),
                    item("stat.rxVideoKBitRate=%1", stat.rxVideoKBitRate),
                    item("stat.rxAudioKBitRate=%1", stat.rxAudioKBitRate)}));
    emit sigLeaveChannel();
}

void CRtcEventHandler::onUserJoined(uid_t uid, int elapsed)
{
    KP_LOG_SCOPE_LEVEL(2);
    KP_LOG(2, join({item("uid=%1", uid), item("elapsed=%1", elapsed)}));
    emit sigUserJoined(uid, elapsed);
}

void CRtcEventHandler::onUserOffline(uid_t uid, vendor::rtc::USER_OFFLINE_REASON_TYPE reason)
{
    KP_LOG_SCOPE_LEVEL(2);
    KP_LOG(2, join({item("uid=%1", uid), item("reason=%1", static_cast<int>(reason))}));
    emit sigUserOffline(uid, reason);
}

void CRtcEventHandler::onLastmileQuality(int quality)
{
    KP_LOG_SCOPE_LEVEL(2);
    KP_LOG(2, item("quality=%1", quality));
    emit sigLastmileQuality(quality);
}

void CRtcEventHandler::onConnectionBanned()
{
    KP_LOG_SCOPE_LEVEL(2);
    emit sigConnectionBanned(QStringLiteral("rtc sdk banned"));
}

void CRtcEventHandler::onApiCallExecuted(int err, const char *api, const char *result)
{
    KP_LOG_SCOPE_LEVEL(2);
    KP_LOG(2, join({item("err=%1", err), item("apiStr=%1", logitems::text(api)),
                    item("resultStr=%1", logitems::text(result))}));
}

void CRtcEventHandler::onTokenPrivilegeWillExpire(const char *token)
{
    KP_LOG_SCOPE_LEVEL(2);
    const QString text = logitems::text(token);
    KP_LOG(2, item("token=%1", text));
    emit sigTokenPrivilegeWillExpire(text);
}

void CRtcEventHandler::onAudioQuality(uid_t, int, unsigned short, unsigned short)
{
    KP_LOG_SCOPE_LEVEL(1);
}

void CRtcEventHandler::onRtcStats(const vendor::rtc::RtcStats &stats)
{
    KP_LOG_SCOPE_LEVEL(1);
    QMutexLocker locker(&m_cacheMutex);
    m_rtcStats = stats;
    m_rtcStatsHistory.record(stats);
}

void CRtcEventHandler::onLocalVideoStats(const vendor::rtc::LocalVideoStats &stats)
{
    KP_LOG_SCOPE_LEVEL(1);
    QMutexLocker locker(&m_cacheMutex);
    KP_LOG(2, join({item("stats.sentBitrate=%1", stats.sentBitrate),
                    item("stats.sentFrameRate=%1", stats.sentFrameRate),
                    item("stats.targetFrameRate=%1", stats.targetFrameRate)}));
    m_localVideo = LocalVideoRecord{m_localUid, stats};
    m_localVideoHistory.record(m_localVideo);
}

void CRtcEventHandler::onRemoteVideoStats(const vendor::rtc::RemoteVideoStats &stats)
{
    KP_LOG_SCOPE_LEVEL(1);
    QMutexLocker locker(&m_cacheMutex);
    m_remoteVideoStats = stats;
    m_remoteVideoHistory.record(stats);
}

void CRtcEventHandler::onAudioVolumeIndication(const vendor::rtc::AudioVolumeInfo *speakers,
                                               unsigned int speakerNumber, int totalVolume)
{
    KP_LOG_SCOPE_LEVEL(1);
    QList<vendor::rtc::AudioVolumeInfo> list;
    // A null array with a non-zero count would be read out of nowhere: no speakers then.
    if (!speakers && speakerNumber > 0)
        KP_LOG(3, join({QStringLiteral("speakers is null"), item("speakerNumber=%1", speakerNumber)}));
    for (unsigned int i = 0; speakers && i < speakerNumber; ++i)
        list << speakers[i];
    emit sigAudioVolumeIndication(list, totalVolume);
}

void CRtcEventHandler::onVideoStopped()
{
    KP_LOG_SCOPE_LEVEL(2);
}

void CRtcEventHandler::onFirstLocalVideoFrame(int width, int height, int elapsed)
{
    KP_LOG_SCOPE_LEVEL(2);
    KP_LOG(2, join({item("width=%1", width), item("height=%1", height), item("elapsed=%1", elapsed)}));
    emit sigFirstLocalVideoFrame(width, height, elapsed);
}

void CRtcEventHandler::onFirstRemoteVideoDecoded(uid_t uid, int width, int height, int elapsed)
{
    KP_LOG_SCOPE_LEVEL(2);
    emit sigFirstRemoteVideoDecoded(uid, width, height, elapsed);
}

void CRtcEventHandler::onUserMuteAudio(uid_t uid, bool muted)
{
    KP_LOG_SCOPE_LEVEL(1);
    KP_LOG(2, join({item("uid=%1", uid), item("muted=%1", muted)}));
    emit sigUserMuteAudio(uid, muted);
}

void CRtcEventHandler::onUserMuteVideo(uid_t uid, bool muted)
{
    emit sigUserMuteVideo(uid, muted);
}

void CRtcEventHandler::onAudioDeviceStateChanged(const char *deviceId, int deviceType, int deviceState)
{
    KP_LOG_SCOPE_LEVEL(2);
    const QString id = logitems::text(deviceId);
    KP_LOG(2, join({item("id=%1", id), item("deviceType=%1", deviceType),
                    item("deviceState=%1", deviceState)}));
    emit sigAudioDeviceStateChanged(id, deviceType, deviceState);
}

void CRtcEventHandler::onAudioDeviceVolumeChanged(vendor::rtc::MEDIA_DEVICE_TYPE deviceType, int volume,
                                                  bool muted)
{
    KP_LOG_SCOPE_LEVEL(2);
    KP_LOG(2, join({item("deviceType=%1", static_cast<int>(deviceType)), item("volume=%1", volume),
                    item("muted=%1", muted)}));
}

void CRtcEventHandler::onFirstRemoteAudioDecoded(uid_t uid, int elapsed)
{
    KP_LOG_SCOPE_LEVEL(2);
    emit sigFirstRemoteAudioDecoded(uid, elapsed);
}

void CRtcEventHandler::onVideoDeviceStateChanged(const char *deviceId, int deviceType, int deviceState)
{
    KP_LOG_SCOPE_LEVEL(2);
    const QString id = logitems::text(deviceId);
    KP_LOG(2, join({item("id=%1", id), item("deviceType=%1", deviceType),
                    item("deviceState=%1", deviceState)}));
    emit sigVideoDeviceStateChanged(id, deviceType, deviceState);
}

void CRtcEventHandler::onFirstLocalAudioFrame(int elapsed)
{
    KP_LOG_SCOPE_LEVEL(2);
    KP_LOG(2, item("elapsed=%1", elapsed));
    emit sigFirstLocalAudioFrame(elapsed);
}

void CRtcEventHandler::onRtmpStreamingStateChanged(const char *url,
                                                   vendor::rtc::RTMP_STREAM_PUBLISH_STATE state,
                                                   vendor::rtc::RTMP_STREAM_PUBLISH_ERROR errCode)
{
    KP_LOG_SCOPE_LEVEL(2);
    const QString address = logitems::text(url);
    KP_LOG(2, join({item("state=%1", static_cast<int>(state)), item("errCode=%1", static_cast<int>(errCode)),
                    item("url=%1", address)}));
    emit sigRtmpStreamingStateChanged(address, state, errCode);
}

void CRtcEventHandler::onRemoteAudioTransportStats(uid_t, unsigned short, unsigned short, unsigned short)
{
    KP_LOG_SCOPE_LEVEL(1);
}

void CRtcEventHandler::onRemoteVideoTransportStats(uid_t, unsigned short, unsigned short, unsigned short)
{
    KP_LOG_SCOPE_LEVEL(1);
}

void CRtcEventHandler::onConnectionStateChanged(vendor::rtc::CONNECTION_STATE_TYPE state,
                                                vendor::rtc::CONNECTION_CHANGED_REASON_TYPE reason)
{
    KP_LOG_SCOPE_LEVEL(2);
    KP_LOG(2, join({item("state=%1", static_cast<int>(state)), item("reason=%1", static_cast<int>(reason))}));
    emit sigConnectionStateChanged(state, reason);
}
