#include "enginebase.h"

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <set>

namespace vendor {
namespace rtc {
namespace {

std::mutex g_enginesMutex;
std::set<EngineBase *> g_engines;
bool g_exitHookInstalled = false;

void stopEnginesAtExit()
{
    std::lock_guard<std::mutex> lock(g_enginesMutex);
    for (EngineBase *engine : g_engines)
        engine->stopThreads();
}

} // namespace

EngineBase::EngineBase()
{
    std::lock_guard<std::mutex> lock(g_enginesMutex);
    g_engines.insert(this);
    if (!g_exitHookInstalled)
        g_exitHookInstalled = std::atexit(stopEnginesAtExit) == 0;
}

EngineBase::~EngineBase()
{
    leaveRegistry();
}

void EngineBase::leaveRegistry()
{
    std::lock_guard<std::mutex> lock(g_enginesMutex);
    g_engines.erase(this);
}

int EngineBase::queryInterface(INTERFACE_ID_TYPE iid, void **inter)
{
    if (!inter)
        return -ERR_INVALID_ARGUMENT;
    *inter = nullptr;
    if (iid != INTERFACE_ID_PARAMETER)
        return -ERR_NOT_SUPPORTED;
    *inter = static_cast<IRtcEngineParameter *>(new SimParameter(this));
    return 0;
}

int EngineBase::enableVideo()
{
    return 0;
}

int EngineBase::enableAudio()
{
    return 0;
}

int EngineBase::setChannelProfile(CHANNEL_PROFILE_TYPE profile)
{
    const bool known = profile == CHANNEL_PROFILE_COMMUNICATION || profile == CHANNEL_PROFILE_LIVE_BROADCASTING;
    return known ? 0 : -ERR_INVALID_ARGUMENT;
}

int EngineBase::startPreview()
{
    return 0;
}

int EngineBase::stopPreview()
{
    return 0;
}

bool EngineBase::knownRole(CLIENT_ROLE_TYPE role)
{
    return role == CLIENT_ROLE_BROADCASTER || role == CLIENT_ROLE_AUDIENCE;
}

bool EngineBase::validChannel(const char *channelId)
{
    return channelId && *channelId && std::strlen(channelId) <= 64;
}

int EngineBase::msSince(std::chrono::steady_clock::time_point start)
{
    const auto elapsed = std::chrono::steady_clock::now() - start;
    return static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count());
}

} // namespace rtc
} // namespace vendor
