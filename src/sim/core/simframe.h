#pragma once
// The reader's own frame code. It deliberately shares nothing with link/frame.h:
// the program and the virtual reader each parse the other's bytes themselves.

#include <QByteArray>
#include <QtGlobal>
#include <cstdint>
#include <optional>
#include <vector>

namespace kv350::sim {

struct Request {
    std::uint8_t cmd = 0;
    QByteArray data;
};

// A whole request frame: STX, LEN counting the bytes after it, at least CMD.
// Anything else is not a request and the reader stays silent.
std::optional<Request> parseRequest(const QByteArray &frame);

// 02 LEN CMD STA DATA...; data is at most 253 bytes so that LEN fits its byte.
QByteArray makeReply(std::uint8_t cmd, std::uint8_t sta, const QByteArray &data = {});

inline std::uint8_t byteAt(const QByteArray &bytes, int index)
{
    return static_cast<std::uint8_t>(bytes.at(index));
}

// Cuts request frames out of a serial byte stream. Bytes before an STX are line
// noise. A frame whose remaining bytes stop coming is dropped after staleMs, so
// an aborted write (or a LEN larger than what was sent) cannot swallow the next
// request.
class StreamAssembler {
public:
    explicit StreamAssembler(int staleMs = 100) : m_staleMs(staleMs) {}
    std::vector<QByteArray> feed(const QByteArray &bytes, qint64 nowMs);
    void reset() { m_buffer.clear(); }
    int pendingBytes() const { return int(m_buffer.size()); }
    int staleMs() const { return m_staleMs; }
    void setStaleMs(int ms) { m_staleMs = ms; }

private:
    QByteArray m_buffer;
    qint64 m_lastByteMs = 0;
    int m_staleMs;
};

}  // namespace kv350::sim
