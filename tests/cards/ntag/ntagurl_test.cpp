// The URL record without widgets: the record the builder makes, read by the
// tests' own NDEF reader; the program's parser on layouts other tools write;
// and what a write does to the lock bytes and the capability container.
#include "cards/ntag/ndef.h"
#include "cards/ntag/ntagframes.h"
#include "cards/ntag/ntaglocks.h"
#include "hexbytes.h"
#include "ndefreader.h"

#include <gtest/gtest.h>
#include <map>

using namespace kv350;
using namespace kv350::cards;
using kv350::testing::readUri;

namespace {

// The text typed, and the URL a phone reads from it.
struct Typed {
    QString prefix;   // as typed
    QString meaning;  // what it stands for on the tag
    int code;
};
const Typed Prefixes[] = {
    {"", "http://www.", 0x01},  // no scheme: a host name, as the page always meant it
    {"http://www.", "http://www.", 0x01},
    {"https://www.", "https://www.", 0x02},
    {"http://", "http://", 0x03},
    {"https://", "https://", 0x04},
    {"tel:", "tel:", 0x00},
    {"mailto:", "mailto:", 0x00},
};

// `n` characters after the prefix, each page of them told apart.
QString body(int n)
{
    QString s;
    for (int i = 0; i < n; ++i)
        s += QChar(i % 26 + 'a');
    return s;
}

// A tag's pages 3-39 after the writes, over what was there before.
QByteArray applied(const std::vector<PageWrite> &writes, QByteArray tag = QByteArray(37 * 4, '\0'))
{
    for (const PageWrite &w : writes) {
        EXPECT_GE(w.page, 3);
        EXPECT_LE(w.page + 3, 39) << "never pages 40-41";
        EXPECT_EQ(w.data.size(), 16);
        tag.replace((w.page - 3) * 4, 16, w.data);
    }
    return tag;
}

}  // namespace

TEST(NtagUrl, FramesAndDumpLines)
{
    EXPECT_EQ(ntagReadFrame(7), hex("02 04 13 00 00 07"));
    EXPECT_EQ(ntagWriteFrame(3, QByteArray(16, 'A')).left(6), hex("02 14 14 00 00 03"));
    EXPECT_EQ(dumpPrefix(4), "04:");
}

TEST(NtagUrl, PrefixesByTheUriRecordTable)
{
    for (const Typed &t : Prefixes) {
        const UriPrefix p = uriPrefixOf(t.prefix + "example.com/");
        EXPECT_EQ(p.code, t.code) << t.prefix.toStdString();
        EXPECT_EQ(p.length, t.code == 0 ? 0 : t.prefix.size()) << t.prefix.toStdString();
    }
    EXPECT_EQ(uriPrefixOf("HTTP://EXAMPLE.COM").code, 0x00) << "only the exact lower-case prefix is abbreviated";
    EXPECT_EQ(uriPrefixOf("example.com:8080/").code, 0x01) << "a port is no scheme";
    EXPECT_EQ(uriPrefixOf("urn:nfc:sn:1").code, 0x00);
    EXPECT_EQ(uriPrefix(0x05), "tel:");
    EXPECT_EQ(uriPrefix(0x23), "urn:nfc:");
    EXPECT_EQ(uriPrefix(0x24), "") << "reserved codes expand to nothing";
}

TEST(NtagUrl, EveryLengthAndPrefixParsesAsExactlyThatUrl)
{
    for (const Typed &t : Prefixes)
        // After the prefix; with code 0x00 the prefix itself takes room in the record.
        for (int n : {1, 13, 14, 40, MaxUriBytes - (t.code == 0 ? int(t.prefix.size()) : 0)}) {
            const QString typed = t.prefix + body(n);
            SCOPED_TRACE(typed.toStdString());
            const UrlBuild b = buildUrlRecord(typed);
            ASSERT_EQ(b.problem, UrlProblem::None);
            const QString expected = t.code == 0 ? typed : t.meaning + typed.mid(t.prefix.size());
            EXPECT_EQ(readUri(b.record.image), expected);
            EXPECT_EQ(readUri(applied(urlWrites(b.record))), expected) << "as the writes leave the tag";
            // The header: the NTAG203's CC and Lock Control TLV as always, the lengths computed.
            const int uri = t.code == 0 ? typed.size() : n;
            EXPECT_EQ(b.record.header().left(9), hex("E1101200 0103A01044"));
            EXPECT_EQ(b.record.header().mid(9),
                      hex("03") + char(5 + uri) + hex("D101") + char(1 + uri) + hex("55") + char(t.code));
            EXPECT_EQ(b.record.recordBytes(), typed.mid(t.code == 0 ? 0 : t.prefix.size()).toLatin1() + hex("FE"));
            for (char c : {'\r', '\n', '\0'})
                EXPECT_FALSE(b.record.uri.contains(c)) << int(c);
            // The program's own parser reads it back as the page will show it.
            const UrlReading r = readUrlRecord(b.record.image);
            EXPECT_EQ(r.status, UrlReadStatus::Url);
            EXPECT_EQ(r.url, expected);
            EXPECT_EQ(r.header, b.record.header());
            EXPECT_EQ(r.recordBytes, b.record.recordBytes());
        }
}

