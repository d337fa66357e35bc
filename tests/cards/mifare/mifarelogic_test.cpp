// The MIFARE pages' rules without widgets: hex boxes, frames, the loop
// test's texts, and the access-bit editor checked against an independent
// decoder of the trailer bytes.
#include "cards/mifare/accessbits.h"
#include "cards/mifare/mifareframes.h"
#include "hexbytes.h"
#include "pages/pagewidgets.h"

#include <QLineEdit>
#include <gtest/gtest.h>

using namespace kv350;
using namespace kv350::cards;

namespace {

// C1 C2 C3 of block n from trailer bytes 6-8, straight from the card's
// layout: byte 6 = ~C2|~C1, byte 7 = C1|~C3, byte 8 = C3|C2 (high|low nibble).
int decodeRow(const QByteArray &bytes, int n)
{
    const auto b7 = std::uint8_t(bytes[1]), b8 = std::uint8_t(bytes[2]);
    const int c1 = (b7 >> (4 + n)) & 1;
    const int c2 = (b8 >> n) & 1;
    const int c3 = (b8 >> (4 + n)) & 1;
    return c1 << 2 | c2 << 1 | c3;
}

}  // namespace

TEST(HexField, TwoCharactersToAByteAndNothingMadeUp)
{
    EXPECT_EQ(parseHexBytes("FFFFFFFFFFFF", 6), hex("FF FF FF FF FF FF"));
    EXPECT_EQ(parseHexBytes("a0B1c2", 3), hex("A0 B1 C2"));
    EXPECT_EQ(parseHexBytes("FFFFFFFFFFF", 6), hex("FF FF FF FF FF 0F")) << "a last single digit is a byte";
    EXPECT_EQ(parseHexBytes("FFFFFFFF", 6), std::nullopt) << "runs out at byte 4";
    EXPECT_EQ(parseHexBytes("12XY", 2), std::nullopt);
    EXPECT_EQ(parseHexBytes("1 2", 1), std::nullopt);
    EXPECT_EQ(parseHexBytes("", 1), std::nullopt);
    EXPECT_EQ(parseHexBytes("0102030405", 2), hex("01 02")) << "what lies beyond n bytes is not read";

    QLineEdit box(QStringLiteral("FFFFFFFF"));
    HexField f = ParseHexField(&box, 6, QStringLiteral("FFFFFFFFFFFF"));
    EXPECT_FALSE(f.ok);
    EXPECT_EQ(f.bytes, QByteArray(6, char(0xFF)));
    EXPECT_EQ(box.text(), "FFFFFFFFFFFF") << "the box goes back to its default";
    box.setText(QStringLiteral("A1A2A3A4A5A6"));
    f = ParseHexField(&box, 6, QStringLiteral("FFFFFFFFFFFF"));
    EXPECT_TRUE(f.ok);
    EXPECT_EQ(f.bytes, hex("A1A2A3A4A5A6"));
}

TEST(MifareFrames, ExactBytesOfEachForm)
{
    const MifareKey typed{KeyA, hex("FFFFFFFFFFFF")};
    const MifareKey stored{KeyB, std::nullopt};
    EXPECT_EQ(mifareReadFrame(typed, 1, 0), hex("02 0A 15 60 FF FF FF FF FF FF 01 00"));
    EXPECT_EQ(mifareReadFrame(stored, 39, 15), hex("02 04 15 61 27 0F"));
    const QByteArray data = hex("00112233445566778899AABBCCDDEEFF");
    EXPECT_EQ(mifareWriteFrame(typed, 2, 1, data).size(), 28);
    EXPECT_EQ(mifareWriteFrame(typed, 2, 1, data).left(12), hex("02 1A 16 60 FF FF FF FF FF FF 02 01"));
    EXPECT_EQ(mifareWriteFrame(stored, 2, 1, data), hex("02 14 16 61 02 01") + data);
    EXPECT_EQ(uidFrame(), hex("02 01 11"));
    EXPECT_EQ(storeKeyFrame(KeyB, hex("A0A1A2A3A4A5"), 5), hex("02 09 12 61 A0 A1 A2 A3 A4 A5 05"));
    EXPECT_EQ(trailerBlock(31), 3);
    EXPECT_EQ(trailerBlock(32), 15);
}

TEST(MifareTexts, BlocksAsTextAndTextAsBlocks)
{
    EXPECT_EQ(textBlock("ABC"), hex("414243") + QByteArray(13, '\0'));
    EXPECT_EQ(textBlock("ABCDEFGHIJKLMNOPQRST"), QByteArray("ABCDEFGHIJKLMNOP")) << "only 16 characters";
    EXPECT_EQ(blockText(hex("48690041")), "Hi") << "up to the first zero";
    EXPECT_EQ(readAllPrefix(0), "00(0/0):");
    EXPECT_EQ(readAllPrefix(7), "07(1/3):");
    EXPECT_EQ(countOr("5", 16), 5);
    EXPECT_EQ(countOr("abc", 16), 16);
    EXPECT_EQ(countOr("", 10), 10);
}

