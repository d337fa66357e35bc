// The Firmware page and the window around it, offscreen, against the virtual reader, in virtual time.
#include "app/frmmain.h"
#include "firmware/firmwarepage.h"
#include "readerlinkrig.h"
#include "rig.h"
#include "windowrig.h"

#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <deque>
#include <gtest/gtest.h>

using namespace kv350;
using namespace kv350::firmware;

namespace {

struct FakeDialogs : Dialogs {
    std::deque<QString> answers;  // what the open dialog returns, in turn; empty: cancelled
    std::vector<std::pair<QString, QString>> opened;
    std::vector<std::pair<QString, QString>> shown;
    void message(const QString &caption, const QString &text) override { shown.emplace_back(caption, text); }
    bool confirm(const Confirmation &) override { return false; }
    QString saveFile(const QString &, const QString &) override { return {}; }
    QString openFile(const QString &caption, const QString &filter) override
    {
        opened.emplace_back(caption, filter);
        if (answers.empty())
            return {};
        const QString answer = answers.front();
        answers.pop_front();
        return answer;
    }
};

struct Panel : MessagePanel, Sounder {
    QStringList texts;
    QStringList errors;  // texts shown in red
    void setMessage(const QString &t) override { texts.append(t); }
    void setMessageColour(ColourValue c) override
    {
        if (c == ColourRed)
            errors.append(texts.last());
    }
    void tone(int, int) override {}
};

sim::Identity identity(const char *model)
{
    sim::Identity id;
    id.model = model;
    return id;
}

struct PageRig : VirtualReaderLink {
    explicit PageRig(const char *model = "KV350-M1") : VirtualReaderLink(identity(model))
    {
        reporter.setTextLookup(language.textLookup());
        QObject::connect(&page, &FirmwarePage::reconnectRequested, [this] {
            ++reconnects;
            link.Reconnect();
        });
    }
    QString text(const char *name) { return page.findChild<QLineEdit *>(name)->text(); }
    QStringList boxes()
    {
        return {text("edCodeSize"), text("edCodeChecksum"), text("edCodeType"), text("edCodeVersion")};
    }
    void click(const char *name) { page.findChild<QPushButton *>(name)->click(); }
    // Chooses this file in the dialog of the given button.
    void choose(const char *button, const QString &path)
    {
        dialogs.answers.push_back(path);
        click(button);
    }
    QProgressBar *bar() { return page.findChild<QProgressBar *>("pbProc"); }

    Panel panel;
    Reporter reporter{panel, time, panel};
    i18n::Localizer language;
    FakeDialogs dialogs;
    PageContext context{link, reporter, time, language, dialogs};
    FirmwarePage page{context, {dialogs, hid, time}};
    FileFolder files;
    int reconnects = 0;
};

}  // namespace

TEST(FirmwarePage, SelectingAFileConnectsLoadsAndShowsItsHeader)
{
    PageRig rig;
    const QString path = rig.files.firmware("KV350-M1", "V2.0", 0x1234);
    rig.choose("btnFile", path);
    EXPECT_TRUE(rig.link.Connected());
    ASSERT_EQ(rig.dialogs.opened.size(), 1u);
    EXPECT_EQ(rig.dialogs.opened[0].first, "Select firmware file");
    EXPECT_EQ(rig.dialogs.opened[0].second, "Firmware files (*.KFW *.kfw)");
    EXPECT_EQ(rig.text("edFile"), path);
    EXPECT_EQ(rig.boxes(),
              (QStringList{"1234", hexWord(rig.page.firmwareState().FirmwareChecksum), "KV350-M1", "V2.0"}));
    EXPECT_EQ(rig.panel.texts, (QStringList{"", "Firmware file loaded."}));
    EXPECT_TRUE(rig.panel.errors.isEmpty());
    EXPECT_EQ(rig.bar()->maximum(), 50);
    EXPECT_EQ(rig.bar()->value(), 0);
    EXPECT_TRUE(rig.page.isEnabled());
}

