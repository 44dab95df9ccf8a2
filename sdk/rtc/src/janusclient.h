#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace vendor {
namespace rtc {

// Janus's HTTP API: one blocking request at a time per call, on the calling
// thread, so that each engine thread owns its own transfers.
class JanusClient
{
public:
    // The largest answer taken: Janus's biggest, an offer or a room's list,
    // is a few kilobytes. A longer one fails its request.
    static constexpr size_t kMaxReplyBytes = 4u << 20;
    // Events asked for in one poll; Janus sends no more.
    static constexpr size_t kMaxEventsPerPoll = 10;
    static constexpr int kDefaultTimeoutMs = 5000;
    // Janus's error codes the engine tells apart: a token refused, a
    // session the server does not know.
    static constexpr int kUnauthorized = 403;
    static constexpr int kNoSession = 458;

    struct Reply
    {
        bool reached = false;  // false: no usable answer (see fault)
        int status = 0;        // the HTTP status, 0 when there was none
        std::string fault;     // why there is no usable answer
        nlohmann::json body;   // the server's answer when reached
        int errorCode() const; // Janus's error code, 0 when the answer is no error
        std::string errorReason() const;
        // The server turned the request down on purpose: an HTTP client error
        // or a Janus error other than a forgotten session. Asking again will
        // not help, unlike after a fault.
        bool refused() const;
        // The fault, or the error with its code, for logs and error callbacks.
        std::string describe() const;
    };

    // Every number the server sends goes through here: a whole number in
    // [0, max], or nothing for a fraction, a negative or too large number
    // or another type, so that no hostile value reaches a conversion.
    static std::optional<uint64_t> number(const nlohmann::json &value, uint64_t max = UINT64_MAX);

    JanusClient(std::string rootUrl, std::string token);

    // POSTs request to the API root, "/<session>" or "/<session>/<handle>";
    // a transaction id and the token are added.
    Reply send(const std::string &path, nlohmann::json request, int timeoutMs = kDefaultTimeoutMs) const;
    // Long-polls the session for its events (Janus answers within 30 s, with a
    // keep-alive when there is nothing); returns early when cancel turns true.
    Reply poll(uint64_t session, const std::atomic<bool> &cancel) const;

    const std::string &rootUrl() const { return m_rootUrl; }

private:
    Reply transfer(const std::string &url, const std::string *body, int timeoutMs,
                   const std::atomic<bool> *cancel) const;

    std::string m_rootUrl;
    std::string m_token;
};

} // namespace rtc
} // namespace vendor
