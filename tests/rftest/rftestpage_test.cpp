// The radio module page in the window, against a virtual KV350-MIC-X whose
// UHF module keeps its radio state and streams the automatic test's results,
// offscreen and in virtual time.
#include "common/uhfwindowrig.h"
#include "rftest/radiotexts.h"
#include "sim/core/faultplan.h"

#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QListWidget>
#include <QMenuBar>
#include <QScrollBar>
#include <QTabBar>

using namespace kv350;
using namespace kv350::testing;
using sim::RadioMode;

namespace {

struct RadioRig : UhfWindowRig {
    explicit RadioRig(const char *model = "KV350-MIC-X", bool serial = false) : UhfWindowRig(model, "tsOvtra", serial)
    {
    }
    sim::OvtraRadio &radio() { return uhf().radio(); }
    QListWidget *list() { return find<QListWidget>("lstOvtra"); }
    QStringList lines()
    {
        QStringList out;
        for (int i = 0; i < list()->count(); ++i)
            out << list()->item(i)->text();
        return out;
    }
    QPushButton *testButton() { return find<QPushButton>("btnOvtraTest"); }
    std::vector<QByteArray> texts() { return uhf().texts(); }
    bool tabEnabled(const char *page)
    {
        auto *tabs = find<QTabWidget>("pcMain");
        return tabs->isTabEnabled(tabs->indexOf(find<QWidget>(page)));
    }
    // Stops the test at the first poll that finds at least `count` lines.
    void stopAtLines(int count, std::function<void(int)> also = nullptr)
    {
        onPoll([this, count, also](int n) {
            if (also)
                also(n);
            if (list()->count() >= count && testButton()->text() == "Cancel Test")
                QTest::mouseClick(testButton(), Qt::LeftButton);
        });
    }
};

QByteArray resultFrame(int total, const QByteArray &line, std::uint8_t sta = 0)
{
    QByteArray data = line;
    data.append(QByteArray(total - 4 - data.size(), '\0'));
    return QByteArray::fromHex("02") + char(total - 2) + '\0' + char(sta) + data;
}

}  // namespace

TEST(RadioPage, EachButtonSendsItsModuleText)
{
    RadioRig rig;
    const struct {
        const char *button;
        QByteArray text;
    } rows[] = {
        {"btnSetTX", "x01\r"},
        {"btnSetRX", "x02\r"},
        {"btnSetModulation", "W090145\r"},
        {"btnSetNoModulation", "W090105\r"},
        {"btnOvtraReboot", "Zx\r"},
        {"btnOvtraInitial", "Zi\r"},
    };
    for (const auto &r : rows) {
        rig.click(r.button);
        EXPECT_EQ(rig.requests().back(), QByteArray::fromHex("02") + char(r.text.size() + 1) + '\0' + r.text)
            << r.button;
        EXPECT_EQ(rig.message(), "Command Done.") << r.button;
    }
    EXPECT_EQ(rig.requests().size(), 6u);

    // What the module made of them.
    rig.click("btnSetTX");
    EXPECT_EQ(rig.radio().mode(), RadioMode::Transmit);
    rig.click("btnSetRX");
    EXPECT_EQ(rig.radio().mode(), RadioMode::Receive);
    rig.click("btnSetNoModulation");
    EXPECT_FALSE(rig.radio().modulation());
    rig.click("btnSetModulation");
    EXPECT_TRUE(rig.radio().modulation());
    rig.click("btnOvtraReboot");
    EXPECT_EQ(rig.radio().mode(), RadioMode::Idle);
    EXPECT_EQ(rig.radio().rebootCount(), 2);
}

TEST(RadioPage, SetChannelSendsTheHalfThenTheChannelWithinIt)
{
    RadioRig rig;
    QScrollBar *bar = rig.find<QScrollBar>("sbChannel");
    const struct {
        int channel;
        QByteArray half, inHalf;
    } rows[] = {
        {256, "W0E035BC494", "W0B01FF"},
        {257, "W0E035E3B13", "W0B0100"},
        {1, "W0E035BC494", "W0B0100"},
        {512, "W0E035E3B13", "W0B01FF"},
    };
    for (const auto &r : rows) {
        rig.uhf().clearTexts();
        bar->setValue(r.channel);
        rig.click("btnSetChannel");
        EXPECT_EQ(rig.texts(), (std::vector<QByteArray>{r.half, r.inHalf})) << r.channel;
        EXPECT_EQ(rig.radio().channel(), r.channel);
        EXPECT_EQ(rig.radio().channelHalf(), r.channel > 256 ? 1 : 0);
        EXPECT_EQ(rig.message(), "Command Done.");
    }
    EXPECT_EQ(rig.requests()[0].size(), 15);
    EXPECT_EQ(rig.requests()[1].size(), 11);

    // The half is refused: the channel is not sent.
    rig.reader->clearRequests();
    rig.reader->faults().queue(sim::Fault::status(0x01));
    bar->setValue(300);
    rig.click("btnSetChannel");
    EXPECT_EQ(rig.requests().size(), 1u);
    EXPECT_EQ(rig.message(), "Command Error!");
    EXPECT_EQ(rig.radio().channel(), 512) << "the module keeps what it had";
}

