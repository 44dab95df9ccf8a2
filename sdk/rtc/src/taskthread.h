#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <thread>

namespace vendor {
namespace rtc {

// One engine thread running posted tasks at their due time; tasks due at the
// same time run in the order they were posted.
class TaskThread
{
public:
    using Task = std::function<void()>;

    TaskThread();
    ~TaskThread();

    TaskThread(const TaskThread &) = delete;
    TaskThread &operator=(const TaskThread &) = delete;

    void post(int delayMs, Task task);
    // Drops pending tasks and ends the thread after the running task.
    void stop();
    // True on the thread that runs the tasks.
    bool runsHere() const { return m_thread.get_id() == std::this_thread::get_id(); }

private:
    using Clock = std::chrono::steady_clock;

    void run();

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::multimap<Clock::time_point, Task> m_tasks;
    bool m_stopping = false;
    std::thread m_thread;
};

} // namespace rtc
} // namespace vendor
