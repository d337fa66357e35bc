// The MIFARE pages through the window against a virtual MIFARE Classic card.
#include "common/protocol.h"
#include "sim/cards/field.h"
#include "sim/cards/mifareclassic.h"
#include "windowrig.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>
#include <QScrollBar>
#include <gtest/gtest.h>

using namespace kv350;
using namespace kv350::testing;
using sim::MifareClassicCard;

namespace {

struct CardRig : WindowRig {
    explicit CardRig(MifareClassicCard::Size size = MifareClassicCard::Size::K1) : WindowRig("KV350-MIC")
    {
        card = std::make_shared<MifareClassicCard>(size);
        reader->field().place(card);
        show();
    }
    QLineEdit *edit(const char *name) { return find<QLineEdit>(name); }
    QStringList lines()
    {
        QStringList out;
        auto *list = find<QListWidget>("lstM1");
        for (int i = 0; i < list->count(); ++i)
            out << list->item(i)->text();
        return out;
    }
    std::size_t sent() const { return reader->requests().size(); }

    std::shared_ptr<MifareClassicCard> card;
};

}  // namespace

TEST(MifarePage, WriteReadAndUidWithATypedKey)
{
    CardRig rig;
    rig.edit("edM1Write")->setText("00112233445566778899AABBCCDDEEFF");
    rig.click("btnM1Write");
    EXPECT_EQ(rig.lastRequest(), hex("02 1A 16 60 FF FF FF FF FF FF 01 00 00112233445566778899AABBCCDDEEFF"));
    EXPECT_EQ(rig.message(), "Command Done.");
    EXPECT_EQ(rig.card->block(1, 0), hex("00112233445566778899AABBCCDDEEFF"));

    rig.click("btnM1Read");
    EXPECT_EQ(rig.lastRequest(), hex("02 0A 15 60 FF FF FF FF FF FF 01 00"));
    EXPECT_EQ(rig.edit("edM1Read")->text(), "00112233445566778899AABBCCDDEEFF");
    EXPECT_EQ(rig.edit("edM1RAscii")->text(), "") << "the first byte is zero";

    // ASCII: the first 16 characters, zero-padded, shown as hex before they are sent.
    rig.find<QRadioButton>("rbM1Ascii")->setChecked(true);
    rig.edit("edM1WAscii")->setText("ABCDEFGHIJKLMNOPQRST");
    rig.click("btnM1Write");
    EXPECT_EQ(rig.edit("edM1Write")->text(), "4142434445464748494A4B4C4D4E4F50");
    rig.edit("edM1WAscii")->setText("Hi");
    rig.click("btnM1Write");
    EXPECT_EQ(rig.card->block(1, 0), hex("4869") + QByteArray(14, '\0'));
    rig.click("btnM1Read");
    EXPECT_EQ(rig.edit("edM1RAscii")->text(), "Hi");

    rig.click("btnM1UID");
    EXPECT_EQ(rig.lastRequest(), hex("02 01 11"));
    EXPECT_EQ(rig.edit("edM1Read")->text(), "1122334400000000") << "a 4-byte UID and eight zero digits";
    EXPECT_EQ(rig.message(), "Command Done.");
}

TEST(MifarePage, BadTextsNeverBecomeCardData)
{
    CardRig rig;
    // A typed key that does not convert authenticates with the transport key, as the box now shows.
    rig.edit("edM1RWKey")->setText("FFFFFFFF");
    rig.click("btnM1Read");
    EXPECT_EQ(rig.edit("edM1RWKey")->text(), "FFFFFFFFFFFF");
    EXPECT_EQ(rig.lastRequest(), hex("02 0A 15 60 FF FF FF FF FF FF 01 00"));

    // Block data that does not convert is not written at all.
    const QByteArray before = rig.card->block(1, 0);
    const std::size_t sent = rig.sent();
    rig.edit("edM1Write")->setText("12XY");
    rig.click("btnM1Write");
    EXPECT_EQ(rig.edit("edM1Write")->text(), QString(32, QLatin1Char('F')));
    EXPECT_EQ(rig.sent(), sent) << "nothing went to the reader";
    EXPECT_EQ(rig.message(), "Command Error!");
    EXPECT_EQ(rig.card->block(1, 0), before);
}