TEST(RadioPage, TheMidChannelIsShownAndSentFromTheStart)
{
    RadioRig rig;
    EXPECT_EQ(rig.find<QScrollBar>("sbChannel")->value(), 248);
    EXPECT_EQ(rig.find<QLabel>("pnChannel")->text(), "248");
    rig.radio().writeRegisters(sim::OvtraRadio::RegChannel, QByteArray(1, '\0'));
    rig.click("btnSetChannel");
    EXPECT_EQ(rig.texts(), (std::vector<QByteArray>{"W0E035BC494", "W0B01F7"}));
    EXPECT_EQ(rig.radio().channel(), 248);
}

TEST(RadioPage, PresetsMoveTheBarAndSendNothing)
{
    RadioRig rig;
    const struct {
        const char *button;
        int channel;
    } rows[] = {{"btnChLow", 62}, {"btnChHigh", 385}, {"btnChMid", 248}};
    for (const auto &r : rows) {
        rig.click(r.button);
        EXPECT_EQ(rig.find<QScrollBar>("sbChannel")->value(), r.channel);
        EXPECT_EQ(rig.find<QLabel>("pnChannel")->text(), QString::number(r.channel));
    }
    EXPECT_TRUE(rig.requests().empty());
}

TEST(RadioPage, PaPowerGoesAsTwoHexDigits)
{
    RadioRig rig;
    rig.click("btnSetPA");
    EXPECT_EQ(rig.texts().back(), "W3001FF");
    rig.find<QScrollBar>("sbPA")->setValue(10);
    EXPECT_EQ(rig.find<QLabel>("pnPA")->text(), "10");
    rig.click("btnSetPA");
    EXPECT_EQ(rig.requests().back(), QByteArray::fromHex("020900") + "W30010A\r");
    EXPECT_EQ(rig.radio().power(), 10);

    rig.reader->faults().queue(sim::Fault::status(0x01));
    rig.click("btnSetPA");
    EXPECT_EQ(rig.message(), "Command Error!");
    EXPECT_EQ(rig.sounder.tones.back(), 300);
}

TEST(RadioPage, AutoTestStreamsLinesUntilTheSecondClick)
{
    RadioRig rig;
    bool checkedWhileRunning = false;
    rig.stopAtLines(5, [&](int) {
        if (checkedWhileRunning)
            return;
        checkedWhileRunning = true;
        EXPECT_EQ(rig.testButton()->text(), "Cancel Test");
        EXPECT_FALSE(rig.find<QGroupBox>("gbOvtraSet")->isEnabled());
        EXPECT_FALSE(rig.find<QPushButton>("btnConnect")->isEnabled());
        EXPECT_EQ(rig.radio().mode(), RadioMode::AutoTest);
    });
    rig.click("btnOvtraTest");
    ASSERT_TRUE(checkedWhileRunning);
    EXPECT_EQ(rig.texts(), (std::vector<QByteArray>{"A3", "A3", "A0", "A0"}));
    EXPECT_EQ(rig.lines(), (QStringList{"#0001 CH062 PASS", "#0002 CH248 PASS", "#0003 CH385 PASS", "#0004 CH062 PASS",
                                        "#0005 CH248 PASS"}));
    EXPECT_EQ(rig.radio().mode(), RadioMode::Idle);
    EXPECT_EQ(rig.testButton()->text(), "Auto Test");
    EXPECT_TRUE(rig.find<QGroupBox>("gbOvtraSet")->isEnabled());
    EXPECT_TRUE(rig.find<QPushButton>("btnConnect")->isEnabled());
    EXPECT_NE(rig.message(), "Command Error!");

    // 100 ms after each start and stop text, 5 ms after each poll.
    const std::vector<int> &waits = rig.time.waits();
    ASSERT_GE(waits.size(), 9u);
    EXPECT_EQ(std::vector<int>(waits.begin(), waits.begin() + 2), (std::vector<int>{100, 100}));
    EXPECT_EQ(std::vector<int>(waits.end() - 2, waits.end()), (std::vector<int>{100, 100}));
    for (auto w = waits.begin() + 2; w != waits.end() - 2; ++w)
        EXPECT_EQ(*w, 5);

    // A second test starts afresh.
    rig.uhf().clearTexts();
    rig.stopAtLines(1);
    rig.click("btnOvtraTest");
    EXPECT_EQ(rig.lines(), QStringList{"#0001 CH062 PASS"});
}

TEST(RadioPage, OnlyFramesOfAtLeast27BytesWithStatusZeroAddLines)
{
    RadioRig rig;
    rig.radio().scriptAutoTest(
        {resultFrame(26, "SHORT"), resultFrame(27, "OK"), resultFrame(27, "FAILED", 0x01), resultFrame(40, "LONGER")});
    rig.stopAtLines(3);
    rig.click("btnOvtraTest");
    EXPECT_EQ(rig.lines(), (QStringList{"OK", "LONGER", "#0001 CH062 PASS"}));
}

