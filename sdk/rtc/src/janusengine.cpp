#include "janusengine.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>

#include <gst/gst.h>

namespace vendor {
namespace rtc {
namespace {

constexpr const char *kVersion = "3.0.0-janus";
constexpr int kBuild = 2;
constexpr const char *kDefaultUrl = "http://127.0.0.1:8088/janus";
constexpr const char *kPlugin = "janus.plugin.videoroom";
constexpr int kFirstBackoffMs = 250;
constexpr int kLastBackoffMs = 4000;
constexpr int kHangUpTimeoutMs = 2000;
constexpr int kRepublishDelayMs = 500;
// Janus's error codes the engine tells apart.
constexpr int kJanusUnauthorized = 403;
constexpr int kJanusNoSession = 458;
constexpr int kRoomExists = 427;
// A signed token's holder is warned this long before it expires.
constexpr long long kTokenWarningSeconds = 30;

// Engines alive, stopped by the exit hook before static objects (such as a
// program's event handler) are destroyed; see SimEngine for the same rule.
std::mutex g_enginesMutex;
std::set<JanusEngine *> g_engines;
bool g_exitHookInstalled = false;

void stopEnginesAtExit()
{
    std::lock_guard<std::mutex> lock(g_enginesMutex);
    for (JanusEngine *engine : g_engines)
        engine->stopThreads();
}

int readNumber(const char *name, int fallback)
{
    const char *text = std::getenv(name);
    if (!text || !*text)
        return fallback;
    char *end = nullptr;
    const long value = std::strtol(text, &end, 10);
    return *end == '\0' && value >= 0 && value <= 3600000 ? static_cast<int>(value) : fallback;
}

std::string readText(const char *name, const char *fallback)
{
    const char *text = std::getenv(name);
    return text && *text ? text : fallback;
}

uid_t randomUid()
{
    static std::mt19937 random{std::random_device{}()};
    return 1000000 + random() % 1000000000;
}

// The expiry (seconds since 1970) of a token in Janus's signed form
// "<expiry>,janus,<plugins...>:<signature>"; 0 for any other token.
long long tokenExpiry(const std::string &token)
{
    const auto comma = token.find(',');
    if (comma == std::string::npos || comma == 0 || token.compare(comma, 7, ",janus,") != 0)
        return 0;
    long long expiry = 0;
    for (size_t i = 0; i < comma; ++i) {
        if (token[i] < '0' || token[i] > '9' || expiry > 1000000000000ll)
            return 0;
        expiry = expiry * 10 + (token[i] - '0');
    }
    return expiry;
}

long long secondsUntil(long long epochSeconds)
{
    const auto now = std::chrono::duration_cast<std::chrono::seconds>(
                         std::chrono::system_clock::now().time_since_epoch())
                         .count();
    return epochSeconds - static_cast<long long>(now);
}

uint64_t idOf(const nlohmann::json &value)
{
    return value.is_number_unsigned() || value.is_number_integer() ? value.get<uint64_t>() : 0;
}

const nlohmann::json &member(const nlohmann::json &object, const char *key)
{
    static const nlohmann::json none;
    if (!object.is_object())
        return none;
    auto it = object.find(key);
    return it == object.end() ? none : *it;
}

// Kilobits a second between two byte counts taken periodMs apart.
unsigned short kbps(uint64_t before, uint64_t after, double seconds)
{
    if (after < before || seconds <= 0)
        return 0;
    return static_cast<unsigned short>(std::min(65535.0, (after - before) * 8 / 1000.0 / seconds));
}

} // namespace

JanusEngine::JanusEngine()
{
    std::lock_guard<std::mutex> lock(g_enginesMutex);
    g_engines.insert(this);
    if (!g_exitHookInstalled)
        g_exitHookInstalled = std::atexit(stopEnginesAtExit) == 0;
}

JanusEngine::~JanusEngine()
{
    {
        std::lock_guard<std::mutex> lock(g_enginesMutex);
        g_engines.erase(this);
    }
    stopThreads();
}

void JanusEngine::stopThreads()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        ++m_generation;
        m_state = State::Idle;
        m_handler = nullptr;
    }
    m_media.stop();
    m_events.stop();
    m_control.stop();
    // The control thread is gone: its state is safe to touch here.
    if (m_session)
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

uint64_t JanusEngine::roomFor(const std::string &channel)
{
    // FNV-1a, kept below 2^53 so that the number survives JSON readers that
    // hold numbers as doubles, and above 0, which Janus reads as "choose one".
    uint64_t hash = 1469598103934665603ull;
    for (unsigned char c : channel) {
        hash ^= c;
        hash *= 1099511628211ull;
    }
    return (hash & ((1ull << 53) - 1)) | 1;
}

int JanusEngine::initialize(const RtcEngineContext &context)
{
    if (!context.eventHandler || !context.appId)
        return -ERR_INVALID_ARGUMENT;
    static std::once_flag gstOnce;
    std::call_once(gstOnce, [] { gst_init(nullptr, nullptr); });
    std::string missing;
    if (!WebRtcPeer::available(missing)) {
        std::fprintf(stderr, "vendor_rtc: GStreamer has no element \"%s\"; the Janus engine cannot run\n",
                     missing.c_str());
        return -ERR_NOT_SUPPORTED;
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    m_url = readText("VENDOR_RTC_JANUS_URL", kDefaultUrl);
    m_camera = readText("VENDOR_RTC_CAMERA", "");
    m_statsPeriodMs = readNumber("VENDOR_RTC_JANUS_STATS_PERIOD_MS", 2000);
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

int JanusEngine::queryInterface(INTERFACE_ID_TYPE iid, void **inter)
{
    if (!inter)
        return -ERR_INVALID_ARGUMENT;
    *inter = nullptr;
    if (iid != INTERFACE_ID_PARAMETER)
        return -ERR_NOT_SUPPORTED;
    *inter = static_cast<IRtcEngineParameter *>(new SimParameter(this));
    return 0;
}

int JanusEngine::enableVideo()
{
    return 0;
}

int JanusEngine::enableAudio()
{
    return 0;
}

int JanusEngine::setChannelProfile(CHANNEL_PROFILE_TYPE profile)
{
    const bool known = profile == CHANNEL_PROFILE_COMMUNICATION || profile == CHANNEL_PROFILE_LIVE_BROADCASTING;
    return known ? 0 : -ERR_INVALID_ARGUMENT;
}

int JanusEngine::setClientRole(CLIENT_ROLE_TYPE role)
{
    if (role != CLIENT_ROLE_BROADCASTER && role != CLIENT_ROLE_AUDIENCE)
        return -ERR_INVALID_ARGUMENT;
    std::lock_guard<std::mutex> lock(m_mutex);
    // Takes effect at the next join: a room member publishes from the start or never.
    m_role = role;
    return 0;
}

int JanusEngine::startPreview()
{
    return 0;
}

int JanusEngine::stopPreview()
{
    return 0;
}

int JanusEngine::setBoolParameter(const char *key, bool)
{
    // The room relays whatever is subscribed; there is nothing to mute by default.
    return key && *key ? 0 : -ERR_INVALID_ARGUMENT;
}

int JanusEngine::setParameters(const char *parameters)
{
    return parameters && *parameters == '{' ? 0 : -ERR_INVALID_ARGUMENT;
}

int JanusEngine::joinChannel(const char *token, const char *channelId, const char *, uid_t uid)
{
    if (!channelId || !*channelId || std::strlen(channelId) > 64)
        return -ERR_INVALID_ARGUMENT;
    uint64_t generation = 0;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_initialized)
            return -ERR_NOT_INITIALIZED;
        if (m_state != State::Idle)
            return -ERR_JOIN_CHANNEL_REJECTED;
        m_state = State::Joining;
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
        m_backoffMs = kFirstBackoffMs;
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
        stats.userCount = static_cast<unsigned int>(m_present.size() + 1);
        m_state = State::Idle;
        ++m_generation; // pending events, statistics and retries of the channel lapse
    }
    m_control.post(0, [this, stats] {
        hangUp();
        closeChannel();
        deliverAlways([stats](IRtcEngineEventHandler *handler) {
            handler->onConnectionStateChanged(CONNECTION_STATE_DISCONNECTED, CONNECTION_CHANGED_LEAVE_CHANNEL);
            handler->onLeaveChannel(stats);
        });
    });
    return 0;
}

int JanusEngine::setupRemoteVideo(const VideoCanvas &canvas)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_initialized)
        return -ERR_NOT_INITIALIZED;
    const auto window = static_cast<unsigned long>(reinterpret_cast<uintptr_t>(canvas.view));
    if (window)
        m_windows[canvas.uid] = window;
    else
        m_windows.erase(canvas.uid);
    if (m_subscriber && m_subscribedFeed == canvas.uid)
        m_subscriber->setWindow(window);
    return 0;
}

