#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "enginebase.h"
#include "externalsource.h"
#include "remotevideorenderer.h"
#include "simconfig.h"
#include "taskthread.h"

namespace vendor {
namespace rtc {

// A simulated engine: requests are answered by callbacks on two engine
// threads (channel events, and media statistics), one simulated remote user
// joins after each join, and its video is drawn into the window given to
// setupRemoteVideo.
class SimEngine : public EngineBase
{
public:
    SimEngine();

    void release(bool sync) override;
    int initialize(const RtcEngineContext &context) override;
    const char *getVersion(int *build) override;
    int setClientRole(CLIENT_ROLE_TYPE role) override;
    int joinChannel(const char *token, const char *channelId, const char *info, uid_t uid) override;
    int leaveChannel() override;
    int setupRemoteVideo(const VideoCanvas &canvas) override;
    int setExternalVideoSource(bool enable) override;
    int pushVideoFrame(const ExternalVideoFrame &frame) override;
    int pushAudioFrame(const AudioFrame &frame) override;

    int setBoolParameter(const char *key, bool value) override;
    int setParameters(const char *parameters) override;

    // Also ends the drawing.
    void stopThreads() override;

private:
    enum class ChannelState { Idle, Joining, Joined };

    ~SimEngine() override;

    bool onEngineThread() const;
    bool takesMedia() const; // takes m_mutex
    IRtcEngineEventHandler *handlerFor(uint64_t session);
    // Both read the channel state: the caller holds m_mutex.
    int elapsedMs() const;
    RtcStats channelStats() const;

    void deliverJoin(uint64_t session);
    void deliverReconnect(uint64_t session);
    void deliverInjected(uint64_t session);
    void deliverRemoteUser(uint64_t session);
    void deliverStats(uint64_t session);
    void stopRenderers();

    mutable std::mutex m_mutex;
    SimConfig m_config;
    IRtcEngineEventHandler *m_handler = nullptr;
    bool m_initialized = false;
    ChannelState m_state = ChannelState::Idle;
    uint64_t m_session = 0;
    std::string m_channel;
    std::string m_token;
    uid_t m_localUid = 0;
    bool m_remotePresent = false;
    std::chrono::steady_clock::time_point m_joinStart;
    std::map<std::string, bool> m_boolParameters;
    std::vector<std::string> m_parameters;
    std::map<uid_t, std::unique_ptr<RemoteVideoRenderer>> m_renderers;
    unsigned m_statsTick = 0;
    unsigned int m_sentAtLastTick = 0;
    ExternalSource m_external;

    TaskThread m_events;
    TaskThread m_media;
};

} // namespace rtc
} // namespace vendor
