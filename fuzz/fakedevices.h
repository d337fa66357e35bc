#pragma once
// A serial port and a USB HID device whose input is a script of timed pieces,
// in virtual time, for the targets that drive the link. Each piece carries a
// tag (the transaction it answers) so that a target can tell whose bytes the
// link read. Both refuse to be asked again and again while no time passes: a
// link that spins fails the property instead of hanging the fuzzer.

#include "fuzztarget.h"
#include "link/hidbackend.h"
#include "link/serialdevice.h"
#include "link/virtualtime.h"

#include <QByteArray>
#include <deque>
#include <functional>
#include <iterator>
#include <vector>

namespace kv350::fuzz {

// Asked this often at one instant, a device is being polled in a busy loop.
inline constexpr int MaxCallsWithoutTime = 1000;

struct Piece {
    qint64 atMs = 0;
    QByteArray bytes;
    int tag = 0;
    bool breaksDevice = false;  // the device goes away at atMs (adapter or USB cable pulled)
};

// Pieces in time order; equal times keep the order they were added in.
class PieceQueue {
public:
    void add(Piece piece)
    {
        auto it = m_pieces.end();
        while (it != m_pieces.begin() && std::prev(it)->atMs > piece.atMs)
            --it;
        m_pieces.insert(it, std::move(piece));
    }
    bool empty() const { return m_pieces.empty(); }
    const Piece &front() const { return m_pieces.front(); }
    Piece take()
    {
        Piece p = std::move(m_pieces.front());
        m_pieces.pop_front();
        return p;
    }
    // Every piece still on its way arrives now (see settle()).
    void dueAll(qint64 nowMs)
    {
        for (Piece &p : m_pieces)
            p.atMs = qMin(p.atMs, nowMs);
    }
    void clear() { m_pieces.clear(); }

private:
    std::deque<Piece> m_pieces;
};

class SpinGuard {
public:
    explicit SpinGuard(VirtualTime &time) : m_time(time) {}
    void touch(const char *call)
    {
        if (m_time.nowMs() != m_lastMs) {
            m_lastMs = m_time.nowMs();
            m_calls = 0;
        }
        KV350_FUZZ_CHECK(++m_calls < MaxCallsWithoutTime, std::string("the link polls ") + call + " in a loop");
    }

private:
    VirtualTime &m_time;
    qint64 m_lastMs = -1;
    int m_calls = 0;
};

// What both scripted devices share: the script, the open and broken state,
// the hook that answers a write, and the log of whose bytes were read.
class ScriptedDevice {
public:
    explicit ScriptedDevice(VirtualTime &time) : m_time(time), m_guard(time) {}

    // Called with every frame (serial) or output report (HID) the program
    // writes; it may add the reply.
    std::function<void(const QByteArray &)> onWrite;

    void add(Piece piece) { m_script.add(std::move(piece)); }
    void setOpenFails(bool fails) { m_openFails = fails; }
    // Tags of what was read since the last write (or clearReadLog()): one per
    // byte on the serial port, one per report on HID.
    const std::vector<int> &readTags() const { return m_readTags; }
    void clearReadLog() { m_readTags.clear(); }
    int opens() const { return m_opens; }

protected:
    // Opens unless open already or told to fail; the caller empties its input.
    bool openDevice()
    {
        if (m_open || m_openFails)
            return false;
        m_open = true;
        m_broken = false;
        ++m_opens;
        return true;
    }

    VirtualTime &m_time;
    SpinGuard m_guard;
    PieceQueue m_script;
    std::vector<int> m_readTags;
    bool m_open = false;
    bool m_broken = false;
    bool m_openFails = false;
    int m_opens = 0;
};

class ScriptedSerial final : public SerialDevice, public ScriptedDevice {
public:
    explicit ScriptedSerial(VirtualTime &time) : ScriptedDevice(time) {}

    // Between two transactions: whatever is still on its way has arrived by now,
    // so that every byte of one request's reply is on the port before the next
    // request is written (a reader answers one request at a time).
    void settle()
    {
        m_script.dueAll(m_time.nowMs());
        arrive();
    }

