#pragma once

// A "kp_rtc_output" created in the test's libobs, with what libobs's "stop"
// signal told of it.

#include <obs.h>

#include <atomic>
#include <functional>

class TestOutput
{
public:
    // settings: a JSON object.
    explicit TestOutput(const char *settings);
    ~TestOutput();

    TestOutput(const TestOutput &) = delete;
    TestOutput &operator=(const TestOutput &) = delete;

    obs_output_t *output() const { return m_output; }
    bool stopped() const { return m_stopped; }
    int code() const { return m_code; }
    bool active() const { return obs_output_active(m_output); }
    // Releases the output now (stopping it if live), as a host that quits does.
    void release();

    // Polls until done() holds, at most timeoutMs.
    static bool waitFor(const std::function<bool()> &done, int timeoutMs);

private:
    static void onStop(void *data, calldata_t *params);

    obs_output_t *m_output = nullptr;
    std::atomic<bool> m_stopped{false};
    std::atomic<int> m_code{0};
};
