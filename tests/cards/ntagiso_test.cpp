// The NTAG and ISO 15693 pages through the window against virtual tags.
#include "sim/cards/iso15693tag.h"
#include "sim/cards/ntag203.h"
#include "sim/core/readermodule.h"
#include "windowrig.h"

#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QScrollBar>
#include <gtest/gtest.h>

using namespace kv350;
using namespace kv350::testing;

namespace {

struct TagRig : WindowRig {
    TagRig() : WindowRig("KV350-MIC")
    {
        reader->field().place(ntag);
        reader->field().place(iso);
        show();
    }
    QLineEdit *edit(const char *name) { return find<QLineEdit>(name); }
    std::size_t sent() const { return reader->requests().size(); }

    std::shared_ptr<sim::Ntag203Card> ntag = std::make_shared<sim::Ntag203Card>();
    std::shared_ptr<sim::Iso15693Tag> iso = std::make_shared<sim::Iso15693Tag>();
};

// A reader whose inventory reply ends before the UID, while active.
struct ShortInventory : sim::ReaderModule {
    bool active = true;
    bool handles(std::uint8_t cmd) const override { return active && cmd == 0x21; }
    std::vector<QByteArray> handle(const sim::Request &request, sim::ReaderContext &) override
    {
        return {sim::makeReply(request.cmd, 0x00, QByteArray(2, '\0'))};
    }
};

}  // namespace

TEST(NtagPage, WriteReadAndUid)
{
    TagRig rig;
    // ASCII is the start choice: the sample text, zero-padded, at page 7.
    rig.click("btnNWrite");
    EXPECT_EQ(rig.lastRequest(), hex("02 14 14 00 00 07") + QByteArray("www.example.com/"));
    EXPECT_EQ(rig.message(), "Command Done.");
    EXPECT_EQ(rig.ntag->page(7), QByteArray("www."));
    EXPECT_EQ(rig.ntag->page(10), QByteArray("com/"));
    rig.click("btnNRead");
    EXPECT_EQ(rig.lastRequest(), hex("02 04 13 00 00 07"));
    EXPECT_EQ(rig.edit("edNRead")->text(), "7777772E6578616D706C652E636F6D2F");
    EXPECT_EQ(rig.edit("edNRAscii")->text(), "www.example.com/");

    rig.edit("edNWAscii")->clear();
    rig.click("btnNWrite");
    EXPECT_EQ(rig.ntag->page(8), QByteArray(4, '\0')) << "an empty text writes 16 zero bytes";

    rig.click("btnNUID");
    EXPECT_EQ(rig.edit("edNUID")->text(), "04A1B2C3D4E5F600");

    // A hex text that does not convert writes nothing.
    rig.find<QRadioButton>("rbNHex")->setChecked(true);
    rig.edit("edNWrite")->setText("ZZ");
    const std::size_t sent = rig.sent();
    rig.click("btnNWrite");
    EXPECT_EQ(rig.sent(), sent);
    EXPECT_EQ(rig.edit("edNWrite")->text(), QString(32, QLatin1Char('F')));
    EXPECT_EQ(rig.message(), "Command Error!");

    // No tag, and no reader: each with its own message.
    rig.reader->field().remove();
    rig.click("btnNRead");
    EXPECT_EQ(rig.message(), "No Card or Key Error!");
    rig.reader->faults().queue(sim::Fault::noReply());
    rig.click("btnNRead");
    EXPECT_EQ(rig.message(), "Command Error!") << "a failed read says so";
}

TEST(NtagPage, DumpListsFourPagesALine)
{
    TagRig rig;
    rig.click("btnNReadAll");
    auto *list = rig.find<QListWidget>("lstNAll");
    ASSERT_EQ(list->count(), 4);
    EXPECT_EQ(list->item(0)->text().left(3), "00:");
    EXPECT_TRUE(list->item(0)->text().startsWith("00:04A1B2"));
    EXPECT_EQ(list->item(3)->text().left(3), "12:");
    EXPECT_EQ(rig.message(), "Command Done.");
    EXPECT_TRUE(rig.window->isEnabled());

    rig.edit("edNAll")->setText("5");
    rig.click("btnNReadAll");
    ASSERT_EQ(list->count(), 2);
    EXPECT_TRUE(list->item(1)->text().startsWith("04:"));

    rig.edit("edNAll")->setText("0");
    rig.click("btnNReadAll");
    EXPECT_EQ(list->count(), 0);
    EXPECT_EQ(rig.message(), "Command Error!") << "nothing was read";

    rig.edit("edNAll")->setText("8");
    rig.reader->field().removeAfter(1);
    rig.click("btnNReadAll");
    EXPECT_EQ(list->item(1)->text(), "04:No Card");
    EXPECT_EQ(rig.message(), "No Card or Key Error!");
}

