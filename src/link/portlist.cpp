#include "portlist.h"

#include <QSerialPortInfo>

namespace kv350 {

QStringList SystemPortList::serialPorts() const
{
    if (m_pending.valid())
        return m_pending.get();
    return m_list();
}

void SystemPortList::prepare()
{
    if (!m_pending.valid())
        m_pending = std::async(std::launch::async, m_list);
}

QList<SerialPortInfo> systemSerialPortInfo()
{
    QList<SerialPortInfo> ports;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts()) {
        SerialPortInfo port;
        port.path = info.systemLocation();
#ifdef Q_OS_WIN
        port.name = info.portName();
#else
        port.name = info.systemLocation();
#endif
        port.description = info.description();
        if (info.hasVendorIdentifier())
            port.vendorId = info.vendorIdentifier();
        if (info.hasProductIdentifier())
            port.productId = info.productIdentifier();
        ports.append(port);
    }
    return ports;
}

QStringList systemSerialPorts()
{
    QStringList names;
    for (const SerialPortInfo &port : systemSerialPortInfo())
        names.append(port.name);
    return names;
}

QStringList fallbackPortNames()
{
    QStringList names;
    for (int i = 0; i < 16; ++i) {
#ifdef Q_OS_WIN
        names.append(QStringLiteral("COM%1").arg(i + 1));
#else
        names.append(QStringLiteral("/dev/ttyS%1").arg(i));
#endif
    }
    return names;
}

QStringList portListEntries(const QString &usbEntry, const QStringList &found)
{
    QStringList entries{usbEntry};
    for (const QString &port : found) {
        QString name = port.trimmed();
#ifdef Q_OS_WIN
        name = name.toUpper();
#endif
        if (!name.isEmpty())
            entries.append(name);
    }
    if (entries.size() < 2)
        entries.append(fallbackPortNames());
    return entries;
}

}  // namespace kv350
