// The upgrade procedure step by step: progress, texts, waits and the bytes on
// both wires, against the virtual reader and its boot loader, in virtual time.
#include "firmware/upgrade.h"
#include "firmware/upgradereport.h"
#include "readerlinkrig.h"
#include "rig.h"

#include <gtest/gtest.h>
#include <numeric>

using namespace kv350;
using namespace kv350::firmware;

namespace {

struct EventPanel : MessagePanel, Sounder {
    std::vector<QString> &events;
    QStringList texts;  // every text, in order
    std::vector<int> tones;
    explicit EventPanel(std::vector<QString> &log) : events(log) {}
    void setMessage(const QString &t) override { texts.append(t); }
    void setMessageColour(ColourValue c) override
    {
        if (c != ColourButtonFace)
            events.push_back(QStringLiteral("%1 in %2").arg(texts.last(), c == ColourRed ? "red" : "yellow"));
    }
    void tone(int hz, int) override { tones.push_back(hz); }
};

struct View : UpgradeView {
    std::vector<QString> &events;
    ReaderLink &link;
    std::vector<int> progress;
    int maximum = 0;
    int depth = 0;
    QStringList header;
    int reconnects = 0;
    explicit View(std::vector<QString> &log, ReaderLink &l) : events(log), link(l) {}
    void setBusy(bool busy) override
    {
        depth += busy ? 1 : -1;
        if (depth == 0 || (busy && depth == 1))
            events.push_back(busy ? "busy" : "idle");
    }
    void setProgressMaximum(int m) override { maximum = m; }
    void setProgress(int p) override { progress.push_back(p); }
    void showFileHeader(const QString &s, const QString &c, const QString &t, const QString &v) override
    {
        header = QStringList{s, c, t, v};
    }
    void reconnect() override
    {
        ++reconnects;
        link.Reconnect();
    }
};

struct Rig : VirtualReaderLink {
    std::vector<QString> events;
    EventPanel panel{events};
    Reporter reporter{panel, time, panel};
    Dfu dfu{hid, time};
    View view{events, link};
    FirmwareUpgrade upgrade{link, time, dfu, view, upgradeReporter(reporter)};
    FileFolder files;
    const UsbIdTexts defaultIds{"0E6A", "0317"};

    // Connected as the window is after its start, the records cleared.
    void connectOver(bool serialPort)
    {
        if (serialPort)
            link.useSerialPort("/dev/virtual");
        ASSERT_TRUE(link.ConnectReader());
        time.clearRecord();
        reader.clearRequests();
    }
    int bootLoaderRequestsOnSerial() const { return int(serial.written().count(hex("02 02 0F 0F"))); }
    int procedureWaits() const { return std::accumulate(time.waits().begin(), time.waits().end(), 0); }
};

struct UpgradeRig : ::testing::Test, Rig {};

const std::vector<int> UsbWaitsBeforeDownload = {200, 100, 100, 200, 200, 200};  // close, identify, ISP steps
const std::vector<int> StepWaits = {200, 200, 200, 200};                         // 43, 45, 47, 60
const std::vector<int> WaitsAfterDownload = {200, 200, 3000, 100, 100};          // 80, 90, start, reconnect

std::vector<int> joined(std::initializer_list<std::vector<int>> parts)
{
    std::vector<int> all;
    for (const auto &p : parts)
        all.insert(all.end(), p.begin(), p.end());
    return all;
}

}  // namespace

