#pragma once
#include <QByteArray>
#include <array>
#include <cstdint>

namespace kv350::sim {

// The memory banks of an EPC Gen2 tag, numbered as the air protocol numbers them.
enum class TagBank { Reserved = 0, Epc = 1, Tid = 2, User = 3 };

enum class TagError {
    None,
    Overrun,  // the words asked for run past the end of the bank
    Locked,   // the bank cannot be written
};

// One EPC Gen2 tag: memory in 16-bit words, addressed by word. The EPC bank
// holds StoredCRC (word 0), the PC word (word 1, EPC length in words in bits
// 15..11) and the EPC from word 2. The TID bank is read-only, as the maker
// locks it. Every write to the EPC bank is followed by a new StoredCRC, as the
// tag computes it when it is next powered in the field.
class EpcTag {
public:
    static constexpr int ReservedWords = 4;  // kill and access passwords
    static constexpr int DefaultUserWords = 32;

    // epc and tid are whole words (an odd byte count is padded with 0x00).
    EpcTag(const QByteArray &epc, const QByteArray &tid, int userWords = DefaultUserWords);
    // A 96-bit EPC and TID that end in n, so that tags placed together differ.
    static EpcTag numbered(int n, int userWords = DefaultUserWords);

    int words(TagBank bank) const;
    // count words from address, two bytes each, high byte first.
    TagError read(TagBank bank, int address, int count, QByteArray *out) const;
    // bytes holds whole words.
    TagError write(TagBank bank, int address, const QByteArray &bytes);
    void setLocked(TagBank bank, bool locked);
    bool locked(TagBank bank) const;

    // A bank's whole content, and the EPC as the PC word gives its length.
    const QByteArray &bank(TagBank bank) const { return m_banks[index(bank)]; }
    QByteArray epc() const;

    // CRC-16 of the air protocol (polynomial 0x1021, preset 0xFFFF, complemented).
    static std::uint16_t crc16(const QByteArray &bytes);

private:
    static int index(TagBank bank) { return static_cast<int>(bank); }
    void updateStoredCrc();

    std::array<QByteArray, 4> m_banks;
    std::array<bool, 4> m_locked{};
};

}  // namespace kv350::sim
