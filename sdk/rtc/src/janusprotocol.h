#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "vendor/rtc/rtcbase.h"

// Reading what a Janus server sends. Every value is checked for its type
// and range first, so that nothing a hostile server sends reaches a
// conversion unchecked.
namespace vendor {
namespace rtc {
namespace janus {

// Remote users taken from one list of the server and in all: each costs a
// callback, and a room made here holds 16 publishers.
constexpr size_t kMaxRemoteUsers = 256;

// The member key of an object, or null for a missing member or a non-object.
const nlohmann::json &member(const nlohmann::json &object, const char *key);
// Ids and uids as whole numbers in range; 0 for anything else.
uint64_t idOf(const nlohmann::json &value);
uid_t uidOf(const nlohmann::json &value);

// The video room's error code in an answer's data: 0 when there is none,
// -1 when it is there but no valid number.
int roomError(const nlohmann::json &data);
std::string roomErrorText(const nlohmann::json &data);

// The events of a poll's answer, without keep-alives, at most as many as
// one poll asks for.
std::vector<nlohmann::json> eventsOf(nlohmann::json body);

// The expiry (seconds since 1970) of a token in Janus's signed form
// "<expiry>,janus,<plugins...>:<signature>"; 0 for any other token.
long long tokenExpiry(const std::string &token);
long long secondsUntil(long long epochSeconds);

// The video room of a channel: the same text always gives the same room.
uint64_t roomFor(const std::string &channel);

// Calls fn for the first kMaxRemoteUsers entries of a list the server sent.
template <typename Fn>
void forListed(const nlohmann::json &list, const char *what, Fn fn)
{
    if (!list.is_array())
        return;
    if (list.size() > kMaxRemoteUsers)
        std::fprintf(stderr, "vendor_rtc: janus: the server lists %zu %s; the first %zu are taken\n", list.size(),
                     what, kMaxRemoteUsers);
    for (size_t i = 0; i < std::min(list.size(), kMaxRemoteUsers); ++i)
        fn(list[i]);
}

} // namespace janus
} // namespace rtc
} // namespace vendor
