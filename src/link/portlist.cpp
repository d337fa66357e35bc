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

QStringList systemSerialPorts()
{
    QStringList ports;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts()) {
#ifdef Q_OS_WIN
        ports.append(info.portName());
#else
        ports.append(info.systemLocation());
#endif
    }
    return ports;
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