int JanusEngine::elapsedMs() const
{
    const auto elapsed = std::chrono::steady_clock::now() - m_joinStart;
    return static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count());
}

bool JanusEngine::current(uint64_t generation) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return generation == m_generation && m_state != State::Idle;
}

void JanusEngine::deliver(uint64_t generation, Callback fn)
{
    m_events.post(0, [this, generation, fn = std::move(fn)] {
        IRtcEngineEventHandler *handler = nullptr;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (generation == m_generation)
                handler = m_handler;
        }
        if (handler)
            fn(handler);
    });
}

void JanusEngine::deliverAlways(Callback fn)
{
    m_events.post(0, [this, fn = std::move(fn)] {
        IRtcEngineEventHandler *handler = nullptr;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            handler = m_handler;
        }
        if (handler)
            fn(handler);
    });
}

void JanusEngine::connect(uint64_t generation)
{
    if (!current(generation))
        return;
    ++m_attempt;
    if (!openSession(generation))
        return;
    uint64_t uid = 0;
    std::string channel;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        uid = m_localUid;
        channel = m_channel;
    }
    m_room = roomFor(channel);
    if (!ensureRoom())
        return connectionLost(generation, m_attempt);
    const Json join = {{"janus", "message"},
                       {"body",
                        {{"request", "join"}, {"ptype", "publisher"}, {"room", m_room}, {"id", uid},
                         {"display", std::to_string(uid)}}}};
    const auto reply = m_client->send("/" + std::to_string(m_session) + "/" + std::to_string(m_publisherHandle), join);
    if (!reply.reached || reply.errorCode())
        return connectionLost(generation, m_attempt);
    // The outcome, "joined" or an error, arrives as an event.
}

