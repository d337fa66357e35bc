// kv350ctl mifare dump, mifare restore and ntag dump, run as a script runs
// them, against the virtual reader: files in every format, the report, the
// exit statuses and what a damaged file or keys file gets.
#include "cards/dump/dumpformats.h"
#include "ctlrun.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace kv350;
using namespace kv350::testing;

namespace {

const QStringList Card1k{QStringLiteral("--simulate"), QStringLiteral("KV350-M1"), QStringLiteral("--card"),
                         QStringLiteral("mifare1k")};

QByteArray contentOf(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void write(const QString &path, const QByteArray &content)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(content);
}

}  // namespace

TEST(DumpCommands, MifareDumpWritesEveryFormatAndRestoreFindsTheCardEqual)
{
    QTemporaryDir dir;
    for (const char *format : {"mct", "bin", "json", "nfc"}) {
        SCOPED_TRACE(format);
        const QString path = dir.filePath(QStringLiteral("card.") + QLatin1String(format));
        const CtlRun dump = runCtl(Card1k + QStringList{QStringLiteral("mifare"), QStringLiteral("dump"), path});
        ASSERT_EQ(dump.status, 0) << dump.err.toStdString();
        EXPECT_TRUE(dump.out.contains(QStringLiteral("64 of 64 blocks read whole")));
        const cards::ImportResult back = cards::importDump(contentOf(path));
        ASSERT_TRUE(back.image);
        EXPECT_EQ(cards::sniffFormat(contentOf(path)), *cards::formatFromName(QLatin1String(format)));
        EXPECT_EQ(back.image->knownUnits(), 64);

        // A fresh virtual card holds what the dump holds: nothing to write.
        const CtlRun restore = runCtl(Card1k + QStringList{QStringLiteral("mifare"), QStringLiteral("restore"), path});
        EXPECT_EQ(restore.status, 0) << restore.err.toStdString();
        EXPECT_TRUE(restore.out.startsWith(
            QStringLiteral("0 block(s) to write, 64 equal already, 0 refused, 0 not in the file.")))
            << restore.out.toStdString();
    }
    const CtlRun json = runCtl(Card1k + QStringList{QStringLiteral("mifare"), QStringLiteral("dump"),
                                                    dir.filePath(QStringLiteral("x")), QStringLiteral("--format"),
                                                    QStringLiteral("json"), QStringLiteral("--json")});
    EXPECT_EQ(json.status, 0);
    EXPECT_TRUE(json.out.contains(QStringLiteral("\"format\":\"json\"")));
    EXPECT_TRUE(contentOf(dir.filePath(QStringLiteral("x"))).contains("\"FileType\": \"mfc v2\""));
}

TEST(DumpCommands, RestoreWritesAChangedDumpAndReadsItBack)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("card.mct"));
    ASSERT_EQ(runCtl(Card1k + QStringList{QStringLiteral("mifare"), QStringLiteral("dump"), path}).status, 0);
    QByteArray mct = contentOf(path);
    const qsizetype at = mct.indexOf("+Sector: 2\n") + 11;
    mct.replace(at, 32, "00112233445566778899AABBCCDDEEFF");
    write(path, mct);
    const CtlRun dry = runCtl(
        Card1k + QStringList{QStringLiteral("mifare"), QStringLiteral("restore"), path, QStringLiteral("--dry-run")});
    EXPECT_EQ(dry.status, 0);
    EXPECT_TRUE(dry.out.contains(QStringLiteral("block 8 (2/0): write 00112233445566778899AABBCCDDEEFF with key A")));
    EXPECT_FALSE(dry.out.contains(QStringLiteral("written")));
    const CtlRun run = runCtl(Card1k + QStringList{QStringLiteral("mifare"), QStringLiteral("restore"), path});
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.contains(QStringLiteral("block 8 (2/0): written, read back equal")));
    EXPECT_TRUE(run.out.contains(QStringLiteral("1 block(s) written, 1 read back equal")));

    // A trailer that makes the access conditions permanent needs --force.
    mct = contentOf(path);
    const qsizetype trailer = mct.indexOf("+Sector: 3\n") + 11 + 3 * 33;
    mct.replace(trailer, 32, "FFFFFFFFFFFF778F0869FFFFFFFFFFFF");
    write(path, mct);
    const CtlRun refused = runCtl(Card1k + QStringList{QStringLiteral("mifare"), QStringLiteral("restore"), path});
    EXPECT_EQ(refused.status, 5);
    EXPECT_TRUE(refused.err.contains(QStringLiteral("--force")));
    EXPECT_TRUE(refused.out.contains(QStringLiteral("The access conditions of sector 3 can never be changed again.")));
    const CtlRun forced = runCtl(
        Card1k + QStringList{QStringLiteral("mifare"), QStringLiteral("restore"), path, QStringLiteral("--force")});
    EXPECT_EQ(forced.status, 0) << forced.out.toStdString() << forced.err.toStdString();
    EXPECT_TRUE(forced.out.contains(QStringLiteral("block 15 (3/3): written, read back equal")));
}

