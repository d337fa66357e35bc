#include "sim/cards/mifareclassic.h"
#include "testutil.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <stdexcept>

using namespace kv350::sim;

namespace {

// The datasheet's tables typed in again, rows 000 … 111, so the card's own tables are checked against them.
// Data blocks: read, write, increment, decrement/transfer/restore.
const char *const dataTable[8][4] = {
    {"A/B", "A/B", "A/B", "A/B"}, {"A/B", "never", "never", "A/B"},     {"A/B", "never", "never", "never"},
    {"B", "B", "never", "never"}, {"A/B", "B", "never", "never"},       {"B", "never", "never", "never"},
    {"A/B", "B", "B", "A/B"},     {"never", "never", "never", "never"},
};
// Trailer: key A read, key A write, access read, access write, key B read, key B write.
const char *const trailerTable[8][6] = {
    {"never", "A", "A", "never", "A", "A"},
    {"never", "A", "A", "A", "A", "A"},
    {"never", "never", "A", "never", "A", "never"},
    {"never", "B", "A/B", "B", "never", "B"},
    {"never", "B", "A/B", "never", "never", "B"},
    {"never", "never", "A/B", "B", "never", "never"},
    {"never", "never", "A/B", "never", "never", "never"},
    {"never", "never", "A/B", "never", "never", "never"},
};

bool cellGrants(const char *cell, KeyType key)
{
    return std::strchr(cell, key == KeyType::A ? 'A' : 'B') != nullptr;
}
bool readableKeyB(int trailerRow)
{
    return std::strcmp(trailerTable[trailerRow][4], "never") != 0;
}
const char *keyName(KeyType key)
{
    return key == KeyType::A ? "A" : "B";
}

const QByteArray keyA = hex("A0 A1 A2 A3 A4 A5");
const QByteArray keyB = hex("B0 B1 B2 B3 B4 B5");

// Sector 1 of a fresh 1K card with these rows and the keys above.
MifareClassicCard cardWithRows(const AccessRows &rows)
{
    MifareClassicCard card;
    card.setTrailer(1, keyA, encodeAccessBytes(rows), 0x69, keyB);
    return card;
}

bool open(MifareClassicCard &card, int sector, KeyType key)
{
    card.select();
    return card.authenticate(sector, key, key == KeyType::A ? keyA : keyB);
}

}  // namespace

TEST(MifareAccessBytes, KnownEncodings)
{
    EXPECT_EQ(decodeAccessBytes(0xFF, 0x07, 0x80), (AccessRows{0, 0, 0, 1}));  // transport configuration
    EXPECT_EQ(decodeAccessBytes(0xDD, 0x25, 0xA2), (AccessRows{0, 7, 0, 1}));  // block 1 on row 111
    EXPECT_EQ(decodeAccessBytes(0x7F, 0x07, 0x88), (AccessRows{0, 0, 0, 3}));  // trailer on row 011
    EXPECT_EQ(decodeAccessBytes(0x0F, 0x0F, 0x0F), (AccessRows{2, 2, 2, 2}));
    EXPECT_EQ(decodeAccessBytes(0x0F, 0x00, 0xFF), (AccessRows{3, 3, 3, 3}));
    EXPECT_EQ(encodeAccessBytes({0, 0, 0, 1}), hex("FF 07 80"));
    EXPECT_EQ(encodeAccessBytes({7, 7, 7, 7}), hex("00 F0 FF"));
    EXPECT_EQ(encodeAccessBytes({4, 2, 1, 3}), hex("5E 13 CA"));
}

TEST(MifareAccessBytes, EveryRowCombinationRoundTripsAndEveryBitFlipIsInconsistent)
{
    for (int n = 0; n < 8 * 8 * 8 * 8; ++n) {
        const AccessRows rows{std::uint8_t(n & 7), std::uint8_t(n >> 3 & 7), std::uint8_t(n >> 6 & 7),
                              std::uint8_t(n >> 9 & 7)};
        const QByteArray bytes = encodeAccessBytes(rows);
        ASSERT_EQ(decodeAccessBytes(std::uint8_t(bytes[0]), std::uint8_t(bytes[1]), std::uint8_t(bytes[2])), rows);
        for (int bit = 0; bit < 24; ++bit) {
            QByteArray flipped = bytes;
            flipped[bit / 8] = char(flipped[bit / 8] ^ (1 << bit % 8));
            ASSERT_FALSE(decodeAccessBytes(QByteArray(6, '\0') + flipped)) << n << " bit " << bit;
        }
    }
}

