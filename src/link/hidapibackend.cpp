#include "hidapibackend.h"

#include "common/protocol.h"
#include "frame.h"

#include <hidapi.h>

#include <cerrno>
#include <cstring>
#ifdef Q_OS_LINUX
#include <unistd.h>
#endif

namespace kv350 {

HidapiBackend::HidapiBackend()
{
    hid_init();
}

HidapiBackend::~HidapiBackend()
{
    close();
    hid_exit();
}

void HidapiBackend::takeError(const char *what)
{
    const wchar_t *detail = hid_error(m_device);
    m_error = QString::fromLatin1(what);
    if (detail)
        m_error += QStringLiteral(": ") + QString::fromWCharArray(detail);
}

bool HidapiBackend::open(std::uint16_t vid, std::uint16_t pid)
{
    close();
    m_device = hid_open(vid, pid, nullptr);
    if (m_device) {
        m_error.clear();
        m_openError = LinkError::None;
        return true;
    }
    const QString why = QString::fromWCharArray(hid_error(nullptr));
    // Which of three it is: nothing with the ids, a node this user may not
    // open (the udev rule is missing), or something else the system says.
    hid_device_info *found = hid_enumerate(vid, pid);
    if (!found) {
        m_openError = LinkError::NoUsbDevice;
        m_error.clear();
        return false;
    }
    const QByteArray node(found->path);
    hid_free_enumeration(found);
#ifdef Q_OS_LINUX
    if (access(node.constData(), R_OK | W_OK) != 0 && (errno == EACCES || errno == EPERM)) {
        m_openError = LinkError::UsbNoAccess;
        m_error = QString::fromLocal8Bit(node);
        return false;
    }
#endif
    m_openError = LinkError::OpenFailed;
    m_error = QStringLiteral("USB HID device %1 (%2) could not be opened")
                  .arg(usbIdText(vid, pid), QString::fromLocal8Bit(node));
    if (!why.isEmpty())
        m_error += QStringLiteral(": ") + why;
    return false;
}

bool HidapiBackend::openPath(const QString &path)
{
    close();
    const QByteArray native = path.toLocal8Bit();
    m_device = hid_open_path(native.constData());
    if (!m_device) {
        m_error = QStringLiteral("the USB HID device %1 could not be opened (is it still plugged in, and may this "
                                 "user open it?)")
                      .arg(path);
        return false;
    }
    m_error.clear();
    return true;
}

QList<HidDeviceInfo> HidapiBackend::enumerate(std::uint16_t vid, std::uint16_t pid)
{
    QList<HidDeviceInfo> found;
    hid_device_info *all = hid_enumerate(vid, pid);
    for (const hid_device_info *d = all; d; d = d->next) {
        // hid_enumerate(0, 0) lists every device; ids of 0 are never ours.
        if (d->vendor_id != vid || d->product_id != pid)
            continue;
        HidDeviceInfo info;
        info.path = QString::fromLocal8Bit(d->path);
        info.vid = d->vendor_id;
        info.pid = d->product_id;
        if (d->serial_number)
            info.serialNumber = QString::fromWCharArray(d->serial_number).trimmed();
        if (d->product_string)
            info.product = QString::fromWCharArray(d->product_string).trimmed();
        found.append(info);
    }
    hid_free_enumeration(all);
    return found;
}

void HidapiBackend::close()
{
    if (m_device) {
        hid_close(m_device);
        m_device = nullptr;
    }
}

int HidapiBackend::writeReport(const QByteArray &payload)
{
    if (!m_device)
        return -1;
    // hid_write wants the report ID as its first byte; ours is 0.
    unsigned char report[1 + proto::HidReportSize] = {};
    const int n = int(qMin<qsizetype>(payload.size(), proto::HidReportSize));
    memcpy(report + 1, payload.constData(), size_t(n));
    const int written = hid_write(m_device, report, sizeof report);
    if (written < 0) {
        takeError("USB write failed");
        return -1;
    }
    if (written < int(sizeof report)) {
        // A report is sent whole or not at all; part of one is a failed write.
        m_error = QStringLiteral("USB write incomplete: %1 of %2 bytes").arg(written).arg(sizeof report);
        return -1;
    }
    return n;
}

int HidapiBackend::readReport(QByteArray &out, int timeoutMs)
{
    out.clear();
    if (!m_device)
        return -1;
    unsigned char report[proto::HidReportSize] = {};
    const int got = hid_read_timeout(m_device, report, sizeof report, timeoutMs);
    if (got < 0) {
        takeError("USB read failed");
        return -1;
    }
    out = QByteArray(reinterpret_cast<const char *>(report), got);
    return got;
}

}  // namespace kv350
