// Scenarios that go through the window: the reader lost during the loop test
// and during Read All, a card taken away part way through a run, and a
// language store that cannot be read or written.
#include "i18n/languagestore.h"
#include "link/qserialdevice.h"
#include "sim/cards/mifareclassic.h"
#include "sim/transports/ptyserver.h"
#include "windowrig.h"

#include <QEventLoop>
#include <QLineEdit>
#include <QListWidget>
#include <QSettings>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <ctime>
#include <functional>
#include <gtest/gtest.h>

using namespace kv350;
using namespace kv350::testing;
using sim::Fault;
using sim::MifareClassicCard;

namespace {

QStringList lines(TfrmMain &window)
{
    QStringList out;
    auto *list = window.findChild<QListWidget *>("lstM1");
    for (int i = 0; i < list->count(); ++i)
        out << list->item(i)->text();
    return out;
}

// The window with a MIFARE card on the reader, over USB or the in-process serial stream.
struct CardWindow : WindowRig {
    explicit CardWindow(bool serialPort) : WindowRig("KV350-MIC")
    {
        card = std::make_shared<MifareClassicCard>(MifareClassicCard::Size::K1);
        reader->field().place(card);
        if (serialPort)
            useSerial();
        show();
    }
    std::shared_ptr<MifareClassicCard> card;
};

const QString Pattern0 = "00010203040506070809101112131415";

}  // namespace

class WindowOverEachTransport : public ::testing::TestWithParam<bool> {};
INSTANTIATE_TEST_SUITE_P(Transports, WindowOverEachTransport, ::testing::Values(false, true),
                         [](const auto &info) { return std::string(info.param ? "serial" : "usb"); });

TEST_P(WindowOverEachTransport, ReaderLostDuringTheLoopTestStopsItSaysDisconnectedAndReconnects)
{
    CardWindow rig(GetParam());
    ASSERT_TRUE(rig.status().startsWith("[Connected]"));
    // Five blocks written (4, 5, 6, 8, 9), then the reader is pulled out while writing block 10.
    rig.reader->faults().queue(Fault::none(), 5);
    rig.reader->faults().queue(Fault::vanish(20, -1));
    rig.time.clearRecord();
    const qint64 start = rig.time.nowMs();
    rig.dialogs.yes();  // the loop test asks before it overwrites the blocks
    rig.click("btnM1WR");

    const QStringList log = lines(*rig.window);
    ASSERT_EQ(log.size(), 1 + 5 + 1 + 1) << log.join('\n').toStdString();
    EXPECT_EQ(log[1], "(W:1)-04(1/0):" + Pattern0 + "   OK");
    EXPECT_EQ(log[5], "(W:1)-09(2/1):" + Pattern0 + "   OK");
    EXPECT_EQ(log[6], "(W:1)-10(2/2):Error");
    EXPECT_EQ(log[7], "TOTAL_NUM=1  CMD_ERR=1  WR_ERR=0  CHK_ERR=0") << "stopped in the pass it was in";
    EXPECT_EQ(rig.status(), "Disconnected");
    EXPECT_FALSE(rig.find<QLabel>("pnStatus")->toolTip().isEmpty()) << "the reason goes with it";
    EXPECT_EQ(rig.message(), "Command Error!");
    EXPECT_TRUE(rig.window->isEnabled());
    // No spin and no long wait: the 20 ms, one retry pause, nothing more.
    EXPECT_EQ(rig.time.waits(), std::vector<int>{200});
    EXPECT_LE(rig.time.nowMs() - start, 20 + 200 + 1000);

    rig.reader->faults().deviceBack();
    rig.click("btnConnect");
    EXPECT_TRUE(rig.status().startsWith("[Connected]"));
    rig.click("btnM1Read");
    EXPECT_EQ(rig.message(), "Command Done.");
}

