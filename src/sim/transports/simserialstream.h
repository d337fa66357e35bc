#pragma once
#include "link/clock.h"
#include "link/serialdevice.h"
#include "sim/core/readerhost.h"
#include "sim/core/simframe.h"

#include <deque>

namespace kv350::sim {

// The virtual reader behind an in-process serial port on a Clock. Bytes take no
// time on the line; a reply's chunks arrive at the times the fault plan gives.
// While the reader reboots it ignores what it is sent. The device-gone fault
// breaks the open port like a pulled USB adapter: write fails, nothing more
// arrives, and only a close and an open after the device is back cure it.
class SimSerialStream final : public SerialDevice {
public:
    SimSerialStream(VirtualReader &reader, Clock &clock);

    // open() fails with this text (port missing or busy); empty: it opens.
    void setOpenError(const QString &text) { m_openError = text; }

    // Fails when already open, like QSerialPort.
    bool open(const QString &path) override;
    void close() override;
    bool isOpen() const override { return m_open; }
    // Both drop what has arrived and not been read; a reply still on its way is not touched.
    void purge() override;
    void purgeInput() override;
    qint64 write(const QByteArray &bytes) override;
    qint64 bytesAvailable() override;
    QByteArray read(qint64 maxBytes) override;
    // True at once when input is waiting. A negative timeout waits for the next
    // chunk in flight and returns false at once when there is none.
    bool waitForReadyRead(int timeoutMs) override;
    QString errorText() const override { return m_error; }
    bool broken() const override { return m_broken; }

    QString portName() const { return m_path; }
    // Every byte the program wrote, in order, while open.
    const QByteArray &written() const { return m_written; }
    qint64 bytesInFlight() const;
    StreamAssembler &assembler() { return m_assembler; }
    ReaderHost &host() { return m_host; }

private:
    void settle(qint64 nowMs);
    void refresh(qint64 nowMs);
    void breakPort();

    VirtualReader &m_reader;
    Clock &m_clock;
    ReaderHost m_host;
    StreamAssembler m_assembler;
    bool m_open = false;
    bool m_broken = false;
    QString m_path;
    QString m_openError;
    QString m_error;
    QByteArray m_arrived;
    std::deque<TimedChunk> m_inFlight;  // by due time
    QByteArray m_written;
};

}  // namespace kv350::sim
