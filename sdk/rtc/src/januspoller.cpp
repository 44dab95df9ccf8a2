#include "januspoller.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "janusprotocol.h"

namespace vendor {
namespace rtc {
namespace {

// Failed polls in a row that end a session.
constexpr unsigned kPollFaultsBeforeLoss = 3;
// The pause before the next poll grows between these while polls come back
// at once with nothing (or with a failure): Janus itself holds a poll for
// up to 30 s when it has nothing to say.
constexpr int kFirstPollPauseMs = 50;
constexpr int kLastPollPauseMs = 1000;

// Sleeps for ms, or less once cancel turns true.
void pauseUnlessCancelled(int ms, const std::atomic<bool> &cancel)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!cancel && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

int msSince(std::chrono::steady_clock::time_point start)
{
    return static_cast<int>(
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count());
}

} // namespace

JanusPoller::~JanusPoller()
{
    stop();
}

void JanusPoller::start(const JanusClient &client, uint64_t session, Sink sink)
{
    stop();
    m_cancel = std::make_shared<std::atomic<bool>>(false);
    m_thread = std::thread([client, session, sink = std::move(sink), cancel = m_cancel] {
        run(client, session, sink, *cancel);
    });
}

void JanusPoller::stop()
{
    if (m_cancel)
        *m_cancel = true;
    if (m_thread.joinable())
        m_thread.join();
    m_cancel.reset();
}

void JanusPoller::run(JanusClient client, uint64_t session, Sink sink, const std::atomic<bool> &cancel)
{
    int pauseMs = 0;
    unsigned faults = 0;
    while (!cancel) {
        const auto started = std::chrono::steady_clock::now();
        auto reply = client.poll(session, cancel);
        if (cancel)
            return;
        const int code = reply.errorCode();
        if (code == JanusClient::kUnauthorized)
            return sink.refused(reply.errorReason());
        const bool failed = !reply.reached || code;
        faults = failed ? faults + 1 : 0;
        if (code == JanusClient::kNoSession || faults >= kPollFaultsBeforeLoss)
            return sink.lost("polling failed: " + reply.describe());
        if (failed)
            std::fprintf(stderr, "vendor_rtc: janus: polling failed: %s\n", reply.describe().c_str());
        std::vector<nlohmann::json> events = failed ? std::vector<nlohmann::json>() : janus::eventsOf(std::move(reply.body));
        for (nlohmann::json &event : events)
            sink.event(std::move(event));
        // No pause after a poll the server held for long, as Janus does.
        pauseMs = events.empty() ? std::min(kLastPollPauseMs, std::max(kFirstPollPauseMs, pauseMs * 2)) : 0;
        pauseUnlessCancelled(pauseMs - std::min(msSince(started), pauseMs), cancel);
    }
}

} // namespace rtc
} // namespace vendor