TEST(MifareCard, GeometryOf1KAnd4K)
{
    MifareClassicCard k1;
    MifareClassicCard k4(MifareClassicCard::Size::K4);
    EXPECT_EQ(k1.sectorCount(), 16);
    EXPECT_EQ(k4.sectorCount(), 40);
    EXPECT_EQ(k1.blocksInSector(15), 4);
    EXPECT_EQ(k1.blocksInSector(16), 0);
    EXPECT_EQ(k4.blocksInSector(31), 4);
    EXPECT_EQ(k4.trailerBlock(31), 3);
    EXPECT_EQ(k4.blocksInSector(32), 16);
    EXPECT_EQ(k4.trailerBlock(39), 15);
    EXPECT_EQ(k4.blocksInSector(40), 0);
    EXPECT_THROW(k1.block(16, 0), std::out_of_range);
    EXPECT_THROW(k4.setBlock(31, 4, QByteArray(16, '\0')), std::out_of_range);
    EXPECT_THROW(k4.block(32, 16), std::out_of_range);

    // No two blocks share memory: 64 and 256 blocks, each with its own pattern.
    for (MifareClassicCard *card : {&k1, &k4}) {
        std::set<QByteArray> seen;
        for (int s = 0; s < card->sectorCount(); ++s)
            for (int b = 0; b < card->blocksInSector(s); ++b)
                card->setBlock(s, b, QByteArray(1, char(s)) + QByteArray(1, char(b)));
        for (int s = 0; s < card->sectorCount(); ++s)
            for (int b = 0; b < card->blocksInSector(s); ++b) {
                EXPECT_EQ(card->block(s, b).left(2), QByteArray(1, char(s)) + QByteArray(1, char(b)));
                seen.insert(card->block(s, b));
            }
        EXPECT_EQ(seen.size(), card == &k1 ? 64u : 256u);
    }
}

TEST(MifareCard, ManufacturerBlockAndTransportConfiguration)
{
    struct {
        MifareClassicCard::Size size;
        const char *uid;
        const char *block0;
    } const rows[] = {
        {MifareClassicCard::Size::K1, "11 22 33 44", "11 22 33 44 44 08 04 00 62 63 64 65 66 67 68 69"},
        {MifareClassicCard::Size::K4, "DE AD BE EF", "DE AD BE EF 22 18 02 00 62 63 64 65 66 67 68 69"},
        {MifareClassicCard::Size::K1, "04 11 22 33 44 55 66", "04 11 22 33 44 55 66 08 44 00 62 63 64 65 66 67"},
        {MifareClassicCard::Size::K1, "01 02", "01 02 00 00 03 08 04 00 62 63 64 65 66 67 68 69"},
    };
    for (const auto &row : rows) {
        MifareClassicCard card(row.size, hex(row.uid));
        EXPECT_EQ(card.block(0, 0), hex(row.block0)) << row.uid;
        EXPECT_EQ(card.uid(), hex(row.block0).left(hex(row.uid).size() == 7 ? 7 : 4));
        for (int s = 0; s < card.sectorCount(); ++s)
            EXPECT_EQ(card.block(s, card.trailerBlock(s)), hex("FFFFFFFFFFFF FF0780 69 FFFFFFFFFFFF")) << s;
    }

    // Block 0 is read-only whatever the access bits say.
    MifareClassicCard card;
    card.select();
    ASSERT_TRUE(card.authenticate(0, KeyType::A, QByteArray(6, char(0xFF))));
    EXPECT_TRUE(card.allows(0, 1, DataOp::Write));
    for (const DataOp op : {DataOp::Write, DataOp::Increment, DataOp::Decrement})
        EXPECT_FALSE(card.allows(0, 0, op));
    EXPECT_FALSE(card.write(0, 0, QByteArray(16, '\x5A')));
    EXPECT_EQ(card.lastError(), MifareError::ReadOnly);
    card.select();
    ASSERT_TRUE(card.authenticate(0, KeyType::A, QByteArray(6, char(0xFF))));
    EXPECT_EQ(card.read(0, 0), hex("11 22 33 44 44 08 04 00 62 63 64 65 66 67 68 69"));
}

