#pragma once
// Readers that come and go: the system tells when a USB HID device is plugged
// in and when serial ports appear or go. On Linux a udev monitor says so as it
// happens (a socket the event loop sleeps on); elsewhere the ports and the USB
// devices are listed once a second. Tests drive their own watch.

#include <QObject>
#include <QSet>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <memory>

class QTimer;

namespace kv350 {

class DeviceWatch : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~DeviceWatch() override = default;

signals:
    // A USB HID device with these ids was plugged in (and may be opened now).
    void usbDeviceArrived(quint16 vid, quint16 pid);
    // A serial port appeared or went away.
    void serialPortsChanged();
};

// A USB device's ids as one number: vendor in the high half.
inline quint32 usbIdKey(std::uint16_t vid, std::uint16_t pid)
{
    return (quint32(vid) << 16) | pid;
}

// Lists the system's serial ports and USB HID devices once a second and says
// what changed. It sleeps between passes.
class PollingDeviceWatch final : public DeviceWatch {
    Q_OBJECT
public:
    static constexpr int IntervalMs = 1000;

    PollingDeviceWatch(std::function<QStringList()> serialPorts, std::function<QSet<quint32>()> usbDevices,
                       QObject *parent = nullptr);
    // One pass: what the timer runs (tests call it directly).
    void poll();

private:
    std::function<QStringList()> m_serialPorts;
    std::function<QSet<quint32>()> m_usbDevices;
    QStringList m_ports;
    QSet<quint32> m_usb;
    QTimer *m_timer;
};

// The USB HID devices present, by their ids (hidapi).
QSet<quint32> presentUsbHidDevices();

// The system's watch: udev on Linux where it runs, else the polling one.
std::unique_ptr<DeviceWatch> makeSystemDeviceWatch();

}  // namespace kv350
