#include "simengine.h"

namespace vendor {
namespace rtc {
namespace {

constexpr const char *kVersion = "3.0.0-sim";
constexpr int kBuild = 1;
constexpr int kVideoWidth = 640;
constexpr int kVideoHeight = 360;
constexpr uid_t kFirstAssignedUid = 100000;

} // namespace

SimEngine::SimEngine() = default;

SimEngine::~SimEngine()
{
    leaveRegistry();
    stopThreads();
}

void SimEngine::stopThreads()
{
    m_events.stop();
    m_media.stop();
    std::lock_guard<std::mutex> lock(m_mutex);
    stopRenderers();
}

void SimEngine::release(bool)
{
    // An engine released from inside one of its own callbacks would delete
    // the thread that is running; it is stopped but kept instead.
    if (onEngineThread()) {
        stopThreads();
        return;
    }
    delete this;
}

bool SimEngine::onEngineThread() const
{
    return m_events.runsHere() || m_media.runsHere();
}

int SimEngine::initialize(const RtcEngineContext &context)
{
    if (!context.eventHandler || !context.appId)
        return -ERR_INVALID_ARGUMENT;
    std::lock_guard<std::mutex> lock(m_mutex);
    m_config = SimConfig::fromEnvironment();
    if (m_config.failInitialize)
        return -ERR_INVALID_APP_ID;
    m_handler = context.eventHandler;
    m_initialized = true;
    return 0;
}

const char *SimEngine::getVersion(int *build)
{
    if (build)
        *build = kBuild;
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_config.nullVersion ? nullptr : kVersion;
}

int SimEngine::setClientRole(CLIENT_ROLE_TYPE role)
{
    return knownRole(role) ? 0 : -ERR_INVALID_ARGUMENT;
}

int SimEngine::setBoolParameter(const char *key, bool value)
{
    if (!key || !*key)
        return -ERR_INVALID_ARGUMENT;
    std::lock_guard<std::mutex> lock(m_mutex);
    // Kept only: the simulated peer is sent whatever the settings say.
    m_boolParameters[key] = value;
    return 0;
}

int SimEngine::setParameters(const char *parameters)
{
    if (!parameters || *parameters != '{')
        return -ERR_INVALID_ARGUMENT;
    std::lock_guard<std::mutex> lock(m_mutex);
    m_parameters.emplace_back(parameters);
    return 0;
}

int SimEngine::joinChannel(const char *token, const char *channelId, const char *, uid_t uid)
{
    if (!validChannel(channelId))
        return -ERR_INVALID_ARGUMENT;
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_initialized)
        return -ERR_NOT_INITIALIZED;
    if (m_state != ChannelState::Idle)
        return -ERR_JOIN_CHANNEL_REJECTED;
    m_state = ChannelState::Joining;
    const uint64_t session = ++m_session;
    m_channel = channelId;
    m_token = token ? token : "";
    m_localUid = uid ? uid : kFirstAssignedUid + static_cast<uid_t>(session);
    m_remotePresent = false;
    m_joinStart = std::chrono::steady_clock::now();
    m_events.post(m_config.joinDelayMs, [this, session] { deliverJoin(session); });
    return 0;
}

int SimEngine::leaveChannel()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_initialized)
        return -ERR_NOT_INITIALIZED;
    if (m_state == ChannelState::Idle)
        return 0;
    const RtcStats stats = channelStats();
    m_state = ChannelState::Idle;
    const uint64_t session = ++m_session; // pending join, peer and statistics tasks lapse
    m_remotePresent = false;
    stopRenderers();
    // On the statistics thread, so that no statistics follow the leave callback.
    m_media.post(m_config.leaveDelayMs, [this, session, stats] {
        if (IRtcEngineEventHandler *handler = handlerFor(session))
            handler->onLeaveChannel(stats);
    });
    return 0;
}

int SimEngine::setupRemoteVideo(const VideoCanvas &canvas)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_initialized)
        return -ERR_NOT_INITIALIZED;
    m_renderers.erase(canvas.uid);
    if (!canvas.view)
        return 0;
    const auto window = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(canvas.view));
    // One picture per window: a new user bound to a window replaces the old one.
    for (auto it = m_renderers.begin(); it != m_renderers.end();)
        it = it->second->window() == window ? m_renderers.erase(it) : std::next(it);
    auto renderer = std::make_unique<RemoteVideoRenderer>(window, canvas.uid);
    if (!renderer->start())
        return -ERR_INVALID_ARGUMENT;
    m_renderers[canvas.uid] = std::move(renderer);
    return 0;
}

int SimEngine::setExternalVideoSource(bool enable)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_initialized)
            return -ERR_NOT_INITIALIZED;
        if (m_state != ChannelState::Idle)
            return -ERR_REFUSED;
        m_sentAtLastTick = 0;
    }
    m_external.setEnabled(enable);
    return 0;
}

bool SimEngine::takesMedia() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_state == ChannelState::Joined;
}

// The simulated network takes every frame in order: nothing is sent anywhere,
// the counts are what the statistics report.
int SimEngine::pushVideoFrame(const ExternalVideoFrame &frame)
{
    return ExternalSource::errorFor(m_external.checkVideo(frame, takesMedia()));
}

int SimEngine::pushAudioFrame(const AudioFrame &frame)
{
    return ExternalSource::errorFor(m_external.checkAudio(frame, takesMedia()));
}

IRtcEngineEventHandler *SimEngine::handlerFor(uint64_t session)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return session == m_session ? m_handler : nullptr;
}

int SimEngine::elapsedMs() const
{
    return msSince(m_joinStart);
}

