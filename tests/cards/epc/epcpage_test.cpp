// The EPC/eTag page in the window, against a virtual KV350-U1 with tags in the
// UHF module's field, offscreen and in virtual time.
#include "cards/epc/epcpage.h"
#include "common/uhfwindowrig.h"
#include "sim/core/faultplan.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QScrollBar>

using namespace kv350;
using namespace kv350::testing;
using sim::EpcTag;
using sim::TagBank;

namespace {

const QString Zeros16(16, '0');

struct EpcRig : UhfWindowRig {
    explicit EpcRig(bool serial = false) : UhfWindowRig("KV350-U1", "tsK7704", serial) {}
    QLineEdit *edit(const char *name) { return find<QLineEdit>(name); }
    QString text(const char *name) { return edit(name)->text(); }
    void setBox(const char *name, const QString &value) { edit(name)->setText(value); }
    QScrollBar *bar(const char *name) { return find<QScrollBar>(name); }
    void check(const char *name) { find<QCheckBox>(name)->setChecked(true); }
    cards::EpcPage *page() { return find<cards::EpcPage>("tsK7704"); }
    // The tag's words from address on, as hex text.
    QString tagWords(int tag, TagBank bank, int address, int count)
    {
        QByteArray out;
        uhf().tag(tag).read(bank, address, count, &out);
        return QString::fromLatin1(out.toHex().toUpper());
    }
};

QByteArray moduleFrame(const QByteArray &text)
{
    return frame(0x00, text);
}

}  // namespace

TEST(EpcPage, ReadsAndWritesTheEtagOfTheTagInTheField)
{
    EpcRig rig;
    rig.uhf().placeTag(EpcTag::numbered(1));
    rig.click("btnReadETAG");
    EXPECT_EQ(rig.requests(), std::vector<QByteArray>{moduleFrame("R1,2,4")});
    EXPECT_EQ(rig.text("edReadETAG"), "300833B2DDD90140");
    EXPECT_EQ(rig.text("edWriteETAG"), "300833B2DDD90140") << "the default box takes what was read";
    EXPECT_EQ(rig.message(), "Command Done.");

    rig.setBox("edWriteETAG", "ABCD");
    rig.click("btnWriteETAG");
    EXPECT_EQ(rig.requests().back(), moduleFrame("W1,2,4,ABCD000000000000"));
    EXPECT_EQ(rig.tagWords(0, TagBank::Epc, 2, 4), "ABCD000000000000");
    EXPECT_EQ(rig.message(), "Command Done.");

    rig.click("btnReadETAG");
    EXPECT_EQ(rig.text("edReadETAG"), "ABCD000000000000");
    EXPECT_EQ(rig.text("edWriteETAG"), "ABCD") << "any other text is left alone";
    EXPECT_TRUE(rig.time.waits().empty()) << "no retries were needed";
}

TEST(EpcPage, AutoReadAndAutoIncNumberASeriesOfTags)
{
    EpcRig rig;
    rig.check("chkETAGAutoRead");
    rig.check("chkETAGAutoInc");
    rig.setBox("edWriteETAG", "00000000000000FF");
    for (int n = 1; n <= 3; ++n) {
        rig.uhf().clearField();
        rig.uhf().placeTag(EpcTag::numbered(n));
        rig.click("btnWriteETAG");
    }
    EXPECT_EQ(rig.requests().size(), 6u) << "each write is read back";
    EXPECT_EQ(rig.requests()[0], moduleFrame("W1,2,4,00000000000000FF"));
    EXPECT_EQ(rig.requests()[1], moduleFrame("R1,2,4"));
    EXPECT_EQ(rig.tagWords(0, TagBank::Epc, 2, 4), "0000000000000101");
    EXPECT_EQ(rig.text("edReadETAG"), "0000000000000101");
    EXPECT_EQ(rig.text("edWriteETAG"), "0000000000000102");
    EXPECT_EQ(rig.message(), "Command Done.");

    // The count wraps within its 32 bits; the first eight characters stay.
    rig.setBox("edWriteETAG", "12345678FFFFFFFF");
    rig.click("btnWriteETAG");
    EXPECT_EQ(rig.text("edWriteETAG"), "1234567800000000");
}

