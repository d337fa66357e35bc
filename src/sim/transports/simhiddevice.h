#pragma once
#include "link/clock.h"
#include "link/hidbackend.h"
#include "sim/core/readerhost.h"
#include "sim/transports/hidframing.h"

#include <deque>
#include <vector>

namespace kv350::sim {

// The virtual reader as an in-process USB HID device on a Clock. Nothing runs
// by itself: reports carry due times and every call looks at the clock.
//
// Unplugging (by a test, a reboot or the device-gone fault) breaks an open
// handle for good: it must be closed and opened again once the device is back.
// Reports that were due before the unplug can still be read from the broken
// handle, as from a real one; after them it reads -1.
class SimHidDevice final : public HidBackend {
public:
    // Unread input reports a handle keeps; later ones are lost until it is read.
    static constexpr int MaxUnreadReports = 64;

    SimHidDevice(VirtualReader &reader, Clock &clock);

    void setIds(std::uint16_t vid, std::uint16_t pid);
    std::uint16_t vid() const { return m_vid; }
    std::uint16_t pid() const { return m_pid; }

    // An open with other ids fails, like an open with no such device attached.
    bool open(std::uint16_t vid, std::uint16_t pid) override;
    void close() override;
    bool isOpen() const override { return m_open; }
    // A payload longer than one report is refused (-1).
    int writeReport(const QByteArray &payload) override;
    // Input reports are always 64 bytes. A negative timeout waits for the next
    // report in flight and returns 0 at once when there is none.
    int readReport(QByteArray &out, int timeoutMs) override;
    QString errorText() const override { return m_error; }
    // Other ids, or the reader unplugged: no such device.
    LinkError openError() const override { return m_openError; }

    void unplug();
    void plug();
    bool isPresent() const { return present(m_clock.nowMs()); }
    bool isUnplugged() const { return m_unplugged; }
    // The serial number in the device's USB descriptor: the one the reader
    // reports for command 0x0D, as a reader's firmware would give both.
    QString descriptorSerial() const;

    // Every output report as it went on the wire (zero-padded to 64).
    const std::vector<QByteArray> &writtenReports() const { return m_written; }
    int reportsInFlight() const { return int(m_inbox.size()); }
    ReaderHost &host() { return m_host; }

private:
    struct Report {
        qint64 dueMs;
        QByteArray bytes;
    };

    bool present(qint64 nowMs) const;
    bool rebootAfterOpen() const;
    void refresh(qint64 nowMs);
    void breakHandle(qint64 atMs);
    void enqueue(const std::vector<TimedChunk> &chunks);
    void pullStreamed(qint64 nowMs, qint64 horizonMs);
    void dropOverflow(qint64 nowMs);
    void waitUntil(qint64 dueMs);

    VirtualReader &m_reader;
    Clock &m_clock;
    ReaderHost m_host;
    std::uint16_t m_vid;
    std::uint16_t m_pid;
    bool m_open = false;
    bool m_broken = false;
    bool m_unplugged = false;
    qint64 m_openedAtMs = 0;
    ReportAssembler m_assembler;
    std::deque<Report> m_inbox;  // by due time
    std::vector<QByteArray> m_written;
    QString m_error;
    LinkError m_openError = LinkError::None;
};

}  // namespace kv350::sim
