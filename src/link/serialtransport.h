#pragma once
#include "clock.h"
#include "frame.h"
#include "serialdevice.h"

#include <cstdint>

namespace kv350 {

// The reader on a serial port: purge before every request, one frame back
// within 500 ms of the start of the read.
class SerialTransport {
public:
    static constexpr int ReplyWindowMs = 500;
    // More bytes waiting than this cannot be a reply: they are discarded.
    static constexpr int MaxWaiting = 256;

    SerialTransport(SerialDevice &device, Clock &clock) : m_device(device), m_clock(clock) {}

    bool OpenSerialPort(const QString &portPath);
    // Purges, then writes the frame; returns false only when the port is not open
    // or refused the bytes (the caller still waits for its reply window).
    bool WriteSerialPort(const std::uint8_t *bytes, int count);
    // Collects one frame into buffer (256 bytes) and returns its length, with
    // a 0 written behind it; 0 when no complete frame came within the window.
    int ReadSerialFrame(std::uint8_t *buffer) { return ReadSerialFrame(buffer, ReplyWindowMs); }
    // The same within windowMs.
    int ReadSerialFrame(std::uint8_t *buffer, int windowMs);
    // Throws away whatever arrives for ms (sleeping in the device meanwhile);
    // the number of bytes thrown away.
    qint64 DrainInput(int ms);
    void CloseSerialPort();

    bool isOpen() const { return m_device.isOpen(); }
    // The port failed under its open handle (a USB serial adapter pulled out).
    bool broken() const { return m_device.isOpen() && m_device.broken(); }
    QString errorText() const { return m_device.errorText(); }
    // See SerialDevice::setHangUpHandler.
    void setHangUpHandler(std::function<void()> handler) { m_device.setHangUpHandler(std::move(handler)); }

private:
    SerialDevice &m_device;
    Clock &m_clock;
    FrameCollector m_collector;
};

}  // namespace kv350
