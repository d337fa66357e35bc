// kv350ctl's card commands in process against the virtual reader: the bytes
// on the wire, the card afterwards, the exit status of each outcome, and the
// writes that need --force.
#include "cardcommands.h"
#include "exitstatus.h"
#include "hexbytes.h"
#include "options.h"
#include "readerlinkrig.h"
#include "sim/cards/epctag.h"
#include "sim/cards/field.h"
#include "sim/cards/iso15693tag.h"
#include "sim/cards/mifareclassic.h"
#include "sim/cards/ntag203.h"
#include "sim/modules/uhfmodule.h"

#include <gtest/gtest.h>

using namespace kv350;
using namespace kv350::cli;

namespace {

struct CtlRig : VirtualReaderLink {
    explicit CtlRig(const char *model = "KV350-MIC") : VirtualReaderLink(identity(model)) {}
    static sim::Identity identity(const char *model)
    {
        sim::Identity id;
        id.model = model;
        return id;
    }
    // kv350ctl with these arguments (after the global ones), on this link.
    int run(const QStringList &args)
    {
        out.clear();
        err.clear();
        const ParseResult parsed = parseArguments(args);
        if (!parsed.options) {
            err = parsed.error;
            return ExitBadArguments;
        }
        QTextStream o(&out), e(&err);
        Session s{*parsed.options, o, e, &link, &hid, time, time, false};
        const int status = findCommand(parsed.options->command)->run(s);
        link.DisconnectReader();
        return status;
    }
    // The requests of card commands: identification left out.
    std::vector<QByteArray> sent() const
    {
        std::vector<QByteArray> cards;
        for (const QByteArray &r : reader.requests())
            if (r.size() > 2 && r[2] != char(proto::CmdSerialNumber) && r[2] != char(proto::CmdModelVersion))
                cards.push_back(r);
        return cards;
    }
    std::shared_ptr<sim::MifareClassicCard> placeMifare()
    {
        auto card = std::make_shared<sim::MifareClassicCard>();
        reader.field().place(card);
        return card;
    }

    QString out, err;
};

}  // namespace

TEST(CardCommands, MifareWriteAndReadOnTheWire)
{
    CtlRig rig;
    auto card = rig.placeMifare();
    EXPECT_EQ(rig.run({"mifare", "write", "1", "2", "00112233445566778899AABBCCDDEEFF"}), ExitDone)
        << rig.err.toStdString();
    EXPECT_EQ(rig.sent(),
              (std::vector<QByteArray>{hex("02 1A 16 60 FFFFFFFFFFFF 01 02 00112233445566778899AABBCCDDEEFF")}));
    EXPECT_EQ(card->block(1, 2), hex("00112233445566778899AABBCCDDEEFF"));
    EXPECT_EQ(rig.out, "sector 1 block 2 written\n");

    rig.reader.clearRequests();
    EXPECT_EQ(rig.run({"mifare", "read", "1", "2", "--json"}), ExitDone);
    EXPECT_EQ(rig.sent(), (std::vector<QByteArray>{hex("02 0A 15 60 FFFFFFFFFFFF 01 02")}));
    EXPECT_EQ(rig.out, "{\"block\":2,\"data\":\"00112233445566778899AABBCCDDEEFF\",\"sector\":1}\n");

    // The reader's stored key B: the short form, no key on the wire.
    rig.reader.clearRequests();
    rig.run({"mifare", "read", "1", "2", "--stored", "--key-b"});
    EXPECT_EQ(rig.sent().front(), hex("02 04 15 61 01 02"));

    EXPECT_EQ(rig.run({"uid", "--json"}), ExitDone);
    EXPECT_EQ(rig.out, "{\"uid\":\"11223344\"}\n");
}

