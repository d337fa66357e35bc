#include "epctag.h"

namespace kv350::sim {
namespace {

QByteArray wholeWords(QByteArray bytes)
{
    if (bytes.size() % 2)
        bytes.append('\0');
    return bytes;
}

}  // namespace

EpcTag::EpcTag(const QByteArray &epc, const QByteArray &tid, int userWords)
{
    const QByteArray epcWords = wholeWords(epc);
    const int epcLength = int(epcWords.size() / 2);
    const std::uint16_t pc = std::uint16_t((epcLength & 0x1F) << 11);
    m_banks[index(TagBank::Reserved)] = QByteArray(2 * ReservedWords, '\0');
    m_banks[index(TagBank::Epc)] = QByteArray(2, '\0') + char(pc >> 8) + char(pc & 0xFF) + epcWords;
    m_banks[index(TagBank::Tid)] = wholeWords(tid);
    m_banks[index(TagBank::User)] = QByteArray(2 * qMax(0, userWords), '\0');
    m_locked[index(TagBank::Tid)] = true;
    updateStoredCrc();
}

EpcTag EpcTag::numbered(int n, int userWords)
{
    QByteArray epc = QByteArray::fromHex("3008 33B2 DDD9 0140 0000 0000");
    QByteArray tid = QByteArray::fromHex("E200 3412 013F 0000 0000 0000");
    for (int i = 0; i < 4; ++i) {
        epc[11 - i] = char((n >> (8 * i)) & 0xFF);
        tid[11 - i] = char((n >> (8 * i)) & 0xFF);
    }
    return EpcTag(epc, tid, userWords);
}

int EpcTag::words(TagBank bank) const
{
    return int(m_banks[index(bank)].size() / 2);
}

TagError EpcTag::read(TagBank bank, int address, int count, QByteArray *out) const
{
    if (address < 0 || count < 0 || address + count > words(bank))
        return TagError::Overrun;
    if (out)
        *out = m_banks[index(bank)].mid(2 * address, 2 * count);
    return TagError::None;
}

TagError EpcTag::write(TagBank bank, int address, const QByteArray &bytes)
{
    const int count = int(bytes.size() / 2);
    if (address < 0 || address + count > words(bank))
        return TagError::Overrun;
    if (m_locked[index(bank)])
        return TagError::Locked;
    m_banks[index(bank)].replace(2 * address, 2 * count, bytes.left(2 * count));
    if (bank == TagBank::Epc)
        updateStoredCrc();
    return TagError::None;
}

void EpcTag::setLocked(TagBank bank, bool locked)
{
    m_locked[index(bank)] = locked;
}

bool EpcTag::locked(TagBank bank) const
{
    return m_locked[index(bank)];
}

QByteArray EpcTag::epc() const
{
    const QByteArray &b = m_banks[index(TagBank::Epc)];
    const int length = (std::uint8_t(b.at(2)) >> 3) & 0x1F;
    return b.mid(4, 2 * length);
}

std::uint16_t EpcTag::crc16(const QByteArray &bytes)
{
    std::uint16_t crc = 0xFFFF;
    for (char c : bytes) {
        crc ^= std::uint16_t(std::uint8_t(c) << 8);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 0x8000) ? std::uint16_t((crc << 1) ^ 0x1021) : std::uint16_t(crc << 1);
    }
    return std::uint16_t(~crc);
}

void EpcTag::updateStoredCrc()
{
    // Over the PC word and as many EPC words as it announces (what the bank holds, at most).
    QByteArray &b = m_banks[index(TagBank::Epc)];
    const int length = (std::uint8_t(b.at(2)) >> 3) & 0x1F;
    const std::uint16_t crc = crc16(b.mid(2, 2 + 2 * length));
    b[0] = char(crc >> 8);
    b[1] = char(crc & 0xFF);
}

}  // namespace kv350::sim