TEST(MifarePage, NoCardWrongKeyAndTheReadersOwnKey)
{
    CardRig rig;
    rig.edit("edM1RWKey")->setText("A0A1A2A3A4A5");
    rig.click("btnM1Read");
    EXPECT_EQ(rig.message(), "No Card or Key Error!");
    EXPECT_EQ(rig.edit("edM1Read")->text(), "");

    // The reader's stored key of sector 1 is still unset: store it, then read naming only its type.
    rig.edit("edM1Key")->setText("FFFFFFFFFFFF");
    rig.click("btnM1Key");
    EXPECT_EQ(rig.lastRequest(), hex("02 09 12 60 FF FF FF FF FF FF 01"));
    EXPECT_EQ(rig.message(), "Command Done.");
    rig.find<QCheckBox>("chkEEPROM")->setChecked(true);
    rig.click("btnM1Read");
    EXPECT_EQ(rig.lastRequest(), hex("02 04 15 60 01 00"));
    EXPECT_EQ(rig.message(), "Command Done.");

    // A key text that does not convert is not stored.
    const std::size_t sent = rig.sent();
    rig.edit("edM1Key")->setText("FFFFF");
    rig.click("btnM1Key");
    EXPECT_EQ(rig.sent(), sent);
    EXPECT_EQ(rig.edit("edM1Key")->text(), "FFFFFFFFFFFF");
    EXPECT_EQ(rig.message(), "Command Error!");

    rig.reader->field().remove();
    rig.click("btnM1Read");
    EXPECT_EQ(rig.message(), "No Card or Key Error!");
    rig.click("btnM1UID");
    EXPECT_EQ(rig.message(), "No Card or Key Error!");
}

TEST(MifarePage, ReadAllListsBlocksAndTheLastOneDecides)
{
    CardRig rig;
    rig.edit("edM1All")->setText("5");
    rig.click("btnM1ReadAll");
    const QStringList lines = rig.lines();
    ASSERT_EQ(lines.size(), 5);
    EXPECT_TRUE(lines[0].startsWith("00(0/0):11223344"));
    EXPECT_EQ(lines[3], "03(0/3):000000000000FF078069FFFFFFFFFFFF") << "key A reads as zeros";
    EXPECT_TRUE(lines[4].startsWith("04(1/0):"));
    EXPECT_EQ(rig.message(), "Command Done.");
    EXPECT_TRUE(rig.window->isEnabled());

    rig.edit("edM1All")->setText("ab");
    rig.click("btnM1ReadAll");
    EXPECT_EQ(rig.lines().size(), 16);

    // A key that only opens sector 0: the last block fails.
    rig.card->setBlock(1, 3, hex("A0A1A2A3A4A5FF078069B0B1B2B3B4B5"));
    rig.edit("edM1All")->setText("8");
    rig.click("btnM1ReadAll");
    EXPECT_EQ(rig.lines().back(), "07(1/3):No Card");
    EXPECT_EQ(rig.message(), "No Card or Key Error!");

    rig.edit("edM1All")->setText("0");
    rig.click("btnM1ReadAll");
    EXPECT_TRUE(rig.lines().isEmpty());
    EXPECT_EQ(rig.message(), "Command Error!") << "nothing was read";
    EXPECT_TRUE(rig.window->isEnabled());
}

TEST(MifarePage, LoopTestWritesReadsAndCounts)
{
    CardRig rig;
    rig.edit("edM1Num")->setText("1");
    rig.dialogs.yes();  // the loop test asks before it overwrites the blocks
    rig.click("btnM1WR");
    const QStringList lines = rig.lines();
    ASSERT_EQ(lines.size(), 21);
    EXPECT_EQ(lines[0], "WRITE_NUM=1  CMD_ERR=0  WR_ERR=0  CHK_ERR=0");
    EXPECT_EQ(lines[1], "(W:1)-04(1/0):00010203040506070809101112131415   OK");
    EXPECT_EQ(lines[10], "READ_NUM=1  CMD_ERR=0  WR_ERR=0  CHK_ERR=0");
    EXPECT_EQ(lines[19], "(R:1)-14(3/2):00010203040506070809101112131415   OK");
    EXPECT_EQ(lines[20], "TOTAL_NUM=1  CMD_ERR=0  WR_ERR=0  CHK_ERR=0");
    EXPECT_EQ(rig.card->block(3, 2), hex("00010203040506070809101112131415"));
    EXPECT_EQ(rig.card->block(1, 3).mid(6, 4), hex("FF078069")) << "trailers are left alone";
    EXPECT_EQ(rig.message(), "Command Done.");
    EXPECT_TRUE(rig.window->isEnabled());

    // A weak block: written right, read back wrong, counted as a check error only.
    rig.card->corruptReads(2, 1, 0x01);
    rig.edit("edM1Num")->setText("2");
    rig.dialogs.yes();  // the loop test asks before it overwrites the blocks
    rig.click("btnM1WR");
    EXPECT_EQ(rig.lines().back(), "TOTAL_NUM=2  CMD_ERR=0  WR_ERR=0  CHK_ERR=2");
    EXPECT_TRUE(rig.lines().contains("(R:2)-09(2/1):00030205040706090811101312151417   ERR"));
}

