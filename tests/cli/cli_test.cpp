// kv350ctl and kv350-sim as a user runs them: separate processes, a real pseudo-terminal.
#include "ctlrun.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

using kv350::testing::CtlRun;
using kv350::testing::runCtl;

class SimProcess {
public:
    explicit SimProcess(const QStringList &args)
    {
        m_process.start(QStringLiteral(KV350_SIM_PATH), args);
        if (m_process.waitForStarted(5000) && m_process.waitForReadyRead(5000))
            m_path = QString::fromLocal8Bit(m_process.readLine()).trimmed();
    }
    ~SimProcess()
    {
        m_process.terminate();
        m_process.waitForFinished(3000);
    }
    QString path() const { return m_path; }
    QProcess &process() { return m_process; }

private:
    QProcess m_process;
    QString m_path;
};

}  // namespace

TEST(CliEndToEnd, IdentifiesTheVirtualReaderOnAPty)
{
    SimProcess sim({"--model", "KV350-LF", "--serial", "AB12CD34", "--version", "V2.3"});
    ASSERT_TRUE(sim.path().startsWith("/dev/")) << sim.path().toStdString();

    CtlRun r = runCtl({"--port", sim.path(), "identify"});
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains("KV350-LF")) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains("AB12CD34"));
    EXPECT_TRUE(r.out.contains("V2.3"));

    r = runCtl({"--port", sim.path(), "identify", "--json"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.trimmed(), R"({"model":"KV350-LF","port":")" + sim.path() +
                                   R"(","serial":"AB12CD34","transport":"serial","version":"V2.3"})");

    r = runCtl({"--port", sim.path(), "raw", "02", "02", "03", "04"});
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains("TX : 02 02 03 04 ")) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains("RX : 02 04 03 00 04 05 "));
}

TEST(CliEndToEnd, ControlCharactersFromTheReaderAreShownEscaped)
{
    // A serial number that would clear the screen and ring, a version that
    // retitles the terminal: shown, but not acted on by the terminal.
    SimProcess sim({"--model", "KV350-LF", "--serial", QString::fromLatin1("\x1B[2J\r\x08\x07"), "--version",
                    QString::fromLatin1("\x1B]0;")});
    ASSERT_TRUE(sim.path().startsWith("/dev/")) << sim.path().toStdString();
    CtlRun r = runCtl({"--port", sim.path(), "identify"});
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, "Model:   KV350-LF\nVersion: \\x1B]0;\nSerial:  \\x1B[2J\\x0D\\x08\\x07\n");

    r = runCtl({"--port", sim.path(), "identify", "--json"});
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(r.out.contains(R"("serial":"\u001b[2J\r\b\u0007")"))
        << "JSON escapes them its own way: " << r.out.toStdString();
}

TEST(CliEndToEnd, SimulatedReaderNeedsNoDevice)
{
    const CtlRun r = runCtl({"--simulate", "KV350-LF-X", "identify"});
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains("Model:   KV350-LF-X")) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains("Serial:  12345678"));
}

