#pragma once
#include <QByteArray>
#include <QtGlobal>
#include <cstdint>
#include <deque>
#include <random>
#include <vector>

namespace kv350::sim {

enum class FaultKind {
    None,
    NoReply,
    Late,        // delayMs
    Split,       // pieceSize, gapMs
    Noise,       // bytes, sent before the reply
    WrongCmd,    // value: the CMD byte echoed
    Status,      // value: the STA byte sent
    Truncate,    // keep: bytes kept from the start
    OverLong,    // value: the LEN byte sent, the bytes stay as they are (0 and 1 too)
    DeviceGone,  // goneMs, < 0: until FaultPlan::deviceBack()
    Leading,     // bytes, sent in one piece with the reply, before it (padding, a false STX)
    Trailing,    // bytes, sent in one piece with the reply, after it (a second frame)
    Duplicate,   // gapMs: the reply, then the same reply again gapMs later
    Flood,       // delayMs of bytes, pieceSize bytes every millisecond, instead of the reply
    Vanish,      // the reader takes the request, then the device goes away delayMs later, before any reply; goneMs
};

const char *faultKindName(FaultKind kind);

struct Fault {
    FaultKind kind = FaultKind::None;
    int delayMs = 0;
    int pieceSize = 0;
    int gapMs = 0;
    QByteArray bytes{};
    std::uint8_t value = 0;
    int keep = 0;
    int goneMs = -1;

    static Fault none() { return {}; }
    static Fault noReply();
    static Fault late(int delayMs);
    static Fault split(int pieceSize, int gapMs);
    static Fault noise(const QByteArray &bytes);
    static Fault wrongCmd(std::uint8_t cmd);
    static Fault status(std::uint8_t sta);
    static Fault truncated(int keep);
    static Fault overLong(std::uint8_t len);
    static Fault deviceGone(int goneMs = -1);
    static Fault leading(const QByteArray &bytes);
    static Fault trailing(const QByteArray &bytes);
    static Fault duplicate(int gapMs);
    // Never an STX among the bytes: a babbling line, not frames.
    static Fault flood(int durationMs, int bytesPerMs = 64);
    // Unplugged in the middle of a transaction: the request was carried out,
    // its reply never comes, and the device is away for goneMs (< 0: until deviceBack()).
    static Fault vanish(int afterMs, int goneMs = -1);

    bool operator==(const Fault &) const = default;
};

// Bytes the reader sends, delayMs after the request arrived. A chunk that
// continues the frame of the one before it (a split reply) lets a HID transport
// keep the frame's reports together; noise is a chunk of its own.
struct Chunk {
    int delayMs = 0;
    QByteArray bytes{};
    bool continues = false;
    bool operator==(const Chunk &) const = default;
};
using Delivery = std::vector<Chunk>;

// Faults for the coming requests: queued ones first, in order, then random ones
// if switched on. Every request that reaches the reader takes one (None when
// nothing is planned); requests ignored while the reader reboots take none.
class FaultPlan {
public:
    void queue(const Fault &fault, int count = 1);
    // Each request gets a fault with this probability, of a kind drawn from kinds
    // (empty: the first eight kinds, NoReply to OverLong), parameters drawn from the same seeded
    // generator, so a seed replays the same faults on the same requests.
    void setRandom(std::uint32_t seed, double probability, std::vector<FaultKind> kinds = {});
    void stopRandom() { m_random = false; }
    // No queued faults, no random ones, device back.
    void clear();
    int queued() const { return int(m_queue.size()); }

    Fault takeNext();
    // Every fault taken so far, one per request, None included.
    const std::vector<Fault> &taken() const { return m_taken; }
    void clearTaken() { m_taken.clear(); }

    // The fault applied to the reader's replies: it shapes the first reply,
    // any further ones follow unchanged with the last chunk. No replies, no bytes.
    static Delivery shape(const Fault &fault, const std::vector<QByteArray> &replies);

    // Device gone from fromMs (default: nowMs) for goneMs, on the clock of the
    // transport that saw the fault.
    void setGone(qint64 nowMs, int goneMs, qint64 fromMs = -1);
    bool isGone(qint64 nowMs) const;
    // When the device goes (or went) away; -1 when it is not set to.
    qint64 goneFromMs() const { return m_gone ? m_goneFromMs : -1; }
    // When it comes back; -1: not before deviceBack() (or it is not away).
    qint64 goneUntilMs() const { return m_gone ? m_goneUntilMs : -1; }
    void deviceBack() { m_gone = false; }

private:
    Fault randomFault();
    std::uint32_t draw(std::uint32_t n) { return std::uint32_t(m_rng() % n); }

    std::deque<Fault> m_queue;
    std::vector<Fault> m_taken;
    bool m_random = false;
    std::uint64_t m_threshold = 0;
    std::vector<FaultKind> m_kinds;
    std::mt19937 m_rng;
    bool m_gone = false;
    qint64 m_goneFromMs = 0;
    qint64 m_goneUntilMs = -1;  // -1: until deviceBack()
};

}  // namespace kv350::sim
