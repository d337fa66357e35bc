#pragma once
#include "sim/cards/field.h"

#include <QByteArray>
#include <cstdint>
#include <optional>
#include <vector>

namespace kv350::sim {

// An ISO/IEC 15693 vicinity tag: an 8-byte UID, DSFID, AFI, a row of 4-byte
// blocks each of which can be locked, and an IC reference. Its side of the
// air interface answers as ISO/IEC 15693-3 lays the responses out, from the
// response flags on: 00 and the payload, or 01 and an error code.
//
// The UID is given and returned by uid() as it is written, most significant
// byte (E0) first. On the air the tag sends it least significant byte first,
// and addressed commands carry it in that order: uidOnAir().
//
// block()/setBlock()/lockBlock() are raw; a block the tag does not have throws
// std::out_of_range.
class Iso15693Tag final : public Card {
public:
    static constexpr int BlockSize = 4;
    static constexpr int UidSize = 8;
    static constexpr int MaxBlocks = 256;  // what the memory-size byte of the system information can say
    // Error codes of ISO/IEC 15693-3.
    static constexpr std::uint8_t ErrorBlockNotAvailable = 0x10;
    static constexpr std::uint8_t ErrorBlockLocked = 0x12;

    // blocks: 1–256, otherwise std::invalid_argument. A UID of another length
    // than 8 is cut or zero-padded. Blocks start as zeros, unlocked; DSFID and
    // AFI 00, IC reference 01.
    explicit Iso15693Tag(int blocks = 28, QByteArray uid8 = QByteArray::fromHex("E0040100A1B2C3D4"));

    Technology technology() const override { return Technology::Iso15693; }
    QByteArray uid() const override { return m_uid; }
    QByteArray uidOnAir() const;

    int blockCount() const { return int(m_locked.size()); }
    QByteArray block(int n) const;
    void setBlock(int n, const QByteArray &bytes4);  // cut or zero-padded
    void lockBlock(int n);
    bool blockLocked(int n) const;

    std::uint8_t dsfid() const { return m_dsfid; }
    std::uint8_t afi() const { return m_afi; }
    void setDsfid(std::uint8_t dsfid) { m_dsfid = dsfid; }
    void setAfi(std::uint8_t afi) { m_afi = afi; }
    std::uint8_t icReference() const { return m_icReference; }
    void setIcReference(std::uint8_t icReference) { m_icReference = icReference; }

    // --- the tag's side of the air interface -----------------------------------
    // Inventory (one slot, no AFI given): flags, DSFID, UID on air.
    QByteArray inventory() const;
    // The addressed commands. Nothing comes back when the address is not this
    // tag's UID (on air): the tag stays silent.
    // Get System Information: flags, info flags 0F, UID, DSFID, AFI, number of
    // blocks − 1, block size − 1, IC reference.
    std::optional<QByteArray> systemInformation(const QByteArray &address) const;
    // Read Multiple Blocks, count blocks from first (the air command carries count − 1).
    std::optional<QByteArray> readMultipleBlocks(const QByteArray &address, int first, int count) const;
    // Write Single Block: flags alone on success.
    std::optional<QByteArray> writeSingleBlock(const QByteArray &address, int n, const QByteArray &bytes4);

private:
    int checked(int n) const;

    QByteArray m_uid;
    QByteArray m_memory;
    std::vector<bool> m_locked;
    std::uint8_t m_dsfid = 0x00;
    std::uint8_t m_afi = 0x00;
    std::uint8_t m_icReference = 0x01;
};

}  // namespace kv350::sim