TEST(FirmwarePage, TypeMustMatchTheReaderExactlyBarTheHeadersBlanks)
{
    PageRig rig("KV350-M1");
    struct Case {
        QByteArray type;
        bool accepted;
    };
    for (const Case &c : {Case{"KV350-M1", true}, Case{"KV350-U1", false}, Case{"KV350-m1", false},
                          Case{"KV350-M1    ", true}, Case{"  KV350-M1", true}, Case{"KV350-M1X", false}}) {
        SCOPED_TRACE(c.type.constData());
        rig.panel.errors.clear();
        rig.choose("btnFile", rig.files.write("t.KFW", packKfwFile(c.type, "V2.0", "code")));
        EXPECT_EQ(rig.text("edCodeType"), QString::fromLatin1(c.type)) << "shown as the header has it";
        EXPECT_EQ(rig.panel.errors, c.accepted ? QStringList{} : QStringList{"Firmware type error!"});
        EXPECT_TRUE(rig.panel.texts.contains("Firmware file loaded."));
    }
}

TEST(FirmwarePage, CancelledDialogAndBadFilesLeaveWhatWasLoaded)
{
    PageRig rig;
    const QString good = rig.files.firmware("KV350-M1");
    rig.choose("btnFile", good);
    const QStringList shown = rig.boxes();
    const std::uint16_t length = rig.page.firmwareState().FirmwareLength;

    rig.click("btnFile");  // cancelled
    EXPECT_EQ(rig.text("edFile"), good);
    EXPECT_EQ(rig.boxes(), shown);
    EXPECT_EQ(rig.page.firmwareState().FirmwareLength, length);
    EXPECT_EQ(rig.page.firmwareState().FirmwareImage[0], 'K') << "the image is untouched";

    rig.choose("btnFile", rig.files.write("short.KFW", QByteArray("KV350-M1\0\0\0\0V1", 14)));
    EXPECT_EQ(rig.panel.errors, QStringList{"Failed to load firmware."});
    EXPECT_EQ(rig.boxes(), shown) << "a file shorter than its header shows nothing of it";
    EXPECT_EQ(rig.page.firmwareState().FirmwareLength, length);
}

TEST(FirmwarePage, SelectingWithoutAReaderSaysDisconnectedAndOpensNoDialog)
{
    PageRig rig;
    rig.hid.unplug();
    rig.click("btnFile");
    EXPECT_EQ(rig.panel.errors, QStringList{"Disconnected"});
    EXPECT_TRUE(rig.dialogs.opened.empty());
}

TEST(FirmwarePage, HiddenPathChecksAgainstTheTypedModel)
{
    PageRig rig("KV350-M1");
    for (const char *name : {"edFIL", "btnFIL", "btnUPG"})
        EXPECT_TRUE(rig.page.findChild<QWidget *>(name)->isHidden()) << name;
    rig.click("btnSEC");
    for (const char *name : {"edFIL", "btnFIL", "btnUPG"})
        EXPECT_FALSE(rig.page.findChild<QWidget *>(name)->isHidden()) << name;
    EXPECT_EQ(rig.text("edFIL"), "KV350-M1");

    ASSERT_TRUE(rig.link.ConnectReader());
    rig.page.findChild<QLineEdit *>("edFIL")->setText("KV350-U1");
    rig.choose("btnFIL", rig.files.firmware("KV350-U1"));
    EXPECT_TRUE(rig.panel.errors.isEmpty()) << "a KV350-U1 file while a KV350-M1 is connected";
    EXPECT_EQ(rig.link.ModelName(), "KV350-U1");

    rig.page.findChild<QLineEdit *>("edFIL")->setText("KV350-M1 ");
    rig.choose("btnFIL", rig.files.firmware("KV350-M1"));
    EXPECT_EQ(rig.panel.errors, QStringList{"Firmware type error!"}) << "the typed name is taken as it is";
}

