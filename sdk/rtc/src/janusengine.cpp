#include "janusengine.h"

#include <algorithm>
#include <cstdio>
#include <random>

#include <gst/gst.h>

#include "environment.h"
#include "janusparameters.h"
#include "janusprotocol.h"

namespace vendor {
namespace rtc {
namespace {

constexpr const char *kVersion = "3.0.0-janus";
constexpr int kBuild = 2;
constexpr const char *kDefaultUrl = "http://127.0.0.1:8088/janus";
constexpr int kHangUpTimeoutMs = 2000;
// An hour: a longer period of statistics is taken for a mistake.
constexpr long kLongestPeriodMs = 3600000;
// A signed token's holder is warned this long before it expires.
constexpr long long kTokenWarningSeconds = 30;

uid_t randomUid()
{
    static std::mt19937 random{std::random_device{}()};
    return 1000000 + random() % 1000000000;
}

const char *nameOf(int state)
{
    static const char *const names[] = {"idle", "joining", "joined", "reconnecting"};
    return names[state];
}

} // namespace

JanusEngine::JanusEngine() : m_room(*this) {}

JanusEngine::~JanusEngine()
{
    leaveRegistry();
    stopThreads();
}

void JanusEngine::stopThreads()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        ++m_generation;
        moveTo(State::Idle, "the engine stops");
        m_handler = nullptr;
    }
    m_media.stop();
    m_events.stop();
    m_control.stop();
    // The control thread is gone: its state is safe to touch here.
    hangUp();
    closeChannel();
}

void JanusEngine::release(bool)
{
    if (m_control.runsHere() || m_events.runsHere() || m_media.runsHere()) {
        stopThreads();
        return;
    }
    delete this;
}

int JanusEngine::initialize(const RtcEngineContext &context)
{
    if (!context.eventHandler || !context.appId)
        return -ERR_INVALID_ARGUMENT;
    if (!WebRtcPeer::available())
        return -ERR_NOT_SUPPORTED;
    std::lock_guard<std::mutex> lock(m_mutex);
    m_url = Environment::text("VENDOR_RTC_JANUS_URL", kDefaultUrl);
    m_camera = Environment::text("VENDOR_RTC_CAMERA", "");
    m_statsPeriodMs = static_cast<int>(Environment::number("VENDOR_RTC_JANUS_STATS_PERIOD_MS", 2000, kLongestPeriodMs));
    m_handler = context.eventHandler;
    m_initialized = true;
    return 0;
}

const char *JanusEngine::getVersion(int *build)
{
    if (build)
        *build = kBuild;
    return kVersion;
}

int JanusEngine::setClientRole(CLIENT_ROLE_TYPE role)
{
    if (!knownRole(role))
        return -ERR_INVALID_ARGUMENT;
    std::lock_guard<std::mutex> lock(m_mutex);
    // Takes effect at the next join: a room member publishes from the start or never.
    m_role = role;
    return 0;
}

int JanusEngine::setBoolParameter(const char *key, bool)
{
    // The room relays whatever is subscribed; there is nothing to mute by default.
    return key && *key ? 0 : -ERR_INVALID_ARGUMENT;
}

// Each of the engine's keys takes effect at the next join (see JanusParameters).
int JanusEngine::setParameters(const char *parameters)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    JanusParameters::Values values{m_url, m_peerMedia};
    if (!JanusParameters::read(parameters, values))
        return -ERR_INVALID_ARGUMENT;
    m_url = values.url;
    m_peerMedia = values.media;
    return 0;
}

int JanusEngine::joinChannel(const char *token, const char *channelId, const char *, uid_t uid)
{
    if (!validChannel(channelId))
        return -ERR_INVALID_ARGUMENT;
    uint64_t generation = 0;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_initialized)
            return -ERR_NOT_INITIALIZED;
        if (m_state != State::Idle)
            return -ERR_JOIN_CHANNEL_REJECTED;
        moveTo(State::Joining, "joinChannel");
        generation = ++m_generation;
        m_channel = channelId;
        m_token = token ? token : "";
        m_localUid = uid ? uid : randomUid();
        m_joinStart = std::chrono::steady_clock::now();
    }
    deliver(generation, [](IRtcEngineEventHandler *handler) {
        handler->onConnectionStateChanged(CONNECTION_STATE_CONNECTING, CONNECTION_CHANGED_CONNECTING);
    });
    m_control.post(0, [this, generation] {
        m_everJoined = false;
        m_backoff.reset();
        connect(generation);
    });
    return 0;
}

