// The provisioning station against the virtual line, in virtual time: what
// it records for each unit, what it sends, and when it stops.
#include "link/frame.h"
#include "link/virtualtime.h"
#include "provision.h"
#include "rig.h"
#include "settings/profile.h"
#include "sim/transports/simline.h"
#include "sim/transports/simserialstream.h"

#include <QDateTime>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>

using namespace kv350;
using namespace kv350::cli;

namespace {

const QByteArray ProfileJson = R"({"format": "kv350-profile", "version": 1, "model": "KV350-M1",
  "settings": {"scanTime": 300, "sameCardTime": 2000}})";

struct StationRun {
    VirtualTime time;
    std::optional<sim::VirtualLine> line;
    std::unique_ptr<sim::SimSerialStream> unusedSerial;
    std::unique_ptr<ReaderLink> link;
    FileFolder folder;
    QString out;
    QTextStream stream{&out};
    std::atomic<bool> stop{false};
    StationSetup setup;
    StationSummary summary;

    explicit StationRun(const QString &units)
    {
        QString why;
        line = sim::VirtualLine::make(QStringLiteral("KV350-M1"), {}, *sim::parseLineUnits(units, &why), time, &why);
        unusedSerial = std::make_unique<sim::SimSerialStream>(line->bus().reader(0), time);
        link = std::make_unique<ReaderLink>(line->bus(), *unusedSerial, time, time);
        settings::ProfileError error;
        setup.profile = *settings::parseProfile(ProfileJson, &error);
        setup.profileSha256 = QStringLiteral("ab12");
    }
    QStringList run(const QString &recordName = QStringLiteral("units.csv"))
    {
        RecordFile record;
        QString why;
        if (!record.open(folder.path(recordName), &why))
            return {why};
        StationBench bench;
        bench.look = [this] {
            QList<SeenReader> seen;
            for (const HidDeviceInfo &d : line->bus().enumerate(proto::DefaultVid, proto::DefaultPid))
                seen.append({d.path, d.serialNumber});
            return seen;
        };
        bench.use = [](ReaderLink &l, const QString &path) { l.useUsbDevice(path); };
        bench.removalAsked = [this](const QString &path) { line->removalAsked(path); };
        summary = runStation({*link, line->bus(), time, time, stream, &stop}, setup, record, bench);
        QFile file(folder.path(recordName));
        file.open(QIODevice::ReadOnly);
        QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
        lines.removeAll(QString());
        return lines;
    }
    // The CSV fields of record line i (0 = the header).
    static QStringList fields(const QStringList &lines, int i) { return *splitCsvLine(lines.value(i)); }
};

}  // namespace

TEST(Provision, FiveReadersInARowOneFailingOnPurposeAndFiveLinesRecorded)
{
    StationRun r(QStringLiteral("ok,differs=scanTime,ok,vanish,ok"));
    r.setup.count = 5;
    const QStringList lines = r.run();
    ASSERT_EQ(lines.size(), 6) << r.out.toStdString();
    EXPECT_EQ(lines[0] + QLatin1Char('\n'), csvHeader());
    const QStringList results{"ok", "failed", "ok", "failed", "ok"};
    for (int i = 1; i <= 5; ++i) {
        const QStringList f = StationRun::fields(lines, i);
        ASSERT_EQ(f.size(), 11);
        EXPECT_EQ(f[1], QString::number(sim::VirtualLine::FirstSerial + i - 1));
        EXPECT_EQ(f[2], QStringLiteral("KV350-M1"));
        EXPECT_EQ(f[3], QStringLiteral("V1.0"));
        EXPECT_EQ(f[5], QStringLiteral("ab12"));
        EXPECT_EQ(f[6], QString());
        EXPECT_EQ(f[7], results[i - 1]) << lines[i].toStdString();
        EXPECT_TRUE(QDateTime::fromString(f[0], Qt::ISODate).isValid());
    }
    // The differing reader: named setting and what it read back.
    const QStringList differs = StationRun::fields(lines, 2);
    EXPECT_EQ(differs[8], QStringLiteral("apply"));
    EXPECT_EQ(differs[9], QStringLiteral("scanTime"));
    EXPECT_TRUE(differs[10].contains(QStringLiteral("differs"))) << differs[10].toStdString();
    // The reader that went away while applying: failed, never ok.
    const QStringList vanished = StationRun::fields(lines, 4);
    EXPECT_EQ(vanished[8], QStringLiteral("apply"));
    EXPECT_FALSE(vanished[9].isEmpty());
    EXPECT_TRUE(vanished[10].contains(QStringLiteral("went away"))) << vanished[10].toStdString();

    EXPECT_EQ(r.summary.ok, 3);
    EXPECT_EQ(r.summary.failed, 2);
    // Each good reader holds the profile now.
    for (int i : {0, 2, 4}) {
        EXPECT_EQ(r.line->bus().reader(i).parameters().value(0x04), QByteArray(1, char(30)));
        EXPECT_EQ(r.line->bus().reader(i).parameters().value(0x05), QByteArray(1, char(20)));
    }
    // It waited for readers a second at a time, and never the window's report tone.
    for (int ms : r.time.waits())
        EXPECT_NE(ms, 500);
    EXPECT_NE(std::find(r.time.waits().begin(), r.time.waits().end(), StationLookIntervalMs), r.time.waits().end());
    EXPECT_EQ(r.out.count(QStringLiteral("remove the reader")), 5);
}

