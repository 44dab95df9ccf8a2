// The real engine against a fake Janus server (tests/sdk/fakejanusserver.h)
// that answers one step of joining with a hostile reply, every time. Each
// case ends as a refusal (error and the failed state), as faults retried
// until an error is told, or as a join with bounded lists; in every case the
// engine's memory and its poll rate stay bounded.
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <ostream>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "fakejanusserver.h"
#include "recordinghandler.h"
#include "vendor/rtc/irtcengine.h"

using namespace vendor::rtc;
using Step = FakeJanusServer::Step;
using Reply = FakeJanusServer::Reply;

namespace {

enum class Outcome { Refused, Retried, Waits, Joined };

struct HostileCase
{
    const char *name;
    Step step;
    Reply reply;
    Outcome outcome;
    const char *logged; // a part of the engine's log
    int users = 0;      // Joined: the remote users told of
};

void PrintTo(const HostileCase &c, std::ostream *out)
{
    *out << c.name;
}

Reply body(const std::string &text, int status = 200)
{
    Reply reply;
    reply.status = status;
    reply.body = text;
    return reply;
}

Reply endless()
{
    Reply reply;
    reply.endless = true;
    return reply;
}

std::string joinedEvent(const std::string &data)
{
    return R"({"janus":"event","sender":2222,"plugindata":{"plugin":"janus.plugin.videoroom","data":)" + data + "}}";
}

std::string manyPublishers(int count)
{
    std::string list;
    for (int id = 1; id <= count; ++id)
        list += (id > 1 ? ",{\"id\":" : "{\"id\":") + std::to_string(id) + "}";
    return "[" + joinedEvent(R"({"videoroom":"joined","id":5001,"publishers":[)" + list + "]}") + "]";
}

const HostileCase kCases[] = {
    {"SessionHttp500", Step::CreateSession, body("oops", 500), Outcome::Retried, "HTTP status 500"},
    {"SessionGarbage", Step::CreateSession, body("<html>"), Outcome::Retried, "no JSON"},
    {"SessionTruncated", Step::CreateSession, body(R"({"janus":"success","data":{"id":)"), Outcome::Retried, "no JSON"},
    {"SessionRedirect", Step::CreateSession, [] { Reply r = body("", 302); r.headers = "Location: /elsewhere\r\n"; return r; }(),
     Outcome::Retried, "HTTP status 302"},
    {"SessionIdOfWrongType", Step::CreateSession, body(R"({"janus":"success","data":{"id":"1111"}})"), Outcome::Retried,
     "no session id"},
    {"SessionIdMissing", Step::CreateSession, body(R"({"janus":"success"})"), Outcome::Retried, "no session id"},
    {"SessionId1e300", Step::CreateSession, body(R"({"janus":"success","data":{"id":1e300}})"), Outcome::Retried,
     "no session id"},
    {"SessionEndless", Step::CreateSession, endless(), Outcome::Retried, "longer than"},
    {"Session100MB", Step::CreateSession, [] { Reply r = body(R"({"janus":"success","data":{"id":1111}})"); r.length = 100 << 20; return r; }(),
     Outcome::Retried, "longer than"},
    {"SessionHttp403", Step::CreateSession, body("forbidden", 403), Outcome::Refused, "HTTP status 403"},
    {"AttachNegativeHandle", Step::Attach, body(R"({"janus":"success","data":{"id":-2222}})"), Outcome::Retried,
     "no handle id"},
    {"RoomExistsJanusError490", Step::RoomExists, body(R"({"janus":"error","error":{"code":490,"reason":"odd"}})"),
     Outcome::Refused, "error 490: odd"},
    {"RoomCreateRefused403", Step::CreateRoom,
     body(R"({"janus":"success","plugindata":{"data":{"videoroom":"event","error_code":403,"error":"Unauthorized"}}})"),
     Outcome::Refused, "error 403: Unauthorized"},
    {"JoinJanusError457", Step::Join, body(R"({"janus":"error","error":{"code":457,"reason":"bad path"}})"),
     Outcome::Refused, "error 457: bad path"},
    {"JoinedWithErrorCode1e300", Step::JoinedEvent,
     body("[" + joinedEvent(R"({"videoroom":"joined","error_code":1e300,"error":"No such room"})") + "]"),
     Outcome::Refused, "No such room"},
    {"PollEmptyAtOnce", Step::Poll, body("[]"), Outcome::Waits, ""},
    {"PollJanusError490AtOnce", Step::Poll, body(R"({"janus":"error","error":{"code":490,"reason":"odd"}})"),
     Outcome::Retried, "polling failed: error 490"},
    {"PollEndless", Step::Poll, endless(), Outcome::Retried, "longer than"},
    {"JoinedWith200000Publishers", Step::JoinedEvent, body(manyPublishers(200000)), Outcome::Joined,
     "lists 200000 publishers", 256},
    // Only 42 is a user; the trickle reaches the subscription made to it.
    {"JoinedWithHostileNumbers", Step::JoinedEvent,
     body("[" +
          joinedEvent(R"({"videoroom":"joined","id":5001,"publishers":[{"id":-5},{"id":2.5},{"id":1e300},{"id":"7"},)"
                      R"({"id":4294967303},{"id":42}],"attendees":[{"id":18446744073709551615}]})") +
          R"(,{"janus":"trickle","sender":1e300,"candidate":{"sdpMLineIndex":1e300,"candidate":"candidate:1 1 UDP 1 127.0.0.2 9 typ host"}})" +
          "," + joinedEvent(R"({"videoroom":"event","leaving":-1,"unpublished":1e300})") + "]"),
     Outcome::Joined, "", 1},
};

// The process's peak resident memory in KiB.
long peakKb()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0)
            return std::strtol(line.c_str() + 6, nullptr, 10);
    return 0;
}