TEST(CardCommands, NoCardAndARefusedKeyHaveTheirOwnStatus)
{
    CtlRig rig;
    EXPECT_EQ(rig.run({"mifare", "read", "1", "0"}), ExitNoCard);
    EXPECT_TRUE(rig.err.contains("no card in the reader's field")) << rig.err.toStdString();
    EXPECT_EQ(rig.run({"uid"}), ExitNoCard);

    auto card = rig.placeMifare();
    EXPECT_EQ(rig.run({"mifare", "write", "1", "0", "FFEEDDCCBBAA99887766554433221100", "--key", "A0A1A2A3A4A5"}),
              ExitCardRefused);
    EXPECT_TRUE(rig.err.contains("key A was not accepted")) << rig.err.toStdString();
    EXPECT_EQ(card->block(1, 0), QByteArray(16, '\0')) << "nothing written";
    EXPECT_EQ(rig.out, "");

    // A model without the card module is told so, and nothing is sent.
    CtlRig lf("KV350-LF");
    lf.reader.field().place(std::make_shared<sim::MifareClassicCard>());
    EXPECT_EQ(lf.run({"uid"}), ExitFailed);
    EXPECT_TRUE(lf.err.contains("a KV350-LF reader has no MIFARE / NTAG card module")) << lf.err.toStdString();
    EXPECT_TRUE(lf.sent().empty());
}

TEST(CardCommands, BadInputIsRefusedBeforeAnythingIsSent)
{
    CtlRig rig;
    rig.placeMifare();
    for (const QStringList &args :
         {QStringList{"mifare", "read", "40", "0"}, QStringList{"mifare", "read", "31", "4"},
          QStringList{"mifare", "read", "1", "x"}, QStringList{"mifare", "read", "1"},
          QStringList{"mifare", "read", "1", "0", "--key", "FFFF"},
          QStringList{"mifare", "read", "1", "0", "--key", "FFFFFFFFFFFF", "--stored"},
          QStringList{"mifare", "write", "1", "0", "0011"}, QStringList{"ntag", "read", "42"},
          QStringList{"ntag", "write", "4", "00"}, QStringList{"ntag", "url", "set", "http://a\nb"},
          QStringList{"ntag", "url"}, QStringList{"iso15693", "read", "0", "7"},
          QStringList{"iso15693", "write", "0", "A1B2C3"}, QStringList{"epc", "read", "kill", "0", "2"},
          QStringList{"epc", "write", "user", "0", "ABC"}, QStringList{"etag", "write", "00112233"}})
        EXPECT_EQ(rig.run(args), ExitBadArguments) << args.join(' ').toStdString();
    EXPECT_TRUE(rig.reader.requests().empty());
    // Sector 32 has 16 blocks.
    EXPECT_EQ(rig.run({"mifare", "read", "32", "15"}), ExitCardRefused) << "a 1K card has no sector 32";
}

TEST(CardCommands, TrailerGuardRefusesAndAsksForForce)
{
    CtlRig rig;
    auto card = rig.placeMifare();
    const QByteArray before = card->block(1, 3);

    EXPECT_EQ(rig.run({"mifare", "write", "1", "3", "FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF"}), ExitBadArguments);
    EXPECT_TRUE(rig.err.contains("Access bytes FFFFFF are not a valid encoding")) << rig.err.toStdString();
    // Trailer row 000: the access conditions are frozen.
    const QString frozen = "FFFFFFFFFFFFFF0F0069FFFFFFFFFFFF";
    EXPECT_EQ(rig.run({"mifare", "write", "1", "3", frozen}), ExitNeedsForce);
    EXPECT_TRUE(rig.err.contains("The access conditions of sector 1 can never be changed again."))
        << rig.err.toStdString();
    EXPECT_TRUE(rig.err.contains("--force"));
    EXPECT_TRUE(rig.reader.requests().empty()) << "refused before connecting";
    EXPECT_EQ(card->block(1, 3), before);

    // A trailer that keeps everything changeable needs no --force; one that does not, with it.
    EXPECT_EQ(rig.run({"mifare", "write", "1", "3", "FFFFFFFFFFFFFF078069FFFFFFFFFFFF"}), ExitDone);
    EXPECT_EQ(rig.run({"mifare", "write", "1", "3", frozen, "--force"}), ExitDone) << rig.err.toStdString();
    EXPECT_EQ(card->block(1, 3).mid(6, 4), hex("FF0F0069"));
}