TEST(EpcPage, AutoIncWithoutAutoReadWritesOnceAndCounts)
{
    EpcRig rig;
    rig.uhf().placeTag(EpcTag::numbered(1));
    rig.check("chkETAGAutoInc");
    rig.setBox("edWriteETAG", "00000000000000FF");
    rig.click("btnWriteETAG");
    EXPECT_EQ(rig.requests().size(), 1u);
    EXPECT_EQ(rig.text("edWriteETAG"), "0000000000000100");
    EXPECT_EQ(rig.message(), "Command Done.");
}

TEST(EpcPage, AutoIncOnAShortBoxSaysWhyAfterTheWrite)
{
    EpcRig rig;
    rig.uhf().placeTag(EpcTag::numbered(1));
    rig.check("chkETAGAutoInc");
    rig.setBox("edWriteETAG", "ABCD");
    rig.click("btnWriteETAG");
    EXPECT_EQ(rig.tagWords(0, TagBank::Epc, 2, 4), "ABCD000000000000") << "the write was made";
    EXPECT_EQ(rig.text("edWriteETAG"), "ABCD");
    EXPECT_EQ(rig.message(), "Auto INC: characters 9 to 16 are not a hexadecimal number.");
    EXPECT_EQ(rig.sounder.tones, std::vector<int>{300}) << "an error, and no Command Done before it";

    // With the read-back, its report comes first and the increment's replaces it.
    rig.sounder.tones.clear();
    rig.check("chkETAGAutoRead");
    rig.click("btnWriteETAG");
    EXPECT_EQ(rig.text("edReadETAG"), "ABCD000000000000");
    EXPECT_EQ(rig.message(), "Auto INC: characters 9 to 16 are not a hexadecimal number.");
    EXPECT_EQ(rig.sounder.tones, (std::vector<int>{2730, 300}));
}

TEST(EpcPage, ShortRepliesAreRetriedThreeTimes200MsApart)
{
    EpcRig rig;
    rig.uhf().placeTag(EpcTag::numbered(1));
    rig.setBox("edReadETAG", "KEPT");
    const QByteArray short8 = QByteArray::fromHex("02060000") + "R300";  // STA 0, but 8 bytes
    rig.scripted->replies = {short8};
    rig.click("btnReadETAG");
    EXPECT_EQ(rig.requests().size(), 2u);
    EXPECT_EQ(rig.time.waits(), std::vector<int>{200});
    EXPECT_EQ(rig.text("edReadETAG"), "300833B2DDD90140");
    EXPECT_EQ(rig.message(), "Command Done.");

    rig.reader->clearRequests();
    rig.time.clearRecord();
    rig.setBox("edReadETAG", "KEPT");
    rig.scripted->replies = {short8, short8, short8};
    rig.click("btnReadETAG");
    EXPECT_EQ(rig.requests().size(), 3u);
    EXPECT_EQ(rig.time.waits(), (std::vector<int>{200, 200, 200})) << "the last attempt's wait included";
    EXPECT_EQ(rig.text("edReadETAG"), "KEPT");
    EXPECT_EQ(rig.message(), "Command Error!");
}

TEST(EpcPage, TheUsbReadStopsAtTheSizeTheRequestExpects)
{
    EpcRig rig;
    // 30 bytes come; the read takes 21, which is what an eTag read accepts.
    rig.scripted->replies = {QByteArray::fromHex("021C0000") + "R0123456789ABCDEF012345678"};
    rig.click("btnReadETAG");
    EXPECT_EQ(rig.requests().size(), 1u);
    EXPECT_EQ(rig.window->link().ResponseLength(), 21);
    EXPECT_EQ(rig.text("edReadETAG"), "0123456789ABCDEF");

    // A write takes 9 bytes of its reply.
    rig.scripted->replies = {QByteArray::fromHex("02080000") + "W:OK\r\n"};
    rig.click("btnWriteETAG");
    EXPECT_EQ(rig.requests().size(), 2u);
    EXPECT_EQ(rig.message(), "Command Done.");
}