bool JanusEngine::openSession(uint64_t generation)
{
    std::string token;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        token = m_token;
    }
    m_client = std::make_unique<JanusClient>(m_url, token);
    auto reply = m_client->send("", {{"janus", "create"}});
    if (reply.errorCode() == kJanusUnauthorized) {
        refused(generation, reply);
        return false;
    }
    if (!reply.reached || reply.errorCode()) {
        connectionLost(generation, m_attempt);
        return false;
    }
    m_session = idOf(member(member(reply.body, "data"), "id"));
    startPolling(generation);
    reply = m_client->send("/" + std::to_string(m_session), {{"janus", "attach"}, {"plugin", kPlugin}});
    m_publisherHandle = idOf(member(member(reply.body, "data"), "id"));
    if (!reply.reached || !m_publisherHandle) {
        connectionLost(generation, m_attempt);
        return false;
    }
    return true;
}

// Rooms are made on first use; two members making one at once both succeed.
bool JanusEngine::ensureRoom()
{
    const std::string path = "/" + std::to_string(m_session) + "/" + std::to_string(m_publisherHandle);
    auto reply = m_client->send(path, {{"janus", "message"}, {"body", {{"request", "exists"}, {"room", m_room}}}});
    const Json &data = member(member(reply.body, "plugindata"), "data");
    if (!reply.reached || reply.errorCode())
        return false;
    if (member(data, "exists").is_boolean() && member(data, "exists").get<bool>())
        return true;
    std::string channel;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        channel = m_channel;
    }
    reply = m_client->send(path, {{"janus", "message"},
                                  {"body",
                                   {{"request", "create"}, {"room", m_room}, {"description", channel},
                                    {"publishers", 16}, {"notify_joining", true}, {"videocodec", "vp8"},
                                    {"audiocodec", "opus"}}}});
    const Json &created = member(member(reply.body, "plugindata"), "data");
    return reply.reached && (member(created, "videoroom") == "created" ||
                             member(created, "error_code") == kRoomExists);
}

void JanusEngine::startPolling(uint64_t generation)
{
    stopPolling();
    m_pollCancel = std::make_shared<std::atomic<bool>>(false);
    const unsigned attempt = m_attempt;
    m_poller = std::thread([this, generation, attempt, cancel = m_pollCancel, session = m_session,
                            client = *m_client] {
        while (!*cancel) {
            const auto reply = client.poll(session, *cancel);
            if (*cancel)
                return;
            if (reply.errorCode() == kJanusUnauthorized) {
                m_control.post(0, [this, generation, reply] { refused(generation, reply); });
                return;
            }
            if (!reply.reached || reply.errorCode() == kJanusNoSession) {
                m_control.post(0, [this, generation, attempt] { connectionLost(generation, attempt); });
                return;
            }
            const Json events = reply.body.is_array() ? reply.body : Json::array({reply.body});
            for (const Json &event : events)
                m_control.post(0, [this, generation, attempt, event] { handleEvent(generation, attempt, event); });
        }
    });
}

