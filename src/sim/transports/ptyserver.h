#pragma once
#include "sim/core/readerhost.h"
#include "sim/core/simframe.h"
#include "sim/core/virtualreader.h"

#include <QString>
#include <atomic>
#include <deque>
#include <mutex>
#include <thread>

namespace kv350::sim {

// The virtual reader on a pseudo-terminal, in real time, for anything that opens
// a serial port by path (QSerialPort, the command-line tool, a terminal).
// One thread: poll() on the master and on a wake-up pipe, sleeping until input
// or the next chunk is due. The device-gone fault makes the reader fall silent
// until FaultPlan::deviceBack() or its time is up; the pty itself stays. The
// vanish fault is a USB serial adapter pulled out: the pty hangs up, and once
// the device is back a new pty serves (under the stable path, when one is set).
class PtyServer {
public:
    explicit PtyServer(Identity identity = {});
    ~PtyServer();
    PtyServer(const PtyServer &) = delete;
    PtyServer &operator=(const PtyServer &) = delete;

    // Opens the pty and starts serving; false with errorText() when the pty cannot be had.
    bool start();
    // Returns once the thread has ended; what was still to be sent is dropped.
    void stop();
    bool isRunning() const { return m_thread.joinable(); }
    // The slave side, e.g. /dev/pts/3; empty before start(). A new one after a vanish.
    QString devicePath() const
    {
        std::lock_guard<std::mutex> lock(m_pathMutex);
        return m_path;
    }
    // A symbolic link kept pointing at the current pty, as udev keeps
    // /dev/serial/by-id names; gone while the device is. Set before start().
    void setStablePath(const QString &path) { m_stablePath = path; }
    // False while the device has vanished.
    bool isPresent() const
    {
        std::lock_guard<std::mutex> lock(m_pathMutex);
        return m_master >= 0;
    }
    QString errorText() const { return m_error; }
    // The adapter pulled out now, between requests: the pty hangs up at once
    // and the device stays away for goneMs (< 0: until FaultPlan::deviceBack()).
    void hangUp(int goneMs = -1);

    // Runs f(reader) under the lock the serving thread takes for each request.
    template<class F>
    auto withReader(F f)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return f(m_reader);
    }

private:
    void serve();
    void queue(const std::vector<TimedChunk> &chunks);
    void closeFds();
    bool openPty();
    void closePty();

    VirtualReader m_reader;
    ReaderHost m_host;
    std::mutex m_mutex;
    std::thread m_thread;
    StreamAssembler m_assembler;
    std::deque<TimedChunk> m_outbox;  // by due time; serving thread only
    QByteArray m_writing;             // the part of a chunk the master did not take yet
    int m_master = -1;
    int m_slave = -1;  // held open so the master never sees a hang-up when a client closes
    int m_wake[2] = {-1, -1};
    QString m_path;
    QString m_stablePath;
    mutable std::mutex m_pathMutex;  // m_path and m_master, read by other threads
    qint64 m_vanishAtMs = -1;        // serving thread only
    std::atomic<bool> m_hangUpNow{false};
    QString m_error;
};

}  // namespace kv350::sim
