// kv350ctl's firmware commands: as a user runs them, and the upgrade in process in virtual time.
#include "firmwarecommands.h"
#include "options.h"
#include "readerlinkrig.h"
#include "rig.h"

#include "ctlrun.h"

#include <QDir>
#include <QProcess>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#include <vector>

using namespace kv350;
using namespace kv350::cli;

namespace {

using kv350::testing::CtlRun;
using kv350::testing::runCtl;

ParseResult parseLine(const QString &line)
{
    return parseArguments(line.split(QLatin1Char(' '), Qt::SkipEmptyParts));
}

}  // namespace

TEST(CliFirmware, PackThenInfoShowWhatThePageShows)
{
    FileFolder folder;
    const QByteArray payload = programImage("KV350-LF", "V5.1", 4660);
    const QString in = folder.write("app.bin", payload);
    const QString out = folder.path("app.KFW");

    CtlRun r = runCtl({"firmware", "pack", "--model", "KV350-LF", "--version", "V5.1", in, out});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_TRUE(r.err.isEmpty()) << "the image starts with its identity record: " << r.err.toStdString();
    QFile written(out);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_EQ(written.readAll(), firmware::packKfwFile("KV350-LF", "V5.1", payload));

    unsigned sum = 0;
    for (char b : payload)
        sum += quint8(b);
    r = runCtl({"firmware", "info", out});
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, QStringLiteral("Size:     1234\nChecksum: %1\nType:     KV350-LF\nVersion:  V5.1\n")
                         .arg(firmware::hexWord(std::uint16_t(sum))));
}

TEST(CliFirmware, PackAndInfoRefuseWhatIsNoFirmware)
{
    FileFolder folder;
    const QString big = folder.write("big.bin", QByteArray(0x3401, 'x'));
    CtlRun r = runCtl({"firmware", "pack", "--model", "KV350-M1", "--version", "V1", big, folder.path("o.KFW")});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.contains("13312")) << r.err.toStdString();
    EXPECT_FALSE(QFile::exists(folder.path("o.KFW")));

    r = runCtl({"firmware", "pack", "--model", "KV350-M1", "--version", "V1", folder.write("e.bin", {}),
                folder.path("o.KFW")});
    EXPECT_EQ(r.status, 1);

    r = runCtl({"firmware", "pack", "--model", "KV350-M1", "--version", "V1", folder.write("p.bin", "plain"),
                folder.path("o.KFW")});
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(r.err.contains("identity record \"KV350-M1    V1  \"")) << r.err.toStdString();

    r = runCtl({"firmware", "info", folder.write("s.KFW", QByteArray(15, 'K'))});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.contains("16-byte header")) << r.err.toStdString();
    r = runCtl({"firmware", "info", folder.path("none.KFW")});
    EXPECT_EQ(r.status, 1);
}

TEST(CliFirmware, PackWritesARegularFileOrANewPathOnly)
{
    FileFolder folder;
    const QString payload = folder.write("app.bin", programImage("KV350-M1", "V1"));
    const auto pack = [&](const QString &out) {
        return runCtl({"firmware", "pack", "--model", "KV350-M1", "--version", "V1", payload, out});
    };
    const auto kind = [](const QString &path) {
        struct stat st {};
        return lstat(path.toLocal8Bit().constData(), &st) == 0 ? st.st_mode & S_IFMT : 0;
    };

    std::vector<QString> refused;
    const QString fifo = folder.path("fifo");
    ASSERT_EQ(mkfifo(fifo.toLocal8Bit().constData(), 0600), 0);
    refused.push_back(fifo);
    const QString toFifo = folder.path("link-to-fifo");
    ASSERT_EQ(symlink(fifo.toLocal8Bit().constData(), toFifo.toLocal8Bit().constData()), 0);
    refused.push_back(toFifo);
    const QString node = folder.path("null");  // a device node like /dev/null; only root may make one
    if (mknod(node.toLocal8Bit().constData(), S_IFCHR | 0666, makedev(1, 3)) == 0)
        refused.push_back(node);
    ASSERT_TRUE(QDir().mkdir(folder.path("folder")));
    refused.push_back(folder.path("folder"));
    for (const QString &out : refused) {
        const mode_t before = kind(out);
        const CtlRun r = pack(out);
        EXPECT_EQ(r.status, 1) << out.toStdString();
        EXPECT_TRUE(r.err.contains(out + " is not a regular file")) << r.err.toStdString();
        EXPECT_EQ(kind(out), before) << out.toStdString() << " is left as it was";
    }

    // A new path and a regular file are written (the file replaced whole).
    EXPECT_EQ(pack(folder.path("new.KFW")).status, 0);
    const QString old = folder.write("old.KFW", QByteArray(20000, 'o'));
    EXPECT_EQ(pack(old).status, 0);
    QFile written(old);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_EQ(written.readAll(), firmware::packKfwFile("KV350-M1", "V1", programImage("KV350-M1", "V1")));
}

TEST(CliFirmware, ArgumentsOfTheFirmwareCommands)
{
    auto r = parseLine("firmware pack --model KV350-MIC-X1 --version V1.0 a.bin b.KFW");
    ASSERT_TRUE(r.options) << r.error.toStdString();
    EXPECT_EQ(r.options->command, Command::FirmwarePack);
    EXPECT_EQ(r.options->codeType, "KV350-MIC-X1");
    EXPECT_EQ(r.options->files, (QStringList{"a.bin", "b.KFW"}));

    r = parseLine("--simulate KV350-MIC firmware upgrade x.KFW");
    ASSERT_TRUE(r.options);
    EXPECT_EQ(r.options->command, Command::FirmwareUpgrade);
    EXPECT_EQ(r.options->files, QStringList{"x.KFW"});

    for (const char *bad : {
             "firmware",                                              // no action
             "firmware flash x.KFW",                                  // unknown action
             "firmware info",                                         // no file
             "firmware info a b",                                     // two files
             "firmware pack --model KV350-M1 a.bin b.KFW",            // no version
             "firmware pack --model KV350-MIC-X12 --version V1 a b",  // 13 characters
             "firmware pack --model KV350-M1 --version V1.00 a b",    // 5 characters
             "firmware pack --model KV350-M1 --version V1 a",         // no output
             "--model KV350-M1 identify",                             // only with pack
             "firmware upgrade x.KFW --version V1",
         }) {
        EXPECT_FALSE(parseLine(QString::fromLatin1(bad)).options) << bad;
    }
    EXPECT_EQ(runCtl({"firmware", "pack", "--model", "KV350-M1"}).status, 2);
}