TEST(MifarePage, LoopTestWithTheCardPulledAwayAndLongRuns)
{
    CardRig rig;
    rig.edit("edM1All")->setText("3");  // raised to 5: block 4 only
    rig.edit("edM1Num")->setText("abc");
    rig.reader->field().removeAfter(5);
    rig.time.clearRecord();
    rig.dialogs.yes();  // the loop test asks before it overwrites the blocks
    rig.click("btnM1WR");
    const QStringList lines = rig.lines();
    EXPECT_EQ(lines.size(), 10 * 4 + 1) << "ten passes of one block";
    EXPECT_TRUE(lines.contains("(W:4)-04(1/0):No Card"));
    EXPECT_EQ(lines.back(), "TOTAL_NUM=10  CMD_ERR=0  WR_ERR=0  CHK_ERR=0") << "no card counts nowhere";
    EXPECT_EQ(rig.message(), "No Card or Key Error!");
    EXPECT_TRUE(rig.window->isEnabled());
    EXPECT_TRUE(rig.time.waits().empty());

    // Past pass 85 the pattern keeps its 32 characters, so a good card stays good.
    rig.reader->field().place(rig.card);
    rig.edit("edM1Num")->setText("999");
    rig.dialogs.yes();  // the loop test asks before it overwrites the blocks
    rig.click("btnM1WR");
    EXPECT_EQ(rig.lines().back(), "TOTAL_NUM=999  CMD_ERR=0  WR_ERR=0  CHK_ERR=0");
    EXPECT_EQ(rig.message(), "Command Done.");

    rig.edit("edM1Num")->setText("0");
    const std::size_t asked = rig.dialogs.asked.size();
    rig.click("btnM1WR");
    EXPECT_EQ(rig.dialogs.asked.size(), asked) << "no pass overwrites nothing: nothing to ask";
    EXPECT_EQ(rig.lines(), QStringList{"TOTAL_NUM=0  CMD_ERR=0  WR_ERR=0  CHK_ERR=0"});
    EXPECT_EQ(rig.message(), "Command Error!");
}

TEST(MifareKeyPage, IssueACardWithNewKeysAndAccessBits)
{
    CardRig rig;
    rig.find<QScrollBar>("sbM1CardSector")->setValue(2);
    rig.click("RadioButton33");  // block 0 Write "never": row 001
    rig.edit("edM1CardKeyA")->setText("A0A1A2A3A4A5");
    rig.edit("edM1CardKeyB")->setText("B0B1B2B3B4B5");
    const QString access = rig.edit("edM1CardKeyAccess")->text();
    rig.click("btnM1CardKey");
    EXPECT_EQ(rig.message(), "Command Done.");
    EXPECT_EQ(rig.lastRequest().left(12), hex("02 1A 16 60 FF FF FF FF FF FF 02 03"));
    EXPECT_EQ(rig.card->block(2, 3),
              hex("A0A1A2A3A4A5") + QByteArray::fromHex(access.toLatin1()) + hex("B0B1B2B3B4B5"));

    // The old key no longer opens the sector; the new one does, and block 0 is read-only now.
    rig.find<QScrollBar>("sbM1Sector")->setValue(2);
    rig.click("btnM1Read");
    EXPECT_EQ(rig.message(), "No Card or Key Error!");
    rig.edit("edM1RWKey")->setText("A0A1A2A3A4A5");
    rig.click("btnM1Read");
    EXPECT_EQ(rig.message(), "Command Done.");
    rig.click("btnM1Write");
    EXPECT_EQ(rig.message(), "No Card or Key Error!");
}

