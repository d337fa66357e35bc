#pragma once

#include "clock.h"

namespace kv350 {

// The program's own waits (100 ms around connects, 3000 ms after a reboot, ...)
// and "let the window process pending messages". The real one runs a nested
// event loop that repaints and runs timers but holds back user input, so a click
// during a wait cannot start a second transaction; the test one runs in virtual time.
class Pause {
public:
    virtual ~Pause() = default;
    virtual void wait(int ms) = 0;
    virtual void processPending() = 0;
    // Pending messages with user input: where a long operation is stopped by
    // a second click (the radio module's automatic test). Only between
    // transactions, never inside one.
    virtual void processInput() { processPending(); }
};

// Real implementation: QEventLoop with a timer, user input excluded. Without a
// QCoreApplication it falls back to sleeping the thread.
//
// processPending() delivers the posted events every time: the window's own
// repaints are posted, so what the program just changed is drawn and on its
// way to the screen. The window system's events (a window uncovered, a close
// from the window manager) and timers need a pass of the event loop, which
// costs more than a fast transaction itself; that pass runs at most once a
// frame, and the first time after a quiet spell.
class EventLoopPause final : public Pause {
public:
    static constexpr int FullPassIntervalMs = 16;

    explicit EventLoopPause(const Clock &clock = systemClock()) : m_clock(clock) {}
    void wait(int ms) override;
    void processPending() override;
    void processInput() override;

private:
    const Clock &m_clock;
    qint64 m_lastFullPass = 0;
    bool m_passed = false;
};

// For programs without a window (kv350ctl, benchmarks): waits sleep the
// thread, and there is nothing to paint.
class BlockingPause final : public Pause {
public:
    void wait(int ms) override;
    void processPending() override {}
};

}  // namespace kv350
