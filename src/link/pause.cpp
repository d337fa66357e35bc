#include "pause.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <chrono>
#include <thread>

namespace kv350 {

void EventLoopPause::wait(int ms)
{
    if (ms <= 0)
        return;
    if (!QCoreApplication::instance()) {
        BlockingPause().wait(ms);
        return;
    }
    // Paints and timers run, clicks and keys wait: a wait inside a transaction
    // must not let the user start another one on the same link.
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
}

void BlockingPause::wait(int ms)
{
    if (ms > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void EventLoopPause::processPending()
{
    if (QCoreApplication::instance())
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void EventLoopPause::processInput()
{
    if (QCoreApplication::instance())
        QCoreApplication::processEvents(QEventLoop::AllEvents);
}

}  // namespace kv350
