#pragma once
// One reader link to the virtual reader over each way a reader is attached:
// USB HID in process, a real pseudo-terminal, and the in-process serial
// stream. A scenario runs the same steps over each and says what differs.
#include "hexbytes.h"
#include "link/qserialdevice.h"
#include "link/readerlink.h"
#include "link/virtualtime.h"
#include "pages/statusline.h"
#include "sim/core/virtualreader.h"
#include "sim/transports/ptyserver.h"
#include "sim/transports/simhiddevice.h"
#include "sim/transports/simserialstream.h"

#include <QByteArray>
#include <QThread>
#include <functional>
#include <memory>
#include <ostream>
#include <string>

namespace kv350::scenarios {

// 02 02 03 04 reads the scan time: 02 04 03 00 04 05.
inline const QByteArray Request = hex("02020304");
inline const QByteArray Reply = hex("020403000405");

enum class Way { Hid, Pty, Stream };

inline const char *wayName(Way way)
{
    switch (way) {
    case Way::Hid:
        return "hid";
    case Way::Pty:
        return "pty";
    case Way::Stream:
        return "stream";
    }
    return "?";
}

inline void PrintTo(Way way, std::ostream *os)
{
    *os << wayName(way);
}

// Records what the window would show of the status.
struct StatusRecorder : LinkObserver {
    QString status;
    ColourValue colour = ColourRed;
    void stateChanged(LinkState state, const ReaderIdentity &reader) override
    {
        const StatusLine line = statusLine(state, reader, englishText, status);
        status = line.text;
        colour = line.colour;
    }
};

// Wraps a serial device to record how much the transport ever held or read
// at once, and to cut writes short on request.
class WatchedSerial final : public SerialDevice {
public:
    explicit WatchedSerial(SerialDevice &inner) : m_inner(inner) {}
    bool open(const QString &path) override { return m_inner.open(path); }
    void close() override { m_inner.close(); }
    bool isOpen() const override { return m_inner.isOpen(); }
    void purge() override { m_inner.purge(); }
    void purgeInput() override { m_inner.purgeInput(); }
    qint64 write(const QByteArray &bytes) override
    {
        if (m_shortWrites > 0 && bytes.size() > m_keep) {
            --m_shortWrites;
            return m_inner.write(bytes.left(m_keep));
        }
        return m_inner.write(bytes);
    }
    qint64 bytesAvailable() override { return m_inner.bytesAvailable(); }
    QByteArray read(qint64 maxBytes) override
    {
        largestRead = std::max(largestRead, maxBytes);
        return m_inner.read(maxBytes);
    }
    bool waitForReadyRead(int timeoutMs) override { return m_inner.waitForReadyRead(timeoutMs); }
    QString errorText() const override { return m_inner.errorText(); }
    bool broken() const override { return m_inner.broken(); }

    // The next `count` writes put out only their first `keep` bytes.
    void cutWrites(int count, int keep)
    {
        m_shortWrites = count;
        m_keep = keep;
    }
    qint64 largestRead = 0;

private:
    SerialDevice &m_inner;
    int m_shortWrites = 0;
    int m_keep = 0;
};

class Path {
public:
    virtual ~Path() = default;
    Way way() const { return m_way; }
    ReaderLink &link() { return *m_link; }
    StatusRecorder &status() { return m_status; }
    WatchedSerial &serial() { return *m_watched; }
    virtual void withReader(const std::function<void(sim::VirtualReader &)> &f) = 0;
    void queue(const sim::Fault &fault, int count = 1)
    {
        withReader([&](sim::VirtualReader &r) { r.faults().queue(fault, count); });
    }
    // Time going by between two requests: virtual on HID and the stream, real on the pty.
    virtual void idle(int ms) = 0;
    QByteArray response() const
    {
        return QByteArray(reinterpret_cast<const char *>(m_link->ResponseBuffer().data()), m_link->ResponseLength());
    }
    // The reader's log of requests, and how many the reader has seen.
    std::vector<QByteArray> requests()
    {
        std::vector<QByteArray> out;
        withReader([&](sim::VirtualReader &r) { out = r.requests(); });
        return out;
    }

protected:
    explicit Path(Way way) : m_way(way) {}
    void wire(HidBackend &hid, SerialDevice &serial, Clock &clock)
    {
        m_watched = std::make_unique<WatchedSerial>(serial);
        m_link = std::make_unique<ReaderLink>(hid, *m_watched, clock, m_pauses);
        m_link->setObserver(&m_status);
    }
    VirtualTime m_pauses;  // the program's own waits; the virtual paths' clock too

private:
    Way m_way;
    StatusRecorder m_status;
    std::unique_ptr<WatchedSerial> m_watched;
    std::unique_ptr<ReaderLink> m_link;
};

class VirtualPath final : public Path {
public:
    explicit VirtualPath(Way way) : Path(way)
    {
        wire(m_hid, m_stream, m_pauses);
        if (way == Way::Stream)
            link().useSerialPort(QStringLiteral("/dev/virtual-reader"));
    }
    void withReader(const std::function<void(sim::VirtualReader &)> &f) override { f(m_reader); }
    void idle(int ms) override { m_pauses.advance(ms); }
    VirtualTime &time() { return m_pauses; }
    sim::SimHidDevice &hid() { return m_hid; }
    sim::SimSerialStream &stream() { return m_stream; }

private:
    sim::VirtualReader m_reader;
    sim::SimHidDevice m_hid{m_reader, m_pauses};
    sim::SimSerialStream m_stream{m_reader, m_pauses};
};

class PtyPath final : public Path {
public:
    // stablePath: the name the port is opened by, kept pointing at the pty.
    explicit PtyPath(const QString &stablePath = {}) : Path(Way::Pty)
    {
        wire(m_noUsb, m_port, systemClock());
        m_server.setStablePath(stablePath);
        m_started = m_server.start();
        link().useSerialPort(stablePath.isEmpty() ? m_server.devicePath() : stablePath);
    }
    bool started() const { return m_started; }
    void withReader(const std::function<void(sim::VirtualReader &)> &f) override
    {
        m_server.withReader([&](sim::VirtualReader &r) { f(r); });
    }
    void idle(int ms) override { QThread::msleep(ulong(ms)); }
    sim::PtyServer &server() { return m_server; }
    QSerialDevice &port() { return m_port; }

private:
    sim::PtyServer m_server;
    QSerialDevice m_port;
    sim::VirtualReader m_elsewhere;
    sim::SimHidDevice m_noUsb{m_elsewhere, m_pauses};
    bool m_started = false;
};

inline std::unique_ptr<Path> makePath(Way way)
{
    if (way == Way::Pty)
        return std::make_unique<PtyPath>();
    return std::make_unique<VirtualPath>(way);
}

inline constexpr Way AllWays[] = {Way::Hid, Way::Pty, Way::Stream};

}  // namespace kv350::scenarios