TEST(MifareKeyPage, TrailersThatWouldHarmTheCardAreNotWritten)
{
    CardRig rig(MifareClassicCard::Size::K4);
    const std::size_t sent = rig.sent();
    rig.edit("edM1CardKeyAccess")->setText("FF078169");
    rig.click("btnM1CardKey");
    EXPECT_EQ(rig.sent(), sent);
    EXPECT_EQ(rig.message(), "Command Error!");
    EXPECT_FALSE(rig.find<QLabel>("lblAccessProblem")->isHidden());
    EXPECT_TRUE(rig.find<QLabel>("lblAccessProblem")->text().contains("FF0781"));

    // A key A box of 10 characters: the joined text ends in half a pair; the boxes go back, nothing goes out.
    rig.edit("edM1CardKeyAccess")->setText("FF078069");
    EXPECT_TRUE(rig.find<QLabel>("lblAccessProblem")->isHidden());
    rig.edit("edM1CardKeyA")->setText("A0A1A2A3A4");
    rig.click("btnM1CardKey");
    EXPECT_EQ(rig.sent(), sent);
    EXPECT_EQ(rig.edit("edM1CardKeyA")->text(), "FFFFFFFFFFFF");
    EXPECT_EQ(rig.edit("edM1CardKeyAccess")->text(), "FF078069");

    // Sector 32 of a 4K card has its trailer in block 15.
    rig.find<QScrollBar>("sbM1CardSector")->setValue(32);
    rig.click("btnM1CardKey");
    EXPECT_EQ(rig.lastRequest().mid(10, 2), hex("20 0F"));
    EXPECT_EQ(rig.message(), "Command Done.");
    rig.find<QScrollBar>("sbM1CardSector")->setValue(31);
    rig.click("btnM1CardKey");
    EXPECT_EQ(rig.lastRequest().mid(10, 2), hex("1F 03"));
}

// --- the trailer guard and the questions before writes that cannot be undone ---

namespace {

QByteArray trailerBytes(const sim::AccessRows &rows, const QByteArray &keyA = hex("FFFFFFFFFFFF"))
{
    return keyA + sim::encodeAccessBytes(rows) + char(0x69) + hex("FFFFFFFFFFFF");
}

}  // namespace

TEST(MifarePage, ATrailerOfFsNeverReachesTheCard)
{
    // The block box's start text written to sector 1, block 3: FF FF FF would block the sector for good.
    CardRig rig;
    const QByteArray before = rig.card->block(1, 3);
    rig.find<QScrollBar>("sbM1Block")->setValue(3);
    const std::size_t sent = rig.sent();
    rig.click("btnM1Write");
    EXPECT_EQ(rig.sent(), sent) << "nothing went to the reader";
    EXPECT_EQ(rig.card->block(1, 3), before);
    EXPECT_TRUE(rig.card->sectorUsable(1));
    EXPECT_EQ(rig.message(), "Command Error!");
    EXPECT_TRUE(rig.dialogs.asked.empty()) << "refused, not asked about";
    auto *problem = rig.find<QLabel>("lblM1WriteProblem");
    EXPECT_FALSE(problem->isHidden());
    EXPECT_TRUE(problem->text().contains("FFFFFF")) << problem->text().toStdString();

    // The same from the reader's own key, and from the ASCII box (zeros are no better).
    rig.find<QCheckBox>("chkEEPROM")->setChecked(true);
    rig.click("btnM1Write");
    rig.find<QCheckBox>("chkEEPROM")->setChecked(false);
    rig.find<QRadioButton>("rbM1Ascii")->setChecked(true);
    rig.edit("edM1WAscii")->setText("Hi");
    rig.click("btnM1Write");
    EXPECT_TRUE(problem->text().contains("000000")) << problem->text().toStdString();
    EXPECT_EQ(rig.sent(), sent);
    EXPECT_EQ(rig.card->block(1, 3), before);

    // The reason is in the language of the window, and goes when the block does.
    rig.window->mnuTraditionalClick();
    rig.find<QRadioButton>("rbM1Hex")->setChecked(true);
    rig.edit("edM1Write")->setText(QString(32, 'F'));
    rig.click("btnM1Write");
    EXPECT_TRUE(problem->text().startsWith(QString::fromUtf8("存取位元 FFFFFF"))) << problem->text().toStdString();
    rig.find<QScrollBar>("sbM1Block")->setValue(2);
    EXPECT_TRUE(problem->isHidden());

    // The sector still answers.
    rig.click("btnM1Read");
    EXPECT_EQ(rig.edit("edM1Read")->text().size(), 32);
    EXPECT_EQ(rig.card->block(1, 3), before);
}

