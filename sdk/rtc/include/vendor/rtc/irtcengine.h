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

protected:
    virtual ~IRtcEngine() = default;
};

} // namespace rtc
} // namespace vendor

// Creates a new engine; the caller gives it back with IRtcEngine::release.
extern "C" VENDOR_RTC_API vendor::rtc::IRtcEngine *createRtcEngine();