    bool open(const QString &) override
    {
        if (!openDevice())
            return false;
        m_waiting.clear();
        return true;
    }
    void close() override
    {
        m_open = false;
        m_waiting.clear();
    }
    bool isOpen() const override { return m_open; }
    void purge() override
    {
        arrive();
        m_waiting.clear();
    }
    void purgeInput() override { purge(); }
    qint64 write(const QByteArray &bytes) override
    {
        KV350_FUZZ_CHECK(m_open, "write on a closed port");
        m_readTags.clear();
        if (m_broken)
            return -1;
        if (onWrite)
            onWrite(bytes);
        return bytes.size();
    }
    qint64 bytesAvailable() override
    {
        m_guard.touch("bytesAvailable");
        arrive();
        return qint64(m_waiting.size());
    }
    QByteArray read(qint64 maxBytes) override
    {
        m_guard.touch("read");
        arrive();
        QByteArray out;
        while (maxBytes-- > 0 && !m_waiting.empty()) {
            out.append(char(m_waiting.front().first));
            m_readTags.push_back(m_waiting.front().second);
            m_waiting.pop_front();
        }
        return out;
    }
    bool waitForReadyRead(int timeoutMs) override
    {
        m_guard.touch("waitForReadyRead");
        KV350_FUZZ_CHECK(timeoutMs >= 0, "a wait without end");
        arrive();
        if (!m_waiting.empty())
            return true;
        if (!m_open || m_broken)
            return false;
        const qint64 until = m_time.nowMs() + timeoutMs;
        while (!m_script.empty() && m_script.front().atMs <= until) {
            m_time.advance(m_script.front().atMs - m_time.nowMs());
            arrive();
            if (!m_waiting.empty())
                return true;
            if (m_broken)
                return false;
        }
        m_time.advance(until - m_time.nowMs());
        return false;
    }
    QString errorText() const override { return m_broken ? QStringLiteral("gone") : QString(); }
    bool broken() const override { return m_broken; }

private:
    void arrive()
    {
        while (!m_script.empty() && m_script.front().atMs <= m_time.nowMs()) {
            const Piece p = m_script.take();
            if (p.breaksDevice)
                m_broken = true;
            if (!m_open || m_broken)
                continue;
            for (char c : p.bytes)
                m_waiting.emplace_back(std::uint8_t(c), p.tag);
        }
    }

    std::deque<std::pair<std::uint8_t, int>> m_waiting;
};

// Input reports are pieces of at most 64 bytes. Like hidraw, the device keeps
// at most 64 reports that were not read and drops newer ones when full.
class ScriptedHid final : public HidBackend, public ScriptedDevice {
public:
    static constexpr int QueueCapacity = 64;

    explicit ScriptedHid(VirtualTime &time) : ScriptedDevice(time) {}

    void settle()
    {
        m_script.dueAll(m_time.nowMs());
        arrive();
    }
    bool gone() const { return m_broken; }

    bool open(std::uint16_t, std::uint16_t) override
    {
        if (!openDevice())
            return false;
        m_queue.clear();
        return true;
    }
    void close() override
    {
        m_open = false;
        m_queue.clear();
    }
    bool isOpen() const override { return m_open; }
    int writeReport(const QByteArray &payload) override
    {
        KV350_FUZZ_CHECK(m_open, "write to a closed device");
        KV350_FUZZ_CHECK(payload.size() == 64, "an output report of " + std::to_string(payload.size()) + " bytes");
        m_readTags.clear();
        arrive();
        if (m_broken)
            return -1;
        if (onWrite)
            onWrite(payload);
        return int(payload.size());
    }
    int readReport(QByteArray &out, int timeoutMs) override
    {
        m_guard.touch("readReport");
        KV350_FUZZ_CHECK(timeoutMs >= 0, "a read without end");
        KV350_FUZZ_CHECK(m_open, "read from a closed device");
        const qint64 until = m_time.nowMs() + timeoutMs;
        for (;;) {
            arrive();
            if (!m_queue.empty()) {
                out = m_queue.front().bytes;
                m_readTags.push_back(m_queue.front().tag);
                m_queue.pop_front();
                return int(out.size());
            }
            if (m_broken)
                return -1;
            if (m_script.empty() || m_script.front().atMs > until)
                break;
            m_time.advance(m_script.front().atMs - m_time.nowMs());
        }
        m_time.advance(until - m_time.nowMs());
        return 0;
    }
    QString errorText() const override { return m_broken ? QStringLiteral("gone") : QString(); }

private:
    void arrive()
    {
        while (!m_script.empty() && m_script.front().atMs <= m_time.nowMs()) {
            Piece p = m_script.take();
            if (p.breaksDevice)
                m_broken = true;
            if (!m_open || m_broken || p.bytes.isEmpty())
                continue;
            if (int(m_queue.size()) < QueueCapacity)
                m_queue.push_back(std::move(p));
        }
    }

    std::deque<Piece> m_queue;
};

// Cuts a byte stream into 64-byte input reports, zero-padded, as the reader sends them.
inline std::vector<QByteArray> toReports(const QByteArray &bytes)
{
    std::vector<QByteArray> reports;
    for (qsizetype at = 0; at < bytes.size(); at += 64) {
        QByteArray r = bytes.mid(at, 64);
        r.append(QByteArray(64 - r.size(), '\0'));
        reports.push_back(r);
    }
    return reports;
}

// The virtual reader's identity as the link asks for it: serial "12345678",
// model "KV350-MIC", version "V1.0".
inline QByteArray identityReply(std::uint8_t cmd)
{
    if (cmd == 0x0D)
        return QByteArray::fromHex("020A0D00") + QByteArray("12345678");
    return QByteArray::fromHex("02120E00") + QByteArray("KV350-MIC   V1.0");
}

}  // namespace kv350::fuzz
