#include "clock.h"

#include <QElapsedTimer>
#include <chrono>
#include <thread>

namespace kv350 {
namespace {

class SystemClock final : public Clock {
public:
    SystemClock() { m_timer.start(); }
    qint64 nowMs() const override { return m_timer.elapsed(); }
    void blockFor(int ms) override
    {
        if (ms > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    }

private:
    QElapsedTimer m_timer;
};

}  // namespace

Clock &systemClock()
{
    static SystemClock clock;
    return clock;
}

}  // namespace kv350
