#include "serialtransport.h"

#include <QLoggingCategory>
#include <cstring>

Q_LOGGING_CATEGORY(lcSerial, "kv350.link.serial", QtWarningMsg)

namespace kv350 {

bool SerialTransport::OpenSerialPort(const QString &portPath)
{
    m_path = portPath;
    if (!m_device.open(portPath)) {
        qCDebug(lcSerial) << "open failed:" << m_device.errorText();
        return false;
    }
    return true;
}

bool SerialTransport::WriteSerialPort(const std::uint8_t *bytes, int count)
{
    if (!m_device.isOpen())
        return false;
    m_device.purge();
    const QByteArray frame(reinterpret_cast<const char *>(bytes), count);
    return m_device.write(frame) == count;
}

int SerialTransport::ReadSerialFrame(std::uint8_t *buffer, int windowMs)
{
    if (!m_device.isOpen())
        return 0;
    const qint64 start = m_clock.nowMs();
    m_collector.reset();
    for (;;) {
        const qint64 waiting = m_device.bytesAvailable();
        if (waiting > MaxWaiting) {
            qCDebug(lcSerial) << "purged" << waiting << "waiting bytes";
            m_device.purgeInput();
        } else if (waiting > 0) {
            const QByteArray bytes = m_device.read(waiting);
            for (char c : bytes) {
                if (m_collector.push(std::uint8_t(c))) {
                    const int n = m_collector.stored();
                    memcpy(buffer, m_collector.data(), size_t(n));
                    buffer[n] = 0;  // DATA can be read as a zero-terminated text
                    return n;       // the rest of this read is dropped; the next purge takes what follows
                }
            }
        }
        const qint64 elapsed = m_clock.nowMs() - start;
        if (elapsed >= windowMs || m_device.broken())
            break;
        // Sleep in the device until bytes come or the window closes. A false
        // return means the window is over or the port failed: one last look, then stop.
        if (!m_device.waitForReadyRead(int(windowMs - elapsed)) && m_device.bytesAvailable() == 0)
            break;
    }
    return 0;
}

qint64 SerialTransport::DrainInput(int ms)
{
    if (!m_device.isOpen())
        return 0;
    const qint64 start = m_clock.nowMs();
    qint64 dropped = 0;
    for (;;) {
        const qint64 waiting = m_device.bytesAvailable();
        if (waiting > 0) {
            dropped += waiting;
            m_device.purgeInput();
        }
        const qint64 elapsed = m_clock.nowMs() - start;
        if (elapsed >= ms || m_device.broken())
            break;
        if (!m_device.waitForReadyRead(int(ms - elapsed)) && m_device.bytesAvailable() == 0)
            break;
    }
    if (dropped > 0)
        qCDebug(lcSerial) << "dropped" << dropped << "late bytes";
    return dropped;
}

Sent SerialTransport::send(const std::uint8_t *frame, int length)
{
    if (!m_device.isOpen())
        return Sent::Failed;
    if (WriteSerialPort(frame, length))
        return Sent::Whole;
    return broken() ? Sent::Gone : Sent::Part;
}

Received SerialTransport::receive(std::uint8_t *into, int /*limit*/, int windowMs)
{
    Received r;
    r.length = ReadSerialFrame(into, windowMs);
    if (broken())
        r.kind = Received::Gone;
    else if (r.length > 0)
        r.kind = Received::Frame;
    return r;
}

bool SerialTransport::drain(int ms)
{
    DrainInput(ms);
    return !broken();
}

void SerialTransport::CloseSerialPort()
{
    if (!m_device.isOpen())
        return;
    m_device.purge();
    m_device.close();
}

}  // namespace kv350
