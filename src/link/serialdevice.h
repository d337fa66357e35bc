#pragma once
#include <QByteArray>
#include <QString>
#include <functional>

namespace kv350 {

// A serial port at 115200 8N1 as the transport sees it. QSerialPort in
// production (and on a pseudo-terminal in tests); the virtual reader's
// in-process byte stream in virtual-time tests.
class SerialDevice {
public:
    virtual ~SerialDevice() = default;
    // Opens path exclusively, 115200 baud, no parity, 8 data bits, 1 stop bit.
    virtual bool open(const QString &path) = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    virtual void purge() = 0;       // discard unread input and unsent output
    virtual void purgeInput() = 0;  // discard unread input only
    virtual qint64 write(const QByteArray &bytes) = 0;
    virtual qint64 bytesAvailable() = 0;
    virtual QByteArray read(qint64 maxBytes) = 0;
    // Blocks until input is available or timeoutMs passed; never spins.
    virtual bool waitForReadyRead(int timeoutMs) = 0;
    virtual QString errorText() const = 0;
    // True once the device failed under an open handle (unplugged): reads and
    // waits then return at once, so callers must stop rather than retry.
    virtual bool broken() const { return false; }
    // Called from the event loop, never inside a call of this interface, once
    // the device has failed under an open handle (a pty hung up, an adapter
    // pulled out) while nobody was reading it. A device that cannot tell
    // never calls it; the owner then finds out at its next read or write.
    virtual void setHangUpHandler(std::function<void()> handler) { Q_UNUSED(handler); }
};

}  // namespace kv350
