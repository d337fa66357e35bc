// The main window against the virtual reader, offscreen and in virtual time.
#include "windowrig.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <gtest/gtest.h>

using namespace kv350;

using namespace kv350::testing;

TEST(MainWindow, StartsConnectedToTheReaderWithItsPages)
{
    WindowRig rig("KV350-MIC");
    EXPECT_FALSE(rig.tabVisible("tsISO15693")) << "hidden until a reader says otherwise";
    EXPECT_FALSE(rig.tabVisible("tsOvtra"));
    rig.show();
    EXPECT_EQ(rig.status(), "[Connected] (KV350-MIC   V1.0) (SN:12345678)");
    EXPECT_EQ(rig.message(), "Command Done.");
    EXPECT_EQ(rig.sounder.tones, std::vector<int>{2730});
    EXPECT_EQ(rig.sounder.durations, std::vector<int>{500});
    for (const char *page :
         {"tsCommon", "tsAuto", "tsNTAG", "tsMifare", "tsMifareKey", "tsISO15693", "tsCommand", "tsFirmware"})
        EXPECT_TRUE(rig.tabVisible(page)) << page;
    for (const char *page : {"tsLF", "tsOvtra", "tsK7704"})
        EXPECT_FALSE(rig.tabVisible(page)) << page;
    EXPECT_TRUE(rig.find<QLineEdit>("edRequestAscii")->isHidden());
    EXPECT_EQ(rig.find<QComboBox>("cmbFormat")->currentText(), "16H");
    EXPECT_EQ(rig.window->windowTitle(), "KV350 Tools V0182");
    EXPECT_EQ(rig.window->size(), QSize(754, 588));

    // The port list: USB first, and with no port found the sixteen fallbacks.
    QComboBox *ports = rig.find<QComboBox>("chkPort");
    EXPECT_EQ(ports->count(), 17);
    EXPECT_EQ(ports->currentIndex(), 0);
    EXPECT_EQ(ports->itemText(0), "USB Auto");
}

TEST(MainWindow, StatusPanelShowsControlCharactersOfTheIdentityEscaped)
{
    WindowRig rig("KV350-M1");
    rig.reader->setSerial("<b>1\r\n\x1B");
    rig.reader->setVersion("\x07V1");
    rig.show();
    auto *status = rig.find<QLabel>("pnStatus");
    EXPECT_EQ(status->text().toStdString(), "[Connected] (KV350-M1    \\x07V1 ) (SN:<b>1\\x0D\\x0A\\x1B)");
    EXPECT_EQ(status->textFormat(), Qt::PlainText) << "a reader's text is never taken for markup";
}

TEST(MainWindow, StartsWithoutAReader)
{
    WindowRig rig;
    rig.hid->unplug();
    rig.show();
    EXPECT_EQ(rig.status(), "Disconnected");
    EXPECT_EQ(rig.message(), "Command Error!");
    EXPECT_EQ(rig.sounder.tones.back(), 300);
    EXPECT_EQ(rig.sounder.durations.back(), 500);
    EXPECT_TRUE(rig.tabVisible("tsLF")) << "the pages of the start stay as they were";
}

TEST(MainWindow, LfXModelShowsItsPagesAndTheAsciiField)
{
    WindowRig rig("KV350-LF-X");
    rig.show();
    EXPECT_TRUE(rig.tabVisible("tsOvtra"));
    EXPECT_TRUE(rig.tabVisible("tsLF"));
    EXPECT_FALSE(rig.tabVisible("tsMifare"));
    EXPECT_FALSE(rig.find<QLineEdit>("edRequestAscii")->isHidden());
    EXPECT_EQ(rig.find<QComboBox>("cmbFormat")->currentText(), "8H") << "the LF rule overrides the radio rule's 16H";
}

