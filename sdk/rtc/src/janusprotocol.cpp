#include "janusprotocol.h"

#include <chrono>
#include <limits>

#include "janusclient.h"

namespace vendor {
namespace rtc {
namespace janus {

const nlohmann::json &member(const nlohmann::json &object, const char *key)
{
    static const nlohmann::json none;
    if (!object.is_object())
        return none;
    auto it = object.find(key);
    return it == object.end() ? none : *it;
}

uint64_t idOf(const nlohmann::json &value)
{
    return JanusClient::number(value).value_or(0);
}

uid_t uidOf(const nlohmann::json &value)
{
    return static_cast<uid_t>(JanusClient::number(value, std::numeric_limits<uid_t>::max()).value_or(0));
}

int roomError(const nlohmann::json &data)
{
    const nlohmann::json &code = member(data, "error_code");
    if (code.is_null())
        return 0;
    const auto value = JanusClient::number(code, 1000000);
    return value && *value ? static_cast<int>(*value) : -1;
}

std::string roomErrorText(const nlohmann::json &data)
{
    const nlohmann::json &text = member(data, "error");
    return "error " + std::to_string(roomError(data)) + (text.is_string() ? ": " + text.get<std::string>() : "");
}

std::vector<nlohmann::json> eventsOf(nlohmann::json body)
{
    std::vector<nlohmann::json> events;
    nlohmann::json all = body.is_array() ? std::move(body) : nlohmann::json::array({std::move(body)});
    if (all.size() > JanusClient::kMaxEventsPerPoll)
        std::fprintf(stderr, "vendor_rtc: janus: a poll brought %zu events; the first %zu are taken\n", all.size(),
                     JanusClient::kMaxEventsPerPoll);
    for (size_t i = 0; i < std::min(all.size(), JanusClient::kMaxEventsPerPoll); ++i)
        if (member(all[i], "janus") != "keepalive")
            events.push_back(std::move(all[i]));
    return events;
}

uint64_t roomFor(const std::string &channel)
{
    // FNV-1a, kept below 2^53 so that the number survives JSON readers that
    // hold numbers as doubles, and above 0, which Janus reads as "choose one".
    uint64_t hash = 1469598103934665603ull;
    for (unsigned char c : channel) {
        hash ^= c;
        hash *= 1099511628211ull;
    }
    return (hash & ((1ull << 53) - 1)) | 1;
}

long long tokenExpiry(const std::string &token)
{
    const auto comma = token.find(',');
    if (comma == std::string::npos || comma == 0 || token.compare(comma, 7, ",janus,") != 0)
        return 0;
    long long expiry = 0;
    for (size_t i = 0; i < comma; ++i) {
        if (token[i] < '0' || token[i] > '9' || expiry > 1000000000000ll)
            return 0;
        expiry = expiry * 10 + (token[i] - '0');
    }
    return expiry;
}

long long secondsUntil(long long epochSeconds)
{
    const auto now = std::chrono::duration_cast<std::chrono::seconds>(
                         std::chrono::system_clock::now().time_since_epoch())
                         .count();
    return epochSeconds - static_cast<long long>(now);
}

} // namespace janus
} // namespace rtc
} // namespace vendor
