#include "ntag203.h"

#include "sim/cards/fitted.h"

#include <stdexcept>
#include <string>

namespace kv350::sim {
namespace {

constexpr std::uint8_t CascadeTag = 0x88;  // CT, part of BCC0 for a 7-byte UID
constexpr std::uint8_t InternalByte = 0x48;

// The block-locking bits freeze lock bits: which bits of each lock byte may
// still be set, given the lock bytes in force.
//   lock byte 0: bit 0 freezes bit 3 (CC), bit 1 freezes bits 4–7 (pages 4–7)
//   lock byte 1: bit 1 of byte 0 freezes bits 0–1 (pages 8–9), bit 2 of byte 0 bits 2–7 (pages 10–15)
//   lock byte 2: bit 0 freezes bits 1–3 (pages 16–27), bit 4 freezes bits 5–7 (pages 28–39)
std::uint8_t settable(int lockByte, const std::array<std::uint8_t, 4> &inForce)
{
    std::uint8_t mask = 0xFF;
    switch (lockByte) {
    case 0:
        if (inForce[0] & 0x01)
            mask &= ~0x08;
        if (inForce[0] & 0x02)
            mask &= ~0xF0;
        break;
    case 1:
        if (inForce[0] & 0x02)
            mask &= ~0x03;
        if (inForce[0] & 0x04)
            mask &= ~0xFC;
        break;
    case 2:
        if (inForce[2] & 0x01)
            mask &= ~0x0E;
        if (inForce[2] & 0x10)
            mask &= ~0xE0;
        break;
    default:
        break;
    }
    return mask;
}

}  // namespace

const char *ntagErrorName(NtagError error)
{
    switch (error) {
    case NtagError::None:
        return "None";
    case NtagError::NoCard:
        return "NoCard";
    case NtagError::NotNtag:
        return "NotNtag";
    case NtagError::Malformed:
        return "Malformed";
    case NtagError::NoSuchPage:
        return "NoSuchPage";
    case NtagError::ReadOnly:
        return "ReadOnly";
    case NtagError::Locked:
        return "Locked";
    }
    return "?";
}

Ntag203Card::Ntag203Card(QByteArray uid7) : m_uid(fitted(std::move(uid7), 7)), m_memory(PageCount * PageSize, '\0')
{
    const auto u = [this](int i) { return std::uint8_t(m_uid.at(i)); };
    const std::uint8_t bcc0 = CascadeTag ^ u(0) ^ u(1) ^ u(2);
    const std::uint8_t bcc1 = u(3) ^ u(4) ^ u(5) ^ u(6);
    setPage(0, m_uid.left(3) + char(bcc0));
    setPage(1, m_uid.mid(3, 4));
    setPage(LockPage, QByteArray(1, char(bcc1)) + char(InternalByte) + QByteArray(2, '\0'));
    // An NFC Forum Type 2 tag in its initialised state: 144 data bytes, read and
    // write access; the Lock Control TLV, then an empty NDEF message.
    setPage(CapabilityPage, QByteArray::fromHex("E1101200"));
    setPage(4, QByteArray::fromHex("0103A010"));
    setPage(5, QByteArray::fromHex("440300FE"));
    activate();
}

std::uint8_t Ntag203Card::memoryByte(int p, int i) const
{
    return std::uint8_t(m_memory.at(p * PageSize + i));
}

void Ntag203Card::setByte(int p, int i, std::uint8_t value)
{
    m_memory[p * PageSize + i] = char(value);
}

QByteArray Ntag203Card::page(int p) const
{
    if (p < 0 || p >= PageCount)
        throw std::out_of_range("NTAG203: no page " + std::to_string(p));
    return m_memory.mid(p * PageSize, PageSize);
}

void Ntag203Card::setPage(int p, const QByteArray &bytes4)
{
    if (p < 0 || p >= PageCount)
        throw std::out_of_range("NTAG203: no page " + std::to_string(p));
    m_memory.replace(p * PageSize, PageSize, fitted(bytes4, PageSize));
}

Ntag203Card::LockBytes Ntag203Card::currentLocks() const
{
    return {memoryByte(LockPage, 2), memoryByte(LockPage, 3), memoryByte(DynamicLockPage, 0),
            memoryByte(DynamicLockPage, 1)};
}

// Static lock bits: byte 0 bit 3 the CC, bits 4–7 pages 4–7, byte 1 pages 8–15.
// Dynamic lock byte 2: bits 1–3 pages 16–19, 20–23, 24–27; bits 5–7 pages 28–31, 32–35, 36–39.
bool Ntag203Card::locks(const LockBytes &lockBytes, int p)
{
    if (p == CapabilityPage)
        return lockBytes[0] & 0x08;
    if (p >= FirstUserPage && p <= 7)
        return lockBytes[0] & (1u << p);
    if (p >= 8 && p <= 15)
        return lockBytes[1] & (1u << (p - 8));
    if (p >= 16 && p <= LastUserPage) {
        const int group = (p - 16) / 4;
        return lockBytes[2] & (1u << (group < 3 ? group + 1 : group + 2));
    }
    return false;
}

bool Ntag203Card::pageLocked(int p) const
{
    if (p < LockPage || p >= CounterPage)
        return true;
    return locks(currentLocks(), p);
}

void Ntag203Card::activate()
{
    m_activeLocks = currentLocks();
}

bool Ntag203Card::fail(NtagError error)
{
    m_lastError = error;
    return false;
}

std::optional<QByteArray> Ntag203Card::read(int p)
{
    if (p < 0 || p >= PageCount) {
        fail(NtagError::NoSuchPage);
        return std::nullopt;
    }
    QByteArray bytes;
    for (int i = 0; i < 4; ++i)
        bytes += page((p + i) % PageCount);
    m_lastError = NtagError::None;
    return bytes;
}

bool Ntag203Card::write(int p, const QByteArray &bytes4)
{
    if (p < 0 || p >= PageCount)
        return fail(NtagError::NoSuchPage);
    if (p < LockPage || p == CounterPage)
        return fail(NtagError::ReadOnly);
    const QByteArray data = fitted(bytes4, PageSize);
    const auto d = [&data](int i) { return std::uint8_t(data.at(i)); };
    if (p == LockPage || p == DynamicLockPage) {
        const int first = p == LockPage ? 2 : 0;  // where the lock bytes sit in the page
        const int lockByte = p == LockPage ? 0 : 2;
        for (int i = 0; i < 2; ++i)
            setByte(p, first + i, memoryByte(p, first + i) | (d(first + i) & settable(lockByte + i, m_activeLocks)));
    } else if (locks(m_activeLocks, p)) {
        return fail(NtagError::Locked);
    } else if (p == CapabilityPage) {
        for (int i = 0; i < PageSize; ++i)
            setByte(p, i, memoryByte(p, i) | d(i));
    } else {
        setPage(p, data);
    }
    m_lastError = NtagError::None;
    return true;
}

}  // namespace kv350::sim
