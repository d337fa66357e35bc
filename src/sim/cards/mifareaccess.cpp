#include "mifareaccess.h"

namespace kv350::sim {
namespace {

// Which keys a table cell grants.
constexpr std::uint8_t Never = 0, KeyA = 1, KeyB = 2, Both = KeyA | KeyB;

// Data blocks, by row: read, write, increment, decrement/transfer/restore.
constexpr std::uint8_t DataTable[8][4] = {
    {Both, Both, Both, Both},     // 000 transport configuration
    {Both, Never, Never, Both},   // 001 value block
    {Both, Never, Never, Never},  // 010 read only
    {KeyB, KeyB, Never, Never},   // 011
    {Both, KeyB, Never, Never},   // 100
    {KeyB, Never, Never, Never},  // 101
    {Both, KeyB, KeyB, Both},     // 110 value block
    {Never, Never, Never, Never}  // 111
};

// Trailer, by row: key A read, key A write, access read, access write, key B read, key B write.
constexpr std::uint8_t TrailerTable[8][6] = {
    {Never, KeyA, KeyA, Never, KeyA, KeyA},     // 000
    {Never, KeyA, KeyA, KeyA, KeyA, KeyA},      // 001 transport configuration
    {Never, Never, KeyA, Never, KeyA, Never},   // 010
    {Never, KeyB, Both, KeyB, Never, KeyB},     // 011
    {Never, KeyB, Both, Never, Never, KeyB},    // 100
    {Never, Never, Both, KeyB, Never, Never},   // 101
    {Never, Never, Both, Never, Never, Never},  // 110
    {Never, Never, Both, Never, Never, Never}   // 111
};

bool grants(std::uint8_t cell, KeyType key)
{
    return cell & (key == KeyType::A ? KeyA : KeyB);
}

}  // namespace

std::optional<AccessRows> decodeAccessBytes(std::uint8_t b6, std::uint8_t b7, std::uint8_t b8)
{
    const unsigned c1 = b7 >> 4, c2 = b8 & 0x0F, c3 = b8 >> 4;
    const unsigned notC1 = b6 & 0x0F, notC2 = b6 >> 4, notC3 = b7 & 0x0F;
    if ((c1 ^ notC1) != 0x0F || (c2 ^ notC2) != 0x0F || (c3 ^ notC3) != 0x0F)
        return std::nullopt;
    AccessRows rows{};
    for (unsigned n = 0; n < 4; ++n)
        rows[n] = std::uint8_t(((c1 >> n) & 1) << 2 | ((c2 >> n) & 1) << 1 | ((c3 >> n) & 1));
    return rows;
}

std::optional<AccessRows> decodeAccessBytes(const QByteArray &trailer)
{
    if (trailer.size() < 9)
        return std::nullopt;
    return decodeAccessBytes(std::uint8_t(trailer.at(6)), std::uint8_t(trailer.at(7)), std::uint8_t(trailer.at(8)));
}

QByteArray encodeAccessBytes(const AccessRows &rows)
{
    unsigned c1 = 0, c2 = 0, c3 = 0;
    for (unsigned n = 0; n < 4; ++n) {
        c1 |= ((rows[n] >> 2) & 1u) << n;
        c2 |= ((rows[n] >> 1) & 1u) << n;
        c3 |= (rows[n] & 1u) << n;
    }
    QByteArray bytes(3, '\0');
    bytes[0] = char((~c2 & 0x0F) << 4 | (~c1 & 0x0F));
    bytes[1] = char(c1 << 4 | (~c3 & 0x0F));
    bytes[2] = char(c3 << 4 | c2);
    return bytes;
}

bool dataAccessAllowed(std::uint8_t row, DataOp op, KeyType key)
{
    return row < 8 && grants(DataTable[row][int(op)], key);
}

bool trailerAccessAllowed(std::uint8_t row, TrailerOp op, KeyType key)
{
    return row < 8 && grants(TrailerTable[row][int(op)], key);
}

bool keyBReadable(std::uint8_t trailerRow)
{
    return trailerAccessAllowed(trailerRow, TrailerOp::ReadKeyB, KeyType::A);
}

}  // namespace kv350::sim
