#pragma once

#include <cstddef>
#include <mutex>
#include <set>
#include <vector>

#include "vendor/rtc/rtcbase.h"

namespace vendor {
namespace rtc {

// The remote users in a room and, of them, the ones publishing, oldest
// first. The users present are counted by the caller's and the media threads
// (statistics, leave), so they are guarded by m_mutex; the publishers are the
// control thread's alone.
class RemoteUsers
{
public:
    enum class Added { Refused, Known, New };

    explicit RemoteUsers(size_t limit) : m_limit(limit) {}

    // A user past the limit is refused; a known one may start publishing.
    Added add(uid_t uid, bool publisher);
    // False when uid was not present.
    bool remove(uid_t uid);
    // Everyone present goes at once; returns who was.
    std::vector<uid_t> dropAll();
    unsigned count() const;

    // Control thread only.
    uid_t oldestPublisher() const { return m_publishers.empty() ? 0 : m_publishers.front(); }
    void stopPublishing(uid_t uid);
    void forgetPublishers() { m_publishers.clear(); }

private:
    const size_t m_limit;
    mutable std::mutex m_mutex;
    std::set<uid_t> m_present;
    std::vector<uid_t> m_publishers;
};

} // namespace rtc
} // namespace vendor
