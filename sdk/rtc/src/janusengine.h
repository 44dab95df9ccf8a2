#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "backoff.h"
#include "enginebase.h"
#include "externalsource.h"
#include "januspoller.h"
#include "janusroom.h"
#include "janussession.h"
#include "janusstats.h"
#include "taskthread.h"

namespace vendor {
namespace rtc {

// The real engine: a channel is a Janus video room reached over Janus's HTTP
// API, media goes through GStreamer's webrtcbin. Three threads of its own:
// "control" talks to the server and owns the room state, "events" calls the
// event handler, "media" collects statistics; a fourth long-polls the server.
//
// The channel is a state machine (see State); every change goes through
// moveTo, which logs it with its cause. A join starts a new generation and
// each attempt to reach the server a new attempt: work posted for an older
// one lapses (current, fresh).
class JanusEngine : public EngineBase
{
    friend class JanusRoom; // acts for the engine on its control thread

public:
    JanusEngine();

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

    // Also hangs up.
    void stopThreads() override;

private:
    // Idle: no channel. Joining: from joinChannel until the room takes the
    // join. Joined: in the room. Reconnecting: the server was lost while
    // joined; the engine tries again until it is back (then Joined) or the
    // user leaves. A refusal or a leave goes back to Idle from any state.
    enum class State { Idle, Joining, Joined, Reconnecting };
    using Json = nlohmann::json;
    using Outcome = JanusSession::Outcome;
    using Callback = std::function<void(IRtcEngineEventHandler *)>;
    using Task = std::function<void()>;

    ~JanusEngine() override;

    // With m_mutex held.
    void moveTo(State next, const char *cause);
    int elapsedMs() const;
    // Each takes m_mutex.
    bool isJoined() const;
    int elapsedNow() const;
    uid_t localUid() const;

    // Whether work for generation (a join) is still wanted: the channel
    // is the same and not left.
    bool current(uint64_t generation) const;
    bool currentLocked(uint64_t generation) const; // with m_mutex held
    // Whether a reply or event of attempt (a session on the server) is still
    // for the current session. Control thread.
    bool fresh(uint64_t generation, unsigned attempt) const;
    // Runs task on the control thread if it is still fresh then.
    void postFresh(uint64_t generation, unsigned attempt, int delayMs, Task task);

    // Runs fn on the events thread while the channel of generation is
    // current (always, for no generation).
    void deliver(uint64_t generation, Callback fn);
    void deliverIf(std::optional<uint64_t> generation, Callback fn);
    void deliverError(uint64_t generation, const std::string &message);

    // What a join asked for and how it publishes, copied under m_mutex.
    struct Channel
    {
        std::string url;
        std::string name;
        std::string token;
        uid_t uid = 0;
        std::string camera;
        WebRtcPeer::Media media;
    };
    Channel channel() const;

    // Control thread: joining.
    void connect(uint64_t generation);
    Outcome openSession(uint64_t generation, const Channel &channel);
    void startPolling(uint64_t generation);
    void joined(uint64_t generation, const Json &data);
    void warnBeforeExpiry(uint64_t generation);
    void connectionLost(uint64_t generation, const std::string &reason);
    void refused(uint64_t generation, const std::string &reason);
    void refuse(uint64_t generation, const std::string &reason);
    void fail(uint64_t generation, ERROR_CODE_TYPE error, CONNECTION_CHANGED_REASON_TYPE why,
              const std::string &reason);
    void hangUp();
    void closeChannel();

    // Media thread.
    void collectStats(uint64_t generation);
    // The channel's part of the statistics and their period; false once
    // generation has lapsed.
    bool channelStats(uint64_t generation, RtcStats &stats, int &periodMs) const;

    // Guarded by m_mutex: the settings, set by the caller's thread, and the
    // channel, changed by the caller's and the control threads; read by all.
    mutable std::mutex m_mutex;
    IRtcEngineEventHandler *m_handler = nullptr;
    bool m_initialized = false;
    std::string m_url;
    std::string m_camera;
    WebRtcPeer::Media m_peerMedia;
    int m_statsPeriodMs = 2000;
    CLIENT_ROLE_TYPE m_role = CLIENT_ROLE_AUDIENCE;
    State m_state = State::Idle;
    uint64_t m_generation = 0;
    std::string m_channel;
    std::string m_token;
    uid_t m_localUid = 0;
    std::chrono::steady_clock::time_point m_joinStart;

    // Owned by the control thread (touched elsewhere only once it has
    // ended), but for the room's users and peers, which guard themselves.
    JanusRoom m_room;
    std::unique_ptr<JanusSession> m_server;
    JanusPoller m_poller;
    unsigned m_attempt = 0;
    bool m_everJoined = false;
    Backoff m_backoff;
    uint64_t m_roomId = 0;
    // Written on the control thread before a peer starts, read where it starts.
    std::atomic<bool> m_roomTakesH264{true};
    uint64_t m_publisherHandle = 0;

    // Owned by the media thread.
    JanusStats m_stats;
    ExternalSource m_external;

    TaskThread m_control;
    TaskThread m_events;
    TaskThread m_media;
};

} // namespace rtc
} // namespace vendor
