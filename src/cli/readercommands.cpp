#include "readercommands.h"

#include "cards/mifare/trailerguard.h"
#include "exitstatus.h"
#include "link/portlist.h"
#include "link/readerlink.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace kv350::cli {
namespace {

// Prints what the Command page would show for the exchange.
class RawPrinter final : public LinkObserver {
public:
    explicit RawPrinter(QTextStream &out) : m_out(out) {}
    void requestShown(const RequestFields &f) override { m_out << f.tx << '\n'; }
    void responseShown(const ResponseFields &f) override
    {
        if (f.stx == QLatin1String("__"))
            return;
        m_out << f.rx << '\n'
              << "STX " << f.stx << "  LEN " << f.len << "  CMD " << f.cmd << "  STA " << f.sta << '\n'
              << "DATA  " << f.data << '\n'
              << "ASCII " << f.ascii << '\n';
    }

private:
    QTextStream &m_out;
};

}  // namespace

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

QString failureText(const QString &what, const Options &o, const QString &why)
{
    const QString where = whereText(o);
    const QString named = where + QStringLiteral(": ");
    return QStringLiteral("%1 %2: %3").arg(what, where, why.startsWith(named) ? why.mid(named.size()) : why);
}

int identify(Session &s)
{
    ReaderLink &link = *s.link;
    const Options &o = s.options;
    if (!link.ConnectReader()) {
        s.err << "kv350ctl: " << failureText(QStringLiteral("no reader identified on"), o, link.lastError()) << '\n';
        return exitStatusFor(link.error());
    }
    const QString version = link.ModelVersionText().mid(12);
    if (o.json) {
        QJsonObject j{{"model", link.ModelName()},
                      {"version", version},
                      {"serial", link.SerialNumberText()},
                      {"transport", o.via == Via::Serial ? "serial" : "usb"}};
        if (o.via == Via::Serial)
            j.insert("port", o.port);
        s.out << QJsonDocument(j).toJson(QJsonDocument::Compact) << '\n';
    } else {
        s.out << "Model:   " << visibleText(link.ModelName()) << '\n'
              << "Version: " << visibleText(version) << '\n'
              << "Serial:  " << visibleText(link.SerialNumberText()) << '\n';
    }
    return ExitDone;
}

int raw(Session &s)
{
    // A block write to a sector trailer goes through the trailer guard like
    // every other path that writes one; any other frame is sent as typed.
    const cards::TrailerCheck check = cards::checkTrailerFrame(s.options.frame);
    if (check.verdict == cards::TrailerCheck::Verdict::InvalidAccess) {
        s.err << "kv350ctl: raw: not sent: " << cards::trailerRefusal(check, englishText) << '\n';
        return ExitBadArguments;
    }
    if (check.permanent() && !s.options.values.contains(QStringLiteral("force"))) {
        s.err << "kv350ctl: raw: not sent: " << cards::trailerQuestion(check, englishText)
              << "\nadd --force to send it anyway\n";
        return ExitNeedsForce;
    }
    ReaderLink &link = *s.link;
    RawPrinter printer(s.out);
    link.setObserver(&printer);
    const bool ok = link.ExecuteCommand(s.options.frame, proto::BufferSize);
    link.setObserver(nullptr);
    if (!ok) {
        s.err << "kv350ctl: " << failureText(QStringLiteral("no reply accepted from"), s.options, link.lastError())
              << '\n';
        return exitStatusFor(link.error());
    }
    return ExitDone;
}

int ports(Session &s)
{
    const QList<SerialPortInfo> found = systemSerialPortInfo();
    if (found.isEmpty()) {
        s.out << "no serial ports found\n";
        return ExitDone;
    }
    for (const SerialPortInfo &p : found) {
        s.out << p.path;
        if (!p.description.isEmpty())
            s.out << '\t' << p.description;
        if (p.vendorId && p.productId)
            s.out << '\t' << usbIdText(*p.vendorId, *p.productId);
        s.out << '\n';
    }
    return ExitDone;
}

}  // namespace kv350::cli