TEST(CardCommands, RawFramesToATrailerGoThroughTheGuard)
{
    CtlRig rig;
    auto card = rig.placeMifare();
    // Both forms of the block write: 28 bytes with a typed key, 22 with the stored one.
    EXPECT_EQ(rig.run({"raw", "02 1A 16 60 FFFFFFFFFFFF 01 03 FFFFFFFFFFFF FFFFFF 69 FFFFFFFFFFFF"}), ExitBadArguments);
    EXPECT_EQ(rig.run({"raw", "02 14 16 60 01 03 FFFFFFFFFFFF FF0F00 69 FFFFFFFFFFFF"}), ExitNeedsForce);
    EXPECT_TRUE(rig.err.contains("can never be changed again")) << rig.err.toStdString();
    EXPECT_TRUE(rig.reader.requests().empty());
    // A data block, or a frame of another length, goes as typed.
    EXPECT_EQ(rig.run({"raw", "02 1A 16 60 FFFFFFFFFFFF 01 01 FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF"}), ExitDone);
    EXPECT_EQ(card->block(1, 1), QByteArray(16, '\xFF'));
    EXPECT_EQ(rig.run({"raw", "02 1A 16 60 FFFFFFFFFFFF 01 03 FFFFFFFFFFFF FF0F00 69 FFFFFFFFFFFF", "--force"}),
              ExitDone);
    EXPECT_EQ(card->block(1, 3).mid(6, 3), hex("FF0F00"));
}

TEST(CardCommands, NtagPagesLocksAndUrl)
{
    CtlRig rig;
    auto tag = std::make_shared<sim::Ntag203Card>();
    rig.reader.field().place(tag);
    EXPECT_EQ(rig.run({"ntag", "write", "8", "41424344 45464748 494A4B4C 4D4E4F50"}), ExitDone)
        << rig.err.toStdString();
    EXPECT_EQ(tag->page(9), hex("45464748"));
    EXPECT_EQ(rig.run({"ntag", "read", "8", "--json"}), ExitDone);
    EXPECT_EQ(rig.out, "{\"data\":\"4142434445464748494A4B4C4D4E4F50\",\"page\":8}\n");

    // Lock bits set on page 2: read first, then refused without --force.
    const QByteArray page2 = tag->page(2);
    const QByteArray locking = page2.left(2).toHex() + "FFFF" + "E1101200" + "0103A010" + "440300FE";
    rig.reader.clearRequests();
    EXPECT_EQ(rig.run({"ntag", "write", "2", QString::fromLatin1(locking)}), ExitNeedsForce);
    EXPECT_EQ(rig.sent(), (std::vector<QByteArray>{hex("02 04 13 00 00 02")}))
        << "the lock bytes read, nothing written";
    EXPECT_EQ(tag->page(2), page2);
    EXPECT_FALSE(tag->pageLocked(4));

    // The URL, written whole and read back.
    const QString url = "https://shop.example.com/product/12345";
    EXPECT_EQ(rig.run({"ntag", "url", "set", url}), ExitDone) << rig.err.toStdString();
    EXPECT_EQ(rig.run({"ntag", "url", "get"}), ExitDone);
    EXPECT_EQ(rig.out, url + "\n");
    // A tag that holds no URL says what it holds instead.
    tag->setPage(5, hex("440300FE"));
    EXPECT_EQ(rig.run({"ntag", "url", "get"}), ExitFailed);
    EXPECT_TRUE(rig.err.contains("holds no URL record")) << rig.err.toStdString();

    // A blank tag's capability container is one-time programmable: the URL needs --force.
    auto blank = std::make_shared<sim::Ntag203Card>();
    blank->setPage(3, hex("00000000"));
    rig.reader.field().place(blank);
    EXPECT_EQ(rig.run({"ntag", "url", "set", url}), ExitNeedsForce);
    EXPECT_EQ(blank->page(3), hex("00000000"));
    EXPECT_EQ(rig.run({"ntag", "url", "set", url, "--force"}), ExitDone);
    EXPECT_EQ(blank->page(3), hex("E1101200"));
}