TEST_P(WindowOverEachTransport, ReaderLostDuringReadAllStopsAtTheBlockItWasOn)
{
    CardWindow rig(GetParam());
    rig.find<QLineEdit>("edM1All")->setText("12");
    rig.reader->faults().queue(Fault::none(), 6);
    rig.reader->faults().queue(Fault::deviceGone(-1));
    rig.click("btnM1ReadAll");

    const QStringList log = lines(*rig.window);
    ASSERT_EQ(log.size(), 7) << log.join('\n').toStdString();
    EXPECT_TRUE(log[5].startsWith("05(1/1):0000")) << log[5].toStdString();
    EXPECT_EQ(log[6], "06(1/2):Error");
    EXPECT_EQ(rig.status(), "Disconnected");
    EXPECT_EQ(rig.message(), "Command Error!");
    EXPECT_TRUE(rig.window->isEnabled());

    rig.reader->faults().deviceBack();
    rig.click("btnM1ReadAll");
    EXPECT_EQ(lines(*rig.window).size(), 12) << "connected again on demand";
    EXPECT_EQ(rig.message(), "Command Done.");
}

TEST_P(WindowOverEachTransport, CardTakenAwayPartWayThroughTheLogSaysWhichBlocksWereWritten)
{
    for (int k : {0, 1, 4, 8}) {
        SCOPED_TRACE(k);
        CardWindow rig(GetParam());
        const QByteArray before(16, '\x77');
        for (int b : {4, 5, 6, 8, 9, 10, 12, 13, 14})
            rig.card->setBlock(b / 4, b % 4, before);
        rig.find<QLineEdit>("edM1Num")->setText("1");
        rig.reader->field().removeAfter(k);  // k writes reach the card
        rig.dialogs.yes();                   // the loop test asks before it overwrites the blocks
        rig.click("btnM1WR");

        const QStringList log = lines(*rig.window);
        int logged = 0;
        for (int b : {4, 5, 6, 8, 9, 10, 12, 13, 14}) {
            const QString written = QString::asprintf("(W:1)-%02d(%d/%d):", b, b / 4, b % 4) + Pattern0 + "   OK";
            const bool saysWritten = log.contains(written);
            const bool isWritten = rig.card->block(b / 4, b % 4) != before;
            EXPECT_EQ(saysWritten, isWritten) << "block " << b;
            logged += saysWritten;
        }
        EXPECT_EQ(logged, k);
        EXPECT_EQ(log.filter(":No Card").size(), 9 - k + 9) << "every other write, and every read";
        EXPECT_EQ(rig.message(), "No Card or Key Error!");
    }
}

TEST_P(WindowOverEachTransport, AWriteThatReadsBackDifferentIsCountedAndTheRunFails)
{
    CardWindow rig(GetParam());
    rig.card->corruptReads(1, 1, 0x01);  // block 5 stores what it is given and reads it back wrong
    rig.find<QLineEdit>("edM1Num")->setText("1");
    rig.dialogs.yes();  // the loop test asks before it overwrites the blocks
    rig.click("btnM1WR");
    const QStringList log = lines(*rig.window);
    EXPECT_TRUE(log.contains("(W:1)-05(1/1):" + Pattern0 + "   OK")) << "the write's own reply was right";
    EXPECT_TRUE(log.contains("(R:1)-05(1/1):01000302050407060908111013121514   ERR"));
    EXPECT_EQ(log.last(), "TOTAL_NUM=1  CMD_ERR=0  WR_ERR=0  CHK_ERR=1");
    EXPECT_EQ(rig.message(), "Command Error!") << "not \"Command Done.\": the test found a fault";
}

// --- the window over a real pseudo-terminal ----------------------------------

namespace {

struct PtyWindow {
    // beforeShow: set up the reader (faults for the identification, say) before the window connects.
    explicit PtyWindow(const std::function<void(sim::VirtualReader &)> &beforeShow = {})
    {
        server.setStablePath(dir.filePath("ttyKV350"));
        started = server.start();
        if (beforeShow)
            server.withReader(beforeShow);
        sim::Identity id;
        reader = std::make_unique<sim::VirtualReader>(id);
        hid = std::make_unique<sim::SimHidDevice>(*reader, pauses);
        window = std::make_unique<TfrmMain>(
            WindowServices{*hid, port, systemClock(), pauses, sounder, dialogs, store, ports});
        window->addExtraPort(dir.filePath("ttyKV350"), true);
        server.withReader([](sim::VirtualReader &r) {
            r.field().place(std::make_shared<MifareClassicCard>(MifareClassicCard::Size::K1));
        });
        window->show();
    }
    QString status() { return window->findChild<QLabel *>("pnStatus")->text(); }
    QString statusTip() { return window->findChild<QLabel *>("pnStatus")->toolTip(); }
    QString message() { return window->findChild<QLabel *>("pnMsg")->text(); }
    void click(const char *name) { window->findChild<QAbstractButton *>(name)->click(); }