// Every data-block row with every trailer row, both keys, each of blocks 0–2 on its own row.
TEST(MifareCard, DataBlockAccessFollowsTheTable)
{
    const QByteArray held = hex("00112233445566778899AABBCCDDEEFF");
    const QByteArray other = QByteArray(16, '\x5A');
    for (int r = 0; r < 8; ++r)
        for (int t = 0; t < 8; ++t)
            for (const KeyType key : {KeyType::A, KeyType::B}) {
                const AccessRows rows{std::uint8_t(r), std::uint8_t((r + 3) % 8), std::uint8_t((r + 5) % 8),
                                      std::uint8_t(t)};
                MifareClassicCard card = cardWithRows(rows);
                const bool keyUsable = !(key == KeyType::B && readableKeyB(t));
                for (int b = 0; b < 3; ++b) {
                    SCOPED_TRACE(testing::Message() << "data row " << int(rows[b]) << " trailer row " << t << " key "
                                                    << keyName(key) << " block " << b);
                    card.setBlock(1, b, held);
                    ASSERT_TRUE(open(card, 1, key));
                    bool expected[4];
                    for (int op = 0; op < 4; ++op) {
                        expected[op] = keyUsable && cellGrants(dataTable[rows[b]][op], key);
                        EXPECT_EQ(card.allows(1, b, DataOp(op)), expected[op]) << "op " << op;
                    }
                    const MifareError refusal = keyUsable ? MifareError::AccessDenied : MifareError::KeyBNotUsable;

                    const std::optional<QByteArray> read = card.read(1, b);
                    EXPECT_EQ(read, expected[0] ? std::optional<QByteArray>(held) : std::nullopt);
                    EXPECT_EQ(card.lastError(), expected[0] ? MifareError::None : refusal);

                    ASSERT_TRUE(open(card, 1, key));
                    EXPECT_EQ(card.write(1, b, other), expected[1]);
                    EXPECT_EQ(card.block(1, b), expected[1] ? other : held);
                    EXPECT_EQ(card.lastError(), expected[1] ? MifareError::None : refusal);
                }
            }
}

// Every trailer row with both keys: each field's read and write.
TEST(MifareCard, TrailerAccessFollowsTheTable)
{
    const QByteArray newKeyA = hex("C0 C1 C2 C3 C4 C5"), newKeyB = hex("D0 D1 D2 D3 D4 D5");
    for (int t = 0; t < 8; ++t)
        for (const KeyType key : {KeyType::A, KeyType::B}) {
            SCOPED_TRACE(testing::Message() << "trailer row " << t << " key " << keyName(key));
            const AccessRows rows{0, 0, 0, std::uint8_t(t)};
            MifareClassicCard card = cardWithRows(rows);
            const QByteArray access = encodeAccessBytes(rows) + hex("69");
            const bool keyUsable = !(key == KeyType::B && readableKeyB(t));
            bool expected[6];
            ASSERT_TRUE(open(card, 1, key));
            for (int op = 0; op < 6; ++op) {
                expected[op] = keyUsable && cellGrants(trailerTable[t][op], key);
                EXPECT_EQ(card.allows(1, TrailerOp(op)), expected[op]) << "op " << op;
            }

            // Key A never shows; key B shows where it may be read (only key A can be in such a session).
            const std::optional<QByteArray> read = card.read(1, 3);
            ASSERT_EQ(read.has_value(), expected[2]);
            if (read) {
                EXPECT_EQ(*read, QByteArray(6, '\0') + access + (expected[4] ? keyB : QByteArray(6, '\0')));
            } else {
                EXPECT_EQ(card.lastError(), MifareError::KeyBNotUsable);
            }

            // A write stores the fields the key may write and keeps the rest.
            const QByteArray newAccess = encodeAccessBytes({1, 2, 3, std::uint8_t(t)}) + hex("42");
            ASSERT_TRUE(open(card, 1, key));
            const bool anyField = expected[1] || expected[3] || expected[5];
            EXPECT_EQ(card.write(1, 3, newKeyA + newAccess + newKeyB), anyField);
            const QByteArray stored = card.block(1, 3);
            EXPECT_EQ(stored.left(6), expected[1] ? newKeyA : keyA);
            EXPECT_EQ(stored.mid(6, 4), expected[3] ? newAccess : access);
            EXPECT_EQ(stored.mid(10), expected[5] ? newKeyB : keyB);
            if (!anyField) {
                EXPECT_EQ(card.lastError(), keyUsable ? MifareError::AccessDenied : MifareError::KeyBNotUsable);
            }
        }
}