TEST(CardCommands, Iso15693InventoryReadWrite)
{
    CtlRig rig;
    EXPECT_EQ(rig.run({"iso15693", "inventory"}), ExitNoCard);
    auto tag = std::make_shared<sim::Iso15693Tag>();
    rig.reader.field().place(tag);
    EXPECT_EQ(rig.run({"iso15693", "inventory", "--json"}), ExitDone) << rig.err.toStdString();
    EXPECT_TRUE(rig.out.startsWith("{\"data\":\"")) << rig.out.toStdString();
    EXPECT_TRUE(rig.out.contains("\"uid\":\"" + QString::fromLatin1(tag->uidOnAir().toHex().toUpper()) + "\""))
        << rig.out.toStdString();

    rig.reader.clearRequests();
    EXPECT_EQ(rig.run({"iso15693", "write", "2", "A1B2C3D4 01020304"}), ExitDone) << rig.err.toStdString();
    EXPECT_EQ(rig.sent().back(), hex("02 13 23") + tag->uidOnAir() + hex("02 02 A1B2C3D4 01020304"));
    EXPECT_EQ(tag->block(2), hex("A1B2C3D4"));
    EXPECT_EQ(tag->block(3), hex("01020304"));
    EXPECT_EQ(rig.run({"iso15693", "read", "2", "2"}), ExitDone);
    EXPECT_EQ(rig.out, "A1B2C3D401020304\n");
    EXPECT_EQ(rig.run({"iso15693", "info"}), ExitDone);

    tag->lockBlock(5);
    EXPECT_EQ(rig.run({"iso15693", "write", "5", "00000000"}), ExitCardRefused);
    EXPECT_EQ(rig.run({"iso15693", "read", "200"}), ExitCardRefused) << "the tag has 28 blocks";
}

TEST(CardCommands, EpcAndEtagThroughTheUhfModule)
{
    CtlRig rig("KV350-U1");
    rig.reader.uhf().clearField();
    EXPECT_EQ(rig.run({"etag", "read"}), ExitNoCard);
    EXPECT_TRUE(rig.err.contains("no tag in the reader's field")) << rig.err.toStdString();
    EXPECT_EQ(rig.run({"etag", "write", "0011223344556677"}), ExitNoCard) << rig.err.toStdString();
    EXPECT_EQ(rig.reader.uhf().texts().size(), 6u) << "three attempts each, as the page makes them";

    rig.reader.uhf().placeTag(sim::EpcTag::numbered(7));
    EXPECT_EQ(rig.run({"etag", "write", "00112233aabbccdd"}), ExitDone) << rig.err.toStdString();
    EXPECT_EQ(rig.run({"etag", "read", "--json"}), ExitDone);
    EXPECT_EQ(rig.out, "{\"data\":\"00112233AABBCCDD\"}\n");

    EXPECT_EQ(rig.run({"epc", "write", "user", "3", "CAFEF00D"}), ExitDone) << rig.err.toStdString();
    EXPECT_EQ(rig.reader.uhf().tag(0).bank(sim::TagBank::User).mid(6, 4), hex("CAFEF00D"));
    EXPECT_EQ(rig.reader.uhf().texts().back(), "W3,3,2,CAFEF00D");
    EXPECT_EQ(rig.run({"epc", "read", "3", "3", "2"}), ExitDone);
    EXPECT_EQ(rig.out, "CAFEF00D\n");

    // The module's refusal is passed on: a locked bank.
    rig.reader.uhf().tag(0).setLocked(sim::TagBank::User, true);
    EXPECT_EQ(rig.run({"epc", "write", "user", "0", "0000"}), ExitCardRefused);
    EXPECT_TRUE(rig.err.contains("W:LOCKED")) << rig.err.toStdString();
}

TEST(CardCommands, ThreeWordCommandsAndTheirHelp)
{
    ParseResult p = parseArguments({"ntag", "url", "--help"});
    ASSERT_TRUE(p.options);
    EXPECT_TRUE(p.options->helpText.contains("ntag url get")) << p.options->helpText.toStdString();
    EXPECT_TRUE(p.options->helpText.contains("ntag url set URL"));
    p = parseArguments({"ntag", "url", "put"});
    EXPECT_EQ(p.error, "ntag url needs get or set");
    p = parseArguments({"ntag", "page"});
    EXPECT_EQ(p.error, "ntag needs read, write, url or dump");
    p = parseArguments({"--log-keys", "uid"});
    EXPECT_EQ(p.error, "--log-keys goes with --log");
}
