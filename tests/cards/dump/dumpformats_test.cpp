// The dump formats: what each importer makes of a hand-written reference file
// (docs/dump-formats.md), round trips through every format against the
// virtual 1K, 4K and NTAG203 cards, and damaged files refused with where.
#include "cards/dump/dumpformats.h"
#include "cards/dump/keysfile.h"
#include "cards/mifare/mifaredump.h"
#include "cards/ntag/ntagdump.h"
#include "sim/cards/mifareclassic.h"
#include "sim/cards/ntag203.h"
#include "simexchange.h"

#include <QFile>
#include <gtest/gtest.h>
#include <memory>

using namespace kv350;
using namespace kv350::cards;

namespace {

QByteArray referenceFile(const char *name)
{
    QFile file(QStringLiteral(KV350_SOURCE_DIR "/tests/data/dumps/") + QLatin1String(name));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << name;
    return file.readAll();
}

QByteArray hexBytes(const char *text)
{
    return QByteArray::fromHex(text);
}

QList<QByteArray> onlyTransportKey(int)
{
    return {transportKey()};
}

// A 1K or 4K card whose blocks hold their own number, sector 1 with other keys.
std::shared_ptr<sim::MifareClassicCard> numberedCard(sim::MifareClassicCard::Size size)
{
    auto card = std::make_shared<sim::MifareClassicCard>(size, hexBytes("A1B2C3D4"));
    for (int sector = 0; sector < card->sectorCount(); ++sector)
        for (int block = 0; block < card->trailerBlock(sector); ++block)
            if (sector || block)
                card->setBlock(sector, block, QByteArray(16, char(sector * 16 + block)));
    return card;
}

// The image as the importer of `format` reads back what its exporter wrote.
CardImage roundTrip(const CardImage &image, DumpFormat format)
{
    const ExportResult written = exportDump(image, format);
    EXPECT_TRUE(written.refusal.isEmpty()) << written.refusal.toStdString();
    EXPECT_EQ(sniffFormat(written.content), format);
    const ImportResult read = importDump(written.content);
    EXPECT_TRUE(read.image.has_value()) << importErrorText(read.error, englishText).toStdString();
    return read.image.value_or(CardImage{});
}

}  // namespace

TEST(DumpFormats, ReferenceFilesReadAsTheDocumentSaysTheyRead)
{
    for (const char *name : {"example.mct", "example.json", "example.nfc"}) {
        SCOPED_TRACE(name);
        const ImportResult r = importDump(referenceFile(name));
        ASSERT_TRUE(r.image) << importErrorText(r.error, englishText).toStdString();
        const CardImage &image = *r.image;
        EXPECT_TRUE(wellFormed(image));
        EXPECT_EQ(image.kind, CardKind::Mifare1K);
        EXPECT_EQ(image.uid, hexBytes("DEADBEEF"));
        EXPECT_EQ(image.sak, std::uint8_t(0x08));
        EXPECT_EQ(image.atqa, std::uint16_t(0x0004));
        EXPECT_EQ(image.unit(1), hexBytes("00112233445566778899AABBCCDDEEFF"));
        EXPECT_TRUE(image.unitKnown(1));
        EXPECT_TRUE(image.unitUnknown(2));  // not read
        EXPECT_EQ(image.keyA(0), transportKey());
        EXPECT_FALSE(image.keyB(0));        // not found
        EXPECT_TRUE(image.unitUnknown(4));  // sector 1 was not read
        EXPECT_EQ(image.knownUnits(), 2);
        EXPECT_EQ(image.bytes.mid(3 * 16 + 6, 4), hexBytes("FF078069"));
    }
    const ImportResult tag = importDump(referenceFile("example-ntag.nfc"));
    ASSERT_TRUE(tag.image);
    EXPECT_EQ(tag.image->kind, CardKind::Ntag203);
    EXPECT_EQ(tag.image->uid, hexBytes("04A1B2C3D4E5F6"));
    EXPECT_EQ(tag.image->atqa, std::uint16_t(0x0044));
    EXPECT_EQ(tag.image->knownUnits(), 2);  // "Pages read: 2": page 2 is a placeholder
    EXPECT_TRUE(tag.image->unitUnknown(2));
}