int JanusEngine::leaveChannel()
{
    RtcStats stats{};
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_initialized)
            return -ERR_NOT_INITIALIZED;
        if (m_state == State::Idle)
            return 0;
        stats.duration = static_cast<unsigned int>(elapsedMs() / 1000);
        stats.userCount = m_room.userCount() + 1;
        moveTo(State::Idle, "leaveChannel");
        ++m_generation; // pending events, statistics and retries of the channel lapse
    }
    m_control.post(0, [this, stats] {
        hangUp();
        closeChannel();
        deliverIf(std::nullopt, [stats](IRtcEngineEventHandler *handler) {
            handler->onConnectionStateChanged(CONNECTION_STATE_DISCONNECTED, CONNECTION_CHANGED_LEAVE_CHANNEL);
            handler->onLeaveChannel(stats);
        });
    });
    return 0;
}

int JanusEngine::setupRemoteVideo(const VideoCanvas &canvas)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_initialized)
            return -ERR_NOT_INITIALIZED;
    }
    m_room.setWindow(canvas.uid, static_cast<unsigned long>(reinterpret_cast<uintptr_t>(canvas.view)));
    return 0;
}

int JanusEngine::setExternalVideoSource(bool enable)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_initialized)
            return -ERR_NOT_INITIALIZED;
        if (m_state != State::Idle)
            return -ERR_REFUSED;
    }
    m_external.setEnabled(enable);
    return 0;
}

// Until the room has taken the publisher's offer, a frame taken has nowhere
// to go and counts as dropped.
int JanusEngine::pushVideoFrame(const ExternalVideoFrame &frame)
{
    return m_external.sendVideo(frame, isJoined(), [this](const ExternalVideoFrame &taken) {
        const std::shared_ptr<WebRtcPeer> publisher = m_room.peers().publisher;
        if (!publisher)
            return ExternalSource::Sent::Nowhere;
        return publisher->pushVideo(taken) ? ExternalSource::Sent::DisplacedOlder : ExternalSource::Sent::Queued;
    });
}

int JanusEngine::pushAudioFrame(const AudioFrame &frame)
{
    return m_external.sendAudio(frame, isJoined(), [this](const AudioFrame &taken) {
        if (const std::shared_ptr<WebRtcPeer> publisher = m_room.peers().publisher)
            publisher->pushAudio(taken);
    });
}

void JanusEngine::moveTo(State next, const char *cause)
{
    if (next == m_state)
        return;
    std::fprintf(stderr, "vendor_rtc: janus: %s -> %s (%s)\n", nameOf(static_cast<int>(m_state)),
                 nameOf(static_cast<int>(next)), cause);
    m_state = next;
}

int JanusEngine::elapsedMs() const
{
    return msSince(m_joinStart);
}

bool JanusEngine::isJoined() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_state == State::Joined;
}

int JanusEngine::elapsedNow() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return elapsedMs();
}

uid_t JanusEngine::localUid() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_localUid;
}

bool JanusEngine::current(uint64_t generation) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return currentLocked(generation);
}

bool JanusEngine::currentLocked(uint64_t generation) const
{
    return generation == m_generation && m_state != State::Idle;
}

bool JanusEngine::fresh(uint64_t generation, unsigned attempt) const
{
    return attempt == m_attempt && current(generation);
}

void JanusEngine::postFresh(uint64_t generation, unsigned attempt, int delayMs, Task task)
{
    m_control.post(delayMs, [this, generation, attempt, task = std::move(task)] {
        if (fresh(generation, attempt))
            task();
    });
}

void JanusEngine::deliver(uint64_t generation, Callback fn)
{
    deliverIf(generation, std::move(fn));
}

void JanusEngine::deliverIf(std::optional<uint64_t> generation, Callback fn)
{
    m_events.post(0, [this, generation, fn = std::move(fn)] {
        IRtcEngineEventHandler *handler = nullptr;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (!generation || *generation == m_generation)
                handler = m_handler;
        }
        if (handler)
            fn(handler);
    });
}

void JanusEngine::deliverError(uint64_t generation, const std::string &message)
{
    deliver(generation, [message](IRtcEngineEventHandler *handler) { handler->onError(ERR_FAILED, message.c_str()); });
}