struct EngineDeleter
{
    void operator()(IRtcEngine *engine) const { engine->release(true); }
};

bool sawState(RecordingHandler &handler, CONNECTION_STATE_TYPE state, int timeoutMs)
{
    return handler.waitFor(
        "connection", [state](const RecordingHandler::Event &e) { return e.number == static_cast<unsigned>(state); },
        timeoutMs);
}

class JanusHostileServerTest : public ::testing::TestWithParam<HostileCase>
{
};

TEST_P(JanusHostileServerTest, EndsAsExpectedWithinBounds)
{
    const HostileCase &c = GetParam();
    const long peakBefore = peakKb();
    const auto start = std::chrono::steady_clock::now();
    FakeJanusServer server(c.step, c.reply);
    setenv("VENDOR_RTC_ENGINE", "janus", 1);
    setenv("VENDOR_RTC_JANUS_URL", server.url().c_str(), 1);
    setenv("VENDOR_RTC_JANUS_STATS_PERIOD_MS", "0", 1);
    testing::internal::CaptureStderr();
    {
        RecordingHandler handler;
        std::unique_ptr<IRtcEngine, EngineDeleter> engine(createRtcEngine());
        RtcEngineContext context;
        context.eventHandler = &handler;
        context.appId = "0123456789abcdef0123456789abcdef";
        EXPECT_EQ(engine->initialize(context), 0);
        EXPECT_EQ(engine->joinChannel(nullptr, "hostile", nullptr, 5001), 0);
        switch (c.outcome) {
        case Outcome::Refused:
            EXPECT_TRUE(sawState(handler, CONNECTION_STATE_FAILED, 10000));
            EXPECT_EQ(handler.count("error"), 1);
            break;
        case Outcome::Retried:
            EXPECT_TRUE(handler.waitFor(
                "error", [](const RecordingHandler::Event &e) { return e.number == ERR_FAILED; }, 20000));
            EXPECT_FALSE(sawState(handler, CONNECTION_STATE_FAILED, 0));
            break;
        case Outcome::Waits:
            std::this_thread::sleep_for(std::chrono::seconds(3));
            EXPECT_EQ(handler.count("error"), 0);
            break;
        case Outcome::Joined:
            EXPECT_TRUE(handler.waitFor("join", 1, 10000));
            std::this_thread::sleep_for(std::chrono::milliseconds(500));
            EXPECT_EQ(handler.count("userJoined"), c.users);
            break;
        }
        if (c.outcome != Outcome::Joined) {
            EXPECT_EQ(handler.count("join"), 0);
        }
    }
    const std::string log = testing::internal::GetCapturedStderr();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_NE(log.find(c.logged), std::string::npos) << log.substr(0, 4000);
    // Each change of the channel's state is logged with its cause.
    const char *const change[] = {"joining -> idle (", "idle -> joining (joinChannel)",
                                  "idle -> joining (joinChannel)", "joining -> joined ("};
    EXPECT_NE(log.find(change[static_cast<int>(c.outcome)]), std::string::npos) << log.substr(0, 4000);
    // Unbounded, these replies cost gigabytes, and polls answered at once
    // came back a thousand times a second.
    const long grownKb = peakKb() - peakBefore;
    RecordProperty("peak_memory_growth_kb", static_cast<int>(grownKb));
    RecordProperty("polls", server.polls());
    EXPECT_LT(grownKb, 200 * 1024);
    EXPECT_LE(server.polls(), 10 + 5 * seconds);
}

INSTANTIATE_TEST_SUITE_P(Replies, JanusHostileServerTest, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<HostileCase> &info) { return info.param.name; });

} // namespace
