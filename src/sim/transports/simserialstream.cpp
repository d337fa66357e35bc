#include "simserialstream.h"

#include <algorithm>

namespace kv350::sim {

SimSerialStream::SimSerialStream(VirtualReader &reader, Clock &clock) : m_reader(reader), m_clock(clock), m_host(reader)
{
}

bool SimSerialStream::open(const QString &path)
{
    if (m_open) {
        m_error = QStringLiteral("%1 is already open").arg(m_path);
        return false;
    }
    if (!m_openError.isEmpty()) {
        m_error = m_openError;
        return false;
    }
    if (m_reader.faults().isGone(m_clock.nowMs())) {
        m_error = QStringLiteral("%1 does not exist").arg(path);
        return false;
    }
    m_open = true;
    m_broken = false;
    m_path = path;
    m_error.clear();
    m_host.takeStreamed(m_clock.nowMs());  // streamed while the port was closed: lost
    return true;
}

void SimSerialStream::close()
{
    // Bytes still on their way land on a closed port and are lost. The reader's
    // half-received frame is on the other side of the wire and stays.
    m_open = false;
    m_broken = false;
    m_arrived.clear();
    m_inFlight.clear();
}

void SimSerialStream::purge()
{
    purgeInput();
}

void SimSerialStream::purgeInput()
{
    settle(m_clock.nowMs());
    m_arrived.clear();
}

qint64 SimSerialStream::write(const QByteArray &bytes)
{
    const qint64 now = m_clock.nowMs();
    refresh(now);
    if (!m_open || m_broken) {
        m_error = m_open ? QStringLiteral("the device is gone") : QStringLiteral("the port is not open");
        return -1;
    }
    m_written.append(bytes);
    settle(now);  // streamed before the request came
    for (const QByteArray &frame : m_assembler.feed(bytes, now)) {
        const ReaderHost::Outcome outcome = m_host.receive(frame, now);
        if (outcome.writeFails) {
            breakPort();
            m_error = QStringLiteral("the device is gone");
            return -1;
        }
        for (const TimedChunk &chunk : outcome.chunks) {
            const auto at = std::upper_bound(m_inFlight.begin(), m_inFlight.end(), chunk.dueMs,
                                             [](qint64 t, const TimedChunk &c) { return t < c.dueMs; });
            m_inFlight.insert(at, chunk);
        }
    }
    return bytes.size();
}

qint64 SimSerialStream::bytesAvailable()
{
    if (!m_open)
        return 0;
    settle(m_clock.nowMs());
    return m_arrived.size();
}

QByteArray SimSerialStream::read(qint64 maxBytes)
{
    if (!m_open || maxBytes <= 0)
        return {};
    settle(m_clock.nowMs());
    const QByteArray out = m_arrived.left(maxBytes);
    m_arrived.remove(0, out.size());
    return out;
}

bool SimSerialStream::waitForReadyRead(int timeoutMs)
{
    if (!m_open)
        return false;
    const qint64 now = m_clock.nowMs();
    refresh(now);
    settle(now);
    if (!m_arrived.isEmpty())
        return true;
    if (m_broken)
        return false;
    std::optional<qint64> next = m_host.nextStreamedMs();
    if (!m_inFlight.empty() && (!next || m_inFlight.front().dueMs < *next))
        next = m_inFlight.front().dueMs;
    // Pulled out while a reply is awaited: the wait ends there, with nothing.
    const qint64 goneFrom = m_reader.faults().goneFromMs();
    if (goneFrom > now && (!next || goneFrom <= *next) && (timeoutMs < 0 || goneFrom <= now + timeoutMs)) {
        m_clock.blockFor(int(goneFrom - now));
        refresh(m_clock.nowMs());
        return false;
    }
    if (next && (timeoutMs < 0 || *next <= now + timeoutMs)) {
        m_clock.blockFor(int(*next - now));
        settle(m_clock.nowMs());
        return true;
    }
    if (timeoutMs > 0)
        m_clock.blockFor(timeoutMs);
    return false;
}

qint64 SimSerialStream::bytesInFlight() const
{
    qint64 n = 0;
    for (const TimedChunk &chunk : m_inFlight)
        n += chunk.bytes.size();
    return n;
}

void SimSerialStream::settle(qint64 nowMs)
{
    if (m_open && !m_broken) {
        for (const TimedChunk &chunk : m_host.takeStreamed(nowMs)) {
            const auto at = std::upper_bound(m_inFlight.begin(), m_inFlight.end(), chunk.dueMs,
                                             [](qint64 t, const TimedChunk &c) { return t < c.dueMs; });
            m_inFlight.insert(at, chunk);
        }
    }
    while (!m_inFlight.empty() && m_inFlight.front().dueMs <= nowMs) {
        m_arrived.append(m_inFlight.front().bytes);
        m_inFlight.pop_front();
    }
}

void SimSerialStream::refresh(qint64 nowMs)
{
    if (m_open && !m_broken && m_reader.faults().isGone(nowMs))
        breakPort();
}

void SimSerialStream::breakPort()
{
    settle(m_clock.nowMs());
    m_broken = true;
    m_inFlight.clear();
}

}  // namespace kv350::sim
