#pragma once
#include <QtGlobal>

namespace kv350 {

// Time as the devices see it: a monotonic millisecond clock and the time that
// passes inside a blocking device call (a read that waits for data). The real
// clock blocks the thread; the virtual one only moves its hands.
class Clock {
public:
    virtual ~Clock() = default;
    virtual qint64 nowMs() const = 0;
    virtual void blockFor(int ms) = 0;
};

// The clock of the machine: QElapsedTimer for time, a plain thread sleep for blocking.
Clock &systemClock();

}  // namespace kv350
