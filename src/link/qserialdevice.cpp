#include "qserialdevice.h"

namespace kv350 {
namespace {

QString describeOpenError(const QString &path, QSerialPort::SerialPortError error, const QString &detail)
{
    switch (error) {
    case QSerialPort::DeviceNotFoundError:
        return QStringLiteral("%1: no such serial port").arg(path);
    case QSerialPort::PermissionError:
#ifdef Q_OS_LINUX
        return QStringLiteral("%1: permission denied or port busy (%2); if another program holds it, close "
                              "that program; otherwise add your user to the 'dialout' group and log in again")
            .arg(path, detail);
#else
        return QStringLiteral("%1: permission denied or port busy (%2)").arg(path, detail);
#endif
    default:
        return QStringLiteral("%1: %2").arg(path, detail);
    }
}

}  // namespace

bool QSerialDevice::open(const QString &path)
{
    close();
    m_port.setPortName(path);
    // The settings are applied by open(); a port that opens but refuses one of
    // them is still used, as a driver that ignores line settings works anyway.
    m_port.setBaudRate(QSerialPort::Baud115200);
    m_port.setDataBits(QSerialPort::Data8);
    m_port.setParity(QSerialPort::NoParity);
    m_port.setStopBits(QSerialPort::OneStop);
    m_port.setFlowControl(QSerialPort::NoFlowControl);
    m_port.setReadBufferSize(512);
    if (!m_port.open(QIODevice::ReadWrite)) {
        m_error = describeOpenError(path, m_port.error(), m_port.errorString());
        return false;
    }
    m_error.clear();
    purge();
    return true;
}

void QSerialDevice::close()
{
    if (m_port.isOpen())
        m_port.close();
}

void QSerialDevice::purge()
{
    if (m_port.isOpen())
        m_port.clear(QSerialPort::AllDirections);
}

void QSerialDevice::purgeInput()
{
    if (m_port.isOpen())
        m_port.clear(QSerialPort::Input);
}

qint64 QSerialDevice::write(const QByteArray &bytes)
{
    if (!m_port.isOpen())
        return -1;
    const qint64 queued = m_port.write(bytes);
    // One synchronous write, as the reader expects the whole frame at once.
    while (queued > 0 && m_port.bytesToWrite() > 0) {
        if (!m_port.waitForBytesWritten(500))
            break;
    }
    if (queued < 0)
        m_error = m_port.errorString();
    return queued;
}

bool QSerialDevice::waitForReadyRead(int timeoutMs)
{
    if (!m_port.isOpen())
        return false;
    return m_port.waitForReadyRead(timeoutMs);
}

bool QSerialDevice::broken() const
{
    const auto e = m_port.error();
    return e == QSerialPort::ResourceError || e == QSerialPort::DeviceNotFoundError ||
           e == QSerialPort::PermissionError;
}

}  // namespace kv350
