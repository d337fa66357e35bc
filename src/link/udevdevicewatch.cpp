// Linux: device arrivals from udev, after its rules ran (so the uaccess tag
// has given the user the hidraw node by the time the window hears of it).
#include "devicewatch.h"
#include "portlist.h"

#include <QLoggingCategory>
#include <QSocketNotifier>
#include <libudev.h>

namespace kv350 {
namespace {

Q_LOGGING_CATEGORY(lcWatch, "kv350.watch", QtWarningMsg)

class UdevDeviceWatch final : public DeviceWatch {
public:
    UdevDeviceWatch(udev *context, udev_monitor *monitor) : m_udev(context), m_monitor(monitor)
    {
        m_notifier = new QSocketNotifier(udev_monitor_get_fd(monitor), QSocketNotifier::Read, this);
        connect(m_notifier, &QSocketNotifier::activated, this, &UdevDeviceWatch::receive);
    }
    ~UdevDeviceWatch() override
    {
        delete m_notifier;
        udev_monitor_unref(m_monitor);
        udev_unref(m_udev);
    }

private:
    // Everything the socket holds: it is non-blocking, so this ends when it is empty.
    void receive()
    {
        while (udev_device *device = udev_monitor_receive_device(m_monitor)) {
            take(device);
            udev_device_unref(device);
        }
    }

    void take(udev_device *device)
    {
        const QByteArray subsystem = udev_device_get_subsystem(device);
        const QByteArray action = udev_device_get_action(device);
        qCDebug(lcWatch).noquote() << action << subsystem << udev_device_get_devnode(device);
        if (subsystem == "tty") {
            if (action == "add" || action == "remove")
                emit serialPortsChanged();
            return;
        }
        if (subsystem != "hidraw" || action != "add")
            return;
        udev_device *usb = udev_device_get_parent_with_subsystem_devtype(device, "usb", "usb_device");
        if (!usb)
            return;  // a HID device on another bus (Bluetooth, I2C)
        bool vidOk = false, pidOk = false;
        const uint vid = QByteArray(udev_device_get_sysattr_value(usb, "idVendor")).toUInt(&vidOk, 16);
        const uint pid = QByteArray(udev_device_get_sysattr_value(usb, "idProduct")).toUInt(&pidOk, 16);
        if (vidOk && pidOk && vid <= 0xFFFF && pid <= 0xFFFF)
            emit usbDeviceArrived(quint16(vid), quint16(pid));
    }

    udev *m_udev;
    udev_monitor *m_monitor;
    QSocketNotifier *m_notifier = nullptr;
};

}  // namespace

std::unique_ptr<DeviceWatch> makeSystemDeviceWatch()
{
    // Where udev does not run (a container, a chroot) the monitor cannot be
    // made: the ports and devices are then listed once a second.
    if (udev *context = udev_new()) {
        udev_monitor *monitor = udev_monitor_new_from_netlink(context, "udev");
        if (monitor && udev_monitor_filter_add_match_subsystem_devtype(monitor, "hidraw", nullptr) >= 0 &&
            udev_monitor_filter_add_match_subsystem_devtype(monitor, "tty", nullptr) >= 0 &&
            udev_monitor_enable_receiving(monitor) >= 0)
            return std::make_unique<UdevDeviceWatch>(context, monitor);
        if (monitor)
            udev_monitor_unref(monitor);
        udev_unref(context);
    }
    qCDebug(lcWatch) << "no udev monitor: listing devices once a second";
    return std::make_unique<PollingDeviceWatch>(systemSerialPorts, presentUsbHidDevices);
}

}  // namespace kv350
