#pragma once
#include "serialdevice.h"

#include <QSerialPort>

namespace kv350 {

// A real serial port (or a pseudo-terminal) through QSerialPort, used
// synchronously: QSerialPort's waits block in poll(), so the CPU idles.
class QSerialDevice final : public SerialDevice {
public:
    QSerialDevice();
    bool open(const QString &path) override;
    void close() override;
    bool isOpen() const override { return m_port.isOpen(); }
    void purge() override;
    void purgeInput() override;
    qint64 write(const QByteArray &bytes) override;
    qint64 bytesAvailable() override { return m_port.bytesAvailable(); }
    QByteArray read(qint64 maxBytes) override { return m_port.read(maxBytes); }
    bool waitForReadyRead(int timeoutMs) override;
    // A port that failed under its handle says why in its own words.
    QString errorText() const override { return m_port.isOpen() && broken() ? m_port.errorString() : m_error; }
    bool broken() const override;
    void setHangUpHandler(std::function<void()> handler) override { m_onHangUp = std::move(handler); }

private:
    void errorOccurred(QSerialPort::SerialPortError error);

    QSerialPort m_port;
    QString m_error;
    // Set once the port failed under its open handle; QSerialPort's own error
    // is overwritten by whatever comes next (a write error, a time-out).
    bool m_hungUp = false;
    std::function<void()> m_onHangUp;
};

}  // namespace kv350
