#pragma once
#include "clock.h"
#include "pause.h"

#include <vector>

namespace kv350 {

// Virtual time for tests and for the in-process virtual reader: nothing sleeps.
// Pause::wait() is the program waiting and is recorded; Clock::blockFor() is
// time passing inside a device call and is not.
class VirtualTime final : public Clock, public Pause {
public:
    qint64 nowMs() const override { return m_now; }
    void blockFor(int ms) override { advance(ms); }
    void wait(int ms) override
    {
        m_waits.push_back(ms);
        advance(ms);
    }
    void processPending() override { ++m_processed; }

    void advance(qint64 ms)
    {
        if (ms > 0)
            m_now += ms;
    }
    const std::vector<int> &waits() const { return m_waits; }
    int processPendingCount() const { return m_processed; }
    void clearRecord()
    {
        m_waits.clear();
        m_processed = 0;
    }

private:
    qint64 m_now = 0;
    std::vector<int> m_waits;
    int m_processed = 0;
};

}  // namespace kv350