TEST(LoopTest, BlocksPatternsAndLines)
{
    EXPECT_EQ(loopTestBlocks(16), (std::vector<int>{4, 5, 6, 8, 9, 10, 12, 13, 14}));
    EXPECT_EQ(loopTestBlocks(3), (std::vector<int>{4})) << "the limit is raised to 5";
    EXPECT_EQ(loopTestBlocks(8), (std::vector<int>{4, 5, 6}));
    EXPECT_EQ(loopPattern(0), "00010203040506070809101112131415");
    EXPECT_EQ(loopPattern(1), "01020304050607080910111213141516");
    for (int pass : {84, 85, 86, 99, 100, 998})
        EXPECT_EQ(loopPattern(pass).size(), 32) << "pass " << pass;
    EXPECT_EQ(loopPattern(86), "86878889909192939495969798990001");
    EXPECT_EQ(loopCounterLine("WRITE_NUM=", 2, {0, 0, 1}), "WRITE_NUM=2  CMD_ERR=0  WR_ERR=0  CHK_ERR=1");
    EXPECT_EQ(loopBlockPrefix('W', 1, 4), "(W:1)-04(1/0):");
    EXPECT_EQ(loopBlockPrefix('R', 2, 9), "(R:2)-09(2/1):");
}

TEST(AccessBits, WorkedExamples)
{
    EXPECT_EQ(accessText(accessBytes({0, 0, 0, 1})), "FF078069") << "the transport configuration";
    const AccessNibbles n = accessNibbles({0, 7, 0, 1});
    EXPECT_EQ(n.notC1, 0xD);
    EXPECT_EQ(n.notC3, 0x5);
    EXPECT_EQ(n.c2, 0x2);
    EXPECT_EQ(accessText(accessBytes(n)), "DD25A269");
    EXPECT_EQ(accessText(accessBytes({0, 0, 0, 3})), "7F078869") << "trailer row 011";
    EXPECT_EQ(accessBytes({-1, 0, 0, 1}), accessBytes({5, 0, 0, 1})) << "no row encodes 101";
}

TEST(AccessBits, EveryButtonSelectsARowThatDecodesBack)
{
    ASSERT_EQ(accessButtons().size(), 47u);
    for (const AccessButton &button : accessButtons()) {
        SCOPED_TRACE(button.number);
        // The clicked choice belongs to the row it selects.
        EXPECT_EQ(rowChoice(button.block, button.row, button.op), button.who);
        // The editor's bytes, read back with the card's layout, give that row.
        std::array<int, 4> rows = {0, 0, 0, 1};
        rows[button.block] = button.row;
        const QByteArray bytes = accessBytes(rows);
        EXPECT_TRUE(accessBytesValid(bytes));
        for (int block = 0; block < 4; ++block)
            EXPECT_EQ(decodeRow(bytes, block), rows[block]) << "block " << block;
    }
    // Every row of both tables, for every block.
    for (int block = 0; block < 4; ++block)
        for (int row = 0; row < 8; ++row) {
            std::array<int, 4> rows = {2, 4, 6, 3};
            rows[block] = row;
            EXPECT_EQ(decodeRow(accessBytes(rows), block), row) << block << "/" << row;
        }
}

TEST(AccessBits, RowMatchingTakesTheFirstRowAndTrailer110Over111)
{
    // The choices of one row, checked, find that row again; 111 of the trailer reads as 110.
    for (int block : {0, 3})
        for (int row = 0; row < 8; ++row) {
            const int found = matchingRow(block, [&](Op op, Who who) { return rowChoice(block, row, op) == who; });
            EXPECT_EQ(found, block == 3 && row == 7 ? 6 : row) << block << "/" << row;
        }
    EXPECT_EQ(matchingRow(0, [](Op, Who) { return false; }), -1);
}

TEST(AccessBits, ValidityMeansEachBitStoredTwice)
{
    EXPECT_TRUE(accessBytesValid(hex("FF0780")));
    EXPECT_TRUE(accessBytesValid(hex("DD25A2")));
    EXPECT_FALSE(accessBytesValid(hex("FF0781")));
    EXPECT_FALSE(accessBytesValid(hex("000000")));
    EXPECT_FALSE(accessBytesValid(hex("FFFF")));
    for (int bit = 0; bit < 24; ++bit) {
        QByteArray b = hex("FF0780");
        b[bit / 8] = char(b[bit / 8] ^ (1 << (bit % 8)));
        EXPECT_FALSE(accessBytesValid(b)) << "bit " << bit << " flipped";
    }
}