TEST(Provision, AnUnchangedSettingIsNotWrittenAndTheRecordSaysOkAsJsonLines)
{
    StationRun r(QStringLiteral("ok"));
    r.setup.count = 1;
    // The reader already holds the scan time; only the same-card time is written.
    r.line->bus().reader(0).parameters().set(0x04, QByteArray(1, char(30)));
    const QStringList lines = r.run(QStringLiteral("units.jsonl"));
    ASSERT_EQ(lines.size(), 1);
    const QJsonObject o = QJsonDocument::fromJson(lines[0].toUtf8()).object();
    EXPECT_EQ(o.value("result").toString(), QStringLiteral("ok"));
    EXPECT_EQ(o.value("serial").toString(), QStringLiteral("20260001"));
    int writes04 = 0, writes05 = 0;
    for (const QByteArray &request : r.line->bus().reader(0).requests()) {
        if (request.size() > 4 && quint8(request[2]) == 0x03)
            (quint8(request[3]) == 0x04 ? writes04 : writes05)++;
    }
    EXPECT_EQ(writes04, 0);
    EXPECT_EQ(writes05, 1);
}

TEST(Provision, AReaderWithOlderFirmwareIsUpgradedFirst)
{
    StationRun r(QStringLiteral("old"));
    r.setup.count = 1;
    r.setup.firmwarePath = r.folder.firmware("KV350-M1", "V1.0");
    r.setup.firmwareVersion = QStringLiteral("V1.0");
    r.setup.firmwareSha256 = QStringLiteral("cd34");
    const QStringList lines = r.run();
    ASSERT_EQ(lines.size(), 2) << r.out.toStdString();
    const QStringList f = StationRun::fields(lines, 1);
    EXPECT_EQ(f[3], QStringLiteral("V0.9"));
    EXPECT_EQ(f[4], QStringLiteral("V1.0"));
    EXPECT_EQ(f[6], QStringLiteral("cd34"));
    EXPECT_EQ(f[7], QStringLiteral("ok")) << lines[1].toStdString();
    EXPECT_EQ(r.line->bus().reader(0).identity().version, QByteArray("V1.0"));
}

TEST(Provision, AReaderAlreadyRecordedOkIsSkippedUnlessAgain)
{
    StationRun first(QStringLiteral("ok"));
    first.setup.count = 1;
    first.run();
    const QString record = first.folder.path(QStringLiteral("units.csv"));

    StationRun again(QStringLiteral("ok,ok"));
    again.setup.count = 1;
    QFile::copy(record, again.folder.path(QStringLiteral("units.csv")));
    const QStringList lines = again.run();
    EXPECT_EQ(again.summary.skipped, 1);
    EXPECT_TRUE(again.out.contains(QStringLiteral("20260001 is already recorded ok: skipped")));
    ASSERT_EQ(lines.size(), 3);
    EXPECT_EQ(StationRun::fields(lines, 2)[1], QStringLiteral("20260002"));
    // Nothing but identification went to the skipped reader.
    for (const QByteArray &request : again.line->bus().reader(0).requests())
        EXPECT_NE(quint8(request[2]), 0x03);

    StationRun forced(QStringLiteral("ok"));
    forced.setup.count = 1;
    forced.setup.again = true;
    QFile::copy(record, forced.folder.path(QStringLiteral("units.csv")));
    EXPECT_EQ(forced.run().size(), 3);
    EXPECT_EQ(forced.summary.ok, 1);
}

