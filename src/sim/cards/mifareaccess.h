#pragma once
// The access conditions of a MIFARE Classic sector, as the card's datasheet has
// them. A row is the three access bits of one block (group) read as a number,
// C1 C2 C3 from the high bit down: row 3 is C1=0 C2=1 C3=1 ("011").

#include <QByteArray>
#include <array>
#include <cstdint>
#include <optional>

namespace kv350::sim {

enum class KeyType { A, B };

// Decrement stands for transfer and restore too: the datasheet gives them one column.
enum class DataOp { Read, Write, Increment, Decrement };
enum class TrailerOp { ReadKeyA, WriteKeyA, ReadAccess, WriteAccess, ReadKeyB, WriteKeyB };

// Rows of blocks (groups) 0, 1, 2 and of the trailer (index 3).
using AccessRows = std::array<std::uint8_t, 4>;

// Trailer bytes 6, 7, 8 into rows; nothing when a bit is not stored once plain
// and once inverted (the card then blocks the sector).
std::optional<AccessRows> decodeAccessBytes(std::uint8_t b6, std::uint8_t b7, std::uint8_t b8);
// From the bytes 6–8 of a 16-byte trailer.
std::optional<AccessRows> decodeAccessBytes(const QByteArray &trailer);
// The three bytes 6, 7, 8 for these rows.
QByteArray encodeAccessBytes(const AccessRows &rows);

// The tables alone: whether the row grants the operation to the key. Where the
// trailer's row lets key B be read, key B grants nothing; the card checks that,
// not these functions.
bool dataAccessAllowed(std::uint8_t row, DataOp op, KeyType key);
bool trailerAccessAllowed(std::uint8_t row, TrailerOp op, KeyType key);
// Trailer rows 000, 001 and 010: key B is data, not a key.
bool keyBReadable(std::uint8_t trailerRow);

}  // namespace kv350::sim