TEST(NtagUrl, TheDocumentedExampleByteForByte)
{
    EXPECT_EQ(buildUrlRecord("https://www.example.com/").record.image,
              hex("E1101200 0103A010 440311D1 010D5502 6578616D 706C652E 636F6D2F FE"));
}

TEST(NtagUrl, WritesEndAtPage39AndTheLengthComesLast)
{
    const UrlRecord shortest = buildUrlRecord("https://a").record;
    std::vector<PageWrite> w = urlWrites(shortest);
    ASSERT_EQ(w.size(), 3u);
    EXPECT_EQ(w[0].page, 3);
    EXPECT_EQ(w[0].data.at(10), '\0') << "first an empty message";
    EXPECT_EQ(w[1].page, 7);
    EXPECT_EQ(w[2].page, 3);
    EXPECT_EQ(w[2].data, shortest.image.left(16));
    // Cut after any write but the last: never a URL, at most an empty message.
    for (std::size_t k = 1; k < w.size(); ++k)
        EXPECT_EQ(readUri(applied({w.begin(), w.begin() + k},
                                  applied({{3, buildUrlRecord("http://old").record.image.left(16)}}))),
                  "empty NDEF message")
            << k;

    const UrlRecord longest = buildUrlRecord(body(MaxUriBytes)).record;
    EXPECT_EQ(longest.image.size(), 4 + NdefDataAreaSize) << "the data area, to its last byte";
    w = urlWrites(longest);
    std::vector<int> pages;
    for (const PageWrite &x : w)
        pages.push_back(x.page);
    EXPECT_EQ(pages, (std::vector<int>{3, 7, 11, 15, 19, 23, 27, 31, 35, 36, 3}));
}

TEST(NtagUrl, RefusalsSayWhy)
{
    const QString tooLong = "https://www." + body(MaxUriBytes + 1);
    const UrlBuild b = buildUrlRecord(tooLong);
    EXPECT_EQ(b.problem, UrlProblem::TooLong);
    EXPECT_EQ(b.fits, 12 + MaxUriBytes);
    EXPECT_EQ(urlProblemText(b, tooLong, englishText),
              "The URL is too long for the tag: 143 of its 144 characters fit. Nothing was written.");
    EXPECT_EQ(buildUrlRecord("tel:" + body(MaxUriBytes - 4)).problem, UrlProblem::None) << "0x00 keeps the text whole";
    EXPECT_EQ(buildUrlRecord("tel:" + body(MaxUriBytes - 3)).fits, MaxUriBytes);
    // Characters beyond ASCII take more than one byte each.
    const UrlBuild wide = buildUrlRecord("http://" + QString(70, QChar(0x00E9)));
    EXPECT_EQ(wide.problem, UrlProblem::TooLong);
    EXPECT_EQ(wide.fits, 7 + 65);

    EXPECT_EQ(buildUrlRecord("").problem, UrlProblem::Empty);
    for (const char *bad : {"example.com/\r\n", "a\tb", "a\x7F"})
        EXPECT_EQ(buildUrlRecord(QString::fromLatin1(bad)).problem, UrlProblem::ControlCharacter) << bad;
    EXPECT_EQ(buildUrlRecord(QString("a") + QChar(0) + "b").problem, UrlProblem::ControlCharacter);
}