TEST(MainWindow, LanguageChoiceIsStoredAndReconnectsInTheNewLanguage)
{
    WindowRig rig;
    rig.show();
    rig.reader->clearRequests();
    rig.window->mnuTraditionalClick();
    EXPECT_EQ(rig.store.m_value, QString("ChineseBIG5"));
    EXPECT_EQ(rig.window->windowTitle(), QString::fromUtf8("KV350 工具程式 V0182"));
    EXPECT_EQ(rig.status(), QString::fromUtf8("[已連線] (KV350-MIC   V1.0) (SN:12345678)"));
    EXPECT_EQ(rig.message(), QString::fromUtf8("指令完成。"));
    EXPECT_EQ(rig.reader->requests(),
              (std::vector<QByteArray>{QByteArray::fromHex("02010D"), QByteArray::fromHex("02010E")}))
        << "the reader is identified again";
    EXPECT_EQ(rig.find<QComboBox>("chkPort")->itemText(0), QString::fromUtf8("USB 自動"));
    QTabWidget *tabs = rig.find<QTabWidget>("pcMain");
    EXPECT_EQ(tabs->tabText(tabs->indexOf(rig.find<QWidget>("tsAuto"))), QString::fromUtf8("自動讀卡"));

    // The next start opens in the stored language.
    WindowRig next("KV350-MIC", QString("ChineseGB"));
    next.show();
    EXPECT_EQ(next.message(), QString::fromUtf8("指令完成。"));
    EXPECT_EQ(next.window->language().LanguageIndex(), 1);

    WindowRig lower("KV350-MIC", QString("chinesegb"));
    lower.show();
    EXPECT_EQ(lower.message(), "Command Done.") << "names are exact";
}

TEST(MainWindow, TransactionsFromAnyPageAreMirroredInTheTxRxLines)
{
    WindowRig rig;
    rig.show();
    ASSERT_TRUE(rig.window->link().ExecuteCommand(QByteArray::fromHex("02020304")));
    EXPECT_EQ(rig.find<QLineEdit>("edTX")->text(), "TX : 02 02 03 04 ");
    EXPECT_EQ(rig.find<QLineEdit>("edRX")->text(), "RX : 02 04 03 00 04 05 ");
    EXPECT_EQ(rig.find<QLineEdit>("edResponse")->text(), "02 04 03 00 04 05 ");
    EXPECT_EQ(rig.find<QLineEdit>("edRequest")->text(), "02 02 03 04 ");
}

TEST(MainWindow, PortAndIdsChooseTheTransport)
{
    WindowRig rig;
    rig.ports.ports = {"/dev/ttyUSB0", "/dev/ttyACM0"};
    rig.show();
    QComboBox *ports = rig.find<QComboBox>("chkPort");
    ASSERT_EQ(ports->count(), 3);
    rig.window->chkPortCloseUp(1);
    EXPECT_EQ(rig.window->link().Transport(), TransportKind::Serial);
    EXPECT_EQ(rig.window->link().PortPath(), "/dev/ttyUSB0");
    EXPECT_FALSE(rig.window->link().Connected()) << "no connection until asked";
    rig.window->chkPortCloseUp(0);
    EXPECT_EQ(rig.window->link().Transport(), TransportKind::Usb);

    QLineEdit *vid = rig.find<QLineEdit>("edVID2");
    vid->setText("1234");
    EXPECT_EQ(rig.window->link().podRecord().VID, 0x1234u);
    vid->setText("zz");
    EXPECT_EQ(rig.window->link().podRecord().VID, 0x0E6Au) << "what does not convert falls back to the default";
    // Only plain hex digits convert: no blank, sign or prefix.
    QLineEdit *pid = rig.find<QLineEdit>("edPID2");
    for (const char *text : {" 1A", "1 ", "+1A", "0x1", "-1"}) {
        vid->setText("1234");
        pid->setText("1234");
        vid->setText(QLatin1String(text));
        pid->setText(QLatin1String(text));
        EXPECT_EQ(rig.window->link().podRecord().VID, 0x0E6Au) << '"' << text << '"';
        EXPECT_EQ(rig.window->link().podRecord().PID, 0x0317u) << '"' << text << '"';
    }
    pid->setText("0317");

    // The count edits of the two read-all groups re-read both IDs as well.
    for (const char *edit : {"edNAll", "edM1All", "edM1Num"}) {
        {
            const QSignalBlocker quiet(vid);
            vid->setText("1a2b");
        }
        rig.window->link().podRecord().VID = 0;
        rig.find<QLineEdit>(edit)->selectAll();
        QTest::keyClicks(rig.find<QLineEdit>(edit), "8");
        EXPECT_EQ(rig.window->link().podRecord().VID, 0x1A2Bu) << edit;
        EXPECT_EQ(rig.window->link().podRecord().PID, 0x0317u) << edit;
    }
}