void JanusEngine::stopPolling()
{
    if (m_pollCancel)
        *m_pollCancel = true;
    if (m_poller.joinable())
        m_poller.join();
    m_pollCancel.reset();
}

void JanusEngine::handleEvent(uint64_t generation, unsigned attempt, const Json &event)
{
    if (!current(generation) || attempt != m_attempt)
        return;
    const std::string kind = member(event, "janus").is_string() ? event["janus"].get<std::string>() : "";
    const uint64_t sender = idOf(member(event, "sender"));
    if (kind == "event") {
        handleRoomEvent(generation, sender, member(member(event, "plugindata"), "data"), member(event, "jsep"));
    } else if (kind == "trickle") {
        const Json &candidate = member(event, "candidate");
        std::lock_guard<std::mutex> lock(m_mutex);
        WebRtcPeer *peer = sender == m_publisherHandle ? m_publisher.get() : m_subscriber.get();
        if (peer && member(candidate, "candidate").is_string())
            peer->addRemoteCandidate(member(candidate, "sdpMLineIndex").is_number() ? candidate["sdpMLineIndex"].get<unsigned>() : 0,
                                     candidate["candidate"].get<std::string>());
    } else if (kind == "timeout") {
        connectionLost(generation, attempt);
    } else if (kind == "hangup") {
        mediaEnded(generation, sender);
    }
}

// The server dropped a peer connection (its ICE or DTLS failed, or this
// member asked for it): a subscription moves on to the oldest publisher, a
// publisher offers again on the same handle.
void JanusEngine::mediaEnded(uint64_t generation, uint64_t handle)
{
    if (!handle)
        return;
    if (handle == m_subscriberHandle) {
        stopSubscription();
        subscribeNext(generation);
    } else if (handle == m_publisherHandle) {
        restartPublishing(generation);
    }
}

// A connection that webrtcbin gave up on. A subscription is dropped and made
// again at once; a publisher asks the server to unpublish, and the server's
// hangup then restarts it, so that a failure seen on both sides restarts once.
void JanusEngine::mediaFailed(uint64_t generation, uint64_t handle)
{
    if (!handle || handle != m_publisherHandle)
        return mediaEnded(generation, handle);
    const auto reply = m_client->send("/" + std::to_string(m_session) + "/" + std::to_string(handle),
                                      {{"janus", "message"}, {"body", {{"request", "unpublish"}}}});
    if (!reply.reached)
        connectionLost(generation, m_attempt);
}

void JanusEngine::restartPublishing(uint64_t generation)
{
    std::shared_ptr<WebRtcPeer> peer;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        peer = std::move(m_publisher);
        m_publisher.reset();
    }
    if (!peer)
        return; // an audience member, or a publisher that never started
    peer->stop();
    const unsigned attempt = m_attempt;
    m_control.post(kRepublishDelayMs, [this, generation, attempt] {
        if (current(generation) && attempt == m_attempt)
            startPublishing(generation);
    });
}

void JanusEngine::handleRoomEvent(uint64_t generation, uint64_t sender, const Json &data, const Json &jsep)
{
    const Json &room = member(data, "videoroom");
    if (sender == m_subscriberHandle && m_subscriberHandle) {
        if (room == "attached" && member(jsep, "sdp").is_string()) {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (m_subscriber)
                m_subscriber->setRemoteDescription("offer", jsep["sdp"].get<std::string>());
        } else if (member(data, "error_code").is_number()) {
            // The feed went away before the subscription reached it: the next one.
            uid_t feed = 0;
            {
                std::lock_guard<std::mutex> lock(m_mutex);
                feed = m_subscribedFeed;
            }
            m_feeds.erase(std::remove(m_feeds.begin(), m_feeds.end(), feed), m_feeds.end());
            stopSubscription();
            subscribeNext(generation);
        }
        return;
    }
    if (room == "joined")
        return joined(generation, data);
    if (member(data, "error_code").is_number()) {
        const int code = data["error_code"].get<int>();
        const std::string reason = member(data, "error").is_string() ? data["error"].get<std::string>() : "";
        bool joining = false;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            joining = m_state == State::Joining;
            if (joining)
                m_state = State::Idle;
        }
        deliver(generation, [code, reason, joining](IRtcEngineEventHandler *handler) {
            handler->onError(joining ? ERR_JOIN_CHANNEL_REJECTED : ERR_FAILED, reason.c_str());
            if (joining)
                handler->onConnectionStateChanged(CONNECTION_STATE_FAILED, CONNECTION_CHANGED_JOIN_FAILED);
            (void)code;
        });
        if (joining) {
            hangUp();
            closeChannel();
        }
        return;
    }
    if (member(data, "configured") == "ok" && member(jsep, "sdp").is_string()) {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_publisher)
            m_publisher->setRemoteDescription("answer", jsep["sdp"].get<std::string>());
    }
    for (const Json &publisher : member(data, "publishers"))
        addRemote(generation, idOf(member(publisher, "id")), true);
    if (member(data, "joining").is_object())
        addRemote(generation, idOf(member(data["joining"], "id")), false);
    if (member(data, "unpublished").is_number()) {
        const auto id = static_cast<uid_t>(idOf(data["unpublished"]));
        m_feeds.erase(std::remove(m_feeds.begin(), m_feeds.end(), id), m_feeds.end());
        bool subscribed = false;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            subscribed = m_subscribedFeed == id;
        }
        if (subscribed)
            stopSubscription();
    }
    if (member(data, "leaving").is_number())
        removeRemote(generation, idOf(data["leaving"]),
                     member(data, "reason") == "kicked" ? USER_OFFLINE_DROPPED : USER_OFFLINE_QUIT);
    subscribeNext(generation);
}

