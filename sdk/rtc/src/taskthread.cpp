#include "taskthread.h"

namespace vendor {
namespace rtc {

TaskThread::TaskThread() : m_thread(&TaskThread::run, this) {}

TaskThread::~TaskThread()
{
    stop();
}

void TaskThread::post(int delayMs, Task task)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_stopping)
        return;
    m_tasks.emplace(Clock::now() + std::chrono::milliseconds(delayMs), std::move(task));
    m_wake.notify_one();
}

void TaskThread::stop()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stopping = true;
        m_tasks.clear();
        m_wake.notify_one();
    }
    if (!m_thread.joinable())
        return;
    // A task that stops its own thread cannot wait for itself.
    if (m_thread.get_id() == std::this_thread::get_id())
        m_thread.detach();
    else
        m_thread.join();
}

void TaskThread::run()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    while (!m_stopping) {
        if (m_tasks.empty()) {
            m_wake.wait(lock);
            continue;
        }
        const auto due = m_tasks.begin()->first;
        if (Clock::now() < due) {
            m_wake.wait_until(lock, due);
            continue;
        }
        Task task = std::move(m_tasks.begin()->second);
        m_tasks.erase(m_tasks.begin());
        lock.unlock();
        task();
        lock.lock();
    }
}

} // namespace rtc
} // namespace vendor
