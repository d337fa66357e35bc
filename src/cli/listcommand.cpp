#include "listcommand.h"

#include "exitstatus.h"
#include "link/frame.h"
#include "link/portlist.h"
#include "link/usbreaders.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace kv350::cli {
namespace {

struct Found {
    QString transport;  // "usb", "serial"
    QString path;
    QString detail;  // the descriptor's serial number, the port's description, as printed
    QString descriptorSerial;
    ProbedReader probed;  // --probe only
    bool probedAtAll = false;
};

QString probedText(const Found &f)
{
    if (!f.probedAtAll)
        return {};
    if (!f.probed.identity)
        return QStringLiteral("no reader answered: ") + f.probed.why;
    const ReaderIdentity &id = *f.probed.identity;
    return QStringLiteral("%1  %2  SN %3")
        .arg(visibleText(id.modelName), visibleText(id.modelVersion.mid(12).trimmed()), visibleText(id.serialNumber));
}

}  // namespace

int list(Session &s)
{
    const Options &o = s.options;
    const bool probe = o.values.contains(QStringLiteral("probe"));
    std::vector<Found> found;

    for (const HidDeviceInfo &d : s.hid->enumerate(o.vid, o.pid)) {
        Found f{QStringLiteral("usb"),
                d.path,
                d.serialNumber.isEmpty() ? QString() : QStringLiteral("SN ") + visibleText(d.serialNumber),
                d.serialNumber,
                {},
                false};
        if (probe) {
            f.probed = probeUsbReader(*s.hid, d.path, o.vid, o.pid, s.clock, s.pause);
            f.probedAtAll = true;
        }
        found.push_back(f);
    }
    // The machine's serial ports; a virtual reader has none.
    if (o.via != Via::Simulated) {
        for (const SerialPortInfo &p : systemSerialPortInfo()) {
            QString detail = p.description;
            if (p.vendorId && p.productId)
                detail += (detail.isEmpty() ? QString() : QStringLiteral(" ")) + usbIdText(*p.vendorId, *p.productId);
            Found f{QStringLiteral("serial"), p.path, detail, {}, {}, false};
            if (probe) {
                f.probed = probeSerialReader(p.path, s.clock, s.pause);
                f.probedAtAll = true;
            }
            found.push_back(f);
        }
    }

    if (o.json) {
        QJsonArray rows;
        for (const Found &f : found) {
            QJsonObject row{{"transport", f.transport}, {"path", f.path}};
            if (!f.descriptorSerial.isEmpty())
                row.insert("descriptorSerial", f.descriptorSerial);
            else if (f.transport == QLatin1String("serial") && !f.detail.isEmpty())
                row.insert("description", f.detail);
            if (f.probed.identity) {
                row.insert("serial", f.probed.identity->serialNumber);
                row.insert("model", f.probed.identity->modelName);
                row.insert("version", f.probed.identity->modelVersion.mid(12).trimmed());
            } else if (f.probedAtAll) {
                row.insert("error", f.probed.why);
            }
            rows.append(row);
        }
        s.out << QJsonDocument(rows).toJson(QJsonDocument::Compact) << '\n';
        return ExitDone;
    }
    if (found.empty()) {
        s.out << "no USB reader " << usbIdText(o.vid, o.pid) << " and no serial port found\n";
        return ExitDone;
    }
    int pathWidth = 0;
    for (const Found &f : found)
        pathWidth = qMax(pathWidth, int(f.path.size()));
    for (const Found &f : found) {
        QString line = f.transport.leftJustified(8) + f.path.leftJustified(pathWidth + 2) + f.detail;
        if (f.probedAtAll)
            line += (f.detail.isEmpty() ? QString() : QStringLiteral("  ")) + QStringLiteral("[") + probedText(f) +
                    QStringLiteral("]");
        s.out << line.trimmed() << '\n';
    }
    return ExitDone;
}

}  // namespace kv350::cli