TEST(CliFirmware, UpgradeOnATerminalLineAndItsFailure)
{
    FileFolder folder;
    const QString file = folder.write("m.KFW",
                                      firmware::packKfwFile("KV350-MIC", "V2.0", programImage("KV350-MIC", "V2.0")));
    const ParseResult parsed = parseLine("firmware upgrade " + file);
    ASSERT_TRUE(parsed.options);

    VirtualReaderLink rig;
    auto &[time, reader, hid, serial, link] = rig;
    QString out, err;
    QTextStream outStream(&out), errStream(&err);
    EXPECT_EQ(firmwareUpgrade({link, hid, time, time}, *parsed.options, outStream, errStream, false), 0)
        << err.toStdString();
    EXPECT_TRUE(out.contains("[##############################] 100%  KV350 firmware update complete.\n"))
        << out.toStdString();
    EXPECT_TRUE(out.contains("[---------------------------"
                             "---]   0%  \n"));
    EXPECT_TRUE(out.contains("File:    size 03E8")) << out.toStdString();
    EXPECT_TRUE(out.contains("Version: V2.0\n"));

    // On a terminal the line is redrawn in place.
    out.clear();
    reader.bootLoader().failDownloads(4);
    EXPECT_EQ(firmwareUpgrade({link, hid, time, time}, *parsed.options, outStream, errStream, true), 1);
    EXPECT_TRUE(out.contains("\r[######################--------]  75%  KV350 device error.")) << out.toStdString();
    EXPECT_TRUE(out.endsWith(" \n")) << "padded over the longer line before, then ended";
    EXPECT_TRUE(err.contains("flash")) << err.toStdString();
}

TEST(CliFirmware, ControlCharactersOfAFileOrTheReaderAreShownEscaped)
{
    FileFolder folder;
    // A header type that retitles the terminal, a version that clears it.
    const QString odd = folder.write("odd.KFW", firmware::packKfwFile("KV\x1B]0;x\x07\r", "\x1B[2J", "code"));
    CtlRun r = runCtl({"firmware", "info", odd});
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains("Type:     KV\\x1B]0;x\\x07\\x0D\nVersion:  \\x1B[2J\n")) << r.out.toStdString();
    EXPECT_FALSE(r.out.contains(QChar(0x1B)));

    // The upgrade's file line and the identity of the reader afterwards.
    const QString file = folder.write(
        "m.KFW", firmware::packKfwFile("KV350-MIC", "\x1B[2J", programImage("KV350-MIC", "\x1B[2J")));
    const ParseResult parsed = parse("firmware upgrade " + file);
    ASSERT_TRUE(parsed.options);
    VirtualReaderLink rig;
    QString out, err;
    QTextStream outStream(&out), errStream(&err);
    EXPECT_EQ(firmwareUpgrade({rig.link, rig.hid, rig.time, rig.time}, *parsed.options, outStream, errStream, false), 0)
        << err.toStdString();
    EXPECT_TRUE(out.contains("type KV350-MIC  version \\x1B[2J\n")) << out.toStdString();
    EXPECT_TRUE(out.contains("Version: \\x1B[2J\n")) << out.toStdString();
    EXPECT_FALSE(out.contains(QChar(0x1B)));
}

TEST(CliFirmware, TheReaderKeepsItsModelAfterAnImageWithoutAnIdentityRecord)
{
    FileFolder folder;
    VirtualReaderLink rig;
    QString out, err;
    QTextStream outStream(&out), errStream(&err);
    const auto upgrade = [&](const QByteArray &payload) {
        out.clear();
        const QString file = folder.write("p.KFW", firmware::packKfwFile("KV350-MIC", "V2.0", payload));
        return firmwareUpgrade({rig.link, rig.hid, rig.time, rig.time}, *parse("firmware upgrade " + file).options,
                               outStream, errStream, false);
    };
    // Plain code where the record would be: the model was left empty ("Model: " blank, exit 0).
    QByteArray code(600, '\0');
    for (int i = 0; i < code.size(); ++i)
        code[i] = char(i * 13 + 1);
    EXPECT_EQ(upgrade(code), 0) << err.toStdString();
    EXPECT_TRUE(out.contains("Model:   KV350-MIC\nVersion: V1.0\n")) << out.toStdString();
    // Its own model's record gives the version.
    EXPECT_EQ(upgrade(programImage("KV350-MIC", "V2.0")), 0) << err.toStdString();
    EXPECT_TRUE(out.contains("Model:   KV350-MIC\nVersion: V2.0\n")) << out.toStdString();
}

TEST(CliFirmware, UpgradeOfAnotherModelStopsBeforeTheBootLoader)
{
    FileFolder folder;
    const QString file = folder.write("u.KFW", firmware::packKfwFile("KV350-U1", "V2.0", "code"));
    const CtlRun r = runCtl({"--simulate", "KV350-MIC", "firmware", "upgrade", file});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.out.contains("Firmware type error!")) << r.out.toStdString();
}
