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
    m_lastFullPass = m_clock.nowMs();
    m_passed = true;
}

void BlockingPause::wait(int ms)
{
    if (ms > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void EventLoopPause::processPending()
{
    if (!QCoreApplication::instance())
        return;
    QCoreApplication::sendPostedEvents();
    const qint64 now = m_clock.nowMs();
    if (m_passed && now - m_lastFullPass < FullPassIntervalMs)
        return;
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    m_lastFullPass = now;
    m_passed = true;
}

void EventLoopPause::processInput()
{
    if (!QCoreApplication::instance())
        return;
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    m_lastFullPass = m_clock.nowMs();
    m_passed = true;
}

}  // namespace kv350