    QTemporaryDir dir;
    sim::PtyServer server;
    bool started = false;
    VirtualTime pauses;  // the program's own waits; the port waits in real time
    QSerialDevice port;
    std::unique_ptr<sim::VirtualReader> reader;  // USB: unused
    std::unique_ptr<sim::SimHidDevice> hid;
    FakeSounder sounder;
    FakeDialogs dialogs;
    i18n::MemoryLanguageStore store;
    FakePorts ports;
    std::unique_ptr<TfrmMain> window;
};

}  // namespace

TEST(WindowOverAPty, AdapterPulledOutDuringTheLoopTestAndPluggedBack)
{
    PtyWindow rig;
    ASSERT_TRUE(rig.started);
    ASSERT_TRUE(rig.status().startsWith("[Connected]")) << rig.status().toStdString();
    rig.server.withReader([](sim::VirtualReader &r) {
        r.faults().queue(Fault::none(), 3);
        r.faults().queue(Fault::vanish(10, 300));
    });
    rig.dialogs.yes();  // the loop test asks before it overwrites the blocks
    rig.click("btnM1WR");
    const QStringList log = lines(*rig.window);
    ASSERT_EQ(log.size(), 1 + 3 + 1 + 1) << log.join('\n').toStdString();
    EXPECT_EQ(log[4], "(W:1)-08(2/0):Error");
    EXPECT_EQ(rig.status(), "Disconnected");
    EXPECT_EQ(rig.message(), "Command Error!");

    for (int i = 0; i < 100 && !rig.server.isPresent(); ++i)
        QThread::msleep(20);
    rig.click("btnConnect");
    EXPECT_TRUE(rig.status().startsWith("[Connected]")) << rig.status().toStdString();
    rig.click("btnM1ReadAll");
    EXPECT_EQ(rig.message(), "Command Done.");
}

TEST(WindowOverAPty, AdapterPulledOutDuringReadAllAndAPortThatIsNotThere)
{
    PtyWindow rig;
    ASSERT_TRUE(rig.started);
    ASSERT_TRUE(rig.status().startsWith("[Connected]")) << rig.status().toStdString();
    rig.window->findChild<QLineEdit *>("edM1All")->setText("8");
    rig.server.withReader([](sim::VirtualReader &r) {
        r.faults().queue(Fault::none(), 2);
        r.faults().queue(Fault::vanish(10, -1));
    });
    rig.click("btnM1ReadAll");
    const QStringList log = lines(*rig.window);
    ASSERT_EQ(log.size(), 3) << log.join('\n').toStdString();
    EXPECT_EQ(log[2], "02(0/2):Error");
    EXPECT_EQ(rig.status(), "Disconnected");
    EXPECT_EQ(rig.message(), "Command Error!");

    // Still away: Connect says why in the status panel's tip.
    rig.click("btnConnect");
    EXPECT_EQ(rig.status(), "Disconnected");
    EXPECT_EQ(rig.window->findChild<QLabel *>("pnStatus")->toolTip(),
              rig.dir.filePath("ttyKV350") + ": no such serial port (is the reader plugged in?)");

    rig.server.withReader([](sim::VirtualReader &r) { r.faults().deviceBack(); });
    for (int i = 0; i < 100 && !rig.server.isPresent(); ++i)
        QThread::msleep(20);
    rig.click("btnM1ReadAll");
    EXPECT_EQ(lines(*rig.window).size(), 8);
    EXPECT_EQ(rig.message(), "Command Done.");
    EXPECT_TRUE(rig.window->findChild<QLabel *>("pnStatus")->toolTip().isEmpty());
}

namespace {

qint64 processCpuMicroseconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return qint64(t.tv_sec) * 1000000 + t.tv_nsec / 1000;
}

}  // namespace