TEST(DumpFormats, EveryFormatRoundTripsTheVirtualCards)
{
    for (const auto size : {sim::MifareClassicCard::Size::K1, sim::MifareClassicCard::Size::K4}) {
        sim::VirtualReader reader(sim::Identity{});
        reader.field().place(numberedCard(size));
        const MifareDump dump = dumpMifare(kv350::testing::simExchange(reader), onlyTransportKey, englishText);
        const CardKind kind = size == sim::MifareClassicCard::Size::K1 ? CardKind::Mifare1K : CardKind::Mifare4K;
        ASSERT_EQ(dump.image.kind, kind);
        EXPECT_EQ(dump.image.knownUnits(), dump.image.units());
        EXPECT_EQ(dump.image.unit(firstBlockOf(33) + 7),
                  QByteArray(16, char(33 * 16 + 7)).left(kind == CardKind::Mifare4K ? 16 : 0));
        EXPECT_EQ(dump.image.sak, kind == CardKind::Mifare4K ? 0x18 : 0x08);
        for (DumpFormat f : {DumpFormat::Mct, DumpFormat::Bin, DumpFormat::Json, DumpFormat::Nfc}) {
            SCOPED_TRACE(formatName(f).toStdString() + " " + cardKindName(kind).toStdString());
            const CardImage back = roundTrip(dump.image, f);
            EXPECT_EQ(back.kind, kind);
            EXPECT_EQ(back.bytes, dump.image.bytes);
            EXPECT_EQ(back.known, dump.image.known);
            EXPECT_EQ(back.uid, hexBytes("A1B2C3D4"));
            EXPECT_EQ(back.sak, dump.image.sak);
            EXPECT_EQ(back.atqa, dump.image.atqa);
        }
    }
    sim::VirtualReader reader(sim::Identity{});
    auto tag = std::make_shared<sim::Ntag203Card>();
    tag->setPage(20, hexBytes("CAFEF00D"));
    reader.field().place(tag);
    const NtagDump dump = dumpNtag(kv350::testing::simExchange(reader));
    ASSERT_EQ(dump.pagesRead(), Ntag203Pages);
    EXPECT_EQ(dump.image.unit(20), hexBytes("CAFEF00D"));
    EXPECT_EQ(dump.image.unit(41), tag->page(41));  // the last read rolls over; only the tag's pages are kept
    for (DumpFormat f : {DumpFormat::Bin, DumpFormat::Nfc}) {
        const CardImage back = roundTrip(dump.image, f);
        EXPECT_EQ(back.kind, CardKind::Ntag203);
        EXPECT_EQ(back.bytes, dump.image.bytes);
        EXPECT_EQ(back.uid, tag->uid());
    }
    EXPECT_FALSE(exportDump(dump.image, DumpFormat::Mct).refusal.isEmpty());
}

TEST(DumpFormats, UnknownBytesStayUnknownAndRawBinaryRefusesThem)
{
    // Sector 1 opens with no key given; sector 2 hides key B (trailer row 011).
    auto card = numberedCard(sim::MifareClassicCard::Size::K1);
    const QByteArray keyA = hexBytes("A0A1A2A3A4A5"), keyB = hexBytes("B0B1B2B3B4B5");
    card->setTrailer(1, hexBytes("111111111111"), hexBytes("FF0780"), 0x69, hexBytes("222222222222"));
    card->setTrailer(2, keyA, hexBytes("7F0788"), 0x69, keyB);
    sim::VirtualReader reader(sim::Identity{});
    reader.field().place(card);
    const MifareDump dump = dumpMifare(
        kv350::testing::simExchange(reader),
        [&](int) {
            return QList<QByteArray>{transportKey(), keyB, keyA};
        },
        englishText);
    const CardImage &image = dump.image;
    EXPECT_FALSE(dump.sectors.at(1).opened());
    EXPECT_TRUE(image.unitUnknown(4) && image.unitUnknown(7));
    EXPECT_EQ(image.keyA(2), keyA);  // found, not read: key A reads as zeros
    EXPECT_EQ(image.keyB(2), keyB);  // found by opening the sector with it
    EXPECT_EQ(image.unit(9), QByteArray(16, char(2 * 16 + 1)));
    EXPECT_EQ(dump.lines.at(1), QStringLiteral("sector 1: key A unknown, key B unknown, 0 of 4 blocks read whole"));

    const QByteArray mct = exportMct(image);
    EXPECT_TRUE(mct.contains("+Sector: 1\n--------------------------------\n"));
    const QByteArray nfc = exportNfc(image);
    EXPECT_TRUE(nfc.contains("Block 7: ?? ?? ?? ?? ?? ?? ?? ?? ?? ?? ?? ?? ?? ?? ?? ??\n"));
    const QByteArray json = exportJson(image);
    EXPECT_FALSE(json.contains("\"4\": \""));  // a block not read is left out
    EXPECT_TRUE(json.contains("\"KeyB\": \"B0B1B2B3B4B5\""));
    const ExportResult bin = exportDump(image, DumpFormat::Bin);
    EXPECT_TRUE(bin.content.isEmpty());
    EXPECT_EQ(bin.argument, QStringLiteral("4"));
    for (DumpFormat f : {DumpFormat::Mct, DumpFormat::Json, DumpFormat::Nfc})
        EXPECT_EQ(roundTrip(image, f).known, image.known) << formatName(f).toStdString();
}

