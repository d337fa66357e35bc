#pragma once
#include "linkerror.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <cstdint>

namespace kv350 {

// One USB HID device present, as the system lists it.
struct HidDeviceInfo {
    QString path;  // what openPath() takes: /dev/hidraw3, \\?\hid#vid_0e6a..., sim:2
    std::uint16_t vid = 0;
    std::uint16_t pid = 0;
    QString serialNumber;  // the USB descriptor's; empty when the device gives none
    QString product;
    bool operator==(const HidDeviceInfo &) const = default;
};

// One USB HID device, reports in and out. hidapi in production, the virtual
// reader in tests and in --simulate. Reports here carry no report ID: the
// backend adds report ID 0 on write (hidapi wants it as the first byte) and
// strips it on read.
class HidBackend {
public:
    virtual ~HidBackend() = default;
    // Opens the first device with these ids; false when none is present or it cannot be opened.
    virtual bool open(std::uint16_t vid, std::uint16_t pid) = 0;
    // Opens the device at this path (one of enumerate()'s); false when it is
    // not there or cannot be opened. A backend that lists nothing opens nothing.
    virtual bool openPath(const QString &path)
    {
        Q_UNUSED(path);
        return false;
    }
    // The devices present with these ids, in the order the system lists them.
    // Empty for a backend that cannot list (the open by ids still works).
    virtual QList<HidDeviceInfo> enumerate(std::uint16_t vid, std::uint16_t pid)
    {
        Q_UNUSED(vid);
        Q_UNUSED(pid);
        return {};
    }
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    // Sends one output report (payload of up to 64 bytes, zero-padded to 64).
    // Returns the payload bytes written or -1 when the device is gone.
    virtual int writeReport(const QByteArray &payload) = 0;
    // Waits up to timeoutMs for one input report and stores its payload in out.
    // Returns its size, 0 on time-out, -1 on error (device gone).
    virtual int readReport(QByteArray &out, int timeoutMs) = 0;
    // Why the last open/write/read failed, for the user.
    virtual QString errorText() const = 0;
    // Why the last open failed, as a value: no device with the ids
    // (NoUsbDevice), one this user may not open (UsbNoAccess, errorText() its
    // node), or another reason (OpenFailed).
    virtual LinkError openError() const { return LinkError::OpenFailed; }
};

}  // namespace kv350
