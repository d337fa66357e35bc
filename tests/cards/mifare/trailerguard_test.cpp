// The trailer guard without widgets: which blocks it speaks for, which bytes
// it refuses, and what it calls permanent, checked against what the virtual
// card (written from the datasheet on the other side of the wire) still lets
// either key do once the trailer is on it.
#include "cards/mifare/trailerguard.h"
#include "hexbytes.h"
#include "i18n/language.h"
#include "sim/cards/mifareclassic.h"

#include <gtest/gtest.h>

using namespace kv350;
using namespace kv350::cards;
using Verdict = TrailerCheck::Verdict;
using sim::MifareClassicCard;

namespace {

const QByteArray KeyAValue = hex("A0A1A2A3A4A5"), KeyBValue = hex("B0B1B2B3B4B5");

QByteArray trailer(const sim::AccessRows &rows)
{
    return KeyAValue + sim::encodeAccessBytes(rows) + char(0x69) + KeyBValue;
}

// What a card holding `rows` in sector 1 still lets some key do, key by key.
struct Still {
    bool writeAccess = false, writeKeyA = false, writeKeyB = false;
    bool write[3] = {}, read[3] = {};
};
Still stillPossible(const sim::AccessRows &rows)
{
    MifareClassicCard card;
    card.setTrailer(1, KeyAValue, sim::encodeAccessBytes(rows), 0x69, KeyBValue);
    Still s;
    for (auto [type, key] : {std::pair{sim::KeyType::A, KeyAValue}, std::pair{sim::KeyType::B, KeyBValue}}) {
        card.select();
        if (!card.authenticate(1, type, key))
            continue;
        s.writeAccess |= card.allows(1, sim::TrailerOp::WriteAccess);
        s.writeKeyA |= card.allows(1, sim::TrailerOp::WriteKeyA);
        s.writeKeyB |= card.allows(1, sim::TrailerOp::WriteKeyB);
        for (int b = 0; b < 3; ++b) {
            s.write[b] |= card.allows(1, b, sim::DataOp::Write);
            s.read[b] |= card.allows(1, b, sim::DataOp::Read);
        }
    }
    return s;
}

bool contains(const std::vector<BlockRange> &ranges, int block)
{
    return std::find(ranges.begin(), ranges.end(), BlockRange{block, block}) != ranges.end();
}

}  // namespace

TEST(TrailerGuard, SpeaksOnlyForTrailers)
{
    const QByteArray allF(16, char(0xFF));
    for (int block : {0, 1, 2})
        EXPECT_EQ(checkTrailer(1, block, allF).verdict, Verdict::NotTrailer) << block;
    EXPECT_EQ(checkTrailer(31, 3, allF).verdict, Verdict::InvalidAccess);
    EXPECT_EQ(checkTrailer(32, 3, allF).verdict, Verdict::NotTrailer) << "a data block of a 16-block sector";
    EXPECT_EQ(checkTrailer(32, 15, allF).verdict, Verdict::InvalidAccess);
    EXPECT_EQ(checkTrailer(39, 15, allF).verdict, Verdict::InvalidAccess);
    EXPECT_EQ(checkTrailer(40, 3, allF).verdict, Verdict::NotTrailer) << "no such sector";
    EXPECT_EQ(checkTrailer(-1, 3, allF).verdict, Verdict::NotTrailer);
}

TEST(TrailerGuard, RefusesBytesThatAreNotStoredInverted)
{
    // The block box's start text: FF FF FF in bytes 6-8, every group wrong.
    const TrailerCheck allF = checkTrailer(1, 3, QByteArray(16, char(0xFF)));
    EXPECT_EQ(allF.verdict, Verdict::InvalidAccess);
    EXPECT_EQ(allF.invalidGroups, 0x0F);
    EXPECT_EQ(allF.accessBytes, hex("FFFFFF"));
    EXPECT_FALSE(allF.permanent()) << "refused, not asked about";
    EXPECT_EQ(trailerRefusal(allF, englishText),
              "Access bytes FFFFFF are not a valid encoding: the card would lock its sector for good. "
              "Nothing was written.");

    // One bit flipped names its group.
    for (int bit = 0; bit < 24; ++bit) {
        QByteArray t = hex("FFFFFFFFFFFF FF0780 69 FFFFFFFFFFFF");
        t[6 + bit / 8] = char(t[6 + bit / 8] ^ (1 << (bit % 8)));
        const TrailerCheck c = checkTrailer(5, 3, t);
        EXPECT_EQ(c.verdict, Verdict::InvalidAccess) << bit;
        EXPECT_EQ(c.invalidGroups, 1 << (bit % 4)) << bit;
    }
    // A short block holds no access bytes at all.
    EXPECT_EQ(checkTrailer(1, 3, hex("FFFFFFFFFFFF FF07")).verdict, Verdict::InvalidAccess);
}

