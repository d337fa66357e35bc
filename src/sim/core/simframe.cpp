#include "simframe.h"

#include "common/protocol.h"

namespace kv350::sim {

std::optional<Request> parseRequest(const QByteArray &frame)
{
    if (frame.size() < 3 || byteAt(frame, proto::OffStx) != proto::Stx)
        return std::nullopt;
    if (byteAt(frame, proto::OffLen) != frame.size() - 2)
        return std::nullopt;
    Request request;
    request.cmd = byteAt(frame, proto::OffCmd);
    request.data = frame.mid(proto::OffReqData);
    return request;
}

QByteArray makeReply(std::uint8_t cmd, std::uint8_t sta, const QByteArray &data)
{
    Q_ASSERT(data.size() <= 253);
    QByteArray reply;
    reply.reserve(4 + data.size());
    reply.append(char(proto::Stx));
    reply.append(char(2 + data.size()));
    reply.append(char(cmd));
    reply.append(char(sta));
    reply.append(data);
    return reply;
}

std::vector<QByteArray> StreamAssembler::feed(const QByteArray &bytes, qint64 nowMs)
{
    if (!m_buffer.isEmpty() && nowMs - m_lastByteMs > m_staleMs)
        m_buffer.clear();
    if (!bytes.isEmpty())
        m_lastByteMs = nowMs;
    m_buffer.append(bytes);

    std::vector<QByteArray> frames;
    for (;;) {
        const qsizetype stx = m_buffer.indexOf(char(proto::Stx));
        if (stx < 0) {
            m_buffer.clear();
            break;
        }
        m_buffer.remove(0, stx);
        if (m_buffer.size() < 2)
            break;
        const int total = byteAt(m_buffer, proto::OffLen) + 2;
        if (m_buffer.size() < total)
            break;
        frames.push_back(m_buffer.left(total));
        m_buffer.remove(0, total);
    }
    return frames;
}

}  // namespace kv350::sim
