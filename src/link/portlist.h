#pragma once
#include <QList>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>

#include <functional>
#include <future>

namespace kv350 {

// The serial ports the system has, in the form the user picks them: COM names
// on Windows, device paths elsewhere.
class PortList {
public:
    virtual ~PortList() = default;
    virtual QStringList serialPorts() const = 0;
    // The list is about to be asked for, after a wait: a list that takes long
    // to make may start on it now.
    virtual void prepare() {}
};

// A serial port as the system describes it.
struct SerialPortInfo {
    QString path;  // the device path: /dev/ttyUSB0, \\.\COM3
    QString name;  // as the user picks it: COM3 on Windows, the path elsewhere
    QString description;
    std::optional<std::uint16_t> vendorId, productId;  // a USB adapter's
};

// QSerialPortInfo's ports, in the order the system lists them.
QList<SerialPortInfo> systemSerialPortInfo();
// Their names.
QStringList systemSerialPorts();

// The system's ports. Listing them asks the system about every serial device
// it knows (some 15 ms of CPU on a desktop): prepare() starts that on a
// thread of its own, so that it overlaps the connect's waits instead of
// holding up the window after them. Each prepare() serves one serialPorts();
// without one the ports are listed there and then.
class SystemPortList final : public PortList {
public:
    explicit SystemPortList(std::function<QStringList()> list = systemSerialPorts) : m_list(std::move(list)) {}
    QStringList serialPorts() const override;
    void prepare() override;

private:
    std::function<QStringList()> m_list;
    mutable std::future<QStringList> m_pending;
};

// The sixteen names offered when the system lists fewer than two ports:
// COM1..COM16 on Windows, /dev/ttyS0../dev/ttyS15 elsewhere.
QStringList fallbackPortNames();

// The entries of the port list: the USB entry first, then the ports found
// (blanks trimmed; upper case on Windows only, where names are not paths),
// then the fallback names when that makes fewer than two entries.
QStringList portListEntries(const QString &usbEntry, const QStringList &found);

}  // namespace kv350