void JanusEngine::joined(uint64_t generation, const Json &data)
{
    std::string channel;
    uid_t uid = 0;
    int elapsed = 0;
    bool broadcaster = false;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_state = State::Joined;
        channel = m_channel;
        uid = m_localUid;
        elapsed = elapsedMs();
        broadcaster = m_role == CLIENT_ROLE_BROADCASTER;
    }
    const bool rejoin = m_everJoined;
    m_everJoined = true;
    m_backoffMs = kFirstBackoffMs;
    deliver(generation, [channel, uid, elapsed, rejoin](IRtcEngineEventHandler *handler) {
        handler->onConnectionStateChanged(CONNECTION_STATE_CONNECTED, CONNECTION_CHANGED_JOIN_SUCCESS);
        if (rejoin)
            handler->onRejoinChannelSuccess(channel.c_str(), uid, elapsed);
        else
            handler->onJoinChannelSuccess(channel.c_str(), uid, elapsed);
    });
    for (const Json &publisher : member(data, "publishers"))
        addRemote(generation, idOf(member(publisher, "id")), true);
    for (const Json &attendee : member(data, "attendees"))
        addRemote(generation, idOf(member(attendee, "id")), false);
    if (broadcaster)
        startPublishing(generation);
    subscribeNext(generation);
    if (m_statsPeriodMs > 0)
        m_media.post(m_statsPeriodMs, [this, generation] { collectStats(generation); });
    if (!rejoin)
        warnBeforeExpiry(generation);
}

void JanusEngine::warnBeforeExpiry(uint64_t generation)
{
    std::string token;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        token = m_token;
    }
    const long long expiry = tokenExpiry(token);
    if (!expiry)
        return;
    const long long delaySeconds = std::max(0ll, secondsUntil(expiry) - kTokenWarningSeconds);
    if (delaySeconds > 24 * 3600)
        return; // a day's token: the warning would outlive any test or demo
    m_control.post(static_cast<int>(delaySeconds * 1000), [this, generation, token] {
        deliver(generation, [token](IRtcEngineEventHandler *handler) {
            handler->onTokenPrivilegeWillExpire(token.c_str());
        });
    });
}

void JanusEngine::addRemote(uint64_t generation, uint64_t id, bool publisher)
{
    const auto uid = static_cast<uid_t>(id);
    if (!uid)
        return;
    if (publisher && std::find(m_feeds.begin(), m_feeds.end(), uid) == m_feeds.end())
        m_feeds.push_back(uid);
    int elapsed = 0;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (uid == m_localUid || !m_present.insert(uid).second)
            return;
        elapsed = elapsedMs();
    }
    deliver(generation, [uid, elapsed](IRtcEngineEventHandler *handler) { handler->onUserJoined(uid, elapsed); });
}

void JanusEngine::removeRemote(uint64_t generation, uint64_t id, USER_OFFLINE_REASON_TYPE reason)
{
    const auto uid = static_cast<uid_t>(id);
    m_feeds.erase(std::remove(m_feeds.begin(), m_feeds.end(), uid), m_feeds.end());
    bool subscribed = false;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_present.erase(uid))
            return;
        subscribed = m_subscribedFeed == uid;
    }
    if (subscribed)
        stopSubscription();
    deliver(generation, [uid, reason](IRtcEngineEventHandler *handler) { handler->onUserOffline(uid, reason); });
}

