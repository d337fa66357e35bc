#pragma once

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
class EventLoopPause final : public Pause {
public:
    void wait(int ms) override;
    void processPending() override;
    void processInput() override;
};

// For programs without a window (kv350ctl, benchmarks): waits sleep the
// thread, and there is nothing to paint.
class BlockingPause final : public Pause {
public:
    void wait(int ms) override;
    void processPending() override {}
};

}  // namespace kv350
