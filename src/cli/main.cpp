// kv350ctl: the reader link on the command line.
#include "commandtable.h"
#include "exitstatus.h"
#include "link/hidapibackend.h"
#include "link/qserialdevice.h"
#include "link/readerlink.h"
#include "log/sessionlog.h"
#include "log/sessionlogfile.h"
#include "options.h"
#include "sim/transports/simulatedreader.h"

#include <QCoreApplication>
#include <QLoggingCategory>
#include <QTextStream>
#include <cstdio>
#include <memory>
#ifdef Q_OS_WIN
#include <io.h>
#else
#include <unistd.h>
#endif

using namespace kv350;
using namespace kv350::cli;

namespace {

QTextStream &out()
{
    static QTextStream s(stdout);
    return s;
}
QTextStream &err()
{
    static QTextStream s(stderr);
    return s;
}

bool stdoutIsTerminal()
{
#ifdef Q_OS_WIN
    return _isatty(_fileno(stdout)) != 0;
#else
    return isatty(fileno(stdout)) != 0;
#endif
}

// A command with a reader: the link over the transport the options chose.
int runWithReader(const CommandSpec &command, const Options &o, Pause &pause)
{
    QSerialDevice serial;
    std::optional<sim::SimulatedReader> simulated;
    std::unique_ptr<HidBackend> hidapi;
    HidBackend *hid = nullptr;
    if (o.via == Via::Simulated) {
        QString why;
        simulated = sim::makeSimulatedReader(o.model, o.cards, systemClock(), &why);
        if (!simulated) {
            err() << "kv350ctl: " << why << '\n';
            return ExitBadArguments;
        }
        hid = simulated->hid.get();
    } else {
        hidapi = std::make_unique<HidapiBackend>();
        hid = hidapi.get();
    }
    ReaderLink link(*hid, serial, systemClock(), pause);
    link.podRecord().VID = o.vid;
    link.podRecord().PID = o.pid;
    if (o.via == Via::Serial)
        link.useSerialPort(o.port);
    // --log: the same lines as the window's session log, appended.
    SessionLog log(versionText().trimmed());
    SessionLogFile file;
    if (!o.logFile.isEmpty()) {
        QString why;
        if (!file.open(o.logFile, &why)) {
            err() << "kv350ctl: --log: " << why << '\n';
            return ExitFailed;
        }
        log.setLogKeyValues(o.logKeys);
        for (const QString &line : log.header())
            file.write(line);
        log.addSink([&file](const QString &line) { file.write(line); });
        log.setOrigin(QStringLiteral("kv350ctl ") + o.command);
        log.attach(link);
    }
    Session session{o, out(), err(), &link, hid, systemClock(), pause, stdoutIsTerminal()};
    const int status = command.run(session);
    link.DisconnectReader();
    log.detach();
    return status;
}

}  // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const ParseResult parsed = parseArguments(app.arguments().mid(1));
    if (!parsed.options) {
        err() << "kv350ctl: " << parsed.error << "\n\n" << usageText();
        return ExitBadArguments;
    }
    const Options &o = *parsed.options;
    if (o.command == Command::Help) {
        out() << o.helpText;
        return ExitDone;
    }
    if (o.command == Command::Version) {
        out() << versionText();
        return ExitDone;
    }
    if (o.verbose)
        QLoggingCategory::setFilterRules(QStringLiteral("kv350.link.debug=true\nkv350.firmware.dfu.debug=true"));

    const CommandSpec *command = findCommand(o.command);
    BlockingPause pause;  // no window to paint
    if (command->reader)
        return runWithReader(*command, o, pause);
    Session session{o, out(), err(), nullptr, nullptr, systemClock(), pause, stdoutIsTerminal()};
    return command->run(session);
}
