// kv350ctl settings set / save / apply / diff: over the serial path (kv350-sim
// on a pty) and the USB path (--simulate) as a user runs them, and in process
// against virtual readers with quirks, in virtual time.
#include "exitstatus.h"
#include "options.h"
#include "profilecommands.h"
#include "readerlinkrig.h"

#include "ctlrun.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace kv350;
using namespace kv350::cli;

namespace {

using kv350::testing::CtlRun;
using kv350::testing::runCtl;

class SimOnPty {
public:
    SimOnPty()
    {
        m_process.start(QStringLiteral(KV350_SIM_PATH), {"--model", "KV350-LF"});
        if (m_process.waitForStarted(5000) && m_process.waitForReadyRead(5000))
            m_path = QString::fromLocal8Bit(m_process.readLine()).trimmed();
    }
    ~SimOnPty()
    {
        m_process.terminate();
        m_process.waitForFinished(3000);
    }
    QString path() const { return m_path; }

private:
    QProcess m_process;
    QString m_path;
};

QString writeFile(const QTemporaryDir &dir, const QString &name, const QByteArray &bytes)
{
    QFile f(dir.filePath(name));
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
    return f.fileName();
}

// A command run in process on a virtual reader.
struct InProcess : VirtualReaderLink {
    InProcess() : VirtualReaderLink(sim::Identity{"KV350-M1", "V1.4", "00000042"}) {}
    int run(const QString &line)
    {
        out.clear();
        err.clear();
        const ParseResult parsed = parseArguments(line.split(QLatin1Char(' '), Qt::SkipEmptyParts));
        EXPECT_TRUE(parsed.options) << parsed.error.toStdString();
        if (!parsed.options)
            return -1;
        QTextStream o(&out), e(&err);
        Session s{*parsed.options, o, e, &link, &hid, time, time, false};
        return findCommand(parsed.options->command)->run(s);
    }
    QString out, err;
};

}  // namespace

