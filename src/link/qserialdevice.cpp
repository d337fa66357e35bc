#include "qserialdevice.h"

#include "portopenfailure.h"

namespace kv350 {
namespace {

// A pulled USB adapter reads as a resource error; a pty whose other side
// closed (and some drivers) as a read error. Either way no byte comes again.
bool portGone(QSerialPort::SerialPortError e)
{
    return e == QSerialPort::ResourceError || e == QSerialPort::DeviceNotFoundError ||
           e == QSerialPort::PermissionError || e == QSerialPort::ReadError;
}

}  // namespace

QSerialDevice::QSerialDevice()
{
    QObject::connect(&m_port, &QSerialPort::errorOccurred, &m_port,
                     [this](QSerialPort::SerialPortError e) { errorOccurred(e); });
}

void QSerialDevice::errorOccurred(QSerialPort::SerialPortError error)
{
    if (m_hungUp || !m_port.isOpen() || !portGone(error))
        return;
    // A hung-up descriptor stays readable: QSerialPort's notifier then wakes
    // the event loop again and again, reading nothing, for as long as the port
    // is open. The owner is told from the event loop (this may be deep inside
    // a QSerialPort call) and closes the port.
    m_hungUp = true;
    QMetaObject::invokeMethod(
        &m_port,
        [this] {
            if (m_hungUp && m_port.isOpen() && m_onHangUp)
                m_onHangUp();
        },
        Qt::QueuedConnection);
}

bool QSerialDevice::open(const QString &path)
{
    close();
    m_hungUp = false;
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
        m_error = describePortOpenFailure(path, m_port.error(), m_port.errorString());
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
    m_hungUp = false;
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
    if (queued < 0) {
        m_error = m_port.errorString();
        return queued;
    }
    // One synchronous write, as the reader expects the whole frame at once.
    while (m_port.bytesToWrite() > 0) {
        if (!m_port.waitForBytesWritten(500))
            break;
    }
    const qint64 unsent = m_port.bytesToWrite();
    if (unsent > 0) {
        // What did not go out now must not go out later, glued to the next request.
        m_port.clear(QSerialPort::Output);
        m_error = QStringLiteral("%1 of %2 bytes were not sent").arg(unsent).arg(bytes.size());
    }
    return queued - unsent;
}

bool QSerialDevice::waitForReadyRead(int timeoutMs)
{
    if (!m_port.isOpen())
        return false;
    return m_port.waitForReadyRead(timeoutMs);
}

bool QSerialDevice::broken() const
{
    return m_hungUp || portGone(m_port.error());
}

}  // namespace kv350