WebRtcPeer::Callbacks JanusEngine::peerCallbacks(uint64_t generation, uint64_t handle, uid_t remote)
{
    WebRtcPeer::Callbacks callbacks;
    const std::string path = "/" + std::to_string(m_session) + "/" + std::to_string(handle);
    const unsigned attempt = m_attempt;
    callbacks.localDescription = [this, generation, attempt, path, remote](const std::string &type,
                                                                          const std::string &sdp) {
        m_control.post(0, [this, generation, attempt, path, remote, type, sdp] {
            if (!current(generation) || attempt != m_attempt)
                return;
            const Json body = remote ? Json{{"request", "start"}} : Json{{"request", "publish"}};
            const auto reply = m_client->send(path, {{"janus", "message"}, {"body", body},
                                                     {"jsep", {{"type", type}, {"sdp", sdp}}}});
            if (!reply.reached)
                connectionLost(generation, attempt);
        });
    };
    callbacks.localCandidate = [this, generation, attempt, handle](unsigned mline, const std::string &candidate) {
        m_control.post(0, [this, generation, attempt, handle, mline, candidate] {
            if (current(generation) && attempt == m_attempt)
                sendTrickle(handle, mline, candidate);
        });
    };
    callbacks.firstVideoFrame = [this, generation, remote](int width, int height) {
        int elapsed = 0;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            elapsed = elapsedMs();
        }
        deliver(generation, [remote, width, height, elapsed](IRtcEngineEventHandler *handler) {
            if (remote)
                handler->onFirstRemoteVideoDecoded(remote, width, height, elapsed);
            else
                handler->onFirstLocalVideoFrame(width, height, elapsed);
        });
    };
    callbacks.firstAudioFrame = [this, generation, remote] {
        int elapsed = 0;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            elapsed = elapsedMs();
        }
        deliver(generation, [remote, elapsed](IRtcEngineEventHandler *handler) {
            if (remote)
                handler->onFirstRemoteAudioDecoded(remote, elapsed);
            else
                handler->onFirstLocalAudioFrame(elapsed);
        });
    };
    callbacks.connectionChanged = [this, generation, attempt, handle](bool connected) {
        if (connected)
            return;
        deliver(generation, [](IRtcEngineEventHandler *handler) {
            handler->onError(ERR_FAILED, "the media connection failed");
        });
        m_control.post(0, [this, generation, attempt, handle] {
            if (current(generation) && attempt == m_attempt)
                mediaFailed(generation, handle);
        });
    };
    callbacks.error = [this, generation](const std::string &message) {
        deliver(generation, [message](IRtcEngineEventHandler *handler) { handler->onError(ERR_FAILED, message.c_str()); });
    };
    return callbacks;
}

void JanusEngine::startPublishing(uint64_t generation)
{
    auto peer = std::make_shared<WebRtcPeer>(WebRtcPeer::Role::Publisher,
                                             peerCallbacks(generation, m_publisherHandle, 0), m_camera);
    std::string error;
    if (!peer->start(error)) {
        deliver(generation, [error](IRtcEngineEventHandler *handler) { handler->onError(ERR_FAILED, error.c_str()); });
        return;
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    m_publisher = std::move(peer);
}

// The oldest publishing remote user is watched; when it goes, the next one.
void JanusEngine::subscribeNext(uint64_t generation)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_subscribedFeed || m_state != State::Joined)
            return;
    }
    if (m_feeds.empty())
        return;
    const uid_t feed = m_feeds.front();
    auto reply = m_client->send("/" + std::to_string(m_session), {{"janus", "attach"}, {"plugin", kPlugin}});
    m_subscriberHandle = idOf(member(member(reply.body, "data"), "id"));
    if (!reply.reached || !m_subscriberHandle)
        return connectionLost(generation, m_attempt);
    auto peer = std::make_shared<WebRtcPeer>(WebRtcPeer::Role::Subscriber,
                                             peerCallbacks(generation, m_subscriberHandle, feed));
    std::string error;
    if (!peer->start(error)) {
        deliver(generation, [error](IRtcEngineEventHandler *handler) { handler->onError(ERR_FAILED, error.c_str()); });
        return;
    }
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_subscriber = peer;
        m_subscribedFeed = feed;
        auto window = m_windows.find(feed);
        if (window != m_windows.end())
            peer->setWindow(window->second);
    }
    const Json join = {{"janus", "message"},
                       {"body",
                        {{"request", "join"}, {"ptype", "subscriber"}, {"room", m_room},
                         {"streams", Json::array({{{"feed", feed}}})}}}};
    reply = m_client->send("/" + std::to_string(m_session) + "/" + std::to_string(m_subscriberHandle), join);
    if (!reply.reached)
        connectionLost(generation, m_attempt);
}

