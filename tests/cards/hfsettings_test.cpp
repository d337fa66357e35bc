// The LF card types and the ISO 15693 reader settings through the window, and
// the NTAG page's URL record read back with an NDEF reading of its own.
#include "cards/ntag/ntagframes.h"
#include "common/protocol.h"
#include "windowrig.h"

#include <QCheckBox>
#include <QScrollBar>
#include <gtest/gtest.h>

using namespace kv350;
using namespace kv350::testing;

namespace {

struct LfBoxes {
    bool em, vanto, security, fdxb, titan, hid;
    bool operator==(const LfBoxes &) const = default;
};

LfBoxes lfBoxes(WindowRig &rig)
{
    auto on = [&](const char *name) { return rig.find<QCheckBox>(name)->isChecked(); };
    return {on("chkLFCardTypeEM"),   on("chkLFCardTypeVANTO"), on("chkLFCardTypeSECURITY"),
            on("chkLFCardTypeFDXB"), on("chkLFCardTypeTITAN"), on("chkLFCardTypeHID")};
}

}  // namespace

TEST(LfCardTypes, ThreeFamiliesExcludeEachOtherWhoeverSetsThem)
{
    WindowRig rig("KV350-LF");
    rig.show();
    rig.click("chkLFCardTypeVANTO");
    EXPECT_EQ(lfBoxes(rig), (LfBoxes{false, true, false, false, false, false}));
    rig.click("chkLFCardTypeVANTO");
    EXPECT_EQ(lfBoxes(rig), (LfBoxes{}));
    rig.find<QCheckBox>("chkLFCardTypeSECURITY")->setChecked(true);
    rig.find<QCheckBox>("chkLFCardTypeEM")->setChecked(true);
    rig.click("chkLFCardTypeFDXB");
    EXPECT_EQ(lfBoxes(rig), (LfBoxes{true, false, false, true, false, false}));

    rig.click("btnSetLFCardType");
    EXPECT_EQ(rig.lastRequest(), hex("02 03 03 31 09"));
    EXPECT_EQ(rig.message(), "Command Done.");

    // Several family bits in one answer: the last in list order stays.
    rig.reader->parameters().set(proto::ParLfCardType, hex("0F"));
    rig.click("btnGetLFCardType");
    EXPECT_EQ(lfBoxes(rig), (LfBoxes{false, false, true, true, false, false}));

    // The hidden families come and go back with the reader's value.
    rig.reader->parameters().set(proto::ParLfCardType, hex("30"));
    rig.click("btnGetLFCardType");
    EXPECT_EQ(lfBoxes(rig), (LfBoxes{false, false, false, false, true, true}));
    rig.click("btnSetLFCardType");
    EXPECT_EQ(rig.lastRequest(), hex("02 03 03 31 30"));

    rig.reader->faults().queue(sim::Fault::noReply());
    rig.click("btnGetLFCardType");
    EXPECT_EQ(rig.message(), "Command Error!");
    EXPECT_EQ(lfBoxes(rig), (LfBoxes{false, false, false, false, true, true}));
}

TEST(Iso15693Settings, IdLocationAndMicCardTypes)
{
    WindowRig rig("KV350-MIC");
    rig.show();
    rig.find<QScrollBar>("sbICIDBlock")->setValue(63);
    rig.find<QScrollBar>("sbICIDStart")->setValue(3);
    rig.find<QScrollBar>("sbICIDByte")->setValue(8);
    rig.click("btnICIDBlock");
    EXPECT_EQ(rig.lastRequest(), hex("02 05 03 21 3F 03 08"));
    EXPECT_EQ(rig.message(), "Command Done.");
    rig.reader->parameters().set(proto::ParIso15693IdBlock, hex("05 01 02"));
    rig.click("btnGetICIDBlock");
    EXPECT_EQ(rig.find<QScrollBar>("sbICIDBlock")->value(), 5);
    EXPECT_EQ(rig.find<QLabel>("pnICIDStart")->text(), "1");
    EXPECT_EQ(rig.find<QLabel>("pnICIDByte")->text(), "2");

    rig.find<QCheckBox>("chkHF15693")->setChecked(false);
    rig.click("btnSetMICType");
    EXPECT_EQ(rig.lastRequest(), hex("02 03 03 23 02"));
    rig.reader->parameters().set(proto::ParMicCardType, hex("05"));
    rig.click("btnGetMICType");
    EXPECT_TRUE(rig.find<QCheckBox>("chkHF15693")->isChecked());
    EXPECT_FALSE(rig.find<QCheckBox>("chkHF14443A")->isChecked());
    EXPECT_TRUE(rig.find<QCheckBox>("chkHF14443B")->isChecked()) << "hidden, but it holds what the reader said";
    EXPECT_TRUE(rig.find<QCheckBox>("chkHF14443B")->isHidden());
}