TEST(DumpCommands, DamagedFilesNoCardAndBadKeysHaveTheirStatuses)
{
    QTemporaryDir dir;
    const QString bad = dir.filePath(QStringLiteral("bad.nfc"));
    write(bad, "Filetype: Flipper NFC device\nVersion: 4\nDevice type: Mifare Classic\nUID: 01 02 03\n");
    const CtlRun damaged = runCtl(Card1k + QStringList{QStringLiteral("mifare"), QStringLiteral("restore"), bad});
    EXPECT_EQ(damaged.status, 2);
    EXPECT_TRUE(damaged.err.contains(QStringLiteral("bad.nfc: line 4:"))) << damaged.err.toStdString();

    const QString keys = dir.filePath(QStringLiteral("keys.txt"));
    write(keys, "# keys\nFFFFFFFFFFFF\nnot-a-key\n");
    const CtlRun badKeys = runCtl(Card1k + QStringList{QStringLiteral("mifare"), QStringLiteral("dump"),
                                                       dir.filePath(QStringLiteral("a.mct")), QStringLiteral("--keys"),
                                                       keys});
    EXPECT_EQ(badKeys.status, 2);
    EXPECT_TRUE(badKeys.err.contains(QStringLiteral("keys.txt: line 3:")));
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("a.mct"))));

    const CtlRun noCard = runCtl({QStringLiteral("--simulate"), QStringLiteral("KV350-M1"), QStringLiteral("mifare"),
                                  QStringLiteral("dump"), dir.filePath(QStringLiteral("b.mct"))});
    EXPECT_EQ(noCard.status, 3);
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("b.mct"))));

    const CtlRun format = runCtl(Card1k + QStringList{QStringLiteral("ntag"), QStringLiteral("dump"),
                                                      dir.filePath(QStringLiteral("t")), QStringLiteral("--format"),
                                                      QStringLiteral("mct")});
    EXPECT_EQ(format.status, 2);
}

TEST(DumpCommands, NtagDumpInBothFormats)
{
    QTemporaryDir dir;
    for (const char *name : {"tag.bin", "tag.nfc"}) {
        const QString path = dir.filePath(QLatin1String(name));
        const CtlRun r = runCtl({QStringLiteral("--simulate"), QStringLiteral("KV350-M1"), QStringLiteral("--card"),
                                 QStringLiteral("ntag203"), QStringLiteral("ntag"), QStringLiteral("dump"), path});
        ASSERT_EQ(r.status, 0) << r.err.toStdString();
        EXPECT_TRUE(r.out.contains(QStringLiteral("42 of 42 pages read")));
        const cards::ImportResult back = cards::importDump(contentOf(path));
        ASSERT_TRUE(back.image);
        EXPECT_EQ(back.image->kind, cards::CardKind::Ntag203);
        EXPECT_EQ(back.image->knownUnits(), 42);
    }
}