TEST(NtagPage, UrlRecordWrittenAndReadBack)
{
    TagRig rig;
    rig.click("btnNSample");
    EXPECT_EQ(rig.edit("edNURL2")->text(), "www.example.com/");
    rig.edit("edNURL2")->setText("abcdefghij");
    rig.click("btnNURLWrite");
    EXPECT_EQ(rig.message(), "Command Done.");
    EXPECT_EQ(rig.ntag->page(3), hex("E1 10 12 00"));
    EXPECT_EQ(rig.ntag->page(6), hex("01 0E 55 01"));
    EXPECT_EQ(rig.ntag->page(9), hex("69 6A 0D 0A"));
    EXPECT_EQ(rig.ntag->page(10), hex("00 00 00 00"));
    EXPECT_EQ(rig.edit("edNURL3")->text(), "6162636465666768696A0D0A00000000");

    rig.edit("edNURL2")->clear();
    rig.edit("edNURL3")->clear();
    rig.click("btnNURLRead");
    EXPECT_EQ(rig.edit("edNURL2")->text(), "abcdefghij\r\n");
    EXPECT_EQ(rig.edit("edNURL3")->text(), "6162636465666768696A0D0A00000000");

    // Pages 3-6 refused: pages 7-10 are left as they were.
    const QByteArray page7 = rig.ntag->page(7);
    rig.reader->faults().queue(sim::Fault::status(0x01));
    rig.edit("edNURL2")->setText("zzzzzzzzzzzzzzzz");
    rig.click("btnNURLWrite");
    EXPECT_EQ(rig.message(), "No Card or Key Error!");
    EXPECT_EQ(rig.ntag->page(7), page7);
}

TEST(IsoPage, InventoryInformationAndBlocks)
{
    TagRig rig;
    rig.click("btnInventory");
    EXPECT_EQ(rig.lastRequest(), hex("02 01 21"));
    const QString inventory = rig.edit("edInventory")->text();
    EXPECT_EQ(inventory.size(), 20) << "flags, DSFID and the 8-byte UID";
    const QByteArray uid = QByteArray::fromHex(inventory.mid(4).toLatin1());
    EXPECT_EQ(rig.message(), "Command Done.");

    rig.click("btnInformation");
    EXPECT_EQ(rig.lastRequest(), hex("02 09 24") + uid);
    EXPECT_FALSE(rig.edit("edInformation")->text().isEmpty());
    EXPECT_EQ(rig.message(), "Command Done.");

    // Write with count 1 and A1B2C3D4, then read blocks 3 and 4.
    rig.find<QScrollBar>("sbICBlock")->setValue(3);
    rig.edit("edICWrite")->setText("A1B2C3D4");
    rig.click("btnICWrite");
    EXPECT_EQ(rig.lastRequest(), hex("02 0F 23") + uid + hex("03 01 A1 B2 C3 D4"));
    EXPECT_EQ(rig.iso->block(3), hex("A1 B2 C3 D4"));
    rig.edit("edICWrite")->setText("A1B2C3D");
    rig.click("btnICWrite");
    EXPECT_EQ(rig.iso->block(3), hex("A1 B2 C3 0D")) << "a last single digit is a byte";
    rig.find<QScrollBar>("sbICNum")->setValue(2);
    rig.click("btnICRead");
    EXPECT_EQ(rig.lastRequest(), hex("02 0B 22") + uid + hex("03 02"));
    EXPECT_EQ(rig.edit("edICRead")->text(), "A1B2C30D00000000");

    // Six blocks fit the box now.
    rig.find<QScrollBar>("sbICNum")->setValue(6);
    rig.edit("edICWrite")->setText("000102030405060708090A0B0C0D0E0F1011121314151617");
    rig.click("btnICWrite");
    EXPECT_EQ(rig.message(), "Command Done.");
    EXPECT_EQ(rig.iso->block(8), hex("14 15 16 17"));
}

TEST(IsoPage, NothingIsAddressedOrWrittenBlindly)
{
    TagRig rig;
    // Too short for the blocks: the box goes back to its default, nothing is sent.
    rig.edit("edICWrite")->setText("11");
    std::size_t sent = rig.sent();
    rig.click("btnICWrite");
    EXPECT_EQ(rig.sent(), sent);
    EXPECT_EQ(rig.edit("edICWrite")->text(), "FFFFFFFF");
    EXPECT_EQ(rig.message(), "Command Error!");

    // No tag: the inventory is refused and no addressed request follows.
    rig.reader->field().remove();
    sent = rig.sent();
    rig.click("btnICRead");
    EXPECT_EQ(rig.sent(), sent + 1);
    EXPECT_EQ(rig.lastRequest(), hex("02 01 21"));
    EXPECT_EQ(rig.message(), "Command Error!");

    // An inventory reply too short to hold a UID: flags and DSFID only.
    rig.reader->field().place(rig.iso);
    auto shortInventory = std::make_unique<ShortInventory>();
    ShortInventory *shortOne = shortInventory.get();
    rig.reader->addModule(std::move(shortInventory));
    sent = rig.sent();
    rig.click("btnInformation");
    EXPECT_EQ(rig.sent(), sent + 1);
    EXPECT_EQ(rig.message(), "Command Error!");
    shortOne->active = false;

    // A locked block refuses the write.
    rig.iso->lockBlock(0);
    rig.edit("edICWrite")->setText("01020304");
    rig.find<QScrollBar>("sbICBlock")->setValue(0);
    rig.click("btnICWrite");
    EXPECT_EQ(rig.message(), "Command Error!");
}