void JanusEngine::connect(uint64_t generation)
{
    if (!current(generation))
        return;
    ++m_attempt;
    const Channel channel = this->channel();
    m_roomId = janus::roomFor(channel.name);
    Outcome outcome = openSession(generation, channel);
    bool takesH264 = true;
    if (outcome.kind == Outcome::Done)
        outcome = m_server->ensureRoom(m_publisherHandle, m_roomId, channel.name, takesH264);
    m_roomTakesH264 = takesH264;
    if (outcome.kind == Outcome::Done)
        outcome = m_server->joinRoom(m_publisherHandle, m_roomId, channel.uid);
    if (outcome.kind == Outcome::Fault)
        connectionLost(generation, outcome.reason);
    else if (outcome.kind == Outcome::Refusal && outcome.badToken)
        refused(generation, outcome.reason);
    else if (outcome.kind == Outcome::Refusal)
        refuse(generation, outcome.reason);
    // Done: the outcome of the join, "joined" or an error, arrives as an event.
}

JanusEngine::Channel JanusEngine::channel() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return {m_url, m_channel, m_token, m_localUid, m_camera, m_peerMedia};
}

JanusEngine::Outcome JanusEngine::openSession(uint64_t generation, const Channel &channel)
{
    m_server = std::make_unique<JanusSession>(channel.url, channel.token);
    const Outcome outcome = m_server->create();
    if (outcome.kind != Outcome::Done)
        return outcome;
    startPolling(generation);
    return m_server->attachToRoom(m_publisherHandle);
}

void JanusEngine::startPolling(uint64_t generation)
{
    const unsigned attempt = m_attempt;
    JanusPoller::Sink sink;
    sink.event = [this, generation, attempt](Json event) {
        postFresh(generation, attempt, 0,
                  [this, generation, event = std::move(event)] { m_room.handleEvent(generation, event); });
    };
    sink.lost = [this, generation, attempt](const std::string &reason) {
        postFresh(generation, attempt, 0, [this, generation, reason] { connectionLost(generation, reason); });
    };
    sink.refused = [this, generation](const std::string &reason) {
        m_control.post(0, [this, generation, reason] { refused(generation, reason); });
    };
    m_poller.start(m_server->client(), m_server->id(), std::move(sink));
}

void JanusEngine::joined(uint64_t generation, const Json &data)
{
    std::string channel;
    uid_t uid = 0;
    int elapsed = 0;
    bool broadcaster = false;
    int statsPeriodMs = 0;
    const bool rejoin = m_everJoined;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        moveTo(State::Joined, rejoin ? "the room took the join again" : "the room took the join");
        channel = m_channel;
        uid = m_localUid;
        elapsed = elapsedMs();
        broadcaster = m_role == CLIENT_ROLE_BROADCASTER;
        statsPeriodMs = m_statsPeriodMs;
    }
    m_everJoined = true;
    m_backoff.reset();
    deliver(generation, [channel, uid, elapsed, rejoin](IRtcEngineEventHandler *handler) {
        handler->onConnectionStateChanged(CONNECTION_STATE_CONNECTED, CONNECTION_CHANGED_JOIN_SUCCESS);
        if (rejoin)
            handler->onRejoinChannelSuccess(channel.c_str(), uid, elapsed);
        else
            handler->onJoinChannelSuccess(channel.c_str(), uid, elapsed);
    });
    m_room.enter(generation, data, broadcaster);
    if (statsPeriodMs > 0)
        m_media.post(statsPeriodMs, [this, generation] { collectStats(generation); });
    if (!rejoin)
        warnBeforeExpiry(generation);
}

void JanusEngine::warnBeforeExpiry(uint64_t generation)
{
    const std::string token = channel().token;
    const long long expiry = janus::tokenExpiry(token);
    if (!expiry)
        return;
    const long long delaySeconds = std::max(0ll, janus::secondsUntil(expiry) - kTokenWarningSeconds);
    if (delaySeconds > 24 * 3600)
        return; // a day's token: the warning would outlive any test or demo
    m_control.post(static_cast<int>(delaySeconds * 1000), [this, generation, token] {
        deliver(generation, [token](IRtcEngineEventHandler *handler) {
            handler->onTokenPrivilegeWillExpire(token.c_str());
        });
    });
}

