#include "remoteusers.h"

#include <algorithm>

namespace vendor {
namespace rtc {

RemoteUsers::Added RemoteUsers::add(uid_t uid, bool publisher)
{
    bool known = false;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        known = m_present.count(uid) != 0;
        if (!known && m_present.size() >= m_limit)
            return Added::Refused;
        m_present.insert(uid);
    }
    if (publisher && std::find(m_publishers.begin(), m_publishers.end(), uid) == m_publishers.end())
        m_publishers.push_back(uid);
    return known ? Added::Known : Added::New;
}

bool RemoteUsers::remove(uid_t uid)
{
    stopPublishing(uid);
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_present.erase(uid) != 0;
}

std::vector<uid_t> RemoteUsers::dropAll()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    std::vector<uid_t> dropped(m_present.begin(), m_present.end());
    m_present.clear();
    return dropped;
}

unsigned RemoteUsers::count() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return static_cast<unsigned>(m_present.size());
}

void RemoteUsers::stopPublishing(uid_t uid)
{
    m_publishers.erase(std::remove(m_publishers.begin(), m_publishers.end(), uid), m_publishers.end());
}

} // namespace rtc
} // namespace vendor
