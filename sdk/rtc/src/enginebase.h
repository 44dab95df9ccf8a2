#pragma once

#include <chrono>

#include "simparameter.h"
#include "vendor/rtc/irtcengine.h"

namespace vendor {
namespace rtc {

// What both engines answer alike, and the registry of engines alive. A
// program may keep its engine until it ends, with an event handler of static
// storage duration; the exit hook, installed when the first engine is made
// (after such a handler), stops every engine's threads before the program's
// static objects are destroyed.
class EngineBase : public IRtcEngine, public ParameterTarget
{
public:
    int queryInterface(INTERFACE_ID_TYPE iid, void **inter) override;
    int enableVideo() override;
    int enableAudio() override;
    int setChannelProfile(CHANNEL_PROFILE_TYPE profile) override;
    int startPreview() override;
    int stopPreview() override;

    // Ends the engine's threads; no callback follows. Used when the process
    // exits with the engine still running.
    virtual void stopThreads() = 0;

protected:
    EngineBase();
    ~EngineBase() override;

    // Takes the engine out of the registry; an engine's destructor calls it
    // before it stops its threads, so that the exit hook never meets an
    // engine half destroyed.
    void leaveRegistry();

    static bool knownRole(CLIENT_ROLE_TYPE role);
    static bool validChannel(const char *channelId);
    static int msSince(std::chrono::steady_clock::time_point start);
};

} // namespace rtc
} // namespace vendor
