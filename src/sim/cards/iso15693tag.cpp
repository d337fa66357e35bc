#include "iso15693tag.h"

#include "sim/cards/fitted.h"

#include <algorithm>
#include <stdexcept>
#include <string>

namespace kv350::sim {
namespace {

constexpr char FlagsOk = 0x00;
constexpr char FlagsError = 0x01;
// DSFID, AFI, memory size and IC reference are present.
constexpr char InfoFlags = 0x0F;

QByteArray errorResponse(std::uint8_t code)
{
    return QByteArray(1, FlagsError) + char(code);
}

}  // namespace

Iso15693Tag::Iso15693Tag(int blocks, QByteArray uid8) : m_uid(fitted(std::move(uid8), UidSize))
{
    if (blocks < 1 || blocks > MaxBlocks)
        throw std::invalid_argument("ISO 15693 tag: " + std::to_string(blocks) + " blocks");
    m_memory = QByteArray(blocks * BlockSize, '\0');
    m_locked.assign(std::size_t(blocks), false);
}

QByteArray Iso15693Tag::uidOnAir() const
{
    QByteArray reversed = m_uid;
    std::reverse(reversed.begin(), reversed.end());
    return reversed;
}

int Iso15693Tag::checked(int n) const
{
    if (n < 0 || n >= blockCount())
        throw std::out_of_range("ISO 15693 tag: no block " + std::to_string(n));
    return n;
}

QByteArray Iso15693Tag::block(int n) const
{
    return m_memory.mid(checked(n) * BlockSize, BlockSize);
}

void Iso15693Tag::setBlock(int n, const QByteArray &bytes4)
{
    m_memory.replace(checked(n) * BlockSize, BlockSize, fitted(bytes4, BlockSize));
}

void Iso15693Tag::lockBlock(int n)
{
    m_locked[std::size_t(checked(n))] = true;
}

bool Iso15693Tag::blockLocked(int n) const
{
    return m_locked[std::size_t(checked(n))];
}

QByteArray Iso15693Tag::inventory() const
{
    return QByteArray(1, FlagsOk) + char(m_dsfid) + uidOnAir();
}

std::optional<QByteArray> Iso15693Tag::systemInformation(const QByteArray &address) const
{
    if (address != uidOnAir())
        return std::nullopt;
    return QByteArray(1, FlagsOk) + InfoFlags + uidOnAir() + char(m_dsfid) + char(m_afi) + char(blockCount() - 1) +
           char(BlockSize - 1) + char(m_icReference);
}

std::optional<QByteArray> Iso15693Tag::readMultipleBlocks(const QByteArray &address, int first, int count) const
{
    if (address != uidOnAir())
        return std::nullopt;
    if (first < 0 || count < 1 || first + count > blockCount())
        return errorResponse(ErrorBlockNotAvailable);
    return QByteArray(1, FlagsOk) + m_memory.mid(first * BlockSize, count * BlockSize);
}

std::optional<QByteArray> Iso15693Tag::writeSingleBlock(const QByteArray &address, int n, const QByteArray &bytes4)
{
    if (address != uidOnAir())
        return std::nullopt;
    if (n < 0 || n >= blockCount())
        return errorResponse(ErrorBlockNotAvailable);
    if (m_locked[std::size_t(n)])
        return errorResponse(ErrorBlockLocked);
    setBlock(n, bytes4);
    return QByteArray(1, FlagsOk);
}

}  // namespace kv350::sim