void JanusEngine::stopSubscription()
{
    std::shared_ptr<WebRtcPeer> peer;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        peer = std::move(m_subscriber);
        m_subscriber.reset();
        m_subscribedFeed = 0;
    }
    if (peer)
        peer->stop();
    if (m_subscriberHandle && m_client)
        m_client->send("/" + std::to_string(m_session) + "/" + std::to_string(m_subscriberHandle),
                       {{"janus", "detach"}}, kHangUpTimeoutMs);
    m_subscriberHandle = 0;
}

void JanusEngine::sendTrickle(uint64_t handle, unsigned mline, const std::string &candidate)
{
    const Json entry = candidate.empty() ? Json{{"completed", true}}
                                         : Json{{"sdpMLineIndex", mline}, {"candidate", candidate}};
    m_client->send("/" + std::to_string(m_session) + "/" + std::to_string(handle),
                   {{"janus", "trickle"}, {"candidate", entry}});
}

// The server is gone or forgot the session: tell once, then try again and
// again, waiting longer each time, until a join succeeds or the user leaves.
void JanusEngine::connectionLost(uint64_t generation, unsigned attempt)
{
    if (!current(generation) || attempt != m_attempt)
        return;
    bool wasJoined = false;
    std::vector<uid_t> dropped;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        wasJoined = m_state == State::Joined;
        if (wasJoined) {
            m_state = State::Reconnecting;
            dropped.assign(m_present.begin(), m_present.end());
            m_present.clear();
        }
    }
    ++m_attempt; // events of the lost session lapse
    closeChannel();
    if (wasJoined)
        deliver(generation, [dropped](IRtcEngineEventHandler *handler) {
            handler->onConnectionStateChanged(CONNECTION_STATE_RECONNECTING, CONNECTION_CHANGED_INTERRUPTED);
            for (uid_t uid : dropped)
                handler->onUserOffline(uid, USER_OFFLINE_DROPPED);
        });
    const int delay = m_backoffMs;
    m_backoffMs = std::min(kLastBackoffMs, m_backoffMs * 2);
    m_control.post(delay, [this, generation] { connect(generation); });
}

// A token Janus does not take: a signed token past its expiry has expired,
// any other is invalid. The channel ends; nothing is retried.
void JanusEngine::refused(uint64_t generation, const JanusClient::Reply &reply)
{
    const std::string reason = reply.errorReason();
    long long expiry = 0;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (generation != m_generation || m_state == State::Idle)
            return;
        m_state = State::Idle;
        expiry = tokenExpiry(m_token);
    }
    const bool expired = expiry && secondsUntil(expiry) <= 0;
    deliver(generation, [reason, expired](IRtcEngineEventHandler *handler) {
        handler->onError(expired ? ERR_TOKEN_EXPIRED : ERR_INVALID_TOKEN, reason.c_str());
        handler->onConnectionStateChanged(CONNECTION_STATE_FAILED, expired ? CONNECTION_CHANGED_TOKEN_EXPIRED
                                                                           : CONNECTION_CHANGED_INVALID_TOKEN);
    });
    ++m_attempt;
    hangUp();
    closeChannel();
}

// Tells the server at once that this member leaves, so the others see it go.
void JanusEngine::hangUp()
{
    if (!m_client || !m_session)
        return;
    const std::string session = "/" + std::to_string(m_session);
    if (m_publisherHandle)
        m_client->send(session + "/" + std::to_string(m_publisherHandle),
                       {{"janus", "message"}, {"body", {{"request", "leave"}}}}, kHangUpTimeoutMs);
    m_client->send(session, {{"janus", "destroy"}}, kHangUpTimeoutMs);
}

void JanusEngine::closeChannel()
{
    stopPolling();
    std::shared_ptr<WebRtcPeer> publisher;
    std::shared_ptr<WebRtcPeer> subscriber;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        publisher = std::move(m_publisher);
        subscriber = std::move(m_subscriber);
        m_publisher.reset();
        m_subscriber.reset();
        m_subscribedFeed = 0;
        if (m_state == State::Idle)
            m_present.clear();
    }
    if (publisher)
        publisher->stop();
    if (subscriber)
        subscriber->stop();
    m_session = 0;
    m_publisherHandle = 0;
    m_subscriberHandle = 0;
    m_feeds.clear();
}

