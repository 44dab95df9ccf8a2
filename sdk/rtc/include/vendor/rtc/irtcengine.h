#pragma once

#include "irtcengineeventhandler.h"
#include "irtcengineparameter.h"
#include "rtcbase.h"

namespace vendor {
namespace rtc {

struct RtcEngineContext
{
    IRtcEngineEventHandler *eventHandler = nullptr;
    const char *appId = nullptr;
    void *context = nullptr;
};

// The engine. Requests return at once; their outcome arrives later as a
// callback on the engine's own threads.
class IRtcEngine
{
public:
    // Stops the engine's threads and frees it; no callback follows.
    virtual void release(bool sync = true) = 0;

    virtual int initialize(const RtcEngineContext &context) = 0;
    // Returns the version text (may be null) and stores the build number.
    virtual const char *getVersion(int *build) = 0;
    virtual int queryInterface(INTERFACE_ID_TYPE iid, void **inter) = 0;

    virtual int enableVideo() = 0;
    virtual int enableAudio() = 0;
    virtual int setChannelProfile(CHANNEL_PROFILE_TYPE profile) = 0;
    virtual int setClientRole(CLIENT_ROLE_TYPE role) = 0;
    virtual int startPreview() = 0;
    virtual int stopPreview() = 0;

    virtual int joinChannel(const char *token, const char *channelId, const char *info,
                            uid_t uid) = 0;
    virtual int leaveChannel() = 0;

    // Draws the remote user's video into canvas.view; a null view stops it.
    virtual int setupRemoteVideo(const VideoCanvas &canvas) = 0;

    // A broadcaster with an external source sends the frames its caller
    // pushes instead of the test picture or a camera. Turned on or off
    // outside a channel only. Engines without external sources answer
    // -ERR_NOT_SUPPORTED.
    virtual int setExternalVideoSource(bool enable)
    {
        (void)enable;
        return -ERR_NOT_SUPPORTED;
    }
    // Neither push waits for the network or the encoder: a frame that cannot
    // be taken at once is dropped and counted. Frames pushed outside a
    // channel are dropped too. Safe from any thread.
    virtual int pushVideoFrame(const ExternalVideoFrame &frame)
    {
        (void)frame;
        return -ERR_NOT_SUPPORTED;
    }
    virtual int pushAudioFrame(const AudioFrame &frame)
    {
        (void)frame;
        return -ERR_NOT_SUPPORTED;
    }

protected:
    virtual ~IRtcEngine() = default;
};

} // namespace rtc
} // namespace vendor

// Creates a new engine; the caller gives it back with IRtcEngine::release.
// The environment's VENDOR_RTC_ENGINE chooses which.
extern "C" VENDOR_RTC_API vendor::rtc::IRtcEngine *createRtcEngine();
// The engine of that name ("janus" or "sim"); null or another name chooses
// as createRtcEngine does.
extern "C" VENDOR_RTC_API vendor::rtc::IRtcEngine *createRtcEngineNamed(const char *name);
