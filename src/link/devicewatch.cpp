#include "devicewatch.h"

#include "portlist.h"

#include <QTimer>
#include <hidapi.h>

namespace kv350 {

PollingDeviceWatch::PollingDeviceWatch(std::function<QStringList()> serialPorts,
                                       std::function<QSet<quint32>()> usbDevices, QObject *parent)
    : DeviceWatch(parent),
      m_serialPorts(std::move(serialPorts)),
      m_usbDevices(std::move(usbDevices)),
      m_ports(m_serialPorts()),
      m_usb(m_usbDevices()),
      m_timer(new QTimer(this))
{
    // What is there at the start is no arrival.
    m_ports.sort();
    m_timer->setInterval(IntervalMs);
    m_timer->setTimerType(Qt::CoarseTimer);
    connect(m_timer, &QTimer::timeout, this, &PollingDeviceWatch::poll);
    m_timer->start();
}

void PollingDeviceWatch::poll()
{
    QStringList ports = m_serialPorts();
    ports.sort();
    if (ports != m_ports) {
        m_ports = ports;
        emit serialPortsChanged();
    }
    const QSet<quint32> usb = m_usbDevices();
    for (quint32 key : usb)
        if (!m_usb.contains(key))
            emit usbDeviceArrived(quint16(key >> 16), quint16(key & 0xFFFF));
    m_usb = usb;
}

QSet<quint32> presentUsbHidDevices()
{
    QSet<quint32> ids;
    hid_device_info *all = hid_enumerate(0, 0);
    for (const hid_device_info *d = all; d; d = d->next)
        ids.insert(usbIdKey(d->vendor_id, d->product_id));
    hid_free_enumeration(all);
    return ids;
}

#ifndef KV350_HAVE_UDEV
std::unique_ptr<DeviceWatch> makeSystemDeviceWatch()
{
    return std::make_unique<PollingDeviceWatch>(systemSerialPorts, presentUsbHidDevices);
}
#endif

}  // namespace kv350
