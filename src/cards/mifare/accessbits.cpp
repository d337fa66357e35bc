#include "accessbits.h"

namespace kv350::cards {
namespace {

constexpr Op DataOps[] = {Op::Read, Op::Write, Op::Inc, Op::Dec};
constexpr Op TrailerOps[] = {Op::KeyARead, Op::KeyAWrite, Op::AccessRead, Op::AccessWrite, Op::KeyBRead, Op::KeyBWrite};

constexpr Who AB = Who::AB, A = Who::A, B = Who::B, N = Who::Never;

// The card's access tables, row C1 C2 C3 = 000 … 111.
constexpr Who DataRows[8][4] = {
    {AB, AB, AB, AB},  // 000
    {AB, N, N, AB},    // 001
    {AB, N, N, N},     // 010
    {B, B, N, N},      // 011
    {AB, B, N, N},     // 100
    {B, N, N, N},      // 101
    {AB, B, B, AB},    // 110
    {N, N, N, N},      // 111
};
constexpr Who TrailerRows[8][6] = {
    {N, A, A, N, A, A},   // 000
    {N, A, A, A, A, A},   // 001
    {N, N, A, N, A, N},   // 010
    {N, B, AB, B, N, B},  // 011
    {N, B, AB, N, N, B},  // 100
    {N, N, AB, B, N, N},  // 101
    {N, N, AB, N, N, N},  // 110
    {N, N, AB, N, N, N},  // 111
};

constexpr int R000 = 0, R001 = 1, R010 = 2, R011 = 3, R100 = 4, R101 = 5, R110 = 6, R111 = 7;
constexpr Relabel Keep = Relabel::None;

// Every button of the editor with the row a click on it selects.
// clang-format off
constexpr AccessButton Buttons[] = {
    // block 0
    {1, 0, Op::Read, AB, R110, Keep}, {2, 0, Op::Read, B, R011, Keep}, {3, 0, Op::Read, N, R111, Keep},
    {31, 0, Op::Write, AB, R000, Keep}, {32, 0, Op::Write, B, R100, Keep}, {33, 0, Op::Write, N, R001, Keep},
    {7, 0, Op::Inc, AB, R000, Keep}, {11, 0, Op::Inc, B, R110, Keep}, {9, 0, Op::Inc, N, R101, Keep},
    {8, 0, Op::Dec, AB, R110, Keep}, {10, 0, Op::Dec, N, R010, Keep},
    // block 1
    {4, 1, Op::Read, AB, R110, Keep}, {5, 1, Op::Read, B, R011, Keep}, {6, 1, Op::Read, N, R111, Keep},
    {19, 1, Op::Write, AB, R000, Keep}, {20, 1, Op::Write, B, R100, Keep}, {21, 1, Op::Write, N, R001, Keep},
    {13, 1, Op::Inc, AB, R000, Keep}, {15, 1, Op::Inc, B, R110, Keep}, {14, 1, Op::Inc, N, R101, Keep},
    {16, 1, Op::Dec, AB, R110, Keep}, {17, 1, Op::Dec, N, R010, Keep},
    // block 2
    {22, 2, Op::Read, AB, R110, Keep}, {23, 2, Op::Read, B, R011, Keep}, {24, 2, Op::Read, N, R111, Keep},
    {34, 2, Op::Write, AB, R000, Keep}, {35, 2, Op::Write, B, R100, Keep}, {36, 2, Op::Write, N, R001, Keep},
    {25, 2, Op::Inc, AB, R000, Keep}, {27, 2, Op::Inc, B, R110, Keep}, {26, 2, Op::Inc, N, R101, Keep},
    {28, 2, Op::Dec, AB, R110, Keep}, {29, 2, Op::Dec, N, R010, Keep},
    // sector trailer
    {38, 3, Op::KeyARead, N, R001, Keep},
    {46, 3, Op::KeyAWrite, A, R000, Keep}, {47, 3, Op::KeyAWrite, B, R011, Keep},
    {12, 3, Op::KeyAWrite, N, R101, Keep},
    {42, 3, Op::AccessRead, A, R010, Relabel::ToA}, {49, 3, Op::AccessRead, AB, R100, Relabel::ToAB},
    {43, 3, Op::AccessWrite, A, R001, Relabel::ToA}, {44, 3, Op::AccessWrite, B, R011, Relabel::ToAB},
    {45, 3, Op::AccessWrite, N, R110, Keep},
    {37, 3, Op::KeyBRead, N, R011, Keep}, {48, 3, Op::KeyBRead, A, R001, Keep},
    {39, 3, Op::KeyBWrite, A, R001, Keep}, {40, 3, Op::KeyBWrite, B, R011, Keep},
    {41, 3, Op::KeyBWrite, N, R110, Keep},
};
// clang-format on
static_assert(std::size(Buttons) == 47);

int opIndex(int block, Op op)
{
    const auto ops = opsOf(block);
    for (int i = 0; i < int(ops.size()); ++i)
        if (ops[i] == op)
            return i;
    return -1;
}

}  // namespace

std::span<const Op> opsOf(int block)
{
    if (block == TrailerIndex)
        return TrailerOps;
    return DataOps;
}

Who rowChoice(int block, int row, Op op)
{
    const int i = opIndex(block, op);
    if (i < 0 || row < 0 || row > 7)
        return Who::Never;
    return block == TrailerIndex ? TrailerRows[row][i] : DataRows[row][i];
}

std::span<const AccessButton> accessButtons()
{
    return Buttons;
}

const AccessButton *accessButton(int number)
{
    for (const AccessButton &b : Buttons)
        if (b.number == number)
            return &b;
    return nullptr;
}

int matchingRow(int block, const std::function<bool(Op, Who)> &isChecked)
{
    for (int row = 0; row < 8; ++row) {
        bool all = true;
        for (Op op : opsOf(block))
            all = all && isChecked(op, rowChoice(block, row, op));
        if (all)
            return row;
    }
    return -1;
}

AccessNibbles accessNibbles(const std::array<int, 4> &rows)
{
    AccessNibbles n;
    for (int block = 0; block < 4; ++block) {
        const int row = rows[block];
        if (row < 0)
            continue;  // as if row 101: C1 and C3 set, C2 clear
        const std::uint8_t bit = std::uint8_t(1u << block);
        const bool c1 = row & 4, c2 = row & 2, c3 = row & 1;
        if (!c1)
            n.notC1 |= bit;
        if (!c3)
            n.notC3 |= bit;
        if (c2)
            n.c2 |= bit;
    }
    return n;
}

QByteArray accessBytes(const AccessNibbles &n)
{
    const char bytes[] = {
        char(((~n.c2 & 0x0F) << 4) | n.notC1),     // byte 6: NOT C2 | NOT C1
        char(((~n.notC1 & 0x0F) << 4) | n.notC3),  // byte 7: C1 | NOT C3
        char(((~n.notC3 & 0x0F) << 4) | n.c2),     // byte 8: C3 | C2
    };
    return QByteArray(bytes, 3);
}

QByteArray accessBytes(const std::array<int, 4> &rows)
{
    return accessBytes(accessNibbles(rows));
}

QString accessText(const QByteArray &bytes3)
{
    return QString::fromLatin1(bytes3.toHex().toUpper()) + QStringLiteral("69");
}

bool accessBytesValid(const QByteArray &bytes3)
{
    return bytes3.size() >= 3 && invalidAccessGroups(bytes3) == 0;
}

std::uint8_t invalidAccessGroups(const QByteArray &bytes3)
{
    if (bytes3.size() < 3)
        return 0x0F;
    const auto b6 = std::uint8_t(bytes3[0]), b7 = std::uint8_t(bytes3[1]), b8 = std::uint8_t(bytes3[2]);
    const int notC1 = b6 & 0x0F, notC2 = b6 >> 4, c1 = b7 >> 4, notC3 = b7 & 0x0F, c3 = b8 >> 4, c2 = b8 & 0x0F;
    // A bit pair that is stored inverted XORs to 1; the groups where any does not.
    return std::uint8_t(~((notC1 ^ c1) & (notC2 ^ c2) & (notC3 ^ c3)) & 0x0F);
}

std::optional<std::array<int, 4>> accessRows(const QByteArray &bytes3)
{
    if (!accessBytesValid(bytes3))
        return std::nullopt;
    const auto b7 = std::uint8_t(bytes3[1]), b8 = std::uint8_t(bytes3[2]);
    const int c1 = b7 >> 4, c2 = b8 & 0x0F, c3 = b8 >> 4;
    std::array<int, 4> rows{};
    for (int group = 0; group < 4; ++group)
        rows[group] = ((c1 >> group) & 1) << 2 | ((c2 >> group) & 1) << 1 | ((c3 >> group) & 1);
    return rows;
}

}  // namespace kv350::cards
