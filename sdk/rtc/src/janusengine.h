#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <ctime>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "janusclient.h"
#include "simparameter.h"
#include "taskthread.h"
#include "vendor/rtc/irtcengine.h"
#include "webrtcpeer.h"

namespace vendor {
namespace rtc {

// The real engine: a channel is a Janus video room reached over Janus's HTTP
// API, media goes through GStreamer's webrtcbin. Three threads of its own:
// "control" talks to the server and owns the room state, "events" calls the
// event handler, "media" collects statistics; a fourth long-polls the server.
class JanusEngine : public IRtcEngine, public ParameterTarget
{
public:
    JanusEngine();

    void release(bool sync) override;
    int initialize(const RtcEngineContext &context) override;
    const char *getVersion(int *build) override;
    int queryInterface(INTERFACE_ID_TYPE iid, void **inter) override;
    int enableVideo() override;
    int enableAudio() override;
    int setChannelProfile(CHANNEL_PROFILE_TYPE profile) override;
    int setClientRole(CLIENT_ROLE_TYPE role) override;
    int startPreview() override;
    int stopPreview() override;
    int joinChannel(const char *token, const char *channelId, const char *info, uid_t uid) override;
    int leaveChannel() override;
    int setupRemoteVideo(const VideoCanvas &canvas) override;

    int setBoolParameter(const char *key, bool value) override;
    int setParameters(const char *parameters) override;

    // Hangs up and ends the engine's threads; no callback follows. Used when
    // the process exits with the engine still running.
    void stopThreads();

    // The video room of a channel: the same text always gives the same room.
    static uint64_t roomFor(const std::string &channel);

private:
    enum class State { Idle, Joining, Joined, Reconnecting };
    using Json = nlohmann::json;
    using Callback = std::function<void(IRtcEngineEventHandler *)>;

    ~JanusEngine() override;

    // Called with m_mutex held.
    int elapsedMs() const;

    // Runs fn on the events thread while the channel of generation is current.
    void deliver(uint64_t generation, Callback fn);
    void deliverAlways(Callback fn);
    bool current(uint64_t generation) const;

    // Control thread.
    void connect(uint64_t generation);
    bool openSession(uint64_t generation);
    bool ensureRoom();
    void startPolling(uint64_t generation);
    void stopPolling();
    void handleEvent(uint64_t generation, unsigned attempt, const Json &event);
    void handleRoomEvent(uint64_t generation, uint64_t sender, const Json &data, const Json &jsep);
    void joined(uint64_t generation, const Json &data);
    void warnBeforeExpiry(uint64_t generation);
    void addRemote(uint64_t generation, uint64_t id, bool publisher);
    void removeRemote(uint64_t generation, uint64_t id, USER_OFFLINE_REASON_TYPE reason);
    void startPublishing(uint64_t generation);
    void restartPublishing(uint64_t generation);
    void mediaEnded(uint64_t generation, uint64_t handle);
    void mediaFailed(uint64_t generation, uint64_t handle);
    void subscribeNext(uint64_t generation);
    void stopSubscription();
    void sendTrickle(uint64_t handle, unsigned mline, const std::string &candidate);
    void connectionLost(uint64_t generation, unsigned attempt);
    void refused(uint64_t generation, const JanusClient::Reply &reply);
    void hangUp();
    void closeChannel();
    WebRtcPeer::Callbacks peerCallbacks(uint64_t generation, uint64_t handle, uid_t remote);

    // Media thread.
    void collectStats(uint64_t generation);

    mutable std::mutex m_mutex;
    IRtcEngineEventHandler *m_handler = nullptr;
    bool m_initialized = false;
    std::string m_url;
    std::string m_camera;
    int m_statsPeriodMs = 2000;
    CLIENT_ROLE_TYPE m_role = CLIENT_ROLE_AUDIENCE;
    State m_state = State::Idle;
    uint64_t m_generation = 0;
    std::string m_channel;
    std::string m_token;
    uid_t m_localUid = 0;
    std::chrono::steady_clock::time_point m_joinStart;
    std::map<uid_t, unsigned long> m_windows;
    std::set<uid_t> m_present; // remote users in the room, for statistics
    std::shared_ptr<WebRtcPeer> m_publisher;
    std::shared_ptr<WebRtcPeer> m_subscriber;
    uid_t m_subscribedFeed = 0;

    // Owned by the control thread.
    std::unique_ptr<JanusClient> m_client;
    unsigned m_attempt = 0;
    bool m_everJoined = false;
    int m_backoffMs = 0;
    uint64_t m_room = 0;
    uint64_t m_session = 0;
    uint64_t m_publisherHandle = 0;
    uint64_t m_subscriberHandle = 0;
    std::vector<uid_t> m_feeds; // publishing remote users, oldest first
    std::thread m_poller;
    std::shared_ptr<std::atomic<bool>> m_pollCancel;

    // Owned by the media thread.
    struct Totals
    {
        std::chrono::steady_clock::time_point when;
        std::clock_t cpu = 0;
        WebRtcPeer::Stats sent;
        WebRtcPeer::Stats received;
    } m_last;

    TaskThread m_control;
    TaskThread m_events;
    TaskThread m_media;
};

} // namespace rtc
} // namespace vendor
