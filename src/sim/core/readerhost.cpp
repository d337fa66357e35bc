#include "readerhost.h"

#include <algorithm>

namespace kv350::sim {

ReaderHost::Outcome ReaderHost::receive(const QByteArray &frame, qint64 nowMs)
{
    Outcome outcome;
    if (isRebooting(nowMs)) {
        outcome.ignored = true;
        return outcome;
    }
    FaultPlan &plan = m_reader.faults();
    if (plan.isGone(nowMs)) {
        outcome.writeFails = true;
        return outcome;
    }
    const Fault fault = plan.takeNext();
    if (fault.kind == FaultKind::DeviceGone) {
        // The request never reaches the reader.
        plan.setGone(nowMs, fault.goneMs);
        outcome.writeFails = true;
        return outcome;
    }
    if (fault.kind == FaultKind::Vanish) {
        // Carried out, then the device leaves before its reply is out.
        m_reader.handle(frame);
        outcome.vanishAtMs = nowMs + std::max(0, fault.delayMs);
        plan.setGone(nowMs, fault.goneMs, outcome.vanishAtMs);
        if (m_reader.takeRebootRequest()) {  // it restarts while it is away
            m_offlineFromMs = outcome.vanishAtMs;
            m_offlineUntilMs = m_offlineFromMs + std::max(0, m_reader.rebootTimeMs());
        }
        return outcome;
    }
    const Delivery delivery = FaultPlan::shape(fault, m_reader.handle(frame));
    int lastMs = 0;
    for (const Chunk &chunk : delivery) {
        outcome.chunks.push_back({nowMs + chunk.delayMs, chunk.bytes, chunk.continues});
        lastMs = std::max(lastMs, chunk.delayMs);
    }
    if (m_reader.takeRebootRequest()) {
        m_offlineFromMs = nowMs + lastMs;
        m_offlineUntilMs = m_offlineFromMs + std::max(0, m_reader.rebootTimeMs());
    }
    FrameStream *stream = m_reader.activeStream();
    if (!stream)
        m_streaming = false;
    else if (!m_streaming) {
        m_streaming = true;
        m_streamNextMs = nowMs + lastMs + std::max(1, stream->periodMs());
    }
    return outcome;
}

FrameStream *ReaderHost::liveStream()
{
    FrameStream *stream = m_streaming ? m_reader.activeStream() : nullptr;
    if (!stream)
        m_streaming = false;
    return stream;
}

std::vector<TimedChunk> ReaderHost::takeStreamed(qint64 uptoMs)
{
    std::vector<TimedChunk> chunks;
    FrameStream *stream = liveStream();
    if (!stream)
        return chunks;
    const int period = std::max(1, stream->periodMs());
    const qint64 behind = (uptoMs - m_streamNextMs) / period + 1;
    if (behind > MaxStreamBacklog)
        m_streamNextMs += (behind - MaxStreamBacklog) * period;
    while (m_streamNextMs <= uptoMs) {
        chunks.push_back({m_streamNextMs, stream->nextFrame(), false});
        m_streamNextMs += period;
    }
    return chunks;
}

std::optional<qint64> ReaderHost::nextStreamedMs()
{
    if (!liveStream())
        return std::nullopt;
    return m_streamNextMs;
}

bool ReaderHost::isRebooting(qint64 nowMs) const
{
    return m_offlineFromMs >= 0 && nowMs >= m_offlineFromMs && nowMs < m_offlineUntilMs;
}

}  // namespace kv350::sim