TEST_F(UpgradeRig, UsbUpgradeRunsEveryStepAndReconnectsToTheNewFirmware)
{
    connectOver(false);
    ASSERT_TRUE(upgrade.upgradeConnectedReader(files.firmware("KV350-MIC"), defaultIds));

    EXPECT_EQ(view.maximum, 100);
    EXPECT_EQ(view.progress, (std::vector<int>{0, 10, 20, 30, 40, 43, 45, 47, 60, 80, 90, 100}));
    EXPECT_EQ(time.waits(), joined({UsbWaitsBeforeDownload, StepWaits, WaitsAfterDownload}));
    EXPECT_EQ(panel.texts, (QStringList{"", "Firmware file loaded.", "Update Firmware", "Update Firmware.",
                                        "Update Firmware..", "Update Firmware...", "Update Firmware......",
                                        "Update Firmware.......", "KV350 firmware update complete."}));
    EXPECT_EQ(panel.tones, std::vector<int>{2730});
    EXPECT_EQ(events, (std::vector<QString>{"busy", "KV350 firmware update complete. in yellow", "idle"}));
    EXPECT_EQ(view.header, (QStringList{"03E8", hexWord(upgrade.state().FirmwareChecksum), "KV350-MIC", "V2.0"}));

    EXPECT_EQ(view.reconnects, 1);
    EXPECT_EQ(link.Transport(), TransportKind::Usb);
    EXPECT_EQ(link.ModelVersionText(), "KV350-MIC   V2.0");
    EXPECT_EQ(serial.written(), QByteArray()) << "over USB the download client asks the reader itself";
    EXPECT_EQ(reader.bootLoader().entries(), 1);
}

TEST_F(UpgradeRig, SerialLinkWritesTheBootLoaderRequestTwiceThenDownloadsOverUsb)
{
    connectOver(true);
    ASSERT_TRUE(upgrade.upgradeConnectedReader(files.firmware("KV350-MIC", "V2.1"), defaultIds));

    EXPECT_EQ(bootLoaderRequestsOnSerial(), 2);
    EXPECT_TRUE(serial.written().endsWith(hex("02 02 0F 0F 02 02 0F 0F"))) << "nothing after them";
    EXPECT_EQ(time.waits(), joined({{200, 200, 50, 50, 5000, 200, 200}, StepWaits, WaitsAfterDownload}));
    EXPECT_GT(procedureWaits(), 9000);
    EXPECT_EQ(reader.bootLoader().entries(), 1) << "the second request found it restarting";
    EXPECT_EQ(link.Transport(), TransportKind::Usb) << "reconnected over USB";
    EXPECT_EQ(link.ModelVersionText(), "KV350-MIC   V2.1");
}

TEST_F(UpgradeRig, FailedDownloadsAreRetriedWithLongerWaitsAndFourFailuresAreAFailure)
{
    const std::vector<int> retryWaits[] = {{500, 500}, {1000, 1000}, {2000, 2000}};
    const std::vector<int> retrySteps = {65, 70, 75};
    const QStringList retryTexts = {"Update Firmware....", "Update Firmware.....", "Update Firmware....."};
    for (int failures = 1; failures <= 4; ++failures) {
        SCOPED_TRACE(failures);
        Rig rig;
        rig.connectOver(false);
        rig.reader.bootLoader().failDownloads(failures);
        const bool done = rig.upgrade.upgradeConnectedReader(rig.files.firmware("KV350-MIC"), rig.defaultIds);
        const int retries = std::min(failures, 3);

        std::vector<int> progress = {0, 10, 20, 30, 40, 43, 45, 47, 60};
        progress.insert(progress.end(), retrySteps.begin(), retrySteps.begin() + retries);
        std::vector<int> waits = joined({UsbWaitsBeforeDownload, StepWaits});
        for (int r = 0; r < retries; ++r)
            waits.insert(waits.end(), retryWaits[r].begin(), retryWaits[r].end());

        if (failures < 4) {
            EXPECT_TRUE(done);
            progress.insert(progress.end(), {80, 90, 100});
            waits.insert(waits.end(), WaitsAfterDownload.begin(), WaitsAfterDownload.end());
            EXPECT_EQ(rig.panel.texts.last(), "KV350 firmware update complete.");
            EXPECT_EQ(rig.panel.texts.mid(6, retries), retryTexts.mid(0, retries));
            EXPECT_EQ(rig.link.ModelVersionText(), "KV350-MIC   V2.0");
        } else {
            EXPECT_FALSE(done);
            EXPECT_EQ(rig.panel.texts.mid(6), retryTexts + QStringList{"KV350 device error."});
            EXPECT_EQ(rig.panel.tones, std::vector<int>{300});
            EXPECT_EQ(rig.view.reconnects, 0) << "no completion, no reconnect";
            EXPECT_TRUE(rig.reader.bootLoader().active()) << "left in its boot loader for another try";
            EXPECT_EQ(rig.reader.bootLoader().runs(), 0);
            EXPECT_FALSE(rig.hid.isOpen());
            EXPECT_FALSE(rig.link.Connected());
        }
        EXPECT_EQ(rig.view.progress, progress);
        EXPECT_EQ(rig.time.waits(), waits);
        EXPECT_EQ(rig.reader.bootLoader().downloadsBegun(), std::min(failures + 1, 4));
        EXPECT_EQ(rig.view.depth, 0);
    }
}