TEST(RadioPage, ATestWithoutAnyLineEndsWithCommandError)
{
    RadioRig rig;
    rig.radio().scriptAutoTest({resultFrame(26, "A"), resultFrame(26, "B"), resultFrame(26, "C")});
    rig.onPoll([&](int n) {
        if (n == 3)
            QTest::mouseClick(rig.testButton(), Qt::LeftButton);
    });
    rig.click("btnOvtraTest");
    EXPECT_TRUE(rig.lines().isEmpty());
    EXPECT_EQ(rig.message(), "Command Error!");
    EXPECT_EQ(rig.texts(), (std::vector<QByteArray>{"A3", "A3", "A0", "A0"}));
    EXPECT_EQ(rig.testButton()->text(), "Auto Test");
}

TEST(RadioPage, DoubleClickingTheListClearsItWhileTheTestGoesOn)
{
    RadioRig rig;
    bool cleared = false;
    rig.onPoll([&](int) {
        if (!cleared && rig.list()->count() == 3) {
            cleared = true;
            QTest::mouseDClick(rig.list()->viewport(), Qt::LeftButton, {}, QPoint(5, 5));
            EXPECT_EQ(rig.list()->count(), 0);
        } else if (cleared && rig.list()->count() == 2) {
            QTest::mouseClick(rig.testButton(), Qt::LeftButton);
        }
    });
    rig.click("btnOvtraTest");
    EXPECT_EQ(rig.lines(), (QStringList{"#0004 CH062 PASS", "#0005 CH248 PASS"}));

    // Outside a test too.
    QTest::mouseDClick(rig.list()->viewport(), Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(rig.list()->count(), 0);
}

TEST(RadioPage, NothingElseSendsWhileTheTestReadsTheLink)
{
    RadioRig rig;
    rig.stopAtLines(3, [&](int n) {
        if (n != 1)
            return;
        EXPECT_FALSE(rig.tabEnabled("tsCommand"));
        EXPECT_FALSE(rig.tabEnabled("tsCommon"));
        EXPECT_TRUE(rig.tabEnabled("tsOvtra"));
        EXPECT_FALSE(rig.find<QComboBox>("chkPort")->isEnabled());
        EXPECT_FALSE(rig.window->findChild<QAction *>("mnuLanguage")->isEnabled());
        // A click on another page's tab, and on Connect, do nothing.
        auto *tabs = rig.find<QTabWidget>("pcMain");
        const QRect tab = tabs->tabBar()->tabRect(tabs->indexOf(rig.find<QWidget>("tsCommand")));
        QTest::mouseClick(tabs->tabBar(), Qt::LeftButton, {}, tab.center());
        EXPECT_EQ(tabs->currentWidget(), rig.find<QWidget>("tsOvtra"));
        QTest::mouseClick(rig.find<QPushButton>("btnConnect"), Qt::LeftButton);
    });
    rig.click("btnOvtraTest");
    EXPECT_EQ(rig.requests().size(), 4u) << "the two start and two stop texts only";
    EXPECT_EQ(rig.lines().size(), 3);
    EXPECT_TRUE(rig.tabEnabled("tsCommand"));
    EXPECT_TRUE(rig.find<QComboBox>("chkPort")->isEnabled());
    EXPECT_TRUE(rig.window->findChild<QAction *>("mnuLanguage")->isEnabled());
}

TEST(RadioPage, ClosingTheWindowEndsTheTestAndStopsTheModule)
{
    RadioRig rig;
    bool closed = false;
    rig.onPoll([&](int) {
        if (!closed && rig.list()->count() == 2) {
            closed = true;
            rig.window->close();
        }
    });
    rig.click("btnOvtraTest");
    ASSERT_TRUE(closed);
    EXPECT_EQ(rig.texts(), (std::vector<QByteArray>{"A3", "A3", "A0", "A0"})) << "stopped on the open link";
    EXPECT_EQ(rig.radio().mode(), RadioMode::Idle);
    EXPECT_FALSE(rig.window->isVisible());
    EXPECT_FALSE(rig.window->link().Connected());
    EXPECT_FALSE(rig.hid->isOpen());
}

TEST(RadioPage, TheTestStreamsOverTheSerialPortToo)
{
    RadioRig rig("KV350-LF-X", true);
    ASSERT_EQ(rig.window->link().Transport(), TransportKind::Serial);
    rig.stopAtLines(4);
    rig.click("btnOvtraTest");
    EXPECT_EQ(rig.lines().size(), 4);
    EXPECT_EQ(rig.lines().front(), "#0001 CH062 PASS");
    EXPECT_EQ(rig.texts(), (std::vector<QByteArray>{"A3", "A3", "A0", "A0"}));
    EXPECT_EQ(rig.radio().mode(), RadioMode::Idle);
}
