#pragma once

#include <cstdint>
#include <string>

#include <nlohmann/json.hpp>

#include "janusclient.h"
#include "vendor/rtc/rtcbase.h"

namespace vendor {
namespace rtc {

// One session on a Janus server and the engine's requests in it, each built
// here alone: the path of a handle, "/<session>/<handle>", has one maker.
// Used on the control thread only.
class JanusSession
{
public:
    using Json = nlohmann::json;
    using Reply = JanusClient::Reply;

    // How a step of joining ended: done; a fault, after which the engine
    // tries again later; or a refusal, which ends the channel.
    struct Outcome
    {
        enum Kind { Done, Fault, Refusal } kind = Done;
        std::string reason;
        bool badToken = false; // a refusal of the token
    };

    JanusSession(std::string url, std::string token);

    // The steps of joining a room, in their order.
    Outcome create();
    Outcome attachToRoom(uint64_t &handle);
    // takesH264: whether the room takes H.264 as well as VP8. Rooms this
    // engine makes take both; a room made otherwise says which it takes.
    Outcome ensureRoom(uint64_t handle, uint64_t room, const std::string &description, bool &takesH264);
    Outcome joinRoom(uint64_t handle, uint64_t room, uid_t uid);
    bool roomTakesH264(uint64_t handle, uint64_t room);

    // handle is 0 when the answer holds none.
    Reply attach(uint64_t &handle);
    Reply subscribe(uint64_t handle, uint64_t room, uid_t feed);
    Reply message(uint64_t handle, const Json &body, const Json &jsep = nullptr,
                  int timeoutMs = JanusClient::kDefaultTimeoutMs);
    // An empty candidate tells that all are gathered.
    Reply trickle(uint64_t handle, unsigned mline, const std::string &candidate);
    Reply detach(uint64_t handle, int timeoutMs);
    // Leaves the room on handle (when not 0) and ends the session.
    void hangUp(uint64_t handle, int timeoutMs);

    uint64_t id() const { return m_id; }
    // The session is gone with its server: nothing more is sent for it.
    void forget() { m_id = 0; }
    const JanusClient &client() const { return m_client; }

private:
    static Outcome judge(const Reply &reply, const std::string &step);
    std::string path(uint64_t handle = 0) const;

    JanusClient m_client;
    uint64_t m_id = 0;
};

} // namespace rtc
} // namespace vendor
