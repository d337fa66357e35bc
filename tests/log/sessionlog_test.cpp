// The session log: what each transaction and event becomes, the keys masked
// in every frame that holds one, and the files of the sessions.
#include "hexbytes.h"
#include "log/sessionlog.h"
#include "log/sessionlogfile.h"
#include "readerlinkrig.h"
#include "sim/cards/field.h"
#include "sim/cards/mifareclassic.h"
#include "sim/core/faultplan.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace kv350;

namespace {

const QDateTime At = QDateTime(QDate(2026, 12, 9), QTime(14, 3, 7, 412));

// The link to a virtual reader with a 1K card, and its log at a fixed time.
struct LogRig : VirtualReaderLink {
    LogRig()
    {
        card = std::make_shared<sim::MifareClassicCard>();
        reader.field().place(card);
        log.attach(link);
        log.addSink([this](const QString &line) { seen.append(line); });
    }
    // The part after time, reader and origin.
    QString what(int i) const { return seen.value(i).section(QStringLiteral(" | "), 3); }
    QString last() const { return what(int(seen.size()) - 1); }

    std::shared_ptr<sim::MifareClassicCard> card;
    SessionLog log{QStringLiteral("test 1.0"), [] { return At; }};
    QStringList seen;
};

QString masked(const SessionLog &log, const char *frame)
{
    return log.frameText(hex(frame));
}

}  // namespace

TEST(SessionLogMasking, KeyBytesOfEveryMifareRequestThatCarriesOne)
{
    const SessionLog log(QStringLiteral("test"));
    // Store a key in the reader: 02 09 12 type K0-K5 sector.
    EXPECT_EQ(masked(log, "02 09 12 60 A0 A1 A2 A3 A4 A5 07"), "02 09 12 60 ** ** ** ** ** ** 07");
    // Read with a typed key; with the reader's key there is nothing to mask.
    EXPECT_EQ(masked(log, "02 0A 15 61 A0 A1 A2 A3 A4 A5 01 02"), "02 0A 15 61 ** ** ** ** ** ** 01 02");
    EXPECT_EQ(masked(log, "02 04 15 60 01 03"), "02 04 15 60 01 03");
    // A data block written with a typed key: the key only, the data as it is.
    EXPECT_EQ(masked(log, "02 1A 16 60 A0A1A2A3A4A5 01 02 00112233445566778899AABBCCDDEEFF"),
              "02 1A 16 60 ** ** ** ** ** ** 01 02 00 11 22 33 44 55 66 77 88 99 AA BB CC DD EE FF");
    // A trailer written with a typed key: that key and the new keys A and B; the access bytes stay.
    EXPECT_EQ(masked(log, "02 1A 16 60 A0A1A2A3A4A5 01 03 B0B1B2B3B4B5 FF078069 C0C1C2C3C4C5"),
              "02 1A 16 60 ** ** ** ** ** ** 01 03 ** ** ** ** ** ** FF 07 80 69 ** ** ** ** ** **");
    // The same with the reader's stored key (22 bytes), and in a 16-block sector (trailer block 15).
    EXPECT_EQ(masked(log, "02 14 16 61 01 03 B0B1B2B3B4B5 FF078069 C0C1C2C3C4C5"),
              "02 14 16 61 01 03 ** ** ** ** ** ** FF 07 80 69 ** ** ** ** ** **");
    EXPECT_EQ(masked(log, "02 14 16 61 20 0F B0B1B2B3B4B5 FF078069 C0C1C2C3C4C5"),
              "02 14 16 61 20 0F ** ** ** ** ** ** FF 07 80 69 ** ** ** ** ** **");
    EXPECT_EQ(masked(log, "02 14 16 61 20 03 B0B1B2B3B4B5 FF078069 C0C1C2C3C4C5"),
              "02 14 16 61 20 03 B0 B1 B2 B3 B4 B5 FF 07 80 69 C0 C1 C2 C3 C4 C5")
        << "block 3 of sector 32 is a data block";
    // Frames of other commands, or of another length, hold no key.
    EXPECT_EQ(masked(log, "02 14 14 00 00 03 E1101200 0103A010 440312D1 010E5501"),
              "02 14 14 00 00 03 E1 10 12 00 01 03 A0 10 44 03 12 D1 01 0E 55 01");
    EXPECT_EQ(masked(log, "02 0B 15 60 A0 A1 A2 A3 A4 A5 01 02 00"), "02 0B 15 60 A0 A1 A2 A3 A4 A5 01 02 00");
}

