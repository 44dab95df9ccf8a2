#pragma once

#include "rtcbase.h"

namespace vendor {
namespace rtc {

// Receives the engine's events. The engine calls these on threads of its own,
// never on the thread that made the request; every callback has an empty
// default so that a receiver overrides only what it needs. Pointer arguments
// are valid only during the call.
class IRtcEngineEventHandler
{
public:
    virtual ~IRtcEngineEventHandler() = default;

    virtual void onError(int err, const char *msg) { (void)err; (void)msg; }
    virtual void onJoinChannelSuccess(const char *channel, uid_t uid, int elapsed)
    {
        (void)channel; (void)uid; (void)elapsed;
    }
    virtual void onRejoinChannelSuccess(const char *channel, uid_t uid, int elapsed)
    {
        (void)channel; (void)uid; (void)elapsed;
    }
    virtual void onLeaveChannel(const RtcStats &stat) { (void)stat; }
    virtual void onUserJoined(uid_t uid, int elapsed) { (void)uid; (void)elapsed; }
    virtual void onUserOffline(uid_t uid, USER_OFFLINE_REASON_TYPE reason)
    {
        (void)uid; (void)reason;
    }
    virtual void onLastmileQuality(int quality) { (void)quality; }
    virtual void onConnectionBanned() {}
    virtual void onApiCallExecuted(int err, const char *api, const char *result)
    {
        (void)err; (void)api; (void)result;
    }
    virtual void onTokenPrivilegeWillExpire(const char *token) { (void)token; }
    virtual void onAudioQuality(uid_t uid, int quality, unsigned short delay, unsigned short lost)
    {
        (void)uid; (void)quality; (void)delay; (void)lost;
    }
    virtual void onRtcStats(const RtcStats &stats) { (void)stats; }
    virtual void onLocalVideoStats(const LocalVideoStats &stats) { (void)stats; }
    virtual void onRemoteVideoStats(const RemoteVideoStats &stats) { (void)stats; }
    virtual void onAudioVolumeIndication(const AudioVolumeInfo *speakers,
                                         unsigned int speakerNumber, int totalVolume)
    {
        (void)speakers; (void)speakerNumber; (void)totalVolume;
    }
    virtual void onVideoStopped() {}
    virtual void onFirstLocalVideoFrame(int width, int height, int elapsed)
    {
        (void)width; (void)height; (void)elapsed;
    }
    virtual void onFirstRemoteVideoDecoded(uid_t uid, int width, int height, int elapsed)
    {
        (void)uid; (void)width; (void)height; (void)elapsed;
    }
    virtual void onUserMuteAudio(uid_t uid, bool muted) { (void)uid; (void)muted; }
    virtual void onUserMuteVideo(uid_t uid, bool muted) { (void)uid; (void)muted; }
    virtual void onAudioDeviceStateChanged(const char *deviceId, int deviceType, int deviceState)
    {
        (void)deviceId; (void)deviceType; (void)deviceState;
    }
    virtual void onAudioDeviceVolumeChanged(MEDIA_DEVICE_TYPE deviceType, int volume, bool muted)
    {
        (void)deviceType; (void)volume; (void)muted;
    }
    virtual void onFirstRemoteAudioDecoded(uid_t uid, int elapsed) { (void)uid; (void)elapsed; }
    virtual void onVideoDeviceStateChanged(const char *deviceId, int deviceType, int deviceState)
    {
        (void)deviceId; (void)deviceType; (void)deviceState;
    }
    virtual void onFirstLocalAudioFrame(int elapsed) { (void)elapsed; }
    virtual void onRtmpStreamingStateChanged(const char *url, RTMP_STREAM_PUBLISH_STATE state,
                                             RTMP_STREAM_PUBLISH_ERROR errCode)
    {
        (void)url; (void)state; (void)errCode;
    }
    virtual void onRemoteAudioTransportStats(uid_t uid, unsigned short delay, unsigned short lost,
                                             unsigned short rxKBitRate)
    {
        (void)uid; (void)delay; (void)lost; (void)rxKBitRate;
    }
    virtual void onRemoteVideoTransportStats(uid_t uid, unsigned short delay, unsigned short lost,
                                             unsigned short rxKBitRate)
    {
        (void)uid; (void)delay; (void)lost; (void)rxKBitRate;
    }
    virtual void onConnectionStateChanged(CONNECTION_STATE_TYPE state,
                                          CONNECTION_CHANGED_REASON_TYPE reason)
    {
        (void)state; (void)reason;
    }
};

} // namespace rtc
} // namespace vendor
