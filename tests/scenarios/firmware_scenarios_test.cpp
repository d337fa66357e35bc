// Firmware files that must not reach a reader, and a download whose link is
// cut at every step: never reported as success unless the reader runs the
// new firmware, and a retry from the boot loader succeeds.
#include "firmware/upgrade.h"
#include "firmware/upgradereport.h"
#include "readerlinkrig.h"
#include "rig.h"

#include <gtest/gtest.h>

using namespace kv350;
using namespace kv350::firmware;
using sim::Fault;

namespace {

struct Texts : MessagePanel, Sounder {
    QStringList shown;
    void setMessage(const QString &t) override { shown.append(t); }
    void setMessageColour(ColourValue) override {}
    void tone(int, int) override {}
};

struct Quiet : UpgradeView {
    explicit Quiet(ReaderLink &l) : link(l) {}
    void setBusy(bool) override {}
    void setProgressMaximum(int) override {}
    void setProgress(int) override {}
    void showFileHeader(const QString &, const QString &, const QString &, const QString &) override {}
    void reconnect() override { link.Reconnect(); }
    ReaderLink &link;
};

struct Upgrade : VirtualReaderLink {
    Texts texts;
    Reporter reporter{texts, time, texts};
    Dfu dfu{hid, time};
    Quiet view{link};
    FirmwareUpgrade upgrade{link, time, dfu, view, upgradeReporter(reporter)};
    FileFolder files;

    bool run(const QString &file) { return upgrade.upgradeConnectedReader(file, {"0E6A", "0317"}); }
    bool runsVersion(const char *version) const
    {
        return !reader.bootLoader().active() && reader.identity().version == version;
    }
};

}  // namespace

TEST(FirmwareScenario, DamagedFilesAreRefusedBeforeTheBootLoader)
{
    struct Row {
        const char *name;
        QByteArray file;  // empty: FileFolder::firmware of the right model
        const char *message;
    };
    const QByteArray image = programImage("KV350-MIC", "V2.0", 400);
    const Row rows[] = {
        {"header of another model", packKfwFile("KV350-U1", "V2.0", image), "Firmware type error!"},
        {"header with no model", packKfwFile("", "V2.0", image), "Firmware type error!"},
        {"header cut short", packKfwFile("KV350-MIC", "V2.0", image).left(11), "Failed to load firmware."},
        {"header and nothing else", packKfwFile("KV350-MIC", "V2.0", {}), "The firmware file holds no program code."},
        {"an empty file", QByteArray(), "Failed to load firmware."},
    };
    for (bool serialPort : {false, true}) {
        for (const Row &r : rows) {
            SCOPED_TRACE(std::string(r.name) + (serialPort ? " (serial)" : " (usb)"));
            Upgrade u;
            if (serialPort)
                u.link.useSerialPort("/dev/virtual");
            EXPECT_FALSE(u.run(u.files.write("damaged.KFW", r.file)));
            EXPECT_EQ(u.texts.shown.last(), r.message);
            EXPECT_EQ(u.reader.bootLoader().entries(), 0) << "never asked into its boot loader";
            EXPECT_EQ(u.serial.written().count(hex("02020F0F")), 0);
            EXPECT_TRUE(u.runsVersion("V1.0"));
            EXPECT_TRUE(u.link.Connected()) << "the reader still answers";
        }
    }
}

TEST(FirmwareScenario, LinkCutAtEveryStepIsNeverASuccessAndARetryFromTheBootLoaderSucceeds)
{
    // The requests of a clean USB upgrade of a 200-byte image, counted once.
    int steps = 0;
    {
        Upgrade u;
        ASSERT_TRUE(u.run(u.files.firmware("KV350-MIC", "V2.0", 200)));
        steps = int(u.reader.requests().size());
        ASSERT_GE(steps, 12);  // identify 2, STATUS, 0F 0F, STATUS, BEGIN, 4 DATA, END, RUN, identify 2
    }
    struct Cut {
        const char *name;
        Fault fault;
    } cuts[] = {
        {"write fails, back in 300 ms", Fault::deviceGone(300)},
        {"write fails, gone for good", Fault::deviceGone(-1)},
        {"carried out, reply lost, back in 300 ms", Fault::vanish(0, 300)},
        {"carried out, reply lost, gone for good", Fault::vanish(0, -1)},
    };
    int failures = 0;
    for (int step = 0; step < steps; ++step) {
        for (const Cut &cut : cuts) {
            SCOPED_TRACE(QStringLiteral("request %1, %2").arg(step).arg(cut.name).toStdString());
            Upgrade u;
            const QString file = u.files.firmware("KV350-MIC", "V2.0", 200);
            u.reader.faults().queue(Fault::none(), step);
            u.reader.faults().queue(cut.fault);
            const bool done = u.run(file);
            if (done) {
                EXPECT_TRUE(u.runsVersion("V2.0")) << "complete means the reader runs it";
                EXPECT_EQ(u.texts.shown.last(), "KV350 firmware update complete.");
                continue;
            }
            ++failures;
            EXPECT_NE(u.texts.shown.last(), "KV350 firmware update complete.");
            EXPECT_TRUE(u.texts.shown.last() == "KV350 device error." || u.texts.shown.last() == "Disconnected")
                << u.texts.shown.last().toStdString();
            EXPECT_FALSE(u.reader.bootLoader().active() && u.reader.bootLoader().runs() > 0);

            // The reader comes back (wherever it was left) and the upgrade is tried again.
            u.reader.faults().deviceBack();
            u.time.advance(u.reader.rebootTimeMs());
            u.texts.shown.clear();
            EXPECT_TRUE(u.run(file)) << u.texts.shown.join(" | ").toStdString();
            EXPECT_TRUE(u.runsVersion("V2.0"));
        }
    }
    EXPECT_GT(failures, 0) << "some cuts must have failed the upgrade";
}

TEST(FirmwareScenario, BootLoaderThatRejectsTheChecksum)
{
    for (int rejections = 1; rejections <= 4; ++rejections) {
        SCOPED_TRACE(rejections);
        Upgrade u;
        const QString file = u.files.firmware("KV350-MIC", "V3.0", 300);
        u.reader.bootLoader().rejectChecksums(rejections);
        const bool done = u.run(file);
        EXPECT_EQ(done, rejections < 4) << "four attempts in all";
        if (done) {
            EXPECT_TRUE(u.runsVersion("V3.0"));
            continue;
        }
        EXPECT_EQ(u.texts.shown.last(), "KV350 device error.");
        EXPECT_TRUE(u.reader.bootLoader().active()) << "left in its boot loader, nothing unverified started";
        EXPECT_FALSE(u.reader.bootLoader().applicationValid());
        EXPECT_EQ(u.reader.bootLoader().runs(), 0);
        EXPECT_TRUE(u.dfu.lastError().contains("checksum")) << u.dfu.lastError().toStdString();
        EXPECT_TRUE(u.run(file)) << "the next try finds it in its boot loader";
        EXPECT_TRUE(u.runsVersion("V3.0"));
    }
}
