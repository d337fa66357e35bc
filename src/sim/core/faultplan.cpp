#include "faultplan.h"

#include "common/protocol.h"

#include <algorithm>

namespace kv350::sim {

const char *faultKindName(FaultKind kind)
{
    switch (kind) {
    case FaultKind::None:
        return "none";
    case FaultKind::NoReply:
        return "no-reply";
    case FaultKind::Late:
        return "late";
    case FaultKind::Split:
        return "split";
    case FaultKind::Noise:
        return "noise";
    case FaultKind::WrongCmd:
        return "wrong-cmd";
    case FaultKind::Status:
        return "status";
    case FaultKind::Truncate:
        return "truncate";
    case FaultKind::OverLong:
        return "over-long";
    case FaultKind::DeviceGone:
        return "device-gone";
    case FaultKind::Leading:
        return "leading";
    case FaultKind::Trailing:
        return "trailing";
    case FaultKind::Duplicate:
        return "duplicate";
    case FaultKind::Flood:
        return "flood";
    case FaultKind::Vanish:
        return "vanish";
    }
    return "?";
}

// Designated initialisers: each factory names only the fields its kind uses.
// clang-format off
Fault Fault::noReply() { return {.kind = FaultKind::NoReply}; }
Fault Fault::late(int delayMs) { return {.kind = FaultKind::Late, .delayMs = delayMs}; }
Fault Fault::split(int pieceSize, int gapMs)
{
    return {.kind = FaultKind::Split, .pieceSize = pieceSize, .gapMs = gapMs};
}
Fault Fault::noise(const QByteArray &bytes) { return {.kind = FaultKind::Noise, .bytes = bytes}; }
Fault Fault::wrongCmd(std::uint8_t cmd) { return {.kind = FaultKind::WrongCmd, .value = cmd}; }
Fault Fault::status(std::uint8_t sta) { return {.kind = FaultKind::Status, .value = sta}; }
Fault Fault::truncated(int keep) { return {.kind = FaultKind::Truncate, .keep = keep}; }
Fault Fault::overLong(std::uint8_t len) { return {.kind = FaultKind::OverLong, .value = len}; }
Fault Fault::deviceGone(int goneMs) { return {.kind = FaultKind::DeviceGone, .goneMs = goneMs}; }
Fault Fault::leading(const QByteArray &bytes) { return {.kind = FaultKind::Leading, .bytes = bytes}; }
Fault Fault::trailing(const QByteArray &bytes) { return {.kind = FaultKind::Trailing, .bytes = bytes}; }
Fault Fault::duplicate(int gapMs) { return {.kind = FaultKind::Duplicate, .gapMs = gapMs}; }
// clang-format on
Fault Fault::vanish(int afterMs, int goneMs)
{
    return {.kind = FaultKind::Vanish, .delayMs = afterMs, .goneMs = goneMs};
}
Fault Fault::flood(int durationMs, int bytesPerMs)
{
    return {.kind = FaultKind::Flood, .delayMs = durationMs, .pieceSize = bytesPerMs};
}

void FaultPlan::queue(const Fault &fault, int count)
{
    for (int i = 0; i < count; ++i)
        m_queue.push_back(fault);
}

void FaultPlan::setRandom(std::uint32_t seed, double probability, std::vector<FaultKind> kinds)
{
    if (kinds.empty())
        kinds = {FaultKind::NoReply,  FaultKind::Late,   FaultKind::Split,    FaultKind::Noise,
                 FaultKind::WrongCmd, FaultKind::Status, FaultKind::Truncate, FaultKind::OverLong};
    m_kinds = std::move(kinds);
    m_rng.seed(seed);
    // Compared with one 32-bit draw, so the outcome does not depend on the library's distributions.
    m_threshold = std::uint64_t(std::clamp(probability, 0.0, 1.0) * 4294967296.0);
    m_random = true;
}

void FaultPlan::clear()
{
    m_queue.clear();
    m_random = false;
    m_gone = false;
}

Fault FaultPlan::takeNext()
{
    Fault fault;
    if (!m_queue.empty()) {
        fault = m_queue.front();
        m_queue.pop_front();
    } else if (m_random && std::uint64_t(m_rng()) < m_threshold) {
        fault = randomFault();
    }
    if (m_taken.size() >= 4096)
        m_taken.erase(m_taken.begin(), m_taken.begin() + 2048);
    m_taken.push_back(fault);
    return fault;
}

Fault FaultPlan::randomFault()
{
    const FaultKind kind = m_kinds[draw(std::uint32_t(m_kinds.size()))];
    switch (kind) {
    case FaultKind::None:
        return Fault::none();
    case FaultKind::NoReply:
        return Fault::noReply();
    case FaultKind::Late:
        return Fault::late(1 + int(draw(1000)));
    // Pieces shorter than any reply, so the split always shows.
    case FaultKind::Split:
        return Fault::split(1 + int(draw(3)), 1 + int(draw(10)));
    case FaultKind::Noise: {
        // Never an STX: noise here is what comes before a frame, not a second frame.
        QByteArray bytes;
        const int n = 1 + int(draw(4));
        for (int i = 0; i < n; ++i)
            bytes.append(char(0x03 + draw(0xFD)));
        return Fault::noise(bytes);
    }
    // Every command code is below 0x80, so this echo is always wrong.
    case FaultKind::WrongCmd:
        return Fault::wrongCmd(std::uint8_t(0x80 | draw(0x80)));
    case FaultKind::Status:
        return Fault::status(draw(2) ? proto::StaRejected : proto::StaFailed);
    // Shorter than any reply, so the cut always bites.
    case FaultKind::Truncate:
        return Fault::truncated(1 + int(draw(3)));
    case FaultKind::OverLong:
        return Fault::overLong(std::uint8_t(254 + draw(2)));
    case FaultKind::DeviceGone:
        return Fault::deviceGone(1 + int(draw(3000)));
    // Zero padding, or a false start: an STX whose LEN no reply can have.
    case FaultKind::Leading:
        return Fault::leading(draw(2) ? QByteArray(1 + int(draw(4)), '\0') : QByteArray("\x02\xFF", 2));
    // A frame that answers no command (every code is below 0x80) behind the reply.
    case FaultKind::Trailing: {
        QByteArray frame("\x02\x02", 2);
        frame.append(char(0x80 | draw(0x80)));
        frame.append('\0');
        return Fault::trailing(frame);
    }
    // Back to back: a copy sent later is a stray frame like a late reply.
    case FaultKind::Duplicate:
        return Fault::duplicate(0);
    case FaultKind::Flood:
        return Fault::flood(1 + int(draw(1000)));
    case FaultKind::Vanish:
        return Fault::vanish(int(draw(500)), 1 + int(draw(3000)));
    }
    return Fault::none();
}

namespace {
QByteArray floodPiece(int size, int index)
{
    // A fixed pattern without an STX, different from one millisecond to the next.
    QByteArray piece(std::max(1, size), '\0');
    for (qsizetype i = 0; i < piece.size(); ++i) {
        const int b = (index * 31 + int(i) * 7 + 0x55) & 0xFF;
        piece[i] = char(b == proto::Stx ? 0x03 : b);
    }
    return piece;
}
}  // namespace

Delivery FaultPlan::shape(const Fault &fault, const std::vector<QByteArray> &replies)
{
    if (replies.empty() || fault.kind == FaultKind::NoReply || fault.kind == FaultKind::DeviceGone ||
        fault.kind == FaultKind::Vanish)
        return {};
    QByteArray first = replies.front();
    Delivery delivery;
    switch (fault.kind) {
    case FaultKind::Late:
        delivery.push_back({std::max(0, fault.delayMs), first});
        break;
    case FaultKind::Split: {
        const int piece = std::max(1, fault.pieceSize);
        for (qsizetype offset = 0, i = 0; offset < first.size(); offset += piece, ++i)
            delivery.push_back({int(i) * std::max(0, fault.gapMs), first.mid(offset, piece), i > 0});
        break;
    }
    case FaultKind::Noise:
        if (!fault.bytes.isEmpty())
            delivery.push_back({0, fault.bytes});
        delivery.push_back({0, first});
        break;
    case FaultKind::WrongCmd:
        if (first.size() > proto::OffCmd)
            first[proto::OffCmd] = char(fault.value);
        delivery.push_back({0, first});
        break;
    case FaultKind::Status:
        if (first.size() > proto::OffSta)
            first[proto::OffSta] = char(fault.value);
        delivery.push_back({0, first});
        break;
    case FaultKind::Truncate:
        if (fault.keep > 0)
            delivery.push_back({0, first.left(fault.keep)});
        break;
    case FaultKind::OverLong:
        if (first.size() > proto::OffLen)
            first[proto::OffLen] = char(fault.value);
        delivery.push_back({0, first});
        break;
    case FaultKind::Leading:
        delivery.push_back({0, fault.bytes + first});
        break;
    case FaultKind::Trailing:
        delivery.push_back({0, first + fault.bytes});
        break;
    case FaultKind::Duplicate:
        delivery.push_back({0, first});
        delivery.push_back({std::max(0, fault.gapMs), first});
        break;
    case FaultKind::Flood:
        // The reply is lost in it; every millisecond brings another piece.
        for (int ms = 0; ms < fault.delayMs; ++ms)
            delivery.push_back({ms, floodPiece(fault.pieceSize, ms)});
        break;
    default:
        delivery.push_back({0, first});
        break;
    }
    const int last = delivery.empty() ? 0 : delivery.back().delayMs;
    for (std::size_t i = 1; i < replies.size(); ++i)
        delivery.push_back({last, replies[i]});
    return delivery;
}

void FaultPlan::setGone(qint64 nowMs, int goneMs, qint64 fromMs)
{
    m_gone = true;
    m_goneFromMs = fromMs < 0 ? nowMs : fromMs;
    m_goneUntilMs = goneMs < 0 ? -1 : m_goneFromMs + goneMs;
}

bool FaultPlan::isGone(qint64 nowMs) const
{
    return m_gone && nowMs >= m_goneFromMs && (m_goneUntilMs < 0 || nowMs < m_goneUntilMs);
}

}  // namespace kv350::sim
