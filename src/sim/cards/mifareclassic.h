#pragma once
#include "sim/cards/field.h"
#include "sim/cards/mifareaccess.h"

#include <QByteArray>
#include <cstdint>
#include <map>
#include <optional>
#include <utility>

namespace kv350::sim {

// Why the last MIFARE operation failed, for tests; the wire only says STA 01.
enum class MifareError {
    None,
    NoCard,            // reader: no card in the field
    NotMifareClassic,  // reader: the ISO 14443A card in the field is another kind
    Malformed,         // reader: DATA of the wrong length, or a key type other than 0x60/0x61
    NoStoredKey,       // reader: stored-key form, and no key of that type for the sector
    OutOfRange,        // the card has no such sector or block
    NotSelected,       // card: authentication without a selection (after a failed one)
    NotAuthenticated,  // card: no session on that sector
    AuthFailed,        // card: wrong key
    SectorUnusable,    // card: the trailer's access bytes are inconsistent; every authentication fails
    KeyBNotUsable,     // card: key B authenticated where the trailer lets it be read; every access refused
    AccessDenied,      // card: the access bits do not grant the operation to the session's key
    ReadOnly,          // card: the manufacturer block (sector 0, block 0)
};
const char *mifareErrorName(MifareError error);

// A MIFARE Classic 1K or 4K card: its memory, the access conditions of its
// datasheet, and the card's side of a session (select, authenticate, read,
// write). 1K: 16 sectors of 4 blocks. 4K: 32 sectors of 4 blocks, then sectors
// 32–39 of 16 blocks, whose access bits each cover a group of five blocks.
//
// Raw access (block(), setBlock()) is for tests and ignores the access bits;
// sector and block are checked and an invalid one throws std::out_of_range.
class MifareClassicCard final : public Card {
public:
    enum class Size { K1, K4 };
    static constexpr int BlockSize = 16;
    static constexpr int KeySize = 6;

    // A 4-byte UID (the usual single-size one) goes into block 0 with its BCC; a
    // 7-byte UID (double size) goes in without one. Any other length is cut or
    // zero-padded to 4 bytes. Every trailer holds the transport configuration.
    explicit MifareClassicCard(Size size = Size::K1, QByteArray uid = QByteArray::fromHex("11223344"));

    QByteArray uid() const override { return m_uid; }
    Size size() const { return m_size; }
    int sectorCount() const;               // 16 or 40
    int blocksInSector(int sector) const;  // 4 or 16; 0 for a sector the card does not have
    int trailerBlock(int sector) const;    // 3 or 15 (block within the sector); -1 likewise
    bool hasBlock(int sector, int block) const;
    // Which access-bit group covers the block: the block itself in a 4-block sector,
    // blocks 0–4, 5–9, 10–14 and the trailer in a 16-block sector.
    int accessGroup(int sector, int block) const;

    QByteArray block(int sector, int block) const;
    // Bytes other than 16 are cut or zero-padded.
    void setBlock(int sector, int block, const QByteArray &bytes16);
    // Test setup: the trailer from its parts (6-byte keys, 3 access bytes).
    void setTrailer(int sector, const QByteArray &keyA, const QByteArray &accessBytes, std::uint8_t userByte,
                    const QByteArray &keyB);
    // A weak block: every read of it comes back XORed with mask; writes still store correctly.
    void corruptReads(int sector, int block, std::uint8_t mask = 0xFF);

    // The sector's rows; nothing when its access bytes are inconsistent.
    std::optional<AccessRows> accessRows(int sector) const;
    bool sectorUsable(int sector) const { return accessRows(sector).has_value(); }

    // --- the card's side of the radio protocol ---------------------------------
    // A reader selects the card; any session ends.
    void select();
    // The card goes idle; a new selection is needed.
    void halt();
    // Opens a session on the sector. A wrong key or an unusable sector fails and,
    // as on a real card, leaves the card idle until it is selected again. Key B
    // where the trailer lets it be read authenticates, but every access after it
    // is refused.
    bool authenticate(int sector, KeyType type, const QByteArray &key6);
    bool isAuthenticated(int sector) const;
    // Whether the session may do this to a block, or to a field of the trailer.
    bool allows(int sector, int block, DataOp op) const;
    bool allows(int sector, TrailerOp op) const;
    // A refused read or write ends the session and leaves the card idle, as on a real card.
    // The 16 bytes the card returns (key A as zeros, key B as zeros unless readable).
    std::optional<QByteArray> read(int sector, int block);
    // A trailer write stores only the fields the access bits let the session's key
    // write (user byte with the access bytes) and keeps the others; it is refused
    // only when none may be written. Inconsistent access bytes are stored as given.
    bool write(int sector, int block, const QByteArray &bytes16);
    // The block as a read shows it, without a weak block's corruption.
    QByteArray visible(int sector, int block) const;

    MifareError lastError() const { return m_lastError; }

private:
    int index(int sector, int block) const;  // absolute block number, -1 when absent
    int checkedIndex(int sector, int block) const;
    bool fail(MifareError error);
    // Checks the session for an operation and records why it is refused.
    bool mayAccess(int sector, int block, DataOp op);
    bool sessionCovers(int sector) const;

    Size m_size;
    QByteArray m_uid;
    QByteArray m_memory;
    std::map<int, std::uint8_t> m_weakReads;  // absolute block -> XOR mask
    bool m_selected = false;
    int m_sessionSector = -1;
    KeyType m_sessionKey = KeyType::A;
    MifareError m_lastError = MifareError::None;
};

}  // namespace kv350::sim