TEST(CliProfiles, SaveChangeDiffApplyOverTheSerialPath)
{
    SimOnPty sim;
    ASSERT_FALSE(sim.path().isEmpty());
    QTemporaryDir dir;
    const QString saved = dir.filePath("lf.json");
    CtlRun r = runCtl({"--port", sim.path(), "settings", "save", saved});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains("saved 8 settings of the KV350-LF")) << r.out.toStdString();

    r = runCtl({"--port", sim.path(), "settings", "diff", saved});
    EXPECT_EQ(r.status, 0) << r.out.toStdString();

    r = runCtl({"--port", sim.path(), "settings", "set", "lfCardTypes", "[\"hid\",\"em\"]", "--json"});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    const QJsonObject set = QJsonDocument::fromJson(r.out.toUtf8()).object();
    EXPECT_EQ(set["settings"].toArray()[0].toObject()["outcome"], "ok");
    EXPECT_EQ(set["settings"].toArray()[0].toObject()["readBack"].toArray().size(), 2);

    r = runCtl({"--port", sim.path(), "settings", "diff", saved});
    EXPECT_EQ(r.status, ExitDiffers);
    EXPECT_TRUE(r.out.contains("lfCardTypes: reader [\"em\",\"hid\"], file [\"em\"]")) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains("1 of 8 settings differ")) << r.out.toStdString();

    r = runCtl({"--port", sim.path(), "settings", "apply", saved, "--dry-run"});
    EXPECT_EQ(r.status, 0);
    r = runCtl({"--port", sim.path(), "settings", "get", "lfCardTypes"});
    EXPECT_EQ(r.out, "lfCardTypes: [\"em\",\"hid\"]\n") << "a dry run writes nothing";

    r = runCtl({"--port", sim.path(), "settings", "apply", saved});
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains("lfCardTypes: [\"em\",\"hid\"] -> [\"em\"] ok")) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains("1 written, 1 verified by read-back, 7 already held")) << r.out.toStdString();
    r = runCtl({"--port", sim.path(), "settings", "diff", saved, "--json"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(QJsonDocument::fromJson(r.out.toUtf8()).object()["matches"], true);
}

TEST(CliProfiles, RefusedBeforeAnythingIsSent)
{
    QTemporaryDir dir;
    // Arguments: an unknown setting, a value out of range, a missing file name.
    CtlRun r = runCtl({"--simulate", "KV350-M1", "settings", "set", "scantime", "50"});
    EXPECT_EQ(r.status, ExitBadArguments);
    r = runCtl({"--simulate", "KV350-M1", "settings", "set", "keyboardLayout", "GERMAN"});
    EXPECT_EQ(r.status, ExitBadArguments);
    EXPECT_TRUE(r.err.contains("one of ENGLISH, CZECH, FRENCH")) << r.err.toStdString();
    r = runCtl({"--simulate", "KV350-M1", "settings", "apply"});
    EXPECT_EQ(r.status, ExitBadArguments);

    // A damaged file, and one for another model: -v shows that no frame went out.
    const QString damaged = writeFile(dir, "d.json", "{\"format\": \"kv350-profile\", \"version\": 1, \"settings\": {");
    r = runCtl({"-v", "--simulate", "KV350-M1", "settings", "apply", damaged});
    EXPECT_EQ(r.status, ExitFailed);
    EXPECT_TRUE(r.err.contains("d.json: not JSON")) << r.err.toStdString();
    EXPECT_FALSE(r.err.contains("02 ")) << "not even identification: " << r.err.toStdString();

    const QString lf = writeFile(dir, "lf.json",
                                 R"({"format": "kv350-profile", "version": 1, "settings": {"lfCardTypes": ["em"]}})");
    r = runCtl({"-v", "--simulate", "KV350-M1", "settings", "apply", lf});
    EXPECT_EQ(r.status, ExitFailed);
    EXPECT_TRUE(r.err.contains("lfCardTypes: a KV350-M1 has no such setting")) << r.err.toStdString();
    EXPECT_FALSE(r.err.contains("02 02 03 ")) << "identified, but no setting read or written";

    r = runCtl({"--simulate", "KV350-M1", "settings", "save", dir.filePath("no/such/dir/x.json")});
    EXPECT_EQ(r.status, ExitFailed);
    EXPECT_TRUE(r.err.contains("cannot write")) << r.err.toStdString();
}

TEST(CliProfiles, ReadBackThatDiffersAndAReaderThatGoes)
{
    QTemporaryDir dir;
    const QString file = writeFile(
        dir, "p.json",
        R"({"format": "kv350-profile", "version": 1, "settings": {"scanTime": 200, "keypadDelay": 30, "sameCardTime": 2000}})");
    {
        InProcess p;
        // This reader stores every scan time as 100 ms.
        p.reader.setAcceptFilter(proto::ParScanTime,
                                 [](const QByteArray &, const QByteArray &) { return QByteArray::fromHex("0A"); });
        EXPECT_EQ(p.run("settings apply " + file), ExitDiffers);
        EXPECT_TRUE(p.out.contains("scanTime: 50 -> 200 differs: read back 100 after writing 200"))
            << p.out.toStdString();
        EXPECT_TRUE(p.out.contains("keypadDelay: 10 -> 30 ok"));
        EXPECT_EQ(p.run("settings set scanTime 300"), ExitDiffers) << p.out.toStdString() << p.err.toStdString();
    }
    {
        InProcess p;
        p.reader.setAcceptFilter(proto::ParSameCardTime, [&p](const QByteArray &requested, const QByteArray &) {
            p.hid.unplug();
            return requested;
        });
        EXPECT_EQ(p.run("settings apply " + file), ExitFailed);
        EXPECT_TRUE(p.out.contains("sameCardTime: 1500 -> 2000 failed")) << p.out.toStdString();
        EXPECT_TRUE(p.out.contains("keypadDelay: 10 -> 30 not tried")) << p.out.toStdString();
        EXPECT_EQ(p.run("settings save " + dir.filePath("gone.json")), ExitFailed);
        EXPECT_FALSE(QFile::exists(dir.filePath("gone.json")));
    }
}
