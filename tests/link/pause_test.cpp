// The window's pause: posted events on every pass, the event loop's own pass
// (window-system events, timers) at most once a frame.
#include "link/pause.h"
#include "link/virtualtime.h"

#include <QCoreApplication>
#include <QTimer>
#include <gtest/gtest.h>

using namespace kv350;

namespace {

struct PassCounter {
    PassCounter()
    {
        // An interval of 0: due on every pass of the event loop, never posted.
        timer.setInterval(0);
        QObject::connect(&timer, &QTimer::timeout, [this] { ++loopPasses; });
        timer.start();
    }
    void post()
    {
        QMetaObject::invokeMethod(
            &receiver, [this] { ++posted; }, Qt::QueuedConnection);
    }
    QObject receiver;
    QTimer timer;
    int posted = 0;
    int loopPasses = 0;
};

}  // namespace

TEST(EventLoopPause, PostedEventsGoEveryTimeTheEventLoopPassesAtMostOnceAFrame)
{
    VirtualTime clock;
    EventLoopPause pause(clock);
    PassCounter c;

    c.post();
    pause.processPending();
    EXPECT_EQ(c.posted, 1);
    EXPECT_EQ(c.loopPasses, 1) << "the first time: a whole pass";

    c.post();
    pause.processPending();
    EXPECT_EQ(c.posted, 2) << "what the program posted (its repaints) goes on every call";
    EXPECT_EQ(c.loopPasses, 1) << "within the frame: no second pass";

    clock.advance(EventLoopPause::FullPassIntervalMs - 1);
    c.post();
    pause.processPending();
    EXPECT_EQ(c.posted, 3);
    EXPECT_EQ(c.loopPasses, 1);

    clock.advance(1);
    pause.processPending();
    EXPECT_EQ(c.loopPasses, 2) << "a frame later the loop passes again";
    pause.processPending();
    EXPECT_EQ(c.loopPasses, 2);
}

TEST(EventLoopPause, InputIsTakenOnEveryCallAndRestartsTheFrame)
{
    VirtualTime clock;
    EventLoopPause pause(clock);
    PassCounter c;

    pause.processInput();
    pause.processInput();
    EXPECT_EQ(c.loopPasses, 2) << "where a second click stops a long operation, every call looks";
    c.post();
    pause.processPending();
    EXPECT_EQ(c.posted, 1);
    EXPECT_EQ(c.loopPasses, 2) << "a pass just ran";
}
