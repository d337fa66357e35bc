#pragma once
#include <QString>
#include <QStringList>

namespace kv350 {

// The serial ports the system has, in the form the user picks them: COM names
// on Windows, device paths elsewhere.
class PortList {
public:
    virtual ~PortList() = default;
    virtual QStringList serialPorts() const = 0;
};

// QSerialPortInfo's ports, in the order the system lists them.
class SystemPortList final : public PortList {
public:
    QStringList serialPorts() const override;
};

// The sixteen names offered when the system lists fewer than two ports:
// COM1..COM16 on Windows, /dev/ttyS0../dev/ttyS15 elsewhere.
QStringList fallbackPortNames();

// The entries of the port list: the USB entry first, then the ports found
// (blanks trimmed; upper case on Windows only, where names are not paths),
// then the fallback names when that makes fewer than two entries.
QStringList portListEntries(const QString &usbEntry, const QStringList &found);

}  // namespace kv350
