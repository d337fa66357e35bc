// The NTAG and ISO 15693 pages through the window against virtual tags.
#include "ndefreader.h"
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
using kv350::testing::readUri;

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

TEST(NtagPage, UrlWrittenWholeReadsBackAsTypedAndParses)
{
    TagRig rig;
    const struct {
        QString prefix;
        QString shown;  // what the page reads back in front of the rest
        int room;       // characters after the prefix that fit
    } prefixes[] = {
        {"", "http://www.", 131},  // a host name, as the page always meant it
        {"http://www.", "http://www.", 131},
        {"https://www.", "https://www.", 131},
        {"http://", "http://", 131},
        {"https://", "https://", 131},
        {"tel:", "tel:", 127},  // no abbreviation: the scheme takes room
    };
    for (const auto &p : prefixes)
        for (int n : {1, 13, 14, 40, p.room}) {
            QString rest;
            for (int i = 0; i < n; ++i)
                rest += QChar('a' + i % 26);
            const QString typed = p.prefix + rest;
            SCOPED_TRACE(typed.toStdString());
            rig.edit("edNURL2")->setText(typed);
            rig.click("btnNURLWrite");
            ASSERT_EQ(rig.message(), "Command Done.");
            QByteArray tag;
            for (int page = 3; page <= 39; ++page)
                tag += rig.ntag->page(page);
            EXPECT_EQ(readUri(tag), p.shown + rest) << "the tag, read by the tests' own NDEF reader";
            const QString header = rig.edit("edNURL1")->text(), record = rig.edit("edNURL3")->text();
            EXPECT_EQ(QByteArray::fromHex(header.toLatin1()), tag.left(16)) << "the header bytes written";
            EXPECT_EQ(QByteArray::fromHex(record.toLatin1()), tag.mid(16, record.size() / 2));
            EXPECT_TRUE(record.endsWith("FE")) << "the record's bytes and the terminator";

            rig.edit("edNURL1")->clear();
            rig.edit("edNURL2")->clear();
            rig.edit("edNURL3")->clear();
            rig.click("btnNURLRead");
            EXPECT_EQ(rig.message(), "Command Done.");
            EXPECT_EQ(rig.edit("edNURL2")->text(), p.shown + rest);
            EXPECT_EQ(rig.edit("edNURL1")->text(), header);
            EXPECT_EQ(rig.edit("edNURL3")->text(), record);
        }
    EXPECT_TRUE(rig.dialogs.asked.empty()) << "the tag's own capability container again: nothing to ask";
    EXPECT_TRUE(rig.find<QLabel>("lblNURLProblem")->isHidden());

    // The sample reads back as itself.
    rig.click("btnNSample");
    EXPECT_EQ(rig.edit("edNURL2")->text(), "https://www.example.com/");
    rig.click("btnNURLWrite");
    rig.edit("edNURL2")->clear();
    rig.click("btnNURLRead");
    EXPECT_EQ(rig.edit("edNURL2")->text(), "https://www.example.com/");
}

TEST(NtagPage, UrlThatDoesNotFitIsRefusedAndTheTagKept)
{
    TagRig rig;
    const QByteArray before = rig.ntag->page(5);
    const std::size_t sent = rig.sent();
    rig.edit("edNURL2")->setText("https://www." + QString(140, 'x'));
    rig.click("btnNURLWrite");
    EXPECT_EQ(rig.sent(), sent) << "nothing went to the reader";
    EXPECT_EQ(rig.ntag->page(5), before);
    EXPECT_EQ(rig.message(), "Command Error!");
    EXPECT_EQ(rig.find<QLabel>("lblNURLProblem")->text(),
              "The URL is too long for the tag: 143 of its 152 characters fit. Nothing was written.");
    EXPECT_FALSE(rig.find<QLabel>("lblNURLProblem")->isHidden());

    rig.edit("edNURL2")->clear();
    rig.click("btnNURLWrite");
    EXPECT_EQ(rig.sent(), sent);
    EXPECT_EQ(rig.find<QLabel>("lblNURLProblem")->text(), "Type a URL first. Nothing was written.");
}

TEST(NtagPage, ATagWithoutAUrlSaysSoInsteadOfShowingBytes)
{
    TagRig rig;
    rig.edit("edNURL2")->setText("left from before");
    rig.click("btnNURLRead");
    EXPECT_EQ(rig.edit("edNURL2")->text(), "") << "a blank tag holds an empty message";
    EXPECT_EQ(rig.find<QLabel>("lblNURLProblem")->text(), "The tag holds no URL record: it holds no NDEF message.");
    EXPECT_EQ(rig.edit("edNURL1")->text(), "E11012000103A010440300FE00000000") << "what is there, as bytes";
    EXPECT_EQ(rig.message(), "Command Done.") << "the tag was read";

    // Another writer's text record; then a tag never formatted for NDEF, in Chinese.
    rig.ntag->setPage(4, hex("0308D101"));
    rig.ntag->setPage(5, hex("04540265"));
    rig.ntag->setPage(6, hex("6E41FE00"));
    rig.click("btnNURLRead");
    EXPECT_EQ(rig.find<QLabel>("lblNURLProblem")->text(),
              "The tag holds no URL record: its NDEF message holds no URI record.");
    rig.ntag->setPage(3, hex("00000000"));
    rig.window->mnuSimplifiedClick();
    rig.click("btnNURLRead");
    EXPECT_EQ(rig.find<QLabel>("lblNURLProblem")->text(),
              QString::fromUtf8("标签上没有 URL 记录：第 3 页不是 NDEF 能力容器。"));

    rig.reader->field().remove();
    rig.click("btnNURLRead");
    EXPECT_EQ(rig.message(), QString::fromUtf8("无卡片或Key错误！"));
}

