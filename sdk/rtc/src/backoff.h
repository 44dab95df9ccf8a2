#pragma once

#include <algorithm>

namespace vendor {
namespace rtc {

// How the engine paces its attempts to get a lost channel back: the wait
// doubles from 250 ms up to 4 s, and the fifth failure in a row is the one
// reported (the attempts go on). A join that succeeds starts it over.
class Backoff
{
public:
    void reset()
    {
        m_waitMs = kFirstWaitMs;
        m_faults = 0;
    }
    // Counts a failure; the wait before the next attempt.
    int failed()
    {
        ++m_faults;
        const int wait = m_waitMs;
        m_waitMs = std::min(kLastWaitMs, m_waitMs * 2);
        return wait;
    }
    // Whether the failure just counted is the one to report.
    bool reportNow() const { return m_faults == kFaultsBeforeReport; }

private:
    static constexpr int kFirstWaitMs = 250;
    static constexpr int kLastWaitMs = 4000;
    static constexpr unsigned kFaultsBeforeReport = 5;

    int m_waitMs = kFirstWaitMs;
    unsigned m_faults = 0;
};

} // namespace rtc
} // namespace vendor
