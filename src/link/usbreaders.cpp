#include "usbreaders.h"

#include "frame.h"
#include "qserialdevice.h"

namespace kv350 {
namespace {

ProbedReader probeWith(ReaderLink &link)
{
    ProbedReader probed;
    if (link.ConnectReader())
        probed.identity = link.identity();
    else
        probed.why = link.lastError();
    link.DisconnectReader();
    return probed;
}

QString idsText(const UsbChoice &choice)
{
    return usbIdText(choice.vid, choice.pid);
}

}  // namespace

ProbedReader probeUsbReader(HidBackend &hid, const QString &path, std::uint16_t vid, std::uint16_t pid, Clock &clock,
                            Pause &pause)
{
    QSerialDevice unused;
    ReaderLink link(hid, unused, clock, pause);
    link.podRecord().VID = vid;
    link.podRecord().PID = pid;
    link.useUsbDevice(path);
    return probeWith(link);
}

ProbedReader probeSerialReader(const QString &portPath, Clock &clock, Pause &pause)
{
    // A link without USB: its HID side is never opened.
    class NoHid final : public HidBackend {
    public:
        bool open(std::uint16_t, std::uint16_t) override { return false; }
        void close() override {}
        bool isOpen() const override { return false; }
        int writeReport(const QByteArray &) override { return -1; }
        int readReport(QByteArray &out, int) override
        {
            out.clear();
            return -1;
        }
        QString errorText() const override { return {}; }
    } noHid;
    QSerialDevice serial;
    ReaderLink link(noHid, serial, clock, pause);
    link.useSerialPort(portPath);
    return probeWith(link);
}

UsbPick pickUsbReader(HidBackend &hid, const UsbChoice &choice,
                      const std::function<ProbedReader(const QString &path)> &probe)
{
    const QList<HidDeviceInfo> devices = hid.enumerate(choice.vid, choice.pid);
    QStringList paths;
    for (const HidDeviceInfo &d : devices)
        paths.append(d.path);
    const QString present = paths.isEmpty() ? QStringLiteral("none is attached")
                                            : QStringLiteral("attached: %1").arg(paths.join(QStringLiteral(", ")));

    if (!choice.path.isEmpty()) {
        if (!paths.contains(choice.path))
            return {{},
                    QStringLiteral("no reader %1 at %2 (%3; \"kv350ctl list\" shows them)")
                        .arg(idsText(choice), choice.path, present)};
        return {choice.path, {}};
    }

    if (!choice.serial.isEmpty()) {
        // The descriptor names it without a word sent; a reader whose
        // descriptor does not is asked.
        for (const HidDeviceInfo &d : devices)
            if (d.serialNumber == choice.serial)
                return {d.path, {}};
        QStringList heard;
        for (const HidDeviceInfo &d : devices) {
            const ProbedReader probed = probe(d.path);
            if (!probed.identity)
                continue;
            if (probed.identity->serialNumber == choice.serial)
                return {d.path, {}};
            heard.append(probed.identity->serialNumber);
        }
        const QString found = heard.isEmpty()
                                  ? present
                                  : QStringLiteral("serial numbers attached: %1").arg(heard.join(QStringLiteral(", ")));
        return {{},
                QStringLiteral("no reader %1 has serial number %2 (%3)").arg(idsText(choice), choice.serial, found)};
    }

    if (devices.size() > 1)
        return {{},
                QStringLiteral("%1 readers match %2; pick one with --path or --serial")
                    .arg(devices.size())
                    .arg(idsText(choice))};
    return {};
}

QList<UsbPortEntry> usbPortEntries(const QList<HidDeviceInfo> &devices)
{
    QList<UsbPortEntry> entries;
    if (devices.size() < 2)
        return entries;
    for (const HidDeviceInfo &d : devices)
        entries.append({QStringLiteral("USB ") + (d.serialNumber.isEmpty() ? d.path : d.serialNumber), d.path});
    return entries;
}

}  // namespace kv350
