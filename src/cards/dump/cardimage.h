#pragma once
// A card's memory as a dump holds it: every byte known or not, the UID and,
// where known, ATQA and SAK. Every dump format reads into this and writes
// from it; the dump fills it from the card and the restore writes it back.

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <optional>

namespace kv350::cards {

enum class CardKind { Mifare1K, Mifare4K, Ntag203 };

// "MIFARE Classic 1K", "MIFARE Classic 4K", "NTAG203".
QString cardKindName(CardKind kind);
bool isMifare(CardKind kind);
// The memory's size in bytes, and its unit: a 16-byte block or a 4-byte page.
int memorySize(CardKind kind);
int unitSize(CardKind kind);
int unitCount(CardKind kind);
// MIFARE Classic: sectors, the first absolute block of a sector, and the
// sector of an absolute block (4 blocks in sectors 0-31, 16 in 32-39).
int sectorCount(CardKind kind);
int firstBlockOf(int sector);
int sectorOfBlock(int absoluteBlock);
bool isTrailerBlock(int absoluteBlock);

inline constexpr int Ntag203Pages = 42;

struct CardImage {
    CardKind kind = CardKind::Mifare1K;
    QByteArray bytes;                   // memorySize(kind) bytes, block (page) order; unknown bytes are 0
    QByteArray known;                   // one per byte of `bytes`: 1 known, 0 not
    QByteArray uid;                     // 4, 7 or 10 bytes; empty when not known
    std::optional<std::uint16_t> atqa;  // as a number: 0x0004 for a MIFARE Classic 1K
    std::optional<std::uint8_t> sak;

    // A card of this kind with nothing known.
    static CardImage blank(CardKind kind);

    int units() const { return unitCount(kind); }
    QByteArray unit(int index) const;  // a block or a page, unknown bytes 0
    // All bytes of the unit known / none known.
    bool unitKnown(int index) const;
    bool unitUnknown(int index) const;
    bool byteKnown(int offset) const { return known.at(offset) != 0; }
    void setUnit(int index, const QByteArray &data);  // every byte known
    void setBytes(int offset, const QByteArray &data);
    void forget(int offset, int count);

    // MIFARE Classic: the keys of a sector, when the trailer holds them.
    std::optional<QByteArray> keyA(int sector) const;
    std::optional<QByteArray> keyB(int sector) const;
    int knownUnits() const;
};

// What every importer promises: a kind, a memory of its size with a mask of
// the same size holding only 0 and 1, and a UID of 4, 7 or 10 bytes or none.
bool wellFormed(const CardImage &image);

// ATQA and SAK from a MIFARE Classic block 0 as NXP writes it for a 4-byte
// UID (UID, BCC, SAK, ATQA low byte first), when the BCC checks.
struct Block0Fields {
    QByteArray uid;
    std::uint8_t sak = 0;
    std::uint16_t atqa = 0;
};
std::optional<Block0Fields> block0Fields(const QByteArray &block0);
// The UID an NTAG203 holds in pages 0-1 (without the check bytes).
QByteArray ntagUid(const QByteArray &page0, const QByteArray &page1);
// The SAK and ATQA a MIFARE Classic of this kind answers with, and those of an NTAG203.
std::uint8_t defaultSak(CardKind kind);
std::uint16_t defaultAtqa(CardKind kind, int uidSize);

}  // namespace kv350::cards
