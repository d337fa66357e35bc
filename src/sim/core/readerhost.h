#pragma once
#include "sim/core/virtualreader.h"

#include <QByteArray>
#include <QtGlobal>
#include <optional>
#include <vector>

namespace kv350::sim {

struct TimedChunk {
    qint64 dueMs = 0;
    QByteArray bytes;
    bool continues = false;
};

// The reader as a device on one transport's clock: the fault plan, the reboot's
// offline time and the device-gone fault, around VirtualReader::handle().
class ReaderHost {
public:
    explicit ReaderHost(VirtualReader &reader) : m_reader(reader) {}

    struct Outcome {
        bool writeFails = false;  // device gone: the write carrying the request fails
        bool ignored = false;     // the reader is rebooting and hears nothing
        std::vector<TimedChunk> chunks;
        qint64 vanishAtMs = -1;  // the device goes away then, before any reply (FaultKind::Vanish)
    };
    // A whole frame arriving at nowMs.
    Outcome receive(const QByteArray &frame, qint64 nowMs);

    // Offline from the moment the reboot reply is out, for the reboot time.
    bool isRebooting(qint64 nowMs) const;
    qint64 offlineFromMs() const { return m_offlineFromMs; }  // -1: no reboot yet
    qint64 offlineUntilMs() const { return m_offlineUntilMs; }

    VirtualReader &reader() { return m_reader; }

    // Frames the reader streams of its own accord (FrameStream), on this
    // transport: only the transport that carried the request which started
    // the stream gets them, from one period after that request's reply on.
    // Frames due up to uptoMs, in order; a transport that is not read for a
    // long time keeps only the latest MaxStreamBacklog, as a device's input
    // buffer would.
    static constexpr int MaxStreamBacklog = 64;
    std::vector<TimedChunk> takeStreamed(qint64 uptoMs);
    // When the next streamed frame is due; nothing while none is streaming.
    std::optional<qint64> nextStreamedMs();

private:
    FrameStream *liveStream();

    VirtualReader &m_reader;
    qint64 m_offlineFromMs = -1;
    qint64 m_offlineUntilMs = -1;
    bool m_streaming = false;
    qint64 m_streamNextMs = 0;
};

}  // namespace kv350::sim
