#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include <nlohmann/json.hpp>

#include "janusclient.h"

namespace vendor {
namespace rtc {

// Long-polls a session for its events on a thread of its own. What it finds
// goes to the sink, called on that thread; after a loss or a refusal the
// thread ends. Started and stopped by the control thread only.
class JanusPoller
{
public:
    struct Sink
    {
        std::function<void(nlohmann::json event)> event;
        std::function<void(const std::string &reason)> lost;    // the session is gone or keeps failing
        std::function<void(const std::string &reason)> refused; // the token is no longer taken
    };

    JanusPoller() = default;
    ~JanusPoller();
    JanusPoller(const JanusPoller &) = delete;
    JanusPoller &operator=(const JanusPoller &) = delete;

    void start(const JanusClient &client, uint64_t session, Sink sink);
    // Returns once the thread has ended; a poll under way is cut short.
    void stop();

private:
    static void run(JanusClient client, uint64_t session, Sink sink, const std::atomic<bool> &cancel);

    std::thread m_thread;
    std::shared_ptr<std::atomic<bool>> m_cancel;
};

} // namespace rtc
} // namespace vendor