TEST(EpcPage, AWriteCountsOnlyWithOkInDataBytesTwoAndThree)
{
    EpcRig rig;
    rig.uhf().placeTag(EpcTag::numbered(1));
    const QByteArray noOk = QByteArray::fromHex("02070000") + "W:NO\r";
    const QByteArray failed = QByteArray::fromHex("02070001") + "W:OK\r";
    rig.scripted->replies = {noOk, failed};
    rig.click("btnWriteETAG");
    EXPECT_EQ(rig.requests().size(), 3u) << "the third attempt reached the tag";
    EXPECT_EQ(rig.time.waits(), (std::vector<int>{200, 200}));
    EXPECT_EQ(rig.message(), "Command Done.");

    rig.reader->clearRequests();
    rig.scripted->replies = {noOk, noOk, noOk};
    rig.click("btnWriteEPC");
    EXPECT_EQ(rig.requests().size(), 3u);
    EXPECT_EQ(rig.message(), "Command Error!");

    // The tag refuses: TID is locked.
    rig.reader->clearRequests();
    rig.find<QRadioButton>("rbBankTID")->setChecked(true);
    rig.click("btnWriteEPC");
    EXPECT_EQ(rig.requests().size(), 3u);
    EXPECT_EQ(rig.message(), "Command Error!");
}

TEST(EpcPage, BankAddressAndLengthMakeTheCommandTexts)
{
    EpcRig rig;
    EpcTag tag = EpcTag::numbered(1, 512);
    tag.write(TagBank::User, 300, QByteArray::fromHex("0102030405060708090A0B0C0D0E0F10"));
    rig.uhf().placeTag(tag);
    EXPECT_EQ(rig.page()->EpcCommandText(), "1,2,4");
    EXPECT_EQ(rig.find<QLabel>("lblReadEpcCmd")->text(), "R1,2,4");

    QTest::mouseClick(rig.find<QRadioButton>("rbBankUser"), Qt::LeftButton);
    rig.bar("sbEpcAddr")->setValue(300);
    rig.bar("sbEpcLen")->setValue(8);
    EXPECT_EQ(rig.page()->EpcCommandText(), "3,300,8");
    EXPECT_EQ(rig.find<QLabel>("lblReadEpcCmd")->text(), "R3,300,8");
    EXPECT_EQ(rig.find<QLabel>("lblWriteEpcCmd")->text(), "W3,300,8,...");
    EXPECT_EQ(rig.find<QLabel>("pnEpcAddr")->text(), "300");

    rig.click("btnReadEPC");
    ASSERT_EQ(rig.requests().size(), 1u);
    EXPECT_EQ(rig.requests()[0], QByteArray::fromHex("020900") + "R3,300,8");
    EXPECT_EQ(rig.text("edReadEPC"), "0102030405060708090A0B0C0D0E0F10");
    EXPECT_EQ(rig.message(), "Command Done.");

    // A bank chosen from the keyboard counts as well.
    rig.find<QRadioButton>("rbBankTID")->setChecked(true);
    EXPECT_EQ(rig.page()->EpcCommandText(), "2,300,8");
    rig.bar("sbEpcAddr")->setValue(0);
    rig.bar("sbEpcLen")->setValue(6);
    rig.click("btnReadEPC");
    EXPECT_EQ(rig.text("edReadEPC"), "E2003412013F000000000001");
}

