// MIFARE Classic access bits: the editor's encoder (cards/mifare/accessbits)
// against the virtual card's own decoder and encoder (sim/mifareaccess), two
// implementations written apart.
//
// Input: four rows (one byte each; values 8 and up stand for "no row"), then
// three trailer bytes.
// Properties:
// - the card decodes the editor's bytes to the rows chosen ("no row" as 101),
//   both encoders give the same bytes, and the editor calls them valid;
// - for any three bytes: the editor calls them valid exactly when the card can
//   decode them, and then encoding the decoded rows gives the bytes back;
// - the editor's access table agrees with the card's, cell by cell;
// - the editor's choice of row for a block's checked buttons selects choices
//   equal to those of the row they came from.
#include "cards/mifare/accessbits.h"
#include "fuzztarget.h"
#include "sim/cards/mifareaccess.h"

using namespace kv350;
using namespace kv350::fuzz;
using cards::Op;
using cards::Who;

namespace {

constexpr int NoRowAsRow = 5;  // C1 and C3 set, C2 clear

Who expectedWho(bool a, bool b)
{
    return a && b ? Who::AB : a ? Who::A : b ? Who::B : Who::Never;
}

Who cardWho(int block, int row, Op op)
{
    using sim::KeyType;
    if (block == cards::TrailerIndex) {
        static constexpr sim::TrailerOp ops[] = {sim::TrailerOp::ReadKeyA,   sim::TrailerOp::WriteKeyA,
                                                 sim::TrailerOp::ReadAccess, sim::TrailerOp::WriteAccess,
                                                 sim::TrailerOp::ReadKeyB,   sim::TrailerOp::WriteKeyB};
        const sim::TrailerOp t = ops[int(op) - int(Op::KeyARead)];
        return expectedWho(sim::trailerAccessAllowed(std::uint8_t(row), t, KeyType::A),
                           sim::trailerAccessAllowed(std::uint8_t(row), t, KeyType::B));
    }
    static constexpr sim::DataOp ops[] = {sim::DataOp::Read, sim::DataOp::Write, sim::DataOp::Increment,
                                          sim::DataOp::Decrement};
    const sim::DataOp d = ops[int(op)];
    return expectedWho(sim::dataAccessAllowed(std::uint8_t(row), d, KeyType::A),
                       sim::dataAccessAllowed(std::uint8_t(row), d, KeyType::B));
}

}  // namespace

KV350_FUZZ_TARGET(access)(const std::uint8_t *data, std::size_t size)
{
    ByteReader in(data, size);
    std::array<int, 4> rows{};
    sim::AccessRows cardRows{};
    for (int i = 0; i < 4; ++i) {
        const std::uint8_t b = in.u8();
        rows[i] = b < 8 ? b : -1;
        cardRows[i] = std::uint8_t(b < 8 ? b : NoRowAsRow);
    }
    const QByteArray bytes = cards::accessBytes(rows);
    KV350_FUZZ_CHECK(bytes.size() == 3, "three access bytes");
    KV350_FUZZ_CHECK(cards::accessBytesValid(bytes), "the editor's own bytes are invalid");
    const auto decoded = sim::decodeAccessBytes(std::uint8_t(bytes[0]), std::uint8_t(bytes[1]), std::uint8_t(bytes[2]));
    KV350_FUZZ_CHECK(decoded && *decoded == cardRows, "the card reads other rows");
    KV350_FUZZ_CHECK(sim::encodeAccessBytes(cardRows) == bytes, "the encoders differ");
    KV350_FUZZ_CHECK(cards::accessText(bytes) == QString::fromLatin1(bytes.toHex().toUpper()) + QStringLiteral("69"),
                     "access text");

    const QByteArray any = in.bytes(3).leftJustified(3, '\0');
    const auto anyRows = sim::decodeAccessBytes(std::uint8_t(any[0]), std::uint8_t(any[1]), std::uint8_t(any[2]));
    KV350_FUZZ_CHECK(cards::accessBytesValid(any) == anyRows.has_value(), "valid in one, not in the other");
    if (anyRows) {
        std::array<int, 4> back{};
        for (int i = 0; i < 4; ++i)
            back[i] = (*anyRows)[i];
        KV350_FUZZ_CHECK(cards::accessBytes(back) == any, "decode then encode is not the identity");
    }

    for (int block = 0; block < 4; ++block) {
        const int row = cardRows[block];
        for (Op op : cards::opsOf(block))
            KV350_FUZZ_CHECK(cards::rowChoice(block, row, op) == cardWho(block, row, op),
                             "table cell, block " + std::to_string(block) + " row " + std::to_string(row));
        // The buttons of this row checked: the editor finds a row with the same choices.
        const int found = cards::matchingRow(block,
                                             [&](Op op, Who who) { return cards::rowChoice(block, row, op) == who; });
        KV350_FUZZ_CHECK(found >= 0 && found <= row, "no row found for a row's own choices");
        for (Op op : cards::opsOf(block))
            KV350_FUZZ_CHECK(cards::rowChoice(block, found, op) == cards::rowChoice(block, row, op), "matched row");
    }
    return 0;
}