TEST(MainWindow, ASerialLinkStaysSelectedAfterTheListIsRebuilt)
{
    WindowRig rig;
    rig.window->addExtraPort("/dev/virtual-reader", true);
    rig.show();
    EXPECT_TRUE(rig.window->link().Connected());
    EXPECT_EQ(rig.window->link().Transport(), TransportKind::Serial);
    QComboBox *ports = rig.find<QComboBox>("chkPort");
    EXPECT_EQ(ports->currentText(), "/dev/virtual-reader");
    rig.window->mnuEnglishClick();
    EXPECT_EQ(ports->currentText(), "/dev/virtual-reader") << "list and transport in step";
}

TEST(MainWindow, PageChangesWarnAboutFirmwareAndPrepareTheConsole)
{
    WindowRig rig;
    rig.show();
    QTabWidget *tabs = rig.find<QTabWidget>("pcMain");
    tabs->setCurrentWidget(rig.find<QWidget>("tsFirmware"));
    tabs->setCurrentIndex(0);
    tabs->setCurrentWidget(rig.find<QWidget>("tsFirmware"));
    ASSERT_EQ(rig.dialogs.shown.size(), 2u) << "every time the page is entered";
    EXPECT_EQ(rig.dialogs.shown[0].first, "Note !");
    tabs->setCurrentWidget(rig.find<QWidget>("tsCommand"));
    EXPECT_EQ(rig.find<QLineEdit>("edRequest")->text(), "02 02 01 01");
    EXPECT_EQ(rig.find<QComboBox>("cmbRequest")->currentIndex(), 0);

    rig.window->mnuAboutClick();
    EXPECT_EQ(rig.dialogs.shown.back().second,
              "Supported reader: KV350-M1,KV350-U1,KV350-MIC,KV350-IC,KV350-LF,KV350-MIC-X,KV350-A1 .");
}

TEST(MainWindow, ClosingClosesTheLink)
{
    WindowRig rig;
    rig.show();
    ASSERT_TRUE(rig.window->link().Connected());
    rig.window->close();
    EXPECT_FALSE(rig.window->link().Connected());
    EXPECT_FALSE(rig.hid->isOpen());
}

TEST(MainWindow, ATabTheModelRulesHideMovesToAnotherWithoutItsPageChangeStep)
{
    WindowRig rig("KV350-U1");
    rig.show();
    auto *tabs = rig.find<QTabWidget>("pcMain");
    // The user works on the Command page, then goes to the EPC page.
    tabs->setCurrentWidget(rig.find<QWidget>("tsCommand"));
    QLineEdit *data = rig.find<QLineEdit>("edRequestDATA");
    data->selectAll();
    QTest::keyClicks(data, "AA BB");
    const QString typed = rig.find<QLineEdit>("edRequest")->text();
    ASSERT_EQ(typed, "02 03 01 AA BB ");
    tabs->setCurrentWidget(rig.find<QWidget>("tsK7704"));

    // A KV350-M1 is identified: no EPC page, and Qt moves to the next tab, the Command page.
    rig.reader->setModel("KV350-M1");
    rig.click("btnConnect");
    ASSERT_FALSE(rig.tabVisible("tsK7704"));
    ASSERT_EQ(tabs->currentWidget(), rig.find<QWidget>("tsCommand"));
    EXPECT_EQ(rig.find<QLineEdit>("edRequest")->text(), typed) << "the first sample is not loaded over it";
    EXPECT_EQ(data->text(), "AA BB");

    // The user's own change still runs it.
    tabs->setCurrentWidget(rig.find<QWidget>("tsCommon"));
    tabs->setCurrentWidget(rig.find<QWidget>("tsCommand"));
    EXPECT_EQ(rig.find<QLineEdit>("edRequest")->text(), "02 02 01 01");
}
