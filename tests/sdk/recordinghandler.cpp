#include "recordinghandler.h"

#include <algorithm>
#include <chrono>

void RecordingHandler::add(const char *name, const char *text, unsigned int number)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_events.push_back({name, text ? text : "", number, std::this_thread::get_id()});
    m_arrived.notify_all();
}

bool RecordingHandler::waitFor(const std::string &name, int count, int timeoutMs)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_arrived.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
        return std::count_if(m_events.begin(), m_events.end(),
                             [&](const Event &e) { return e.name == name; }) >= count;
    });
}

bool RecordingHandler::waitFor(const std::string &name, const std::function<bool(const Event &)> &match,
                               int timeoutMs)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_arrived.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
        return std::any_of(m_events.begin(), m_events.end(),
                           [&](const Event &e) { return e.name == name && match(e); });
    });
}

int RecordingHandler::count(const std::string &name) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return static_cast<int>(std::count_if(m_events.begin(), m_events.end(),
                                          [&](const Event &e) { return e.name == name; }));
}

std::vector<RecordingHandler::Event> RecordingHandler::events() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_events;
}

std::vector<std::string> RecordingHandler::names() const
{
    std::vector<std::string> result;
    for (const Event &event : events())
        result.push_back(event.name);
    return result;
}