TEST(CliEndToEnd, FailuresSayWhatWentWrong)
{
    // A reply that is not accepted: the virtual reader rejects an unknown command with status 10.
    CtlRun r = runCtl({"--simulate", "KV350-MIC", "raw", "02", "01", "7E"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.out.contains("RX : 02 02 7E 10 ")) << "the reply is still shown";
    EXPECT_FALSE(r.err.isEmpty());

    // The port is named once; the words are in lower case, the hex ids in upper case.
    r = runCtl({"--port", "/dev/kv350-no-such-port", "identify"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "kv350ctl: no reader identified on /dev/kv350-no-such-port: no such serial port (is the "
                     "reader plugged in?)\n");
    r = runCtl({"--port", "/dev/kv350-no-such-port", "raw", "02", "01", "0D"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "kv350ctl: no reply accepted from /dev/kv350-no-such-port: no such serial port (is the reader "
                     "plugged in?)\n");
    r = runCtl({"--usb", "--vid", "abcd", "--pid", "1", "identify"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "kv350ctl: no reader identified on USB ABCD:0001: no USB HID device ABCD:0001 could be opened "
                     "(is it plugged in, and may this user open it?)\n");

    r = runCtl({"--simulate", "KV350-ZZ", "identify"});
    EXPECT_EQ(r.status, 2);
    EXPECT_TRUE(r.err.contains("usage:"));

    QProcess sim;
    sim.start(QStringLiteral(KV350_SIM_PATH), {"--model", "KV350-ZZ"});
    sim.waitForFinished(5000);
    EXPECT_NE(sim.exitCode(), 0);
    EXPECT_FALSE(sim.readAllStandardError().isEmpty());
}

TEST(CliEndToEnd, FramesOnStderrAndCardsOnTheVirtualReader)
{
    // The UID of the card in the field (command 11): none without --card.
    CtlRun r = runCtl({"--simulate", "KV350-MIC", "raw", "02", "01", "11"});
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains("STA 01")) << r.out.toStdString();

    r = runCtl({"-v", "--simulate", "KV350-MIC", "--card", "mifare1k", "raw", "02", "01", "11"});
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains("STA 00")) << r.out.toStdString();
    EXPECT_FALSE(r.out.contains("kv350.link")) << "frames go to stderr only";
    EXPECT_TRUE(r.err.contains("TX USB 0E6A:0317 02 01 0D ")) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains("TX USB 0E6A:0317 02 01 11 "));
    EXPECT_TRUE(r.err.contains("RX 02 ")) << "the replies too";

    r = runCtl({"--version"});
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(r.out.startsWith("kv350ctl ")) << r.out.toStdString();

    r = runCtl({"identify", "--help"});
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(r.out.contains("--json")) << r.out.toStdString();
    EXPECT_TRUE(r.err.isEmpty());
}

TEST(CliEndToEnd, SettingsByNameAreThoseOfTheModel)
{
    CtlRun r = runCtl({"--simulate", "KV350-LF", "settings", "get"});
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains("scanTime: 50\n")) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains("lfCardTypes: [\"em\"]\n"));
    EXPECT_FALSE(r.out.contains("idLocation")) << "an LF reader has no MIFARE ID location";
    EXPECT_EQ(r.out.count('\n'), 8);

    r = runCtl({"--simulate", "KV350-U1", "settings", "get", "autoEpc", "--json"});
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(r.out.trimmed(), R"({"autoEpc":{"address":2,"bank":"epc","length":6}})");

    r = runCtl({"--simulate", "KV350-M1", "settings", "get", "autoEpc"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.contains("has no setting autoEpc")) << r.err.toStdString();

    r = runCtl({"--simulate", "KV350-M1", "settings", "get", "scantime"});
    EXPECT_EQ(r.status, 2) << "names compare exactly";
    EXPECT_TRUE(r.err.contains("the settings are usbMode, readMode")) << r.err.toStdString();
}

TEST(CliEndToEnd, CardCommandsOverThePtyWithTheirLog)
{
    SimProcess sim({"--model", "KV350-MIC", "--card", "mifare1k"});
    ASSERT_TRUE(sim.path().startsWith("/dev/")) << sim.path().toStdString();
    QTemporaryDir dir;
    const QString log = dir.filePath("session.log");

    CtlRun r = runCtl({"--port", sim.path(), "--log", log, "mifare", "write", "2", "1",
                       "00112233445566778899AABBCCDDEEFF", "--key", "FFFFFFFFFFFF"});
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    r = runCtl({"--port", sim.path(), "--log", log, "mifare", "read", "2", "1", "--json"});
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, "{\"block\":1,\"data\":\"00112233445566778899AABBCCDDEEFF\",\"sector\":2}\n");
    r = runCtl({"--port", sim.path(), "mifare", "read", "2", "1", "--key", "A0A1A2A3A4A5"});
    EXPECT_EQ(r.status, 4) << r.err.toStdString();

    QFile file(log);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(file.readAll());
    EXPECT_EQ(text.count("# KV350 session log, kv350ctl"), 2) << "each run appends its own header";
    EXPECT_TRUE(text.contains("| kv350ctl mifare write | TX 02 1A 16 60 ** ** ** ** ** ** 02 01 00 11 22"))
        << text.toStdString();
    EXPECT_TRUE(text.contains("| kv350ctl mifare read | TX 02 0A 15 60 ** ** ** ** ** ** 02 01 | RX 02 12 15 00 00 11"))
        << text.toStdString();
    EXPECT_TRUE(text.contains("12345678 KV350-MIC"));
    EXPECT_FALSE(text.contains("FF FF FF FF FF FF")) << "the key is masked";
}