TEST_F(UpgradeRig, NoFileUnreadableFileOrAnotherModelLeaveTheReaderRunning)
{
    connectOver(true);
    struct Case {
        QString file;
        QString message;
    };
    const Case cases[] = {
        {"  ", "Please select firmware file!"},
        {files.path("missing.KFW"), "Failed to load firmware."},
        {files.write("short.KFW", "KV350-MIC"), "Failed to load firmware."},
        {files.firmware("KV350-U1"), "Firmware type error!"},
        {files.firmware("kv350-mic"), "Firmware type error!"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.message.toStdString());
        events.clear();
        EXPECT_FALSE(upgrade.upgradeConnectedReader(c.file, defaultIds));
        EXPECT_EQ(events, (std::vector<QString>{"busy", c.message + " in red", "idle"}));
        EXPECT_EQ(view.progress.back(), 10);
        EXPECT_EQ(bootLoaderRequestsOnSerial(), 0);
        EXPECT_FALSE(reader.bootLoader().active());
        EXPECT_TRUE(link.Connected()) << "identified, and left so";
        EXPECT_EQ(link.Transport(), TransportKind::Serial);
    }
    EXPECT_EQ(panel.texts.filter("Firmware file loaded.").size(), 2) << "the two type errors follow a load";
    EXPECT_TRUE(hid.writtenReports().empty()) << "the download client never started";
}

TEST_F(UpgradeRig, APayloadBeyondTheImageLoadsItsFirst3400BytesAndUpgrades)
{
    connectOver(false);
    const QByteArray payload = programImage("KV350-MIC", "V2.0", MaxFirmwareLength + 100);
    const QString file = files.write("long.KFW", packKfwFile("KV350-MIC", "V2.0", payload));
    ASSERT_TRUE(upgrade.upgradeConnectedReader(file, defaultIds)) << panel.texts.join(" / ").toStdString();
    const QByteArray image = payload.left(MaxFirmwareLength);
    const auto *bytes = reinterpret_cast<const std::uint8_t *>(image.constData());
    EXPECT_EQ(view.header,
              (QStringList{"3400", hexWord(imageChecksum(bytes, MaxFirmwareLength)), "KV350-MIC", "V2.0"}));
    EXPECT_EQ(reader.bootLoader().applicationArea(), image) << "the first 0x3400 bytes, the rest left out";
    EXPECT_EQ(panel.texts.filter("Failed to load firmware.").size(), 0);
    EXPECT_EQ(panel.texts.last(), "KV350 firmware update complete.");
}