// The server is gone, forgot the session or answered nothing usable: tell
// once, then try again and again, waiting longer each time, until a join
// succeeds or the user leaves. Failures that go on are told as an error.
void JanusEngine::connectionLost(uint64_t generation, const std::string &reason)
{
    bool wasJoined = false;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!currentLocked(generation))
            return;
        wasJoined = m_state == State::Joined;
        if (wasJoined)
            moveTo(State::Reconnecting, reason.c_str());
    }
    const std::vector<uid_t> dropped = wasJoined ? m_room.dropUsers() : std::vector<uid_t>();
    ++m_attempt; // events of the lost session lapse
    closeChannel();
    if (wasJoined)
        deliver(generation, [dropped](IRtcEngineEventHandler *handler) {
            handler->onConnectionStateChanged(CONNECTION_STATE_RECONNECTING, CONNECTION_CHANGED_INTERRUPTED);
            for (uid_t uid : dropped)
                handler->onUserOffline(uid, USER_OFFLINE_DROPPED);
        });
    const int delay = m_backoff.failed();
    std::fprintf(stderr, "vendor_rtc: janus: %s; trying again in %d ms\n", reason.c_str(), delay);
    if (m_backoff.reportNow())
        deliverError(generation, "the server keeps failing: " + reason);
    m_control.post(delay, [this, generation] { connect(generation); });
}

// A token Janus does not take: a signed token past its expiry has expired,
// any other is invalid.
void JanusEngine::refused(uint64_t generation, const std::string &reason)
{
    const long long expiry = janus::tokenExpiry(channel().token);
    const bool expired = expiry && janus::secondsUntil(expiry) <= 0;
    fail(generation, expired ? ERR_TOKEN_EXPIRED : ERR_INVALID_TOKEN,
         expired ? CONNECTION_CHANGED_TOKEN_EXPIRED : CONNECTION_CHANGED_INVALID_TOKEN, reason);
}

// The server turned a step of joining down on purpose.
void JanusEngine::refuse(uint64_t generation, const std::string &reason)
{
    fail(generation, ERR_JOIN_CHANNEL_REJECTED, CONNECTION_CHANGED_JOIN_FAILED, reason);
}

// The channel ends with an error and the failed state; nothing is retried.
void JanusEngine::fail(uint64_t generation, ERROR_CODE_TYPE error, CONNECTION_CHANGED_REASON_TYPE why,
                       const std::string &reason)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!currentLocked(generation))
            return;
        moveTo(State::Idle, reason.c_str());
    }
    std::fprintf(stderr, "vendor_rtc: janus: %s; the channel ends\n", reason.c_str());
    deliver(generation, [error, why, reason](IRtcEngineEventHandler *handler) {
        handler->onError(error, reason.c_str());
        handler->onConnectionStateChanged(CONNECTION_STATE_FAILED, why);
    });
    ++m_attempt;
    hangUp();
    closeChannel();
}

void JanusEngine::hangUp()
{
    if (m_server)
        m_server->hangUp(m_publisherHandle, kHangUpTimeoutMs);
}

void JanusEngine::closeChannel()
{
    m_poller.stop();
    m_room.close();
    bool idle = false;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        idle = m_state == State::Idle;
    }
    if (idle)
        m_room.dropUsers();
    if (m_server)
        m_server->forget();
    m_publisherHandle = 0;
}

void JanusEngine::collectStats(uint64_t generation)
{
    RtcStats channel{};
    int periodMs = 0;
    if (!channelStats(generation, channel, periodMs))
        return;
    m_media.post(periodMs, [this, generation] { collectStats(generation); });
    JanusStats::Report report;
    report.channel = channel;
    report.sentFrames = m_external.sentFrames();
    report.droppedFrames = m_external.droppedFrames();
    if (m_stats.measure(m_room.peers(), report))
        deliver(generation, [report](IRtcEngineEventHandler *handler) { JanusStats::deliver(handler, report); });
}

bool JanusEngine::channelStats(uint64_t generation, RtcStats &stats, int &periodMs) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!currentLocked(generation))
        return false;
    periodMs = m_statsPeriodMs;
    stats.duration = static_cast<unsigned int>(elapsedMs() / 1000);
    stats.userCount = m_room.userCount() + 1;
    return true;
}

} // namespace rtc
} // namespace vendor