RtcStats SimEngine::channelStats() const
{
    RtcStats stats{};
    const int elapsed = elapsedMs();
    stats.duration = static_cast<unsigned int>(elapsed / 1000);
    stats.userCount = m_remotePresent ? 2 : 1;
    if (m_remotePresent) {
        stats.rxAudioKBitRate = 48;
        stats.rxVideoKBitRate = static_cast<unsigned short>(600 + m_statsTick % 50);
        stats.rxKBitRate = static_cast<unsigned short>(stats.rxAudioKBitRate + stats.rxVideoKBitRate);
        stats.rxBytes = static_cast<unsigned int>(elapsed) * stats.rxKBitRate / 8;
    }
    stats.cpuAppUsage = 3.0;
    stats.cpuTotalUsage = 12.0;
    return stats;
}

void SimEngine::deliverJoin(uint64_t session)
{
    IRtcEngineEventHandler *handler = nullptr;
    std::string channel;
    uid_t uid = 0;
    int elapsed = 0;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (session != m_session)
            return;
        m_state = ChannelState::Joined;
        handler = m_handler;
        channel = m_channel;
        uid = m_localUid;
        elapsed = elapsedMs();
        if (m_config.statsPeriodMs > 0)
            m_media.post(m_config.statsPeriodMs, [this, session] { deliverStats(session); });
        if (m_config.remoteUid != 0)
            m_events.post(m_config.remoteDelayMs, [this, session] { deliverRemoteUser(session); });
    }
    handler->onConnectionStateChanged(CONNECTION_STATE_CONNECTED, CONNECTION_CHANGED_JOIN_SUCCESS);
    handler->onJoinChannelSuccess(channel.c_str(), uid, elapsed);
    deliverReconnect(session);
    deliverInjected(session);
}

void SimEngine::deliverReconnect(uint64_t session)
{
    std::string channel;
    uid_t uid = 0;
    int elapsed = 0;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (session != m_session || !m_config.reconnect)
            return;
        channel = m_channel;
        uid = m_localUid;
        elapsed = elapsedMs();
    }
    IRtcEngineEventHandler *handler = handlerFor(session);
    if (!handler)
        return;
    handler->onConnectionStateChanged(CONNECTION_STATE_RECONNECTING, CONNECTION_CHANGED_INTERRUPTED);
    handler->onConnectionStateChanged(CONNECTION_STATE_CONNECTED, CONNECTION_CHANGED_JOIN_SUCCESS);
    handler->onRejoinChannelSuccess(channel.c_str(), uid, elapsed);
}

void SimEngine::deliverInjected(uint64_t session)
{
    IRtcEngineEventHandler *handler = handlerFor(session);
    if (!handler)
        return;
    SimConfig config;
    std::string token;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        config = m_config;
        token = m_token;
    }
    if (config.injectError)
        handler->onError(ERR_FAILED, "simulated failure");
    if (config.injectTokenExpiry)
        handler->onTokenPrivilegeWillExpire(token.c_str());
    if (config.injectConnectionChange)
        handler->onConnectionStateChanged(CONNECTION_STATE_FAILED, CONNECTION_CHANGED_JOIN_FAILED);
    if (config.injectBanned)
        handler->onConnectionBanned();
}

void SimEngine::deliverRemoteUser(uint64_t session)
{
    uid_t remote = 0;
    int elapsed = 0;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (session != m_session)
            return;
        m_remotePresent = true;
        remote = m_config.remoteUid;
        elapsed = elapsedMs();
    }
    IRtcEngineEventHandler *handler = handlerFor(session);
    if (!handler)
        return;
    handler->onUserJoined(remote, elapsed);
    handler->onFirstRemoteVideoDecoded(remote, kVideoWidth, kVideoHeight, elapsed);
    handler->onFirstRemoteAudioDecoded(remote, elapsed);
}

void SimEngine::deliverStats(uint64_t session)
{
    RtcStats stats;
    bool remotePresent = false;
    uid_t remote = 0;
    unsigned int volume = 0;
    const unsigned int sent = m_external.sentFrames();
    const unsigned int dropped = m_external.droppedFrames();
    int sentFps = 0;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (session != m_session)
            return;
        ++m_statsTick;
        stats = channelStats();
        remotePresent = m_remotePresent;
        remote = m_config.remoteUid;
        volume = (m_statsTick * 37) % 256;
        sentFps = static_cast<int>((sent - m_sentAtLastTick) * 1000 / static_cast<unsigned>(m_config.statsPeriodMs));
        m_sentAtLastTick = sent;
        m_media.post(m_config.statsPeriodMs, [this, session] { deliverStats(session); });
    }
    IRtcEngineEventHandler *handler = handlerFor(session);
    if (!handler)
        return;
    handler->onRtcStats(stats);
    handler->onLocalVideoStats(LocalVideoStats{0, sentFps, 15, sent, dropped});
    if (!remotePresent) {
        handler->onAudioVolumeIndication(nullptr, 0, 0);
        return;
    }
    handler->onRemoteVideoStats(RemoteVideoStats{remote, 80, kVideoWidth, kVideoHeight, stats.rxVideoKBitRate, 25});
    handler->onRemoteAudioTransportStats(remote, 40, 0, stats.rxAudioKBitRate);
    handler->onRemoteVideoTransportStats(remote, 80, 0, stats.rxVideoKBitRate);
    const AudioVolumeInfo speaker{remote, volume};
    handler->onAudioVolumeIndication(&speaker, 1, static_cast<int>(speaker.volume));
}

void SimEngine::stopRenderers()
{
    m_renderers.clear();
}

} // namespace rtc
} // namespace vendor
