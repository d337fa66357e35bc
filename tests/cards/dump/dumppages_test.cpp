// Save Dump... and Write Dump... on the MIFARE and NFC pages, through the
// window against virtual cards: a 1K card read, saved in every format,
// written onto another card, and the card compared afterwards.
#include "cards/dump/dumpformats.h"
#include "sim/cards/field.h"
#include "sim/cards/mifareclassic.h"
#include "sim/cards/ntag203.h"
#include "windowrig.h"

#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace kv350;
using namespace kv350::testing;
using sim::MifareClassicCard;

namespace {

struct DumpRig : WindowRig {
    DumpRig() : WindowRig("KV350-MIC")
    {
        card = std::make_shared<MifareClassicCard>(MifareClassicCard::Size::K1);
        for (int sector = 1; sector < 16; ++sector)
            for (int block = 0; block < 3; ++block)
                card->setBlock(sector, block, QByteArray(16, char(sector * 4 + block)));
        reader->field().place(card);
        show();
    }
    QStringList lines()
    {
        QStringList out;
        auto *list = find<QListWidget>("lstM1");
        for (int i = 0; i < list->count(); ++i)
            out << list->item(i)->text();
        return out;
    }
    std::shared_ptr<MifareClassicCard> card;
    QTemporaryDir dir;
};

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

}  // namespace

TEST(DumpPages, MifareReadAllSavesInEveryFormatAndWritesBackOntoAnotherCard)
{
    DumpRig rig;
    rig.click("btnM1SaveDump");  // nothing read yet
    ASSERT_EQ(rig.dialogs.shown.size(), 1u);
    EXPECT_TRUE(rig.dialogs.opened.empty()) << "no dialog before something was read";

    rig.find<QLineEdit>("edM1All")->setText("64");
    rig.click("btnM1ReadAll");
    for (const char *name : {"card.mct", "card.bin", "card.json", "card.nfc"}) {
        SCOPED_TRACE(name);
        rig.dialogs.saveAnswers << rig.dir.filePath(QLatin1String(name));
        rig.click("btnM1SaveDump");
        const cards::ImportResult back = cards::importDump(fileBytes(rig.dir.filePath(QLatin1String(name))));
        ASSERT_TRUE(back.image);
        EXPECT_EQ(back.image->kind, cards::CardKind::Mifare1K);
        EXPECT_EQ(back.image->knownUnits(), 64);
        EXPECT_EQ(back.image->unit(4 * 7 + 2), QByteArray(16, char(7 * 4 + 2)));
        EXPECT_EQ(back.image->uid, rig.card->uid());
        EXPECT_TRUE(rig.message().startsWith(QStringLiteral("Dump saved: ") + QLatin1String(name)));
    }
    // No extension: MIFARE Classic Tool's format, and the name gets its extension.
    rig.dialogs.saveAnswers << rig.dir.filePath(QStringLiteral("plain"));
    rig.click("btnM1SaveDump");
    EXPECT_TRUE(fileBytes(rig.dir.filePath(QStringLiteral("plain.mct"))).startsWith("+Sector: 0\n"));

    // Another card, with other data and, in sector 5, other keys typed on the page.
    auto other = std::make_shared<MifareClassicCard>(MifareClassicCard::Size::K1, QByteArray::fromHex("55667788"));
    const QByteArray otherKey = QByteArray::fromHex("0102030405FF");
    other->setTrailer(5, otherKey, QByteArray::fromHex("FF0780"), 0x69, otherKey);
    rig.reader->field().place(other);
    rig.find<QLineEdit>("edM1RWKey")->setText(QStringLiteral("0102030405FF"));
    rig.dialogs.answers << rig.dir.filePath(QStringLiteral("card.json"));
    rig.dialogs.no();
    const int before = int(rig.reader->requests().size());
    rig.click("btnM1WriteDump");
    ASSERT_EQ(rig.dialogs.asked.size(), 1u);
    EXPECT_TRUE(rig.dialogs.asked.back().text.startsWith(
        QStringLiteral("46 block(s) to write, 17 equal already, 1 refused, 0 not in the file.")));
    EXPECT_EQ(other->block(1, 0), QByteArray(16, '\0')) << "No writes nothing";
    for (int i = before; i < int(rig.reader->requests().size()); ++i)
        EXPECT_NE(rig.reader->requests().at(i).at(2), char(0x16));

    rig.dialogs.answers << rig.dir.filePath(QStringLiteral("card.json"));
    rig.dialogs.yes();
    rig.click("btnM1WriteDump");
    EXPECT_EQ(rig.message(), QStringLiteral("Command Done."));
    EXPECT_EQ(rig.lines().last(), QStringLiteral("46 block(s) written, 46 read back equal."));
    EXPECT_TRUE(rig.lines().contains(QStringLiteral("block 23 (5/3): written, read back equal")));
    for (int sector = 1; sector < 16; ++sector)
        for (int block = 0; block < 4; ++block)
            EXPECT_EQ(other->block(sector, block), rig.card->block(sector, block)) << sector << "/" << block;
}

TEST(DumpPages, ADamagedFileIsRefusedWithWhereAndNothingIsSent)
{
    DumpRig rig;
    const QString path = rig.dir.filePath(QStringLiteral("bad.mct"));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("+Sector: 0\n00112233445566778899AABBCCDDEEFF\nnot a block\n");
    f.close();
    rig.dialogs.answers << path;
    const auto before = rig.reader->requests().size();
    rig.click("btnM1WriteDump");
    ASSERT_EQ(rig.dialogs.shown.size(), 1u);
    EXPECT_EQ(rig.dialogs.shown.back().second,
              QStringLiteral("The file cannot be used: line 3: a block is 32 hex digits or \"-\" characters"));
    EXPECT_EQ(rig.reader->requests().size(), before);
    EXPECT_TRUE(rig.dialogs.asked.empty());
}

TEST(DumpPages, NfcReadAllSavesTheTagInBinAndNfc)
{
    WindowRig rig("KV350-MIC");
    auto tag = std::make_shared<sim::Ntag203Card>();
    tag->setPage(9, QByteArray::fromHex("DEADBEEF"));
    rig.reader->field().place(tag);
    rig.show();
    QTemporaryDir dir;
    rig.find<QLineEdit>("edNAll")->setText(QStringLiteral("42"));
    rig.click("btnNReadAll");
    for (const char *name : {"tag.bin", "tag.nfc"}) {
        rig.dialogs.saveAnswers << dir.filePath(QLatin1String(name));
        rig.click("btnNSaveDump");
        QFile f(dir.filePath(QLatin1String(name)));
        ASSERT_TRUE(f.open(QIODevice::ReadOnly)) << name;
        const cards::ImportResult back = cards::importDump(f.readAll());
        ASSERT_TRUE(back.image) << name;
        EXPECT_EQ(back.image->kind, cards::CardKind::Ntag203);
        EXPECT_EQ(back.image->knownUnits(), 42);
        EXPECT_EQ(back.image->unit(9), QByteArray::fromHex("DEADBEEF"));
        EXPECT_EQ(back.image->uid, tag->uid());
    }
    EXPECT_EQ(rig.dialogs.opened.back().second, QStringLiteral("Raw binary (*.bin *.mfd);;Flipper Zero (*.nfc)"));
}
