#include "startlog.h"

#include <QElapsedTimer>
#include <QFile>
#include <QString>
#include <ctime>

Q_LOGGING_CATEGORY(lcStart, "kv350.start", QtWarningMsg)

namespace kv350 {

namespace {

struct StartState {
    QElapsedTimer clock;
    bool over = false;
};

StartState &state()
{
    static StartState s;
    return s;
}

// Resident set size in kB; -1 where the system does not tell.
long residentKb()
{
#ifdef Q_OS_LINUX
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    }
#endif
    return -1;
}

}  // namespace

void startClock()
{
    state().clock.start();
}

void startMark(const QString &what)
{
    StartState &s = state();
    if (s.over || !lcStart().isDebugEnabled())
        return;
    if (!s.clock.isValid())
        s.clock.start();
    // CPU time of the process since it was started, loading included: what a
    // busy machine bends far less than the wall clock.
    const double cpuMs = 1000.0 * double(std::clock()) / CLOCKS_PER_SEC;
    qCDebug(lcStart, "%s at %.1f ms, cpu %.1f ms, %ld kB resident", qUtf8Printable(what),
            double(s.clock.nsecsElapsed()) / 1e6, cpuMs, residentKb());
}

void startFinished(const QString &what)
{
    startMark(what);
    state().over = true;
}

}  // namespace kv350
