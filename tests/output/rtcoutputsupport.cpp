#include "rtcoutputsupport.h"

#include <chrono>
#include <thread>

TestOutput::TestOutput(const char *settings)
{
    obs_data_t *data = obs_data_create_from_json(settings);
    m_output = obs_output_create("kp_rtc_output", "live", data, nullptr);
    obs_data_release(data);
    if (m_output)
        signal_handler_connect(obs_output_get_signal_handler(m_output), "stop", &TestOutput::onStop, this);
}

TestOutput::~TestOutput()
{
    release();
}

void TestOutput::release()
{
    if (!m_output)
        return;
    signal_handler_disconnect(obs_output_get_signal_handler(m_output), "stop", &TestOutput::onStop, this);
    obs_output_release(m_output);
    m_output = nullptr;
}

void TestOutput::onStop(void *data, calldata_t *params)
{
    auto *self = static_cast<TestOutput *>(data);
    self->m_code = int(calldata_int(params, "code"));
    self->m_stopped = true;
}

bool TestOutput::waitFor(const std::function<bool()> &done, int timeoutMs)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}
