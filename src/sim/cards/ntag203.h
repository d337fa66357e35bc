#pragma once
#include "sim/cards/field.h"

#include <QByteArray>
#include <array>
#include <cstdint>
#include <optional>

namespace kv350::sim {

// Why the last NTAG operation failed, for tests; the wire only says STA 01.
enum class NtagError {
    None,
    NoCard,      // reader: no ISO 14443A card in the field
    NotNtag,     // reader: the ISO 14443A card in the field is another kind
    Malformed,   // reader: DATA of the wrong length, or not 00 00 in front of the page
    NoSuchPage,  // tag: a page beyond 41 (NAK)
    ReadOnly,    // tag: the serial number (pages 0–1) or the counter (page 41)
    Locked,      // tag: a lock bit makes the page read-only
};
const char *ntagErrorName(NtagError error);

// An NTAG203, an NFC Forum Type 2 tag of 42 pages of 4 bytes, as its datasheet
// lays it out:
//   0–1   UID0 UID1 UID2 BCC0, UID3…UID6 (factory-written)
//   2     BCC1, internal byte, static lock bytes 0 and 1
//   3     capability container, one-time programmable: a write ORs into it
//   4–39  user memory
//   40    dynamic lock bytes 2 and 3, two bytes RFU
//   41    16-bit counter, two bytes RFU; refuses a plain WRITE here
// Writes to a lock byte OR into it: a lock bit can only be set. A change of the
// lock bytes takes effect when the tag is next activated (REQA/WUPA), as on the
// real tag; the reader activates it at the start of every command.
//
// page()/setPage() are raw and ignore the locks; a page the tag does not have
// throws std::out_of_range.
class Ntag203Card final : public Card {
public:
    static constexpr int PageCount = 42;
    static constexpr int PageSize = 4;
    static constexpr int ReadSize = 4 * PageSize;  // a READ returns four pages
    static constexpr int LockPage = 2;
    static constexpr int CapabilityPage = 3;
    static constexpr int FirstUserPage = 4;
    static constexpr int LastUserPage = 39;
    static constexpr int DynamicLockPage = 40;
    static constexpr int CounterPage = 41;

    // A UID of another length than 7 is cut or zero-padded. The tag is blank as
    // it leaves the factory: CC E1 10 12 00, the Lock Control TLV and an empty
    // NDEF message in pages 4–5, zeros elsewhere, nothing locked.
    explicit Ntag203Card(QByteArray uid7 = QByteArray::fromHex("04A1B2C3D4E5F6"));

    QByteArray uid() const override { return m_uid; }

    QByteArray page(int p) const;                   // raw 4 bytes (tests)
    void setPage(int p, const QByteArray &bytes4);  // raw, no lock checks (test setup); cut or zero-padded
    // Whether the tag refuses a WRITE to the page, judged by the lock bytes as
    // they stand now (they take effect at the next activation): pages 0–1, the
    // counter, a page the tag does not have, and pages whose lock bit is set.
    bool pageLocked(int p) const;

    // --- the tag's side of the radio protocol ----------------------------------
    // REQA/WUPA and selection: the lock bytes as they stand now take effect.
    void activate();
    // READ: the 16 bytes of pages p…p+3, rolling over from page 41 to page 0;
    // nothing (NAK) for a page beyond 41.
    std::optional<QByteArray> read(int p);
    // WRITE of one page. Page 2 ORs bytes 2–3 into lock bytes 0–1, page 40 ORs
    // bytes 0–1 into lock bytes 2–3, page 3 ORs all four bytes; the other bytes
    // of those pages are ignored. A lock bit whose block-locking bit is set no
    // longer changes. False (NAK) for pages 0–1 and 41, a locked page, or a page
    // beyond 41.
    bool write(int p, const QByteArray &bytes4);

    NtagError lastError() const { return m_lastError; }

private:
    using LockBytes = std::array<std::uint8_t, 4>;  // static 0–1 (page 2), dynamic 2–3 (page 40)
    LockBytes currentLocks() const;
    static bool locks(const LockBytes &lockBytes, int p);
    bool fail(NtagError error);
    std::uint8_t memoryByte(int p, int i) const;
    void setByte(int p, int i, std::uint8_t value);

    QByteArray m_uid;
    QByteArray m_memory;
    LockBytes m_activeLocks{};  // taken at activate()
    NtagError m_lastError = NtagError::None;
};

}  // namespace kv350::sim
