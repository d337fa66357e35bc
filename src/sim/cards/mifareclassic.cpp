#include "mifareclassic.h"

#include "sim/cards/fitted.h"

#include <stdexcept>
#include <string>

namespace kv350::sim {
namespace {

constexpr int AccessOffset = 6;  // access bytes 6–8 and the user byte 9
constexpr int KeyBOffset = 10;
constexpr int SmallSectors = 32;  // sectors of 4 blocks on a 4K card; all 16 on a 1K card
constexpr int SmallSectorBlocks = 4;
constexpr int LargeSectorBlocks = 16;

}  // namespace

const char *mifareErrorName(MifareError error)
{
    switch (error) {
    case MifareError::None:
        return "None";
    case MifareError::NoCard:
        return "NoCard";
    case MifareError::NotMifareClassic:
        return "NotMifareClassic";
    case MifareError::Malformed:
        return "Malformed";
    case MifareError::NoStoredKey:
        return "NoStoredKey";
    case MifareError::OutOfRange:
        return "OutOfRange";
    case MifareError::NotSelected:
        return "NotSelected";
    case MifareError::NotAuthenticated:
        return "NotAuthenticated";
    case MifareError::AuthFailed:
        return "AuthFailed";
    case MifareError::SectorUnusable:
        return "SectorUnusable";
    case MifareError::KeyBNotUsable:
        return "KeyBNotUsable";
    case MifareError::AccessDenied:
        return "AccessDenied";
    case MifareError::ReadOnly:
        return "ReadOnly";
    }
    return "?";
}

MifareClassicCard::MifareClassicCard(Size size, QByteArray uid)
    : m_size(size),
      m_uid(uid.size() == 4 || uid.size() == 7 ? std::move(uid) : fitted(std::move(uid), 4)),
      m_memory((size == Size::K1 ? 1024 : 4096), '\0')
{
    // Block 0: UID, its BCC for a single-size UID, SAK, ATQA (low byte first), manufacturer data.
    QByteArray block0 = m_uid;
    if (m_uid.size() == 4)
        block0.append(char(m_uid[0] ^ m_uid[1] ^ m_uid[2] ^ m_uid[3]));
    block0.append(char(size == Size::K1 ? 0x08 : 0x18));
    block0.append(char((size == Size::K1 ? 0x04 : 0x02) | (m_uid.size() == 7 ? 0x40 : 0x00)));
    block0.append('\0');
    block0.append(QByteArray::fromHex("6263646566676869"));
    setBlock(0, 0, block0.left(BlockSize));

    const QByteArray transportKey(KeySize, char(0xFF));
    for (int sector = 0; sector < sectorCount(); ++sector)
        setTrailer(sector, transportKey, QByteArray::fromHex("FF0780"), 0x69, transportKey);
}

int MifareClassicCard::sectorCount() const
{
    return m_size == Size::K1 ? 16 : 40;
}

int MifareClassicCard::blocksInSector(int sector) const
{
    if (sector < 0 || sector >= sectorCount())
        return 0;
    return sector < SmallSectors ? SmallSectorBlocks : LargeSectorBlocks;
}

int MifareClassicCard::trailerBlock(int sector) const
{
    return blocksInSector(sector) - 1;
}

bool MifareClassicCard::hasBlock(int sector, int block) const
{
    return block >= 0 && block < blocksInSector(sector);
}

int MifareClassicCard::accessGroup(int sector, int block) const
{
    if (block == trailerBlock(sector))
        return 3;
    return blocksInSector(sector) == SmallSectorBlocks ? block : block / 5;
}

int MifareClassicCard::index(int sector, int block) const
{
    if (!hasBlock(sector, block))
        return -1;
    if (sector < SmallSectors)
        return sector * SmallSectorBlocks + block;
    return SmallSectors * SmallSectorBlocks + (sector - SmallSectors) * LargeSectorBlocks + block;
}

int MifareClassicCard::checkedIndex(int sector, int block) const
{
    const int i = index(sector, block);
    if (i < 0)
        throw std::out_of_range("MIFARE Classic: no block " + std::to_string(block) + " in sector " +
                                std::to_string(sector));
    return i;
}

QByteArray MifareClassicCard::block(int sector, int block) const
{
    return m_memory.mid(checkedIndex(sector, block) * BlockSize, BlockSize);
}

void MifareClassicCard::setBlock(int sector, int block, const QByteArray &bytes16)
{
    m_memory.replace(checkedIndex(sector, block) * BlockSize, BlockSize, fitted(bytes16, BlockSize));
}

void MifareClassicCard::setTrailer(int sector, const QByteArray &keyA, const QByteArray &accessBytes,
                                   std::uint8_t userByte, const QByteArray &keyB)
{
    setBlock(sector, trailerBlock(sector),
             fitted(keyA, KeySize) + fitted(accessBytes, 3) + QByteArray(1, char(userByte)) + fitted(keyB, KeySize));
}

void MifareClassicCard::corruptReads(int sector, int block, std::uint8_t mask)
{
    m_weakReads[checkedIndex(sector, block)] = mask;
}

std::optional<AccessRows> MifareClassicCard::accessRows(int sector) const
{
    if (blocksInSector(sector) == 0)
        return std::nullopt;
    return decodeAccessBytes(block(sector, trailerBlock(sector)));
}

void MifareClassicCard::select()
{
    m_selected = true;
    m_sessionSector = -1;
}

void MifareClassicCard::halt()
{
    m_selected = false;
    m_sessionSector = -1;
}

bool MifareClassicCard::fail(MifareError error)
{
    m_lastError = error;
    return false;
}

bool MifareClassicCard::authenticate(int sector, KeyType type, const QByteArray &key6)
{
    if (!m_selected)
        return fail(MifareError::NotSelected);
    // Every failure leaves the card idle, as a real card goes quiet after a refused authentication.
    halt();
    if (blocksInSector(sector) == 0)
        return fail(MifareError::OutOfRange);
    if (!sectorUsable(sector))
        return fail(MifareError::SectorUnusable);
    const QByteArray trailer = block(sector, trailerBlock(sector));
    if (key6 != trailer.mid(type == KeyType::A ? 0 : KeyBOffset, KeySize))
        return fail(MifareError::AuthFailed);
    m_selected = true;
    m_sessionSector = sector;
    m_sessionKey = type;
    m_lastError = MifareError::None;
    return true;
}

bool MifareClassicCard::sessionCovers(int sector) const
{
    return m_selected && m_sessionSector == sector && sector >= 0;
}

bool MifareClassicCard::isAuthenticated(int sector) const
{
    return sessionCovers(sector);
}

bool MifareClassicCard::allows(int sector, TrailerOp op) const
{
    if (!sessionCovers(sector))
        return false;
    const std::optional<AccessRows> rows = accessRows(sector);
    if (!rows || (m_sessionKey == KeyType::B && keyBReadable((*rows)[3])))
        return false;
    return trailerAccessAllowed((*rows)[3], op, m_sessionKey);
}

bool MifareClassicCard::allows(int sector, int block, DataOp op) const
{
    if (!sessionCovers(sector) || !hasBlock(sector, block))
        return false;
    if (block == trailerBlock(sector)) {
        switch (op) {
        case DataOp::Read:
            return allows(sector, TrailerOp::ReadAccess);
        case DataOp::Write:
            return allows(sector, TrailerOp::WriteKeyA) || allows(sector, TrailerOp::WriteAccess) ||
                   allows(sector, TrailerOp::WriteKeyB);
        default:
            return false;
        }
    }
    if (sector == 0 && block == 0 && op != DataOp::Read)
        return false;
    const std::optional<AccessRows> rows = accessRows(sector);
    if (!rows || (m_sessionKey == KeyType::B && keyBReadable((*rows)[3])))
        return false;
    return dataAccessAllowed((*rows)[accessGroup(sector, block)], op, m_sessionKey);
}

QByteArray MifareClassicCard::visible(int sector, int block) const
{
    QByteArray bytes = this->block(sector, block);
    if (block == trailerBlock(sector)) {
        bytes.replace(0, KeySize, QByteArray(KeySize, '\0'));
        const std::optional<AccessRows> rows = accessRows(sector);
        if (!rows || !keyBReadable((*rows)[3]))
            bytes.replace(KeyBOffset, KeySize, QByteArray(KeySize, '\0'));
    }
    return bytes;
}

std::optional<QByteArray> MifareClassicCard::read(int sector, int block)
{
    if (!mayAccess(sector, block, DataOp::Read))
        return std::nullopt;
    QByteArray bytes = visible(sector, block);
    const auto weak = m_weakReads.find(index(sector, block));
    if (weak != m_weakReads.end())
        for (char &byte : bytes)
            byte = char(std::uint8_t(byte) ^ weak->second);
    return bytes;
}

bool MifareClassicCard::write(int sector, int block, const QByteArray &bytes16)
{
    if (!mayAccess(sector, block, DataOp::Write))
        return false;
    const QByteArray data = fitted(bytes16, BlockSize);
    if (block != trailerBlock(sector)) {
        setBlock(sector, block, data);
        return true;
    }
    // Each field by the rights the trailer gave before this write.
    const bool keyA = allows(sector, TrailerOp::WriteKeyA);
    const bool access = allows(sector, TrailerOp::WriteAccess);
    const bool keyB = allows(sector, TrailerOp::WriteKeyB);
    QByteArray trailer = this->block(sector, block);
    if (keyA)
        trailer.replace(0, KeySize, data.left(KeySize));
    if (access)
        trailer.replace(AccessOffset, 4, data.mid(AccessOffset, 4));
    if (keyB)
        trailer.replace(KeyBOffset, KeySize, data.mid(KeyBOffset, KeySize));
    setBlock(sector, block, trailer);
    return true;
}

bool MifareClassicCard::mayAccess(int sector, int block, DataOp op)
{
    MifareError error = MifareError::None;
    const std::optional<AccessRows> rows = accessRows(sector);
    if (!hasBlock(sector, block))
        error = MifareError::OutOfRange;
    else if (!sessionCovers(sector))
        error = MifareError::NotAuthenticated;
    else if (m_sessionKey == KeyType::B && rows && keyBReadable((*rows)[3]))
        error = MifareError::KeyBNotUsable;
    else if (sector == 0 && block == 0 && op != DataOp::Read)
        error = MifareError::ReadOnly;
    else if (!allows(sector, block, op))
        error = MifareError::AccessDenied;
    m_lastError = error;
    // A refused command leaves a real card idle, as a failed authentication does.
    if (error != MifareError::None)
        halt();
    return error == MifareError::None;
}

}  // namespace kv350::sim