TEST(Provision, CtrlCStopsBetweenWritesAndTheUnitIsRecordedAsStopped)
{
    StationRun r(QStringLiteral("ok"));
    // Ctrl-C comes while the first setting is written.
    struct StopOnWrite final : LinkObserver {
        std::atomic<bool> *stop;
        void transactionEnded(const TransactionRecord &t) override
        {
            if (t.request.size() > 4 && quint8(t.request[2]) == 0x03)
                stop->store(true);
        }
    } observer;
    observer.stop = &r.stop;
    r.link->setObserver(&observer);
    const QStringList lines = r.run();
    ASSERT_EQ(lines.size(), 2);
    const QStringList f = StationRun::fields(lines, 1);
    EXPECT_EQ(f[7], QStringLiteral("failed"));
    EXPECT_EQ(f[8], QStringLiteral("stopped"));
    EXPECT_TRUE(r.summary.stopped);
    // The write under way finished with its read-back; the next was never sent.
    int sets = 0;
    for (const QByteArray &request : r.line->bus().reader(0).requests())
        sets += request.size() > 4 && quint8(request[2]) == 0x03;
    EXPECT_EQ(sets, 1);
}

TEST(Provision, StoppedWhileWaitingTouchesNoReader)
{
    StationRun r(QStringLiteral("ok"));
    r.stop = true;
    EXPECT_EQ(r.run().size(), 1);  // the header alone
    EXPECT_TRUE(r.line->bus().reader(0).requests().empty());
}

TEST(ProvisionRecord, FieldsWithCommasQuotesAndLineBreaksComeBackAsWritten)
{
    UnitRecord u;
    u.serial = QStringLiteral("A,\"B\"");
    u.why = QStringLiteral("line one\nline two");
    const QString line = QString::fromUtf8(recordLine(u, RecordFormat::Csv)).chopped(1);
    EXPECT_FALSE(splitCsvLine(line.left(line.indexOf(QLatin1Char('\n')))).has_value());  // cut inside quotes
    const auto f = splitCsvLine(line);
    ASSERT_TRUE(f);
    EXPECT_EQ((*f)[1], u.serial);
    EXPECT_EQ((*f)[10], u.why);
    EXPECT_EQ((*f)[7], QStringLiteral("failed"));
}

TEST(ProvisionRecord, ARecordThatIsNotThisStationsIsRefusedWithWhere)
{
    FileFolder folder;
    QString why;
    RecordFile record;
    EXPECT_FALSE(record.open(folder.write(QStringLiteral("other.csv"), "name,age\nx,1\n"), &why));
    EXPECT_TRUE(why.contains(QStringLiteral("line 1"))) << why.toStdString();
    RecordFile cut;
    const QByteArray damaged = csvHeader().toUtf8() + "2026-01-01T00:00:00Z,\"1234,KV350-M1\n";
    EXPECT_FALSE(cut.open(folder.write(QStringLiteral("cut.csv"), damaged), &why));
    EXPECT_TRUE(why.contains(QStringLiteral("line 2"))) << why.toStdString();
    RecordFile json;
    EXPECT_FALSE(json.open(folder.write(QStringLiteral("bad.jsonl"), "{\"result\":\"ok\"}\nnot json\n"), &why));
    EXPECT_TRUE(why.contains(QStringLiteral("line 2"))) << why.toStdString();
    RecordFile nowhere;
    EXPECT_FALSE(nowhere.open(folder.path(QStringLiteral("no/such/folder/units.csv")), &why));
    EXPECT_TRUE(why.startsWith(QStringLiteral("cannot write the record"))) << why.toStdString();
}

TEST(ProvisionRecord, ARecordSavedWithCrLfStillKnowsItsUnits)
{
    FileFolder folder;
    UnitRecord ok;
    ok.serial = QStringLiteral("20260001");
    ok.ok = true;
    UnitRecord failed;
    failed.serial = QStringLiteral("20260002");
    QByteArray text = csvHeader().toUtf8() + recordLine(ok, RecordFormat::Csv) + recordLine(failed, RecordFormat::Csv);
    text.replace("\n", "\r\n");
    RecordFile record;
    QString why;
    ASSERT_TRUE(record.open(folder.write(QStringLiteral("units.csv"), text), &why)) << why.toStdString();
    EXPECT_EQ(record.recordedOk(), QSet<QString>{QStringLiteral("20260001")});
}
