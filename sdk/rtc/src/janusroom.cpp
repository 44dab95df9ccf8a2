#include "janusroom.h"

#include "janusengine.h"
#include "janusprotocol.h"

#include <cstdio>

namespace vendor {
namespace rtc {
namespace {

constexpr int kDetachTimeoutMs = 2000;
constexpr int kRepublishDelayMs = 500;
constexpr uint64_t kMaxMLineIndex = 255;

using janus::member;
using janus::uidOf;

} // namespace

JanusRoom::JanusRoom(JanusEngine &engine) : m_engine(engine), m_users(janus::kMaxRemoteUsers) {}

void JanusRoom::enter(uint64_t generation, const Json &joined, bool broadcaster)
{
    janus::forListed(member(joined, "publishers"), "publishers",
                     [&](const Json &publisher) { addRemote(generation, uidOf(member(publisher, "id")), true); });
    janus::forListed(member(joined, "attendees"), "attendees",
                     [&](const Json &attendee) { addRemote(generation, uidOf(member(attendee, "id")), false); });
    if (broadcaster)
        startPublishing(generation);
    subscribeNext(generation);
}

void JanusRoom::close()
{
    m_peers.stopAll();
    m_subscriberHandle = 0;
    m_users.forgetPublishers();
}

void JanusRoom::handleEvent(uint64_t generation, const Json &event)
{
    const Json &kind = member(event, "janus");
    const uint64_t sender = janus::idOf(member(event, "sender"));
    if (kind == "event")
        handleRoomEvent(generation, sender, member(member(event, "plugindata"), "data"), member(event, "jsep"));
    else if (kind == "trickle")
        handleTrickle(sender, member(event, "candidate"));
    else if (kind == "timeout")
        m_engine.connectionLost(generation, "the server ended the session");
    else if (kind == "hangup")
        mediaEnded(generation, sender);
}

void JanusRoom::handleTrickle(uint64_t sender, const Json &candidate)
{
    const Json &index = member(candidate, "sdpMLineIndex");
    const auto mline = index.is_null() ? std::optional<uint64_t>(0) : JanusClient::number(index, kMaxMLineIndex);
    const JanusPeers::Snapshot peers = m_peers.snapshot();
    WebRtcPeer *peer = sender == m_engine.m_publisherHandle ? peers.publisher.get() : peers.subscriber.get();
    if (peer && mline && member(candidate, "candidate").is_string())
        peer->addRemoteCandidate(static_cast<unsigned>(*mline), candidate["candidate"].get<std::string>());
}

// The video room's messages: those to the subscription, a refusal, the join;
// else the parts an event may carry together, taken in this order.
void JanusRoom::handleRoomEvent(uint64_t generation, uint64_t sender, const Json &data, const Json &jsep)
{
    if (sender && sender == m_subscriberHandle)
        return subscriptionEvent(generation, data, jsep);
    if (janus::roomError(data))
        return roomFailed(generation, data);
    if (member(data, "videoroom") == "joined")
        return m_engine.joined(generation, data);
    static const std::pair<const char *, RoomHandler> kParts[] = {
        {"configured", &JanusRoom::configured},   {"publishers", &JanusRoom::publishersListed},
        {"joining", &JanusRoom::memberJoining},   {"unpublished", &JanusRoom::unpublished},
        {"leaving", &JanusRoom::memberLeaving},
    };
    for (const auto &[key, handler] : kParts)
        if (!member(data, key).is_null())
            (this->*handler)(generation, data, jsep);
    subscribeNext(generation);
}

void JanusRoom::subscriptionEvent(uint64_t generation, const Json &data, const Json &jsep)
{
    if (member(data, "videoroom") == "attached" && member(jsep, "sdp").is_string()) {
        if (const std::shared_ptr<WebRtcPeer> peer = m_peers.snapshot().subscriber)
            peer->setRemoteDescription("offer", jsep["sdp"].get<std::string>());
    } else if (janus::roomError(data)) {
        subscriptionRefused(generation);
    }
}

// The feed went away before the subscription reached it: the next one.
void JanusRoom::subscriptionRefused(uint64_t generation)
{
    m_users.stopPublishing(m_peers.feed());
    stopSubscription();
    subscribeNext(generation);
}

// Also a "joined" that carries an error: the join failed.
void JanusRoom::roomFailed(uint64_t generation, const Json &data)
{
    const std::string reason = janus::roomErrorText(data);
    if (!m_engine.isJoined())
        return m_engine.refuse(generation, "joining the room refused: " + reason);
    m_engine.deliverError(generation, reason);
}

void JanusRoom::configured(uint64_t, const Json &data, const Json &jsep)
{
    if (member(data, "configured") != "ok" || !member(jsep, "sdp").is_string())
        return;
    if (const std::shared_ptr<WebRtcPeer> peer = m_peers.snapshot().publisher)
        peer->setRemoteDescription("answer", jsep["sdp"].get<std::string>());
}

void JanusRoom::publishersListed(uint64_t generation, const Json &data, const Json &)
{
    janus::forListed(member(data, "publishers"), "publishers",
                     [&](const Json &publisher) { addRemote(generation, uidOf(member(publisher, "id")), true); });
}

void JanusRoom::memberJoining(uint64_t generation, const Json &data, const Json &)
{
    if (member(data, "joining").is_object())
        addRemote(generation, uidOf(member(member(data, "joining"), "id")), false);
}

void JanusRoom::unpublished(uint64_t, const Json &data, const Json &)
{
    const uid_t id = uidOf(member(data, "unpublished"));
    if (!id)
        return;
    m_users.stopPublishing(id);
    if (m_peers.feed() == id)
        stopSubscription();
}

void JanusRoom::memberLeaving(uint64_t generation, const Json &data, const Json &)
{
    if (const uid_t id = uidOf(member(data, "leaving")))
        removeRemote(generation, id, member(data, "reason") == "kicked" ? USER_OFFLINE_DROPPED : USER_OFFLINE_QUIT);
}

void JanusRoom::addRemote(uint64_t generation, uid_t uid, bool publisher)
{
    if (!uid || uid == m_engine.localUid())
        return;
    if (m_users.add(uid, publisher) != RemoteUsers::Added::New)
        return;
    const int elapsed = m_engine.elapsedNow();
    m_engine.deliver(generation, [uid, elapsed](IRtcEngineEventHandler *handler) { handler->onUserJoined(uid, elapsed); });
}

void JanusRoom::removeRemote(uint64_t generation, uid_t uid, USER_OFFLINE_REASON_TYPE reason)
{
    if (!m_users.remove(uid))
        return;
    if (m_peers.feed() == uid)
        stopSubscription();
    m_engine.deliver(generation, [uid, reason](IRtcEngineEventHandler *handler) { handler->onUserOffline(uid, reason); });
}

std::shared_ptr<WebRtcPeer> JanusRoom::startPeer(uint64_t generation, WebRtcPeer::Role role, uint64_t handle,
                                                 uid_t remote)
{
    const bool publisher = role == WebRtcPeer::Role::Publisher;
    const JanusEngine::Channel channel = m_engine.channel();
    WebRtcPeer::Media media = channel.media;
    if (publisher && media.codec == WebRtcPeer::Media::Codec::H264 && !m_engine.m_roomTakesH264) {
        std::fprintf(stderr, "vendor_rtc: janus: the room takes no H.264; sending VP8\n");
        media.codec = WebRtcPeer::Media::Codec::Vp8;
    }
    auto peer = std::make_shared<WebRtcPeer>(role, peerCallbacks(generation, handle, remote),
                                             publisher ? channel.camera : std::string(),
                                             publisher && m_engine.m_external.enabled(), media);
    std::string error;
    if (peer->start(error))
        return peer;
    m_engine.deliverError(generation, error);
    return nullptr;
}

void JanusRoom::startPublishing(uint64_t generation)
{
    if (auto peer = startPeer(generation, WebRtcPeer::Role::Publisher, m_engine.m_publisherHandle, 0))
        m_peers.setPublisher(std::move(peer));
}

void JanusRoom::restartPublishing(uint64_t generation)
{
    const std::shared_ptr<WebRtcPeer> peer = m_peers.takePublisher();
    if (!peer)
        return; // an audience member, or a publisher that never started
    peer->stop();
    m_engine.postFresh(generation, m_engine.m_attempt, kRepublishDelayMs, [this, generation] { startPublishing(generation); });
}

// The oldest publishing remote user is watched; when it goes, the next one.
void JanusRoom::subscribeNext(uint64_t generation)
{
    if (m_peers.feed() || !m_engine.isJoined())
        return;
    const uid_t feed = m_users.oldestPublisher();
    if (!feed)
        return;
    JanusSession &server = *m_engine.m_server;
    auto reply = server.attach(m_subscriberHandle);
    if (!reply.reached || !m_subscriberHandle)
        return m_engine.connectionLost(generation, "attaching a subscription failed: " + reply.describe());
    auto peer = startPeer(generation, WebRtcPeer::Role::Subscriber, m_subscriberHandle, feed);
    if (!peer)
        return;
    m_peers.setSubscriber(std::move(peer), feed);
    reply = server.subscribe(m_subscriberHandle, m_engine.m_roomId, feed);
    if (!reply.reached)
        m_engine.connectionLost(generation, "subscribing failed: " + reply.describe());
}

void JanusRoom::stopSubscription()
{
    if (const std::shared_ptr<WebRtcPeer> peer = m_peers.takeSubscriber())
        peer->stop();
    if (m_subscriberHandle && m_engine.m_server)
        m_engine.m_server->detach(m_subscriberHandle, kDetachTimeoutMs);
    m_subscriberHandle = 0;
}

// The server dropped a peer connection (its ICE or DTLS failed, or this
// member asked for it): a subscription moves on to the oldest publisher, a
// publisher offers again on the same handle.
void JanusRoom::mediaEnded(uint64_t generation, uint64_t handle)
{
    if (!handle)
        return;
    if (handle == m_subscriberHandle) {
        stopSubscription();
        subscribeNext(generation);
    } else if (handle == m_engine.m_publisherHandle) {
        restartPublishing(generation);
    }
}

// A connection that webrtcbin gave up on. A subscription is dropped and made
// again at once; a publisher asks the server to unpublish, and the server's
// hangup then restarts it, so that a failure seen on both sides restarts once.
void JanusRoom::mediaFailed(uint64_t generation, uint64_t handle)
{
    if (!handle || handle != m_engine.m_publisherHandle)
        return mediaEnded(generation, handle);
    const auto reply = m_engine.m_server->message(handle, {{"request", "unpublish"}});
    if (!reply.reached)
        m_engine.connectionLost(generation, "asking to unpublish failed: " + reply.describe());
}

void JanusRoom::sendDescription(uint64_t generation, uint64_t handle, bool subscriber, const Json &jsep)
{
    const Json body = subscriber ? Json{{"request", "start"}} : Json{{"request", "publish"}};
    const auto reply = m_engine.m_server->message(handle, body, jsep);
    if (!reply.reached)
        m_engine.connectionLost(generation, "sending the session description failed: " + reply.describe());
}

WebRtcPeer::Callbacks JanusRoom::peerCallbacks(uint64_t generation, uint64_t handle, uid_t remote)
{
    const unsigned attempt = m_engine.m_attempt;
    WebRtcPeer::Callbacks callbacks;
    callbacks.localDescription = [this, generation, attempt, handle, remote](const std::string &type,
                                                                            const std::string &sdp) {
        const Json jsep = {{"type", type}, {"sdp", sdp}};
        m_engine.postFresh(generation, attempt, 0, [this, generation, handle, remote, jsep] {
            sendDescription(generation, handle, remote != 0, jsep);
        });
    };
    callbacks.localCandidate = [this, generation, attempt, handle](unsigned mline, const std::string &candidate) {
        m_engine.postFresh(generation, attempt, 0,
                           [this, handle, mline, candidate] { m_engine.m_server->trickle(handle, mline, candidate); });
    };
    callbacks.firstVideoFrame = [this, generation, remote](int width, int height) {
        firstVideoFrame(generation, remote, width, height);
    };
    callbacks.firstAudioFrame = [this, generation, remote] { firstAudioFrame(generation, remote); };
    callbacks.connectionChanged = [this, generation, attempt, handle](bool connected) {
        if (!connected)
            peerFailed(generation, attempt, handle);
    };
    callbacks.error = [this, generation](const std::string &message) { m_engine.deliverError(generation, message); };
    return callbacks;
}

void JanusRoom::firstVideoFrame(uint64_t generation, uid_t remote, int width, int height)
{
    const int elapsed = m_engine.elapsedNow();
    m_engine.deliver(generation, [remote, width, height, elapsed](IRtcEngineEventHandler *handler) {
        if (remote)
            handler->onFirstRemoteVideoDecoded(remote, width, height, elapsed);
        else
            handler->onFirstLocalVideoFrame(width, height, elapsed);
    });
}

void JanusRoom::firstAudioFrame(uint64_t generation, uid_t remote)
{
    const int elapsed = m_engine.elapsedNow();
    m_engine.deliver(generation, [remote, elapsed](IRtcEngineEventHandler *handler) {
        if (remote)
            handler->onFirstRemoteAudioDecoded(remote, elapsed);
        else
            handler->onFirstLocalAudioFrame(elapsed);
    });
}

void JanusRoom::peerFailed(uint64_t generation, unsigned attempt, uint64_t handle)
{
    m_engine.deliverError(generation, "the media connection failed");
    m_engine.postFresh(generation, attempt, 0, [this, generation, handle] { mediaFailed(generation, handle); });
}

} // namespace rtc
} // namespace vendor
