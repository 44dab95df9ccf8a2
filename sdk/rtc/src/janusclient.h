#pragma once

#include <atomic>
#include <cstdint>
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
    struct Reply
    {
        bool reached = false;  // false: the server could not be reached or answered garbage
        nlohmann::json body;   // the server's answer when reached
        int errorCode() const; // Janus's error code, 0 when the answer is no error
        std::string errorReason() const;
    };

    JanusClient(std::string rootUrl, std::string token);

    // POSTs request to the API root, "/<session>" or "/<session>/<handle>";
    // a transaction id and the token are added.
    Reply send(const std::string &path, nlohmann::json request, int timeoutMs = 5000) const;
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
