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
    OverLong,    // value: the LEN byte sent, the bytes stay as they are
    DeviceGone,  // goneMs, < 0: until FaultPlan::deviceBack()
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
    // (empty: every kind but DeviceGone), parameters drawn from the same seeded
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

    // Device gone, on the clock of the transport that saw the fault.
    void setGone(qint64 nowMs, int goneMs);
    bool isGone(qint64 nowMs) const;
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
    qint64 m_goneUntilMs = -1;  // -1: until deviceBack()
};

}  // namespace kv350::sim