TEST(SessionLogMasking, KeysInTheRepliesOfATrailerReadOrWrite)
{
    const SessionLog log(QStringLiteral("test"));
    const QByteArray trailer = hex("02 12 15 00 000000000000 FF078069 C0C1C2C3C4C5");
    EXPECT_EQ(log.frameText(trailer, hex("02 0A 15 60 FFFFFFFFFFFF 01 03"), true),
              "02 12 15 00 ** ** ** ** ** ** FF 07 80 69 ** ** ** ** ** **");
    EXPECT_EQ(log.frameText(hex("02 12 16 00 B0B1B2B3B4B5 FF078069 C0C1C2C3C4C5"),
                            hex("02 14 16 61 01 03 B0B1B2B3B4B5 FF078069 C0C1C2C3C4C5"), true),
              "02 12 16 00 ** ** ** ** ** ** FF 07 80 69 ** ** ** ** ** **");
    // A reply cut short: what came of the keys is masked, nothing reads past it.
    EXPECT_EQ(log.frameText(hex("02 12 15 00 00 00"), hex("02 04 15 60 00 03"), true), "02 12 15 00 ** **");
    // A data block read back is data.
    EXPECT_EQ(log.frameText(hex("02 12 15 00 00112233445566778899AABBCCDDEEFF"), hex("02 04 15 60 01 02"), true),
              "02 12 15 00 00 11 22 33 44 55 66 77 88 99 AA BB CC DD EE FF");
}

TEST(SessionLog, TransactionsAndConnectionsAsLines)
{
    LogRig rig;
    rig.log.setOrigin(QStringLiteral("MIFARE: Read Card Data"));
    ASSERT_TRUE(rig.link.ExecuteCommand(hex("02 0A 15 60 FF FF FF FF FF FF 01 00"), 20));
    ASSERT_GE(rig.seen.size(), 4);
    EXPECT_EQ(rig.what(0), "connecting to USB 0E6A:0317");
    EXPECT_EQ(rig.what(1), "USB 0E6A:0317 open; identifying the reader");
    EXPECT_EQ(rig.what(2), "identified: serial 12345678, model KV350-MIC, version V1.0");
    EXPECT_EQ(rig.seen.last(), "2026-12-09 14:03:07.412 | 12345678 KV350-MIC | MIFARE: Read Card Data | "
                               "TX 02 0A 15 60 ** ** ** ** ** ** 01 00 | "
                               "RX 02 12 15 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 | done");

    // A refusal by the reader, and a reply that never came.
    rig.reader.field().remove();
    rig.link.ExecuteCommand(hex("02 01 11"), 64);
    EXPECT_EQ(rig.last(), "TX 02 01 11 | RX 02 02 11 01 | status 01: not done");
    rig.reader.faults().queue({sim::FaultKind::NoReply});
    rig.link.ExecuteCommand(hex("02 01 11"), 64);
    EXPECT_TRUE(rig.last().startsWith("TX 02 01 11 | RX - | ")) << rig.last().toStdString();
    EXPECT_TRUE(rig.last().contains(linkErrorText({LinkError::NoReply, rig.link.transportText(), {}})))
        << rig.last().toStdString();

    rig.link.DisconnectReader();
    EXPECT_EQ(rig.last(), "closed USB 0E6A:0317");
    EXPECT_EQ(rig.log.lines(), rig.seen);
    rig.log.clear();
    EXPECT_TRUE(rig.log.lines().isEmpty());
}