void JanusEngine::collectStats(uint64_t generation)
{
    std::shared_ptr<WebRtcPeer> publisher;
    std::shared_ptr<WebRtcPeer> subscriber;
    uid_t feed = 0;
    RtcStats stats{};
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (generation != m_generation || m_state == State::Idle)
            return;
        publisher = m_publisher;
        subscriber = m_subscriber;
        feed = m_subscribedFeed;
        stats.duration = static_cast<unsigned int>(elapsedMs() / 1000);
        stats.userCount = static_cast<unsigned int>(m_present.size() + 1);
    }
    m_media.post(m_statsPeriodMs, [this, generation] { collectStats(generation); });
    const WebRtcPeer::Stats sent = publisher ? publisher->stats(1000) : WebRtcPeer::Stats{};
    const WebRtcPeer::Stats received = subscriber ? subscriber->stats(1000) : WebRtcPeer::Stats{};
    const auto now = std::chrono::steady_clock::now();
    const std::clock_t cpu = std::clock();
    const double seconds = m_last.when.time_since_epoch().count()
                               ? std::chrono::duration<double>(now - m_last.when).count()
                               : 0;
    if (received.videoFrames < m_last.received.videoFrames)
        m_last.received = WebRtcPeer::Stats{}; // a new subscription counts from zero
    if (sent.videoFrames < m_last.sent.videoFrames)
        m_last.sent = WebRtcPeer::Stats{};

    stats.txVideoKBitRate = kbps(m_last.sent.videoBytes, sent.videoBytes, seconds);
    stats.txAudioKBitRate = kbps(m_last.sent.audioBytes, sent.audioBytes, seconds);
    stats.rxVideoKBitRate = kbps(m_last.received.videoBytes, received.videoBytes, seconds);
    stats.rxAudioKBitRate = kbps(m_last.received.audioBytes, received.audioBytes, seconds);
    stats.txKBitRate = static_cast<unsigned short>(stats.txVideoKBitRate + stats.txAudioKBitRate);
    stats.rxKBitRate = static_cast<unsigned short>(stats.rxVideoKBitRate + stats.rxAudioKBitRate);
    stats.txBytes = static_cast<unsigned int>(sent.videoBytes + sent.audioBytes);
    stats.rxBytes = static_cast<unsigned int>(received.videoBytes + received.audioBytes);
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    if (seconds > 0)
        stats.cpuAppUsage = 100.0 * (cpu - m_last.cpu) / CLOCKS_PER_SEC / seconds / cores;
    const auto rate = [seconds](uint64_t before, uint64_t after) {
        return seconds > 0 && after >= before ? static_cast<int>((after - before) / seconds + 0.5) : 0;
    };
    const int sentFps = rate(m_last.sent.videoFrames, sent.videoFrames);
    const int receivedFps = rate(m_last.received.videoFrames, received.videoFrames);
    const int delayMs = static_cast<int>(received.jitterSeconds * 1000 + received.roundTripSeconds * 500);
    const bool measured = seconds > 0;
    m_last = Totals{now, cpu, sent, received};
    if (!measured)
        return;

    deliver(generation, [=](IRtcEngineEventHandler *handler) {
        handler->onRtcStats(stats);
        if (publisher)
            handler->onLocalVideoStats(LocalVideoStats{stats.txVideoKBitRate, sentFps, 30});
        if (!subscriber || !feed) {
            handler->onAudioVolumeIndication(nullptr, 0, 0);
            return;
        }
        handler->onRemoteVideoStats(RemoteVideoStats{feed, delayMs, received.width, received.height,
                                                     stats.rxVideoKBitRate, receivedFps});
        const auto lost = static_cast<unsigned short>(std::min<int64_t>(65535, std::max<int64_t>(0, received.packetsLost)));
        handler->onRemoteVideoTransportStats(feed, static_cast<unsigned short>(delayMs), lost, stats.rxVideoKBitRate);
        handler->onRemoteAudioTransportStats(feed, static_cast<unsigned short>(delayMs), lost, stats.rxAudioKBitRate);
        // Quality on the usual scale: 1 excellent to 6 down, from the loss seen.
        const int quality = stats.rxAudioKBitRate == 0 ? 6 : lost == 0 ? 1 : lost < 10 ? 2 : lost < 50 ? 3 : 4;
        handler->onAudioQuality(feed, quality, static_cast<unsigned short>(delayMs), lost);
        const AudioVolumeInfo speaker{feed, static_cast<unsigned int>(received.audioLevel)};
        handler->onAudioVolumeIndication(&speaker, 1, received.audioLevel);
    });
}

} // namespace rtc
} // namespace vendor
