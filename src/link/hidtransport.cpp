#include "hidtransport.h"

namespace kv350 {

Sent HidTransport::send(const std::uint8_t *frame, int length)
{
    ClearPODBuffer(m_pod);
    int written = 0;
    return WriteData(m_pod, frame, length, &written) == 0 ? Sent::Whole : Sent::Failed;
}

Received HidTransport::receive(std::uint8_t *into, int limit, int windowMs)
{
    const qint64 deadline = m_pod.clock->nowMs() + qMax(0, windowMs);
    Received r;
    const int result = ReadDataWithin(m_pod, into, limit, &r.length, windowMs);
    if (result < 0)
        r.kind = Received::Gone;
    else if (result == 0)
        r.kind = Received::Frame;
    else if (r.length > 0)
        r.kind = Received::Cut;
    else
        r.windowOver = m_pod.clock->nowMs() >= deadline;  // else a run of stray reports ended the read
    return r;
}

QString HidTransport::describe() const
{
    const QString ids = QStringLiteral("USB %1:%2")
                            .arg(m_pod.VID, 4, 16, QLatin1Char('0'))
                            .arg(m_pod.PID, 4, 16, QLatin1Char('0'))
                            .toUpper();
    return m_pod.path.isEmpty() ? ids : ids + QStringLiteral(" at ") + m_pod.path;
}

}  // namespace kv350