// A pty that hangs up keeps returning "readable" and end-of-file; a port left
// open on it woke the event loop without end (a full core). The one check of
// this suite that waits in real time: 5 s of the event loop after the hang-up.
TEST(WindowOverAPty, AReaderThatHangsUpIsDisconnectedAndLeavesTheEventLoopIdle)
{
    // The reader answers the probe, then hangs up on the serial-number request.
    PtyWindow duringIdentification([](sim::VirtualReader &r) {
        r.faults().queue(Fault::none());
        r.faults().queue(Fault::vanish(0, -1));
    });
    ASSERT_TRUE(duringIdentification.started);
    EXPECT_EQ(duringIdentification.status(), "Disconnected");
    EXPECT_EQ(duringIdentification.message(), "Command Error!");

    // Identified, then unplugged with no command under way.
    PtyWindow whileIdle;
    ASSERT_TRUE(whileIdle.started);
    ASSERT_TRUE(whileIdle.status().startsWith("[Connected]")) << whileIdle.status().toStdString();
    // Both windows paint first: their drawing is not what is measured.
    QTest::qWait(300);
    whileIdle.server.hangUp();
    for (int i = 0; i < 100 && whileIdle.server.isPresent(); ++i)
        QThread::msleep(10);
    ASSERT_FALSE(whileIdle.server.isPresent());

    const qint64 cpuBefore = processCpuMicroseconds();
    QEventLoop loop;
    QTimer::singleShot(5000, &loop, &QEventLoop::quit);
    loop.exec();
    const qint64 cpuMs = (processCpuMicroseconds() - cpuBefore) / 1000;
    EXPECT_LT(cpuMs, 50) << "process CPU in the 5 s after the hang-ups";

    for (PtyWindow *rig : {&duringIdentification, &whileIdle}) {
        EXPECT_EQ(rig->status(), "Disconnected");
        EXPECT_EQ(rig->statusTip(), rig->dir.filePath("ttyKV350") + ": the serial port went away");
        EXPECT_FALSE(rig->port.isOpen()) << "the hung-up port is closed";
        EXPECT_FALSE(rig->window->link().Connected());
    }
}

// --- the language store ------------------------------------------------------

TEST(LanguageStoreBroken, UnreadableAndUnwritableStoreStartsInEnglishAndStillSwitches)
{
    QTemporaryDir dir;
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir.filePath("user"));
    QSettings::setPath(QSettings::IniFormat, QSettings::SystemScope, dir.filePath("system"));
    // The settings file is a directory: it can be neither read nor written, whoever runs this.
    ASSERT_TRUE(QDir().mkpath(dir.filePath("user/VANTO/KV350Tools.ini")));
    // And the machine-wide one is not a settings file at all.
    ASSERT_TRUE(QDir().mkpath(dir.filePath("system/VANTO")));
    QFile garbage(dir.filePath("system/VANTO/KV350Tools.ini"));
    ASSERT_TRUE(garbage.open(QIODevice::WriteOnly));
    static constexpr char kGarbage[] = "\xFF\xFE[[[\x00\x01=\n\x80LanguageFlag";
    garbage.write(QByteArray(kGarbage, sizeof kGarbage - 1));
    garbage.close();

    i18n::QSettingsLanguageStore store(QSettings::IniFormat);
    WindowRig base;  // for its fakes and the virtual reader
    TfrmMain window(
        WindowServices{*base.hid, *base.serial, base.time, base.time, base.sounder, base.dialogs, store, base.ports});
    window.show();
    EXPECT_EQ(window.language().LanguageName(), "English");
    EXPECT_EQ(window.findChild<QLabel *>("pnStatus")->text(), "[Connected] (KV350-MIC   V1.0) (SN:12345678)");

    window.mnuSimplifiedClick();
    EXPECT_EQ(window.language().LanguageName(), "ChineseGB") << "the choice holds for this run";
    EXPECT_EQ(window.findChild<QLabel *>("pnMsg")->text(), QString::fromUtf8("指令完成。"))
        << "and the reader was found again";
    EXPECT_EQ(store.readLanguage(), std::nullopt) << "nothing could be stored";
}