TEST(NtagUrl, ParserReadsWhatOtherWritersLeave)
{
    // No Lock Control TLV, NULL TLVs, a small data area (an Ultralight).
    EXPECT_EQ(readUrlRecord(hex("E1100600 0000 0306D1010255 03 61 FE")).url, "http://a");
    // The three-byte length form and a long record (SR clear) with an ID.
    EXPECT_EQ(readUrlRecord(hex("E1101200 03FF000B C9 01 00000002 01 55 07 05 31 FE")).url, "tel:1");
    // A text record first, the URI second.
    const UrlReading second = readUrlRecord(hex("E1101200 030F 91010454 02656E41 51010355 04782E FE"));
    EXPECT_EQ(second.status, UrlReadStatus::Url);
    EXPECT_EQ(second.url, "https://x.");
    // A text record only.
    EXPECT_EQ(readUrlRecord(hex("E1101200 0308 D1010454 02656E41 FE")).status, UrlReadStatus::NoUriRecord);
    // The blank tag, as it leaves the factory: an empty message.
    EXPECT_EQ(readUrlRecord(hex("E1101200 0103A01044 0300FE 000000")).status, UrlReadStatus::NoMessage);
    EXPECT_EQ(readUrlRecord(hex("E1101200 FE")).status, UrlReadStatus::NoMessage);
    EXPECT_EQ(readUrlRecord(QByteArray(16, '\0')).status, UrlReadStatus::NoCapabilityContainer);
    EXPECT_EQ(readUrlRecord(hex("E1201200 0300FE")).status, UrlReadStatus::NoCapabilityContainer) << "version 2";
    // A record that claims more than its message: damaged, where it starts.
    const UrlReading cut = readUrlRecord(hex("E1101200 0305 D1010955 01 6162 FE"));
    EXPECT_EQ(cut.status, UrlReadStatus::Damaged);
    EXPECT_EQ(cut.damagedAt, 6);
    EXPECT_EQ(urlReadingText(cut, englishText),
              "The tag holds no readable URL record: its NDEF data is damaged at page 4.");
    // A message longer than the data area the tag announces (here 8 bytes).
    EXPECT_EQ(readUrlRecord(hex("E1100100 0309 D1010555 01 61626364 FE")).status, UrlReadStatus::Damaged);
    // Bytes still to be read.
    EXPECT_EQ(readUrlRecord(hex("E1101200 0103A01044 0340D101")).status, UrlReadStatus::NeedMore);
    EXPECT_EQ(readUrlRecord(hex("E110")).status, UrlReadStatus::NeedMore);
}

TEST(NtagLocks, OnlyBitsThatAreStillClearAsk)
{
    std::map<int, QByteArray> tag = {{2, hex("B6 48 00 00")}, {3, hex("E1 10 12 00")}, {40, hex("00 00 00 00")}};
    const auto current = [&](int page) { return tag[page]; };
    EXPECT_EQ(oneTimePages(0), (std::vector<int>{2, 3}));
    EXPECT_EQ(oneTimePages(3), (std::vector<int>{3}));
    EXPECT_TRUE(oneTimePages(4).empty());
    EXPECT_EQ(oneTimePages(37), (std::vector<int>{40}));
    EXPECT_TRUE(oneTimePages(41).empty());

    // The same CC again, or bits it already has: nothing changes.
    EXPECT_TRUE(permanentChanges(3, hex("E1101200") + QByteArray(12, '\x11'), current).empty());
    EXPECT_TRUE(permanentChanges(3, hex("E0000000") + QByteArray(12, '\x11'), current).empty());
    // Page 2's first two bytes are the UID's check byte and an internal byte: the tag ignores them.
    EXPECT_TRUE(permanentChanges(2, hex("FFFF0000 E1101200") + QByteArray(8, '\0'), current).empty());

    // A lock bit for pages 4-7 and the CC's lock bit.
    const auto locks = permanentChanges(2, hex("0000F800 E1101200") + QByteArray(8, '\0'), current);
    ASSERT_EQ(locks.size(), 1u);
    EXPECT_EQ(locks[0].page, 2);
    EXPECT_EQ(locks[0].before, hex("0000"));
    EXPECT_EQ(locks[0].after, hex("F800"));
    EXPECT_EQ(locks[0].lockedPages, (std::vector<int>{3, 4, 5, 6, 7}));
    EXPECT_EQ(permanentQuestion(locks, englishText),
              "Page 2: the lock bytes change from 00 00 to F8 00; a lock bit can never be cleared again.\n"
              "Pages 3-7 can never be written again.\n\nWrite it?");

    // A CC write ORs: 12 becomes 13, for good.
    const auto cc = permanentChanges(3, hex("E1101300") + QByteArray(12, '\0'), current);
    ASSERT_EQ(cc.size(), 1u);
    EXPECT_EQ(cc[0].after, hex("E1101300"));
    EXPECT_TRUE(permanentQuestion(cc, englishText)
                    .startsWith("Page 3: the capability container changes from E1 10 12 00 to E1 10 13 00; it is "
                                "one-time programmable"));

    // Dynamic lock bits: pages 16-19 and 36-39; the block-locking bit 0 locks no page itself.
    const auto dynamic = permanentChanges(40, hex("83000000") + QByteArray(12, '\0'), current);
    ASSERT_EQ(dynamic.size(), 1u);
    EXPECT_EQ(dynamic[0].lockedPages, (std::vector<int>{16, 17, 18, 19, 36, 37, 38, 39}));
    tag[40] = hex("83000000");
    EXPECT_TRUE(permanentChanges(37, QByteArray(12, '\0') + hex("83000000"), current).empty())
        << "the same lock bits again";
}