TEST(NtagPage, UrlWriteCutShortLeavesAnEmptyMessageNeverHalfAUrl)
{
    TagRig rig;
    rig.edit("edNURL2")->setText("https://old.example/" + QString(30, 'o'));
    rig.click("btnNURLWrite");
    // The read of pages 2-5 and the first write go through; the tag refuses the second.
    rig.reader->faults().queue(sim::Fault::none(), 2);
    rig.reader->faults().queue(sim::Fault::status(0x01));
    rig.edit("edNURL2")->setText("https://new.example/" + QString(30, 'n'));
    rig.click("btnNURLWrite");
    EXPECT_EQ(rig.message(), "No Card or Key Error!");
    QByteArray tag;
    for (int page = 3; page <= 39; ++page)
        tag += rig.ntag->page(page);
    EXPECT_EQ(readUri(tag), "empty NDEF message");

    // Pages 3-6 refused at once: nothing after them is written.
    const QByteArray page7 = rig.ntag->page(7);
    rig.reader->faults().queue(sim::Fault::none());
    rig.reader->faults().queue(sim::Fault::status(0x01));
    rig.edit("edNURL2")->setText("zzzzzzzzzzzzzzzz");
    rig.click("btnNURLWrite");
    EXPECT_EQ(rig.message(), "No Card or Key Error!");
    EXPECT_EQ(rig.ntag->page(7), page7);
}

namespace {

int writesSent(const TagRig &rig)
{
    int n = 0;
    for (const QByteArray &r : rig.reader->requests())
        n += r.size() > 2 && std::uint8_t(r[2]) == 0x14;
    return n;
}

}  // namespace

TEST(NtagPage, LockBytesAndTheCapabilityContainerAskOnlyWhenTheyWouldChange)
{
    TagRig rig;
    rig.find<QRadioButton>("rbNHex")->setChecked(true);

    // A tag never formatted: the URL write would program its capability container.
    rig.ntag->setPage(3, hex("00000000"));
    rig.edit("edNURL2")->setText("https://www.example.com/");
    int writes = writesSent(rig);
    rig.click("btnNURLWrite");
    ASSERT_EQ(rig.dialogs.asked.size(), 1u);
    EXPECT_TRUE(rig.dialogs.asked[0].text.startsWith(
        "Page 3: the capability container changes from 00 00 00 00 to E1 10 12 00; it is one-time programmable"));
    EXPECT_EQ(writesSent(rig), writes) << "No writes nothing";
    EXPECT_EQ(rig.ntag->page(3), hex("00000000"));
    EXPECT_EQ(rig.message(), "Cancelled: nothing was sent to the reader.");
    EXPECT_EQ(rig.edit("edNURL1")->text(), "E11012000103A010440312D1010E5501") << "nothing written, nothing shown";
    EXPECT_EQ(rig.edit("edNURL3")->text(), "");
    rig.dialogs.yes();
    rig.click("btnNURLWrite");
    EXPECT_EQ(rig.message(), "Command Done.");
    EXPECT_EQ(rig.ntag->page(3), hex("E1101200"));
    EXPECT_EQ(rig.edit("edNURL1")->text(), "E11012000103A010440311D1010D5502");

    // Page 2's lock bytes: the same bytes again go straight out, new lock bits ask.
    rig.find<QScrollBar>("sbNBlock")->setValue(2);
    const QByteArray pages2to5 = rig.ntag->page(2) + rig.ntag->page(3) + rig.ntag->page(4) + rig.ntag->page(5);
    rig.edit("edNWrite")->setText(QString::fromLatin1(pages2to5.toHex().toUpper()));
    rig.click("btnNWrite");
    EXPECT_EQ(rig.message(), "Command Done.");
    EXPECT_EQ(rig.dialogs.asked.size(), 2u);
    QByteArray locking = pages2to5;
    locking[2] = char(0xF0);  // pages 4-7 read-only
    rig.edit("edNWrite")->setText(QString::fromLatin1(locking.toHex().toUpper()));
    writes = writesSent(rig);
    rig.click("btnNWrite");
    ASSERT_EQ(rig.dialogs.asked.size(), 3u);
    EXPECT_TRUE(rig.dialogs.asked[2].text.contains("Pages 4-7 can never be written again."));
    EXPECT_EQ(writesSent(rig), writes);
    EXPECT_FALSE(rig.ntag->pageLocked(4));
    rig.dialogs.yes();
    rig.click("btnNWrite");
    EXPECT_TRUE(rig.ntag->pageLocked(4));
    EXPECT_EQ(rig.ntag->page(2).mid(2, 2), hex("F000"));
    rig.click("btnNWrite");
    EXPECT_EQ(rig.dialogs.asked.size(), 4u) << "set bits set again ask nothing";

    // Page 40's dynamic lock bytes, from page 37.
    rig.find<QScrollBar>("sbNBlock")->setValue(37);
    rig.edit("edNWrite")
        ->setText("000000000000000000000000"
                  "0E000000");
    rig.click("btnNWrite");
    ASSERT_EQ(rig.dialogs.asked.size(), 5u);
    EXPECT_TRUE(rig.dialogs.asked[4].text.contains("Page 40: the lock bytes change from 00 00 to 0E 00"));
    EXPECT_EQ(rig.ntag->page(40), hex("00000000"));

    // Data pages never ask.
    for (int page : {4 + 4, 16, 36}) {
        rig.find<QScrollBar>("sbNBlock")->setValue(page);
        rig.edit("edNWrite")->setText(QString(32, '1'));
        rig.click("btnNWrite");
        EXPECT_EQ(rig.message(), "Command Done.") << page;
    }
    EXPECT_EQ(rig.dialogs.asked.size(), 5u);
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
