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
    rig.click("btnM1WR");
    EXPECT_EQ(rig.lines().back(), "TOTAL_NUM=999  CMD_ERR=0  WR_ERR=0  CHK_ERR=0");
    EXPECT_EQ(rig.message(), "Command Done.");

    rig.edit("edM1Num")->setText("0");
    rig.click("btnM1WR");
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
