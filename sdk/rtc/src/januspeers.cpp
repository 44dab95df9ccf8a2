#include "januspeers.h"

#include <utility>

namespace vendor {
namespace rtc {

void JanusPeers::setPublisher(std::shared_ptr<WebRtcPeer> peer)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_publisher = std::move(peer);
}

void JanusPeers::setSubscriber(std::shared_ptr<WebRtcPeer> peer, uid_t feed)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_subscriber = std::move(peer);
    m_feed = feed;
    auto window = m_windows.find(feed);
    if (m_subscriber && window != m_windows.end())
        m_subscriber->setWindow(window->second);
}

std::shared_ptr<WebRtcPeer> JanusPeers::takePublisher()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return std::exchange(m_publisher, nullptr);
}

std::shared_ptr<WebRtcPeer> JanusPeers::takeSubscriber()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_feed = 0;
    return std::exchange(m_subscriber, nullptr);
}

void JanusPeers::stopAll()
{
    const std::shared_ptr<WebRtcPeer> publisher = takePublisher();
    const std::shared_ptr<WebRtcPeer> subscriber = takeSubscriber();
    if (publisher)
        publisher->stop();
    if (subscriber)
        subscriber->stop();
}

JanusPeers::Snapshot JanusPeers::snapshot() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return {m_publisher, m_subscriber, m_feed};
}

uid_t JanusPeers::feed() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_feed;
}

void JanusPeers::setWindow(uid_t uid, unsigned long window)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (window)
        m_windows[uid] = window;
    else
        m_windows.erase(uid);
    if (m_subscriber && m_feed == uid)
        m_subscriber->setWindow(window);
}

} // namespace rtc
} // namespace vendor