TEST(DumpFormats, DamagedFilesAreRefusedWithWhere)
{
    struct Case {
        QByteArray content;
        int line;
        qint64 offset;
    };
    const QByteArray mct = referenceFile("example.mct");
    QByteArray badHex = mct;
    badHex.replace("00112233445566778899AABBCCDDEEFF", "0011223344556677889XAABBCCDDEEFF");
    QByteArray shortSector = mct;
    shortSector.replace("--------------------------------\n", "");
    QByteArray nfcBeyond = referenceFile("example.nfc");
    nfcBeyond.replace("Block 2:", "Block 64:");
    QByteArray nfcTwice = referenceFile("example.nfc");
    nfcTwice.replace("Block 2:", "Block 1:");
    QByteArray jsonBadBlock = referenceFile("example.json");
    jsonBadBlock.replace("\"00112233445566778899AABBCCDDEEFF\"", "\"0011\"");
    const Case cases[] = {
        {badHex, 3, -1},
        {shortSector, 5, -1},  // the header of sector 1 comes where block 3 of sector 0 was due
        {mct + "+Sector: 0\n", 8, -1},
        {"+Sector: 40\n", 1, -1},
        {nfcBeyond, 11, -1},
        {nfcTwice, 11, -1},
        {jsonBadBlock, 11, -1},
        {"{ \"FileType\": \"mfc v2\", \"blocks\": { \"0\": ", 0, 41},  // at the end
        {QByteArray(1000, '\0'), 0, 1000},
        {"Filetype: Flipper NFC device\nVersion: 9\n", 2, -1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.content.left(60).toStdString());
        const ImportResult r = importDump(c.content);
        EXPECT_FALSE(r.image);
        EXPECT_FALSE(r.error.reason.isEmpty());
        EXPECT_EQ(r.error.line, c.line) << importErrorText(r.error, englishText).toStdString();
        if (c.offset >= 0) {
            EXPECT_EQ(r.error.offset, c.offset);
        }
    }
    const ImportResult bad = importDump(badHex);
    EXPECT_EQ(importErrorText(bad.error, englishText),
              QStringLiteral("line 3: a block is 32 hex digits or \"-\" characters"));
}

TEST(KeysFile, KeysCommentsAndTheLineOfABadOne)
{
    const KeysFile ok = parseKeysFile("# keys\nFFFFFFFFFFFF\n\na0a1a2a3a4a5  # MAD key\nFFFFFFFFFFFF\n");
    ASSERT_TRUE(ok.ok());
    EXPECT_EQ(ok.keys, (QList<QByteArray>{transportKey(), hexBytes("A0A1A2A3A4A5")}));
    const KeysFile bad = parseKeysFile("FFFFFFFFFFFF\nFFFFFFFFFFF\n");
    EXPECT_FALSE(bad.ok());
    EXPECT_EQ(bad.error.line, 2);
    EXPECT_TRUE(bad.keys.isEmpty());
}