TEST(SessionLog, KeyChangesAreLinesOfTheirOwnWithTheKeysMaskedUnlessAskedFor)
{
    LogRig rig;
    const QByteArray trailer = hex("A0A1A2A3A4A5 FF078069 B0B1B2B3B4B5");
    ASSERT_TRUE(rig.link.ExecuteCommand(hex("02 1A 16 60 FFFFFFFFFFFF 02 03") + trailer, 64));
    EXPECT_EQ(rig.card->block(2, 3).mid(6), trailer.mid(6)) << "the card took it";
    EXPECT_EQ(rig.last(), "keys written to the card: sector 2, key A ************, access bits FF078069, "
                          "key B ************ (with key A)");
    for (const QString &line : rig.seen)
        EXPECT_FALSE(line.contains("A0 A1") || line.contains("B0 B1") || line.contains("A0A1") ||
                     line.contains("FF FF FF FF FF FF"))
            << line.toStdString();

    ASSERT_TRUE(rig.link.ExecuteCommand(hex("02 09 12 61 112233445566 05"), 64));
    EXPECT_EQ(rig.last(), "key stored in the reader: sector 5, key B ************");

    // On: said in the log and at its top; the same frames in clear.
    EXPECT_FALSE(rig.log.header().join('\n').contains("in clear"));
    rig.log.setLogKeyValues(true);
    EXPECT_EQ(rig.last(), "Log key values: on; keys from here on are written in clear");
    EXPECT_TRUE(rig.log.header().join('\n').contains("Log key values is on: the keys in this log are in clear"));
    ASSERT_TRUE(rig.link.ExecuteCommand(hex("02 09 12 61 112233445566 05"), 64));
    EXPECT_EQ(rig.what(int(rig.seen.size()) - 2), "TX 02 09 12 61 11 22 33 44 55 66 05 | RX 02 02 12 00 | done");
    EXPECT_EQ(rig.last(), "key stored in the reader: sector 5, key B 112233445566");

    // A trailer write the card refused changed no key.
    rig.log.setLogKeyValues(false);
    const auto before = rig.seen.size();
    rig.link.ExecuteCommand(hex("02 1A 16 60 000000000000 02 03") + trailer, 64);
    EXPECT_EQ(rig.seen.size(), before + 1);
    EXPECT_TRUE(rig.last().endsWith("status 01: not done")) << rig.last().toStdString();
}

TEST(SessionLog, ReaderTextAndNotesAreEscaped)
{
    LogRig rig;
    rig.reader.setSerial(QByteArray("AB\x1B[2J"));
    rig.log.setOrigin(QStringLiteral("kv350ctl uid"));
    ASSERT_TRUE(rig.link.ConnectReader());
    rig.log.note(QStringLiteral("firmware: step\r\nforged line"));
    EXPECT_EQ(rig.seen.last(), "2026-12-09 14:03:07.412 | AB\\x1B[2J KV350-MIC | kv350ctl uid | "
                               "firmware: step\\x0D\\x0Aforged line");
}

TEST(SessionLogFiles, AppendedThroughAndTheNewestKept)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    EXPECT_EQ(sessionFileName(At), "session-20261209-140307-412.log");

    // Two runs append to one file, each line written at once.
    const QString path = dir.filePath("ctl.log");
    for (int run = 0; run < 2; ++run) {
        SessionLogFile file;
        QString why;
        ASSERT_TRUE(file.open(path, &why)) << why.toStdString();
        EXPECT_TRUE(file.write(QStringLiteral("line %1 ü").arg(run)));
        QFile reader(path);
        ASSERT_TRUE(reader.open(QIODevice::ReadOnly));
        EXPECT_TRUE(reader.readAll().endsWith(QStringLiteral("line %1 ü\n").arg(run).toUtf8()));
    }
    SessionLogFile nowhere;
    QString why;
    EXPECT_FALSE(nowhere.open(dir.filePath("no/such/folder/x.log"), &why));
    EXPECT_TRUE(why.contains("cannot be written")) << why.toStdString();
    EXPECT_FALSE(nowhere.write("x"));

    // 53 session files and two others: the oldest three sessions go, nothing else.
    for (int i = 0; i < 53; ++i) {
        QFile f(dir.filePath(sessionFileName(At.addSecs(i))));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    // Files of the user's that only look like ours are never pruned.
    const char *const others[] = {"session-notes.log",
                                  "session-20261209-140307-41.log",
                                  "session-20261209-140307-4123.log",
                                  "session-20261209-140307-412.log.bak",
                                  "session-2026120x-140307-412.log",
                                  "session_20261209-140307-412.log",
                                  "Session-20261209-140307-412.log",
                                  "session-20261209-140307-412.LOG",
                                  "session-\u0662\u0660\u0662\u0666\u0661\u0662\u0660\u0669-140307-412.log"};
    for (const char *other : others)
        ASSERT_TRUE(QFile(dir.filePath(QString::fromUtf8(other))).open(QIODevice::WriteOnly)) << other;
    pruneSessionFiles(dir.path(), KeptSessionFiles);
    const QStringList kept = sessionFiles(dir.path());
    EXPECT_EQ(kept.size(), KeptSessionFiles);
    EXPECT_EQ(kept.first(), sessionFileName(At.addSecs(52)));
    EXPECT_EQ(kept.last(), sessionFileName(At.addSecs(3)));
    for (const char *other : others)
        EXPECT_TRUE(QFile::exists(dir.filePath(QString::fromUtf8(other)))) << other;
    EXPECT_TRUE(QFile::exists(path));
}
