#include "janussession.h"

#include "janusprotocol.h"

namespace vendor {
namespace rtc {
namespace {

constexpr const char *kPlugin = "janus.plugin.videoroom";
// The video room's answer to creating a room that exists.
constexpr int kRoomExists = 427;

using janus::member;

} // namespace

JanusSession::JanusSession(std::string url, std::string token) : m_client(std::move(url), std::move(token)) {}

std::string JanusSession::path(uint64_t handle) const
{
    const std::string session = m_id ? "/" + std::to_string(m_id) : std::string();
    return handle ? session + "/" + std::to_string(handle) : session;
}

JanusSession::Outcome JanusSession::judge(const Reply &reply, const std::string &step)
{
    if (reply.refused() && reply.errorCode() == JanusClient::kUnauthorized)
        return {Outcome::Refusal, reply.errorReason(), true};
    if (reply.refused())
        return {Outcome::Refusal, step + " refused: " + reply.describe()};
    if (!reply.reached || reply.errorCode())
        return {Outcome::Fault, step + " failed: " + reply.describe()};
    const Json &data = member(member(reply.body, "plugindata"), "data");
    if (janus::roomError(data))
        return {Outcome::Refusal, step + " refused: " + janus::roomErrorText(data)};
    return {};
}

JanusSession::Outcome JanusSession::create()
{
    m_id = 0;
    const Reply reply = m_client.send(path(), {{"janus", "create"}});
    const Outcome outcome = judge(reply, "creating a session");
    if (outcome.kind != Outcome::Done)
        return outcome;
    m_id = janus::idOf(member(member(reply.body, "data"), "id"));
    if (!m_id)
        return {Outcome::Fault, "the answer to creating a session holds no session id"};
    return {};
}

JanusSession::Outcome JanusSession::attachToRoom(uint64_t &handle)
{
    const Outcome outcome = judge(attach(handle), "attaching to the video room");
    if (outcome.kind != Outcome::Done)
        return outcome;
    if (!handle)
        return {Outcome::Fault, "the answer to attaching holds no handle id"};
    return {};
}

// Rooms are made on first use; two members making one at once both succeed.
JanusSession::Outcome JanusSession::ensureRoom(uint64_t handle, uint64_t room, const std::string &description,
                                               bool &takesH264)
{
    Reply reply = message(handle, {{"request", "exists"}, {"room", room}});
    Outcome outcome = judge(reply, "asking for the room");
    if (outcome.kind != Outcome::Done)
        return outcome;
    const Json &exists = member(member(member(reply.body, "plugindata"), "data"), "exists");
    if (exists.is_boolean() && exists.get<bool>()) {
        takesH264 = roomTakesH264(handle, room);
        return {};
    }
    takesH264 = true;
    reply = message(handle, {{"request", "create"}, {"room", room}, {"description", description},
                             {"publishers", 16}, {"notify_joining", true}, {"videocodec", "vp8,h264"},
                             {"audiocodec", "opus"}});
    const Json &created = member(member(reply.body, "plugindata"), "data");
    if (reply.reached && (member(created, "videoroom") == "created" || janus::roomError(created) == kRoomExists))
        return {};
    outcome = judge(reply, "creating the room");
    if (outcome.kind != Outcome::Done)
        return outcome;
    return {Outcome::Fault, "the answer to creating the room tells neither success nor an error"};
}

// From the server's list of rooms; a room it does not list (a private one)
// is taken to want VP8, which every room takes.
bool JanusSession::roomTakesH264(uint64_t handle, uint64_t room)
{
    const Reply reply = message(handle, {{"request", "list"}});
    const Json &rooms = member(member(member(reply.body, "plugindata"), "data"), "list");
    if (!rooms.is_array())
        return false;
    for (const Json &entry : rooms) {
        const Json &id = member(entry, "room");
        const Json &codecs = member(entry, "videocodec");
        if (id.is_number_unsigned() && id.get<uint64_t>() == room && codecs.is_string())
            return codecs.get<std::string>().find("h264") != std::string::npos;
    }
    return false;
}

JanusSession::Outcome JanusSession::joinRoom(uint64_t handle, uint64_t room, uid_t uid)
{
    const Json body = {{"request", "join"}, {"ptype", "publisher"}, {"room", room}, {"id", uid},
                       {"display", std::to_string(uid)}};
    return judge(message(handle, body), "joining the room");
}

JanusSession::Reply JanusSession::attach(uint64_t &handle)
{
    const Reply reply = m_client.send(path(), {{"janus", "attach"}, {"plugin", kPlugin}});
    handle = janus::idOf(member(member(reply.body, "data"), "id"));
    return reply;
}

JanusSession::Reply JanusSession::subscribe(uint64_t handle, uint64_t room, uid_t feed)
{
    return message(handle, {{"request", "join"}, {"ptype", "subscriber"}, {"room", room},
                            {"streams", Json::array({{{"feed", feed}}})}});
}

JanusSession::Reply JanusSession::message(uint64_t handle, const Json &body, const Json &jsep, int timeoutMs)
{
    Json request = {{"janus", "message"}, {"body", body}};
    if (!jsep.is_null())
        request["jsep"] = jsep;
    return m_client.send(path(handle), std::move(request), timeoutMs);
}

JanusSession::Reply JanusSession::trickle(uint64_t handle, unsigned mline, const std::string &candidate)
{
    const Json entry = candidate.empty() ? Json{{"completed", true}}
                                         : Json{{"sdpMLineIndex", mline}, {"candidate", candidate}};
    return m_client.send(path(handle), {{"janus", "trickle"}, {"candidate", entry}});
}

JanusSession::Reply JanusSession::detach(uint64_t handle, int timeoutMs)
{
    return m_client.send(path(handle), {{"janus", "detach"}}, timeoutMs);
}

// Tells the server at once that this member leaves, so the others see it go.
void JanusSession::hangUp(uint64_t handle, int timeoutMs)
{
    if (!m_id)
        return;
    if (handle)
        message(handle, {{"request", "leave"}}, nullptr, timeoutMs);
    m_client.send(path(), {{"janus", "destroy"}}, timeoutMs);
}

} // namespace rtc
} // namespace vendor
