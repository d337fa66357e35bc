// kv350ctl: the reader link on the command line.
#include "firmwarecommands.h"
#include "link/hidapibackend.h"
#include "link/qserialdevice.h"
#include "link/readerlink.h"
#include "options.h"
#include "sim/core/virtualreader.h"
#include "sim/transports/simhiddevice.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSerialPortInfo>
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

int listPorts()
{
    const auto ports = QSerialPortInfo::availablePorts();
    if (ports.isEmpty()) {
        out() << "no serial ports found\n";
        return 0;
    }
    for (const QSerialPortInfo &p : ports) {
        out() << p.systemLocation();
        if (!p.description().isEmpty())
            out() << '\t' << p.description();
        if (p.hasVendorIdentifier() && p.hasProductIdentifier())
            out() << QStringLiteral("\t%1:%2")
                         .arg(p.vendorIdentifier(), 4, 16, QLatin1Char('0'))
                         .arg(p.productIdentifier(), 4, 16, QLatin1Char('0'))
                         .toUpper();
        out() << '\n';
    }
    return 0;
}

QString whereText(const Options &o)
{
    switch (o.via) {
    case Via::Serial:
        return o.port;
    case Via::Simulated:
        return QStringLiteral("the virtual %1").arg(o.model);
    case Via::Usb:
        break;
    }
    return QStringLiteral("USB ") + usbIdText(o.vid, o.pid);
}

// "no reader identified on /dev/ttyUSB0: no such serial port ...": the link's
// messages about a serial port start with its path, which is said once.
QString failureText(const QString &what, const Options &o, const QString &why)
{
    const QString where = whereText(o);
    const QString named = where + QStringLiteral(": ");
    return QStringLiteral("%1 %2: %3").arg(what, where, why.startsWith(named) ? why.mid(named.size()) : why);
}

int identify(ReaderLink &link, const Options &o)
{
    if (!link.ConnectReader()) {
        err() << "kv350ctl: " << failureText(QStringLiteral("no reader identified on"), o, link.lastError()) << '\n';
        return 1;
    }
    const QString version = link.ModelVersionText().mid(12);
    if (o.json) {
        QJsonObject j{{"model", link.ModelName()},
                      {"version", version},
                      {"serial", link.SerialNumberText()},
                      {"transport", o.via == Via::Serial ? "serial" : "usb"}};
        if (o.via == Via::Serial)
            j.insert("port", o.port);
        out() << QJsonDocument(j).toJson(QJsonDocument::Compact) << '\n';
    } else {
        out() << "Model:   " << visibleText(link.ModelName()) << '\n'
              << "Version: " << visibleText(version) << '\n'
              << "Serial:  " << visibleText(link.SerialNumberText()) << '\n';
    }
    return 0;
}

// Prints what the Command page would show for the exchange.
class RawPrinter final : public LinkObserver {
public:
    void requestShown(const RequestFields &f) override { out() << f.tx << '\n'; }
    void responseShown(const ResponseFields &f) override
    {
        if (f.stx == QLatin1String("__"))
            return;
        out() << f.rx << '\n'
              << "STX " << f.stx << "  LEN " << f.len << "  CMD " << f.cmd << "  STA " << f.sta << '\n'
              << "DATA  " << f.data << '\n'
              << "ASCII " << f.ascii << '\n';
    }
};

int raw(ReaderLink &link, const Options &o)
{
    RawPrinter printer;
    link.setObserver(&printer);
    const bool ok = link.ExecuteCommand(o.frame, proto::BufferSize);
    link.setObserver(nullptr);
    if (!ok) {
        err() << "kv350ctl: " << failureText(QStringLiteral("no reply accepted from"), o, link.lastError()) << '\n';
        return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const ParseResult parsed = parseArguments(app.arguments().mid(1));
    if (!parsed.options) {
        err() << "kv350ctl: " << parsed.error << "\n\n" << usageText();
        return 2;
    }
    const Options &o = *parsed.options;
    if (o.command == Command::Help) {
        out() << usageText();
        return 0;
    }
    if (o.command == Command::Ports)
        return listPorts();
    if (o.command == Command::FirmwarePack)
        return firmwarePack(o, out(), err());
    if (o.command == Command::FirmwareInfo)
        return firmwareInfo(o, out(), err());

    BlockingPause pause;  // no window to paint
    QSerialDevice serial;
    std::unique_ptr<sim::VirtualReader> reader;
    std::unique_ptr<HidBackend> hid;
    if (o.via == Via::Simulated) {
        sim::Identity id;
        id.model = o.model.toLatin1();
        reader = std::make_unique<sim::VirtualReader>(id);
        hid = std::make_unique<sim::SimHidDevice>(*reader, systemClock());
    } else {
        hid = std::make_unique<HidapiBackend>();
    }
    ReaderLink link(*hid, serial, systemClock(), pause);
    link.podRecord().VID = o.vid;
    link.podRecord().PID = o.pid;
    if (o.via == Via::Serial)
        link.useSerialPort(o.port);

    int status = 1;
    if (o.command == Command::FirmwareUpgrade)
        status = firmwareUpgrade({link, *hid, systemClock(), pause}, o, out(), err(), stdoutIsTerminal());
    else
        status = o.command == Command::Identify ? identify(link, o) : raw(link, o);
    link.DisconnectReader();
    return status;
}