TEST(MifarePage, PermanentTrailersNeedAYesAndOthersGoStraightOut)
{
    CardRig rig;
    rig.find<QScrollBar>("sbM1Sector")->setValue(2);
    rig.find<QScrollBar>("sbM1Block")->setValue(3);
    const QByteArray before = rig.card->block(2, 3);
    // Trailer row 000 (the access bits frozen), block 1 read-only for good.
    const QByteArray frozen = trailerBytes({0, 2, 0, 0});
    rig.edit("edM1Write")->setText(QString::fromLatin1(frozen.toHex().toUpper()));

    const std::size_t sent = rig.sent();
    const std::size_t tones = rig.sounder.tones.size();
    rig.dialogs.no();
    rig.click("btnM1Write");
    ASSERT_EQ(rig.dialogs.asked.size(), 1u);
    const Confirmation &q = rig.dialogs.asked[0];
    EXPECT_EQ(q.caption, "Please confirm");
    EXPECT_EQ(q.yes, "Yes");
    EXPECT_EQ(q.no, "No");
    EXPECT_TRUE(q.text.contains("The access conditions of sector 2 can never be changed again."));
    EXPECT_TRUE(q.text.contains("Block 1 can never be written again."));
    EXPECT_EQ(rig.sent(), sent) << "No sends nothing";
    EXPECT_EQ(rig.card->block(2, 3), before);
    EXPECT_EQ(rig.message(), "Cancelled: nothing was sent to the reader.");
    EXPECT_EQ(rig.sounder.tones.size(), tones) << "nothing reported as done";

    // The box's default is No: an unanswered question writes nothing either.
    rig.click("btnM1Write");
    EXPECT_EQ(rig.dialogs.asked.size(), 2u);
    EXPECT_EQ(rig.sent(), sent);

    rig.dialogs.yes();
    rig.click("btnM1Write");
    EXPECT_EQ(rig.message(), "Command Done.");
    EXPECT_EQ(rig.card->block(2, 3).mid(6, 4), frozen.mid(6, 4));
    rig.find<QScrollBar>("sbM1Block")->setValue(1);
    rig.click("btnM1Write");
    EXPECT_EQ(rig.message(), "No Card or Key Error!") << "block 1 is read-only now";
    EXPECT_EQ(rig.dialogs.asked.size(), 3u) << "a data block never asks";

    // Trailer rows 001 and 011 keep the access bits writable: written without a question.
    for (int row : {1, 3}) {
        SCOPED_TRACE(row);
        rig.find<QScrollBar>("sbM1Sector")->setValue(4);
        rig.find<QScrollBar>("sbM1Block")->setValue(3);
        const QByteArray open = trailerBytes({0, 0, 0, std::uint8_t(row)});
        rig.edit("edM1Write")->setText(QString::fromLatin1(open.toHex()));
        rig.click("btnM1Write");
        EXPECT_EQ(rig.message(), "Command Done.");
        EXPECT_EQ(rig.card->block(4, 3).mid(6, 3), open.mid(6, 3));
        rig.card->setTrailer(4, hex("FFFFFFFFFFFF"), hex("FF0780"), 0x69, hex("FFFFFFFFFFFF"));
    }
    EXPECT_EQ(rig.dialogs.asked.size(), 3u);
}