TEST(MifareCard, AuthenticationAndSession)
{
    MifareClassicCard card = cardWithRows({0, 0, 0, 3});
    EXPECT_FALSE(card.authenticate(1, KeyType::A, keyA));  // not selected yet
    EXPECT_EQ(card.lastError(), MifareError::NotSelected);
    card.select();
    EXPECT_FALSE(card.authenticate(1, KeyType::B, keyA));
    EXPECT_EQ(card.lastError(), MifareError::AuthFailed);
    // A failed authentication leaves the card idle until it is selected again.
    EXPECT_FALSE(card.authenticate(1, KeyType::B, keyB));
    EXPECT_EQ(card.lastError(), MifareError::NotSelected);
    card.select();
    EXPECT_FALSE(card.authenticate(1, KeyType::B, keyB.left(5)));
    ASSERT_TRUE(open(card, 1, KeyType::B));
    EXPECT_TRUE(card.isAuthenticated(1));
    EXPECT_FALSE(card.read(2, 0));
    EXPECT_EQ(card.lastError(), MifareError::NotAuthenticated);
    EXPECT_FALSE(card.isAuthenticated(1));  // the refusal ended the session
    card.select();
    EXPECT_FALSE(card.authenticate(16, KeyType::A, keyA));
    EXPECT_EQ(card.lastError(), MifareError::OutOfRange);
}

TEST(MifareCard, InconsistentAccessBytesMakeTheSectorUnusable)
{
    const QByteArray ff = QByteArray(6, char(0xFF));
    MifareClassicCard card;
    // Row 000 may not write the access bytes: the inconsistent ones are dropped, the keys are written.
    card.setTrailer(2, ff, encodeAccessBytes({0, 0, 0, 0}), 0x69, ff);
    card.select();
    ASSERT_TRUE(card.authenticate(2, KeyType::A, ff));
    EXPECT_TRUE(card.write(2, 3, keyA + hex("FF 07 81 69") + keyB));
    EXPECT_EQ(card.block(2, 3), keyA + encodeAccessBytes({0, 0, 0, 0}) + hex("69") + keyB);
    EXPECT_TRUE(card.sectorUsable(2));

    // The transport configuration may: the card takes them, and the sector is lost.
    card.select();
    ASSERT_TRUE(card.authenticate(1, KeyType::A, ff));
    EXPECT_TRUE(card.write(1, 3, keyA + hex("FF 07 81 69") + keyB));
    EXPECT_EQ(card.block(1, 3), keyA + hex("FF 07 81 69") + keyB);
    EXPECT_FALSE(card.sectorUsable(1));
    for (const auto &[type, key] : {std::pair{KeyType::A, keyA}, std::pair{KeyType::B, keyB}}) {
        card.select();
        EXPECT_FALSE(card.authenticate(1, type, key));
        EXPECT_EQ(card.lastError(), MifareError::SectorUnusable);
    }
    card.select();
    EXPECT_TRUE(card.authenticate(3, KeyType::A, ff));
}

TEST(MifareCard, LargeSectorsShareAccessBitsByGroupsOfFive)
{
    MifareClassicCard card(MifareClassicCard::Size::K4);
    card.setTrailer(33, keyA, encodeAccessBytes({0, 7, 0, 1}), 0x69, keyB);
    for (int b = 0; b < 16; ++b) {
        ASSERT_TRUE(open(card, 33, KeyType::A));
        EXPECT_EQ(card.read(33, b).has_value(), b < 5 || b >= 10) << b;
    }
    EXPECT_EQ(card.accessGroup(33, 14), 2);
    EXPECT_EQ(card.accessGroup(33, 15), 3);
    EXPECT_EQ(card.accessGroup(3, 2), 2);
}

TEST(MifareCard, WeakBlockReadsWrongButStoresRight)
{
    MifareClassicCard card;
    card.corruptReads(1, 2, 0x0F);
    card.select();
    ASSERT_TRUE(card.authenticate(1, KeyType::A, QByteArray(6, char(0xFF))));
    ASSERT_TRUE(card.write(1, 2, QByteArray(16, '\x31')));
    EXPECT_EQ(card.block(1, 2), QByteArray(16, '\x31'));
    EXPECT_EQ(card.visible(1, 2), QByteArray(16, '\x31'));
    EXPECT_EQ(card.read(1, 2), QByteArray(16, '\x3E'));
    EXPECT_EQ(card.read(1, 1), QByteArray(16, '\0'));
}
