#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "januspeers.h"
#include "remoteusers.h"
#include "webrtcpeer.h"

namespace vendor {
namespace rtc {

class JanusEngine;

// A joined member's life in its video room, on the engine's control thread:
// what the server tells of the room (one handler per kind of message), the
// remote users, the publisher and the subscription with their peers. It acts
// for its engine, whose channel state, session and threads it uses.
class JanusRoom
{
public:
    using Json = nlohmann::json;

    explicit JanusRoom(JanusEngine &engine);

    // The engine's room is joined: the users listed, then the peers.
    void enter(uint64_t generation, const Json &joined, bool broadcaster);
    // An event of the current session.
    void handleEvent(uint64_t generation, const Json &event);
    // Stops the peers and forgets the handles and publishers.
    void close();

    // Any thread.
    std::vector<uid_t> dropUsers() { return m_users.dropAll(); }
    unsigned userCount() const { return m_users.count(); }
    JanusPeers::Snapshot peers() const { return m_peers.snapshot(); }
    void setWindow(uid_t uid, unsigned long window) { m_peers.setWindow(uid, window); }

private:
    using RoomHandler = void (JanusRoom::*)(uint64_t generation, const Json &data, const Json &jsep);

    void handleTrickle(uint64_t sender, const Json &candidate);
    void handleRoomEvent(uint64_t generation, uint64_t sender, const Json &data, const Json &jsep);
    void subscriptionEvent(uint64_t generation, const Json &data, const Json &jsep);
    void subscriptionRefused(uint64_t generation);
    void roomFailed(uint64_t generation, const Json &data);
    void configured(uint64_t generation, const Json &data, const Json &jsep);
    void publishersListed(uint64_t generation, const Json &data, const Json &jsep);
    void memberJoining(uint64_t generation, const Json &data, const Json &jsep);
    void unpublished(uint64_t generation, const Json &data, const Json &jsep);
    void memberLeaving(uint64_t generation, const Json &data, const Json &jsep);
    void addRemote(uint64_t generation, uid_t uid, bool publisher);
    void removeRemote(uint64_t generation, uid_t uid, USER_OFFLINE_REASON_TYPE reason);

    void startPublishing(uint64_t generation);
    void restartPublishing(uint64_t generation);
    void subscribeNext(uint64_t generation);
    std::shared_ptr<WebRtcPeer> startPeer(uint64_t generation, WebRtcPeer::Role role, uint64_t handle, uid_t remote);
    void stopSubscription();
    void mediaEnded(uint64_t generation, uint64_t handle);
    void mediaFailed(uint64_t generation, uint64_t handle);
    void sendDescription(uint64_t generation, uint64_t handle, bool subscriber, const Json &jsep);

    // A peer's callbacks run on GStreamer's threads; each forwards to the
    // events or the control thread.
    WebRtcPeer::Callbacks peerCallbacks(uint64_t generation, uint64_t handle, uid_t remote);
    void firstVideoFrame(uint64_t generation, uid_t remote, int width, int height);
    void firstAudioFrame(uint64_t generation, uid_t remote);
    void peerFailed(uint64_t generation, unsigned attempt, uint64_t handle);

    JanusEngine &m_engine;
    // Each guards itself: the caller's and the media threads read them too.
    JanusPeers m_peers;
    RemoteUsers m_users;
    // Control thread.
    uint64_t m_subscriberHandle = 0;
};

} // namespace rtc
} // namespace vendor