TEST(MifarePage, SixteenBlockSectorsAreGuardedAtBlock15)
{
    CardRig rig(MifareClassicCard::Size::K4);
    rig.find<QScrollBar>("sbM1Sector")->setValue(33);
    rig.find<QScrollBar>("sbM1Block")->setValue(3);
    rig.click("btnM1Write");
    EXPECT_EQ(rig.message(), "Command Done.") << "block 3 of sector 33 is data";
    EXPECT_EQ(rig.card->block(33, 3), QByteArray(16, char(0xFF)));
    const QByteArray before = rig.card->block(33, 15);
    rig.find<QScrollBar>("sbM1Block")->setValue(15);
    rig.click("btnM1Write");
    EXPECT_EQ(rig.message(), "Command Error!");
    EXPECT_EQ(rig.card->block(33, 15), before);
    // Row 110 for blocks 10-14: they can never be read or written again.
    rig.edit("edM1Write")->setText(QString::fromLatin1(trailerBytes({0, 0, 7, 1}).toHex()));
    rig.click("btnM1Write");
    EXPECT_EQ(rig.message(), "Command Done.") << "trailer row 001: the access bits stay writable";
    rig.edit("edM1Write")->setText(QString::fromLatin1(trailerBytes({0, 0, 7, 6}).toHex()));
    rig.click("btnM1Write");
    ASSERT_EQ(rig.dialogs.asked.size(), 1u);
    EXPECT_TRUE(rig.dialogs.asked[0].text.contains("Blocks 10-14 can never be read or written again."));
    EXPECT_EQ(rig.card->block(33, 15).mid(6, 3), trailerBytes({0, 0, 7, 1}).mid(6, 3)) << "No kept the card";
}

TEST(MifareKeyPage, IssuingAPermanentTrailerNeedsAYes)
{
    CardRig rig;
    rig.click("RadioButton45");  // access bits Write "never": trailer row 110
    const QString access = rig.edit("edM1CardKeyAccess")->text();
    const QByteArray before = rig.card->block(1, 3);
    const std::size_t sent = rig.sent();
    rig.click("btnM1CardKey");
    ASSERT_EQ(rig.dialogs.asked.size(), 1u);
    EXPECT_TRUE(rig.dialogs.asked[0].text.startsWith("Writing this trailer to sector 1 cannot be undone:"));
    EXPECT_TRUE(rig.dialogs.asked[0].text.contains("Key A and key B of sector 1 can never be changed again."));
    EXPECT_EQ(rig.sent(), sent);
    EXPECT_EQ(rig.card->block(1, 3), before);
    EXPECT_EQ(rig.message(), "Cancelled: nothing was sent to the reader.");

    rig.dialogs.yes();
    rig.click("btnM1CardKey");
    EXPECT_EQ(rig.message(), "Command Done.");
    EXPECT_EQ(rig.card->block(1, 3).mid(6, 4), QByteArray::fromHex(access.toLatin1()));

    // The FF bytes of the issue, typed into the access box, are refused here as on the block page.
    rig.find<QScrollBar>("sbM1CardSector")->setValue(3);
    rig.edit("edM1CardKeyAccess")->setText("FFFFFF69");
    rig.click("btnM1CardKey");
    EXPECT_EQ(rig.message(), "Command Error!");
    EXPECT_TRUE(rig.card->sectorUsable(3));
    EXPECT_EQ(rig.dialogs.asked.size(), 2u);
}

TEST(MifarePage, LoopTestSaysWhatItOverwritesAndNoLeavesTheCard)
{
    CardRig rig;
    const QByteArray before(16, '\x5A');
    rig.card->setBlock(1, 0, before);
    rig.edit("edM1Num")->setText("2");
    const std::size_t sent = rig.sent();
    rig.click("btnM1WR");
    ASSERT_EQ(rig.dialogs.asked.size(), 1u);
    EXPECT_TRUE(rig.dialogs.asked[0].text.startsWith(
        "The loop test will overwrite 9 data block(s) of sectors 1-3 with test patterns"));
    EXPECT_EQ(rig.sent(), sent);
    EXPECT_EQ(rig.card->block(1, 0), before);
    EXPECT_TRUE(rig.lines().isEmpty());
    EXPECT_EQ(rig.message(), "Cancelled: nothing was sent to the reader.");
    EXPECT_TRUE(rig.window->isEnabled());

    rig.edit("edM1All")->setText("6");
    rig.click("btnM1WR");
    EXPECT_TRUE(rig.dialogs.asked[1].text.startsWith(
        "The loop test will overwrite 2 data block(s) of sector 1 with test patterns"));
    rig.dialogs.yes();
    rig.click("btnM1WR");
    EXPECT_EQ(rig.lines().back(), "TOTAL_NUM=2  CMD_ERR=0  WR_ERR=0  CHK_ERR=0");
    EXPECT_NE(rig.card->block(1, 0), before);
    EXPECT_EQ(rig.card->block(1, 2), QByteArray(16, '\0')) << "block 6 is beyond the limit of 6";
}
