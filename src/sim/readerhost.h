#pragma once
#include "virtualreader.h"

#include <QByteArray>
#include <QtGlobal>
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
    };
    // A whole frame arriving at nowMs.
    Outcome receive(const QByteArray &frame, qint64 nowMs);

    // Offline from the moment the reboot reply is out, for the reboot time.
    bool isRebooting(qint64 nowMs) const;
    qint64 offlineFromMs() const { return m_offlineFromMs; }  // -1: no reboot yet
    qint64 offlineUntilMs() const { return m_offlineUntilMs; }

    VirtualReader &reader() { return m_reader; }

private:
    VirtualReader &m_reader;
    qint64 m_offlineFromMs = -1;
    qint64 m_offlineUntilMs = -1;
};

}  // namespace kv350::sim
