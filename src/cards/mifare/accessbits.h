#pragma once
// The access-condition editor's rules, without widgets: which row of the
// card's access table each choice selects, which choices a row consists of,
// and the access bytes of four rows.

#include <QByteArray>
#include <QString>
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>

namespace kv350::cards {

// Who may do an operation.
enum class Who { AB, A, B, Never };

// The operations of a data block (0-2) and of the sector trailer (3).
enum class Op { Read, Write, Inc, Dec, KeyARead, KeyAWrite, AccessRead, AccessWrite, KeyBRead, KeyBWrite };

inline constexpr int TrailerIndex = 3;  // the trailer is the fourth "block" of the editor

std::span<const Op> opsOf(int block);
// Who may do `op` on row `row` (C1 C2 C3 as a three-bit number, C1 highest).
Who rowChoice(int block, int row, Op op);

// What the four trailer choices that relabel the data blocks do to them.
enum class Relabel { None, ToA, ToAB };

// One radio button of the editor: its number (RadioButtonN), the choice it
// stands for, and the row a click on it selects.
struct AccessButton {
    int number;
    int block;
    Op op;
    Who who;
    int row;
    Relabel relabel;
};
std::span<const AccessButton> accessButtons();
const AccessButton *accessButton(int number);

// The first row, in the order 000 … 111, whose choices are all checked;
// -1 when none is.
int matchingRow(int block, const std::function<bool(Op, Who)> &isChecked);

// The three working nibbles: NOT C1, NOT C3 and C2 of blocks 0-3 in bits 0-3.
// A block without a row (-1) sets none of its bits.
struct AccessNibbles {
    std::uint8_t notC1 = 0, notC3 = 0, c2 = 0;
};
AccessNibbles accessNibbles(const std::array<int, 4> &rows);
// Bytes 6, 7 and 8 of the trailer.
QByteArray accessBytes(const AccessNibbles &n);
QByteArray accessBytes(const std::array<int, 4> &rows);
// The text of the access box: the three bytes and the user byte 69.
QString accessText(const QByteArray &bytes3);

// True when each of C1, C2 and C3 is stored once plain and once inverted; a
// card given anything else locks its sector for good.
bool accessBytesValid(const QByteArray &bytes3);
// The groups (bits 0-2 the data blocks, bit 3 the trailer) whose C1, C2 or C3
// is not stored inverted; 0 when the bytes are valid, 0x0F when there are
// fewer than three.
std::uint8_t invalidAccessGroups(const QByteArray &bytes3);
// The rows of blocks 0-2 and of the trailer that valid access bytes encode.
std::optional<std::array<int, 4>> accessRows(const QByteArray &bytes3);

}  // namespace kv350::cards