TEST_F(UpgradeRig, AFileWithNoPayloadIsRefusedSayingWhy)
{
    connectOver(true);
    EXPECT_FALSE(
        upgrade.upgradeConnectedReader(files.write("empty.KFW", packKfwFile("KV350-MIC", "V2.0", {})), defaultIds));
    EXPECT_EQ(view.header, (QStringList{"0000", "0000", "KV350-MIC", "V2.0"})) << "its header is shown";
    EXPECT_EQ(events, (std::vector<QString>{"busy", "The firmware file holds no program code. in red", "idle"}));
    EXPECT_EQ(bootLoaderRequestsOnSerial(), 0);
    EXPECT_FALSE(reader.bootLoader().active());
}

TEST_F(UpgradeRig, NoReaderStopsWithDisconnectedAfterGivingTheWindowBack)
{
    hid.unplug();
    EXPECT_FALSE(upgrade.upgradeConnectedReader(files.firmware("KV350-MIC"), defaultIds));
    EXPECT_EQ(events, (std::vector<QString>{"busy", "idle", "Disconnected in red"}));
    EXPECT_EQ(view.progress, (std::vector<int>{0, 10}));
    EXPECT_TRUE(view.header.isEmpty()) << "no file was read";
}

TEST_F(UpgradeRig, ReaderThatRefusesItsBootLoaderIsADeviceError)
{
    connectOver(false);
    reader.bootLoader().setRefuseEntry(true);
    EXPECT_FALSE(upgrade.upgradeConnectedReader(files.firmware("KV350-MIC"), defaultIds));
    EXPECT_EQ(events, (std::vector<QString>{"busy", "KV350 device error. in red", "idle"}));
    EXPECT_EQ(view.progress.back(), 40);
    EXPECT_EQ(reader.bootLoader().downloadsBegun(), 0);
    EXPECT_FALSE(reader.bootLoader().active());
    EXPECT_FALSE(hid.isOpen());
}

TEST_F(UpgradeRig, HiddenProcedureDoesNotTouchTheLinkBeforeTheBootLoaderRequest)
{
    connectOver(true);
    const qsizetype written = serial.written().size();
    link.setModelName("KV350-U1");  // as the hidden file button does
    ASSERT_TRUE(upgrade.upgradeWithoutLink(files.firmware("KV350-U1", "V1.5"), defaultIds));

    EXPECT_EQ(serial.written().size(), written);
    ASSERT_FALSE(reader.requests().empty());
    EXPECT_EQ(reader.requests().front(), hex("02 01 70")) << "the download client comes first";
    EXPECT_EQ(view.progress, (std::vector<int>{0, 20, 30, 40, 43, 45, 47, 60, 80, 90, 100}));
    EXPECT_EQ(time.waits(), joined({{200}, StepWaits, WaitsAfterDownload}));
    EXPECT_EQ(link.ModelVersionText(), "KV350-MIC   V1.0")
        << "the reader keeps its model; the other model's record does not give it a version";
}

TEST_F(UpgradeRig, HiddenProcedureTakesTheUsbHandleOverAndTheLinkRecovers)
{
    connectOver(false);
    ASSERT_TRUE(upgrade.upgradeWithoutLink(files.firmware("KV350-MIC", "V4.0"), defaultIds));
    EXPECT_EQ(link.ModelVersionText(), "KV350-MIC   V4.0");
    EXPECT_TRUE(link.ExecuteCommand(hex("02 01 0D")));
}

TEST_F(UpgradeRig, DownloadFindsTheReaderByTheTypedIds)
{
    hid.setIds(0x1234, 0xABCD);
    ASSERT_TRUE(upgrade.upgradeWithoutLink(files.firmware(""), {"1234", "abcd"}));
    EXPECT_EQ(reader.bootLoader().downloadsVerified(), 1);

    events.clear();
    EXPECT_FALSE(upgrade.upgradeWithoutLink(files.firmware(""), {"", "G1"})) << "the defaults: no such device";
    EXPECT_EQ(events, (std::vector<QString>{"busy", "KV350 device error. in red", "idle"}));
    EXPECT_EQ(reader.bootLoader().downloadsBegun(), 1);
}
