#include "simhidbus.h"

#include "link/frame.h"

namespace kv350::sim {

QString SimHidBus::attach(SimulatedReader reader, qint64 atMs)
{
    Unit unit;
    unit.simulated = std::move(reader);
    unit.path = QStringLiteral("sim:%1").arg(m_units.size() + 1);
    unit.attachMs = atMs;
    m_units.push_back(std::move(unit));
    settle();
    return m_units.back().path;
}

void SimHidBus::detachAt(int index, qint64 atMs)
{
    m_units.at(std::size_t(index)).detachMs = qMax(atMs, m_clock.nowMs());
    settle();
}

void SimHidBus::attachAt(int index, qint64 atMs)
{
    Unit &unit = m_units.at(std::size_t(index));
    unit.attachMs = qMax(atMs, m_clock.nowMs());
    unit.detachMs = -1;
    settle();
}

bool SimHidBus::attached(const Unit &unit) const
{
    const qint64 now = m_clock.nowMs();
    return now >= unit.attachMs && (unit.detachMs < 0 || now < unit.detachMs);
}

void SimHidBus::settle()
{
    for (Unit &unit : m_units) {
        SimHidDevice &device = *unit.simulated.hid;
        const bool wanted = attached(unit);
        // plug()/unplug() are the device's own cable; a device the reader's
        // own faults or reboot keep away stays away (SimHidDevice::isPresent).
        if (wanted && device.isUnplugged())
            device.plug();
        else if (!wanted && !device.isUnplugged())
            device.unplug();
    }
}

bool SimHidBus::openUnit(int index)
{
    close();
    SimHidDevice &device = *m_units[std::size_t(index)].simulated.hid;
    if (!device.open(device.vid(), device.pid())) {
        m_error = device.errorText();
        return false;
    }
    m_open = index;
    m_error.clear();
    return true;
}

bool SimHidBus::open(std::uint16_t vid, std::uint16_t pid)
{
    settle();
    close();
    for (int i = 0; i < int(m_units.size()); ++i) {
        const SimHidDevice &device = *m_units[std::size_t(i)].simulated.hid;
        if (device.vid() == vid && device.pid() == pid && device.isPresent())
            return openUnit(i);
    }
    m_error = QStringLiteral("no USB HID device %1").arg(usbIdText(vid, pid));
    return false;
}

bool SimHidBus::openPath(const QString &path)
{
    settle();
    close();
    for (int i = 0; i < int(m_units.size()); ++i)
        if (m_units[std::size_t(i)].path == path) {
            if (!m_units[std::size_t(i)].simulated.hid->isPresent()) {
                m_error = QStringLiteral("no USB HID device at %1").arg(path);
                return false;
            }
            return openUnit(i);
        }
    m_error = QStringLiteral("no USB HID device at %1").arg(path);
    return false;
}

QList<HidDeviceInfo> SimHidBus::enumerate(std::uint16_t vid, std::uint16_t pid)
{
    settle();
    QList<HidDeviceInfo> found;
    for (const Unit &unit : m_units) {
        const SimHidDevice &device = *unit.simulated.hid;
        if (device.vid() != vid || device.pid() != pid || !device.isPresent())
            continue;
        HidDeviceInfo info;
        info.path = unit.path;
        info.vid = vid;
        info.pid = pid;
        info.serialNumber = device.descriptorSerial();
        info.product = QStringLiteral("KV350 virtual reader");
        found.append(info);
    }
    return found;
}

void SimHidBus::close()
{
    if (m_open >= 0)
        m_units[std::size_t(m_open)].simulated.hid->close();
    m_open = -1;
}

bool SimHidBus::isOpen() const
{
    return m_open >= 0 && m_units[std::size_t(m_open)].simulated.hid->isOpen();
}

int SimHidBus::writeReport(const QByteArray &payload)
{
    settle();
    if (m_open < 0) {
        m_error = QStringLiteral("the device is not open");
        return -1;
    }
    return m_units[std::size_t(m_open)].simulated.hid->writeReport(payload);
}

int SimHidBus::readReport(QByteArray &out, int timeoutMs)
{
    settle();
    if (m_open < 0) {
        out.clear();
        m_error = QStringLiteral("the device is not open");
        return -1;
    }
    return m_units[std::size_t(m_open)].simulated.hid->readReport(out, timeoutMs);
}

QString SimHidBus::errorText() const
{
    return m_open >= 0 ? m_units[std::size_t(m_open)].simulated.hid->errorText() : m_error;
}

}  // namespace kv350::sim