TEST(FirmwarePage, HiddenPathNeedsNoConnection)
{
    PageRig rig;
    rig.click("btnSEC");
    rig.choose("btnFIL", rig.files.firmware("KV350-M1", "V3.3"));
    EXPECT_TRUE(rig.reader.requests().empty());
    EXPECT_TRUE(rig.panel.errors.isEmpty());

    rig.click("btnUPG");
    EXPECT_EQ(rig.reconnects, 1);
    EXPECT_EQ(rig.bar()->value(), 100);
    EXPECT_EQ(rig.reader.identity().version, "V3.3");
    EXPECT_EQ(rig.reader.requests().front(), hex("02 01 70")) << "the download client came first";
}

TEST(FirmwarePage, UsbIdsComeFromTheIdBoxes)
{
    PageRig rig;
    rig.hid.setIds(0x1234, 0x0317);
    rig.click("btnSEC");
    rig.choose("btnFIL", rig.files.firmware("KV350-M1"));
    rig.page.findChild<QLineEdit *>("edVID")->setText("1234");
    rig.page.findChild<QLineEdit *>("edPID")->setText("317");
    rig.click("btnUPG");
    EXPECT_EQ(rig.reader.bootLoader().downloadsVerified(), 1);
}

namespace {

// The window against a virtual reader, shown, with a folder for firmware files.
struct WindowRig : kv350::testing::WindowRig {
    WindowRig() { show(); }
    FileFolder files;
};

}  // namespace

TEST(FirmwareWindow, PackedFileUpgradesTheReaderWhichThenReportsTheNewVersion)
{
    WindowRig rig;
    ASSERT_EQ(rig.find<QLabel>("pnStatus")->text(), "[Connected] (KV350-MIC   V1.0) (SN:12345678)");
    QTabWidget *tabs = rig.find<QTabWidget>("pcMain");
    tabs->setCurrentWidget(rig.find<QWidget>("tsFirmware"));
    ASSERT_EQ(rig.dialogs.shown.size(), 1u);
    EXPECT_EQ(rig.dialogs.shown[0].first, "Note !");

    rig.dialogs.answers.push_back(rig.files.firmware("KV350-MIC", "V2.0", 5000));
    rig.click("btnFile");
    EXPECT_EQ(rig.find<QLineEdit>("edCodeSize")->text(), "1388");
    EXPECT_EQ(rig.find<QLineEdit>("edCodeVersion")->text(), "V2.0");

    rig.sounder.tones.clear();
    rig.click("btnUpgrade");
    EXPECT_EQ(rig.find<QLabel>("pnStatus")->text(), "[Connected] (KV350-MIC   V2.0) (SN:12345678)");
    EXPECT_EQ(rig.sounder.tones, (std::vector<int>{2730, 2730})) << "completion, then the reconnect's report";
    EXPECT_EQ(rig.find<QLabel>("pnMsg")->text(), "Command Done.");
    EXPECT_EQ(tabs->currentWidget(), rig.find<QWidget>("tsFirmware")) << "the page stays";
    EXPECT_TRUE(rig.window->isEnabled());
}

TEST(FirmwareWindow, FailingDownloadIsReportedAsAFailure)
{
    WindowRig rig;
    rig.reader->bootLoader().failDownloads(4);
    rig.dialogs.answers.push_back(rig.files.firmware("KV350-MIC"));
    rig.click("btnFile");
    rig.sounder.tones.clear();
    rig.click("btnUpgrade");
    EXPECT_EQ(rig.find<QLabel>("pnMsg")->text(), "KV350 device error.");
    EXPECT_EQ(rig.sounder.tones, std::vector<int>{300});
    EXPECT_EQ(rig.find<QProgressBar>("pbProc")->value(), 75);
    EXPECT_TRUE(rig.reader->bootLoader().active());
    EXPECT_TRUE(rig.window->isEnabled());

    // Another try from the same button: the reader identifies from its boot loader.
    rig.sounder.tones.clear();
    rig.click("btnUpgrade");
    EXPECT_EQ(rig.find<QLabel>("pnStatus")->text(), "[Connected] (KV350-MIC   V2.0) (SN:12345678)");
}