TEST(NtagUrl, BlockOfTextCrLfAndZeros)
{
    using cards::urlBlock;
    EXPECT_EQ(urlBlock("abcdefghij"), QByteArray("abcdefghij\r\n") + QByteArray(4, '\0'));
    EXPECT_EQ(urlBlock("abcdefghijklmno"), QByteArray("abcdefghijklmno\r"));
    EXPECT_EQ(urlBlock("abcdefghijklmnopq"), QByteArray("abcdefghijklmnop"));
    EXPECT_EQ(urlBlock(""), QByteArray("\r\n") + QByteArray(14, '\0'));
    EXPECT_EQ(cards::ntagReadFrame(7), hex("02 04 13 00 00 07"));
    EXPECT_EQ(cards::ntagWriteFrame(3, QByteArray(16, 'A')).left(6), hex("02 14 14 00 00 03"));
    EXPECT_EQ(cards::dumpPrefix(4), "04:");
}

namespace {

// An NDEF reading of a Type 2 tag's pages 3.., written from the NFC Forum
// layout: capability container, then TLVs; the first NDEF message's first
// record must be a well-known "U" record. Returns the URI, or an error text.
QString readUri(const QByteArray &pages3on)
{
    const auto b = [&](int i) { return i < pages3on.size() ? int(std::uint8_t(pages3on[i])) : -1; };
    if (b(0) != 0xE1)
        return "no NDEF magic number";
    if ((b(1) >> 4) != 1)
        return "unknown major version";
    const int dataSize = b(2) * 8;
    int i = 4;
    while (i < 4 + dataSize && i < pages3on.size()) {
        const int tag = b(i);
        if (tag == 0x00) {  // NULL TLV
            ++i;
            continue;
        }
        if (tag == 0xFE)
            return "terminator before any message";
        const int len = b(i + 1);
        if (tag != 0x03) {  // lock/memory control and others: skip
            i += 2 + len;
            continue;
        }
        const int r = i + 2;
        const int header = b(r);
        if (!(header & 0x80) || !(header & 0x10) || (header & 0x07) != 1)
            return "not a short well-known record starting the message";
        const int typeLength = b(r + 1), payloadLength = b(r + 2);
        if (typeLength != 1 || b(r + 3) != 'U')
            return "not a URI record";
        if (3 + typeLength + payloadLength > len)
            return "record longer than its message";
        const QByteArray payload = pages3on.mid(r + 4, payloadLength);
        if (payload.size() != payloadLength)
            return "payload cut short";
        const QString prefix = payload.at(0) == 1 ? "http://www." : payload.at(0) == 0 ? "" : "?";
        return prefix + QString::fromLatin1(payload.mid(1));
    }
    return "no NDEF message";
}

}  // namespace

TEST(NtagUrl, TheRecordThePageWritesParsesAsAUri)
{
    const QByteArray tag = QByteArray::fromHex(cards::UrlHeaderHex) + cards::urlBlock("example.com/");
    EXPECT_EQ(readUri(tag), "http://www.example.com/\r");
    // Thirteen URI bytes fit: a 13-character host fills the record exactly.
    EXPECT_EQ(readUri(QByteArray::fromHex(cards::UrlHeaderHex) + cards::urlBlock("abcdefghijklm")),
              "http://www.abcdefghijklm");
    EXPECT_NE(readUri(QByteArray::fromHex("E11012000103A010440312D1010E55")), "http://www.")
        << "a cut record is refused";
}