TEST(EpcPage, TheLengthBarSetsTheWriteBoxLimitAndItsZeros)
{
    EpcRig rig;
    rig.uhf().placeTag(EpcTag::numbered(1, 64));
    QLineEdit *box = rig.edit("edWriteEPC");
    EXPECT_EQ(box->maxLength(), 16);
    rig.find<QRadioButton>("rbBankUser")->setChecked(true);
    rig.bar("sbEpcAddr")->setValue(0);
    rig.bar("sbEpcLen")->setValue(25);
    EXPECT_EQ(box->maxLength(), 100);
    EXPECT_EQ(box->text(), QString(80, '0'));

    box->end(false);
    QTest::keyClicks(box, "ab");
    rig.click("btnWriteEPC");
    EXPECT_EQ(rig.requests().back(),
              QByteArray::fromHex("026D00") + "W3,0,25," + QByteArray(80, '0') + "AB" + QByteArray(18, '0'));
    EXPECT_EQ(rig.tagWords(0, TagBank::User, 20, 1), "AB00");
    EXPECT_EQ(rig.message(), "Command Done.");

    rig.bar("sbEpcLen")->setValue(2);
    EXPECT_EQ(box->maxLength(), 8);
    EXPECT_EQ(box->text(), "00000000");
}

TEST(EpcPage, AFailedEpcReadLeavesTheReadBoxEmpty)
{
    EpcRig rig;
    rig.uhf().placeTag(EpcTag::numbered(1));
    rig.click("btnReadEPC");
    EXPECT_EQ(rig.text("edReadEPC"), "300833B2DDD90140");
    rig.uhf().clearField();
    rig.click("btnReadEPC");
    EXPECT_EQ(rig.text("edReadEPC"), "");
    EXPECT_EQ(rig.requests().size(), 4u);
    EXPECT_EQ(rig.message(), "Command Error!");
}

TEST(EpcPage, AutomaticReadIsSetAndReadBackOnce)
{
    EpcRig rig;
    QScrollBar *addr = rig.bar("sbAutoEpcAddr");
    EXPECT_EQ(addr->maximum(), 255) << "what is shown is what is sent";
    rig.find<QRadioButton>("rbAutoBankTID")->setChecked(true);
    addr->setValue(300);
    EXPECT_EQ(rig.find<QLabel>("pnAutoEpcAddr")->text(), "255");
    rig.bar("sbAutoEpcLen")->setValue(10);
    rig.click("btnSetAutoEPC");
    EXPECT_EQ(rig.requests(), std::vector<QByteArray>{QByteArray::fromHex("0205034101FF0A")});
    EXPECT_EQ(rig.reader->parameters().value(0x41), QByteArray::fromHex("01FF0A"));
    EXPECT_EQ(rig.message(), "Command Done.");

    rig.reader->parameters().set(0x41, QByteArray::fromHex("020703"));
    rig.click("btnGetAutoEPC");
    EXPECT_EQ(rig.requests().back(), QByteArray::fromHex("02020341"));
    EXPECT_TRUE(rig.find<QRadioButton>("rbAutoBankUser")->isChecked());
    EXPECT_EQ(addr->value(), 7);
    EXPECT_EQ(rig.bar("sbAutoEpcLen")->value(), 3);

    // No retries here.
    rig.reader->clearRequests();
    rig.reader->faults().queue(sim::Fault::status(0x01));
    rig.click("btnGetAutoEPC");
    EXPECT_EQ(rig.requests().size(), 1u);
    EXPECT_EQ(rig.message(), "Command Error!");
    EXPECT_TRUE(rig.find<QRadioButton>("rbAutoBankUser")->isChecked());
}

TEST(EpcPage, WorksOverTheSerialPortToo)
{
    EpcRig rig(true);
    ASSERT_EQ(rig.window->link().Transport(), TransportKind::Serial);
    rig.uhf().placeTag(EpcTag::numbered(7));
    rig.check("chkETAGAutoRead");
    rig.setBox("edWriteETAG", "1122334455667788");
    rig.click("btnWriteETAG");
    EXPECT_EQ(rig.text("edReadETAG"), "1122334455667788");
    EXPECT_TRUE(rig.serialPort->written().contains(moduleFrame("W1,2,4,1122334455667788")));
    EXPECT_EQ(rig.message(), "Command Done.");
}