TEST(TrailerGuard, PermanentIsWhatNoKeyOfTheCardCanUndo)
{
    int asked = 0;
    for (int code = 0; code < 8 * 8 * 8 * 8; ++code) {
        const sim::AccessRows rows = {std::uint8_t(code & 7), std::uint8_t(code >> 3 & 7), std::uint8_t(code >> 6 & 7),
                                      std::uint8_t(code >> 9 & 7)};
        SCOPED_TRACE(::testing::Message()
                     << "rows " << int(rows[0]) << int(rows[1]) << int(rows[2]) << " trailer " << int(rows[3]));
        const TrailerCheck c = checkTrailer(1, 3, trailer(rows));
        ASSERT_EQ(c.verdict, Verdict::Valid);
        const Still s = stillPossible(rows);
        EXPECT_EQ(c.accessConditionsPermanent, !s.writeAccess);
        EXPECT_EQ(c.keysPermanent, !s.writeKeyA && !s.writeKeyB);
        for (int b = 0; b < 3; ++b) {
            // Data conditions the access bits may still change are not permanent.
            EXPECT_EQ(contains(c.neverWritable, b), c.accessConditionsPermanent && !s.write[b]) << "block " << b;
            EXPECT_EQ(contains(c.neverReadable, b), c.accessConditionsPermanent && !s.read[b]) << "block " << b;
        }
        asked += c.permanent();
    }
    EXPECT_EQ(asked, 6 * 8 * 8 * 8) << "every trailer row but 001 and 011 asks";
    // The rows the issue names, whatever the data blocks hold.
    for (int row = 0; row < 8; ++row) {
        const TrailerCheck c = checkTrailer(1, 3, trailer({0, 0, 0, std::uint8_t(row)}));
        EXPECT_EQ(c.accessConditionsPermanent, row == 0 || row == 2 || row == 4 || row == 6 || row == 7) << row;
        EXPECT_EQ(c.keysPermanent, row == 2 || row == 5 || row == 6 || row == 7) << row;
        EXPECT_EQ(c.permanent(), row != 1 && row != 3) << row;
    }
}

TEST(TrailerGuard, SixteenBlockSectorsSpeakOfFiveBlocksAGroup)
{
    // Sector 32, trailer row 110: block groups 0-4 read-only, 5-9 untouched, 10-14 dead.
    const TrailerCheck c = checkTrailer(32, 15, trailer({2, 0, 7, 6}));
    ASSERT_EQ(c.verdict, Verdict::Valid);
    EXPECT_EQ(c.neverWritable, (std::vector<BlockRange>{{0, 4}, {10, 14}}));
    EXPECT_EQ(c.neverReadable, (std::vector<BlockRange>{{10, 14}}));
    EXPECT_EQ(trailerQuestion(c, englishText), "Writing this trailer to sector 32 cannot be undone:\n"
                                               "The access conditions of sector 32 can never be changed again.\n"
                                               "Key A and key B of sector 32 can never be changed again.\n"
                                               "Blocks 0-4 can never be written again.\n"
                                               "Blocks 10-14 can never be read or written again.\n"
                                               "\n"
                                               "Write it?");
}

TEST(TrailerGuard, QuestionNamesTheSectorAndWhatBecomesPermanent)
{
    // Sector 2, trailer row 000 (access bits frozen, keys still writable with key A), block 1 read-only.
    const TrailerCheck c = checkTrailer(2, 3, trailer({0, 2, 0, 0}));
    EXPECT_EQ(trailerQuestion(c, englishText), "Writing this trailer to sector 2 cannot be undone:\n"
                                               "The access conditions of sector 2 can never be changed again.\n"
                                               "Block 1 can never be written again.\n"
                                               "\n"
                                               "Write it?");
    // Row 101: the keys are fixed, the access bits still change with key B, so no block is named.
    const TrailerCheck keys = checkTrailer(2, 3, trailer({7, 7, 7, 5}));
    EXPECT_TRUE(keys.neverWritable.empty());
    EXPECT_EQ(trailerQuestion(keys, englishText), "Writing this trailer to sector 2 cannot be undone:\n"
                                                  "Key A and key B of sector 2 can never be changed again.\n"
                                                  "\n"
                                                  "Write it?");

    // Every line exists in both Chinese columns.
    i18n::Localizer chinese;
    for (i18n::Language language : {i18n::Language::Simplified, i18n::Language::Traditional}) {
        chinese.setLanguage(language);
        const QString q = trailerQuestion(checkTrailer(32, 15, trailer({2, 0, 7, 6})), chinese.textLookup());
        EXPECT_EQ(q.count('\n'), 6);
        EXPECT_FALSE(q.contains("never")) << q.toStdString();
        for (const char *number : {"32", "0-4", "10-14"})
            EXPECT_TRUE(q.contains(number)) << number;
        EXPECT_FALSE(trailerRefusal(checkTrailer(1, 3, QByteArray(16, char(0xFF))), chinese.textLookup())
                         .contains("valid encoding"));
    }
}
