#pragma once
#include "clock.h"
#include "frame.h"
#include "serialdevice.h"
#include "transport.h"

#include <cstdint>

namespace kv350 {

// The reader on a serial port: purge before every request, one frame back
// within 500 ms of the start of the read.
class SerialTransport final : public Transport {
public:
    static constexpr int ReplyWindowMs = 500;
    // More bytes waiting than this cannot be a reply: they are discarded.
    static constexpr int MaxWaiting = 256;

    SerialTransport(SerialDevice &device, Clock &clock) : m_device(device), m_clock(clock) {}

    // The port open() opens.
    void setPortPath(const QString &portPath) { m_path = portPath; }
    const QString &portPath() const { return m_path; }

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

    // The port failed under its open handle (a USB serial adapter pulled out).
    bool broken() const { return m_device.isOpen() && m_device.broken(); }

    // Transport
    bool open() override { return OpenSerialPort(m_path); }
    void close() override { CloseSerialPort(); }
    bool isOpen() const override { return m_device.isOpen(); }
    bool openProvesReader() const override { return false; }
    int settleMs() const override { return 0; }
    int replyWindowMs() const override { return ReplyWindowMs; }
    Sent send(const std::uint8_t *frame, int length) override;
    // The frame as found, whatever the limit; a 0 is written behind it.
    Received receive(std::uint8_t *into, int limit, int windowMs) override;
    bool drain(int ms) override;
    QString describe() const override { return m_path; }
    QString errorText() const override { return m_device.errorText(); }
    LinkError goneError() const override { return LinkError::PortGone; }
    // See SerialDevice::setHangUpHandler.
    void setHangUpHandler(std::function<void()> handler) { m_device.setHangUpHandler(std::move(handler)); }

private:
    SerialDevice &m_device;
    Clock &m_clock;
    FrameCollector m_collector;
    QString m_path;
};

}  // namespace kv350
