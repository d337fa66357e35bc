#pragma once
// kv350ctl run as a user runs it: a separate process, its exit status and output.
#include <QProcess>
#include <QString>
#include <QStringList>

namespace kv350::testing {

struct CtlRun {
    int status;  // -1: it crashed or did not finish
    QString out;
    QString err;
};

inline CtlRun runCtl(const QStringList &args)
{
    QProcess p;
    p.start(QStringLiteral(KV350_CTL_PATH), args);
    p.waitForFinished(10000);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
            QString::fromLocal8Bit(p.readAllStandardOutput()), QString::fromLocal8Bit(p.readAllStandardError())};
}

}  // namespace kv350::testing
