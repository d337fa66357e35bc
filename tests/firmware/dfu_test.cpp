// The download client against the virtual reader's boot loader, on USB, in virtual time.
#include "firmware/dfu.h"
#include "link/readerlink.h"
#include "readerlinkrig.h"
#include "rig.h"

#include <QList>
#include <gtest/gtest.h>

using namespace kv350;
using namespace kv350::firmware;

namespace {

struct DfuRig : ::testing::Test, VirtualReaderLink {
    Dfu dfu{hid, time};

    int isp() { return dfu.DFU_Reset_To_ISP(0x0E6A, 0x0317); }
    int download(const QByteArray &image, int checksumDelta = 0)
    {
        unsigned sum = 0;
        for (char b : image)
            sum += quint8(b);
        return dfu.DFU_Download(reinterpret_cast<const std::uint8_t *>(image.constData()), 0,
                                std::uint16_t(image.size()), std::uint16_t(sum + checksumDelta));
    }
    // The reader as the program identifies it after it started again.
    QString identified()
    {
        time.advance(reader.rebootTimeMs());
        return link.ConnectReader() ? link.ModelVersionText() : QStringLiteral("(not identified)");
    }
    int requestsWith(std::uint8_t cmd) const
    {
        return int(std::count_if(reader.requests().begin(), reader.requests().end(),
                                 [cmd](const QByteArray &r) { return quint8(r[2]) == cmd; }));
    }
};

std::vector<QByteArray> goldenRequests()
{
    QFile file(QStringLiteral(KV350_TEST_DATA "/bootloader_session.txt"));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly | QIODevice::Text));
    std::vector<QByteArray> requests;
    while (!file.atEnd()) {
        const QByteArray line = file.readLine().trimmed();
        if (!line.isEmpty() && !line.startsWith('#'))
            requests.push_back(QByteArray::fromHex(line.split('|').value(1)));
    }
    return requests;
}

}  // namespace

TEST_F(DfuRig, SendsExactlyTheGoldenSessionAndTheReaderComesBackWithTheNewVersion)
{
    const QByteArray image = programImage("KV350-MIC", "V2.0", 16) + hex("01 02 03 04");
    EXPECT_EQ(isp(), 1);
    EXPECT_TRUE(reader.bootLoader().active());
    EXPECT_GE(time.nowMs(), reader.rebootTimeMs()) << "waited for the reader to come back";
    EXPECT_EQ(download(image), 1);
    dfu.DFU_Reset_To_AP();
    EXPECT_FALSE(hid.isOpen()) << "the handle is let go";
    EXPECT_EQ(reader.requests(), goldenRequests());
    EXPECT_TRUE(time.waits().empty()) << "the client's waits are its own, not the program's";
    EXPECT_EQ(identified(), "KV350-MIC   V2.0");
}

TEST_F(DfuRig, ReaderAlreadyInItsBootLoaderIsNotAskedAgain)
{
    reader.handle(hex("02 02 0F 0F"));  // e.g. through its serial port
    reader.takeRebootRequest();
    reader.clearRequests();
    EXPECT_EQ(isp(), 1);
    EXPECT_EQ(reader.requests(), (std::vector<QByteArray>{hex("02 01 70")}));
    EXPECT_EQ(reader.bootLoader().entries(), 1);
}

TEST_F(DfuRig, IspFailuresAreTold)
{
    hid.setIds(0x1234, 0x5678);
    EXPECT_EQ(isp(), Dfu::NoDevice);
    EXPECT_TRUE(reader.requests().empty());
    EXPECT_EQ(dfu.lastError(), "no USB HID device 0E6A:0317") << "upper case for the hex ids alone";
    EXPECT_EQ(dfu.DFU_Reset_To_ISP(0x1234, 0x5678), 1) << "found by the ids it was given";

    sim::VirtualReader refusing;
    refusing.bootLoader().setRefuseEntry(true);
    sim::SimHidDevice refusingHid{refusing, time};
    Dfu refused{refusingHid, time};
    EXPECT_EQ(refused.DFU_Reset_To_ISP(0x0E6A, 0x0317), Dfu::Refused);
    EXPECT_FALSE(refusing.bootLoader().active());
    EXPECT_FALSE(refusingHid.isOpen());

    sim::VirtualReader slow;
    slow.setRebootTimeMs(Dfu::ReturnTimeoutMs + 1000);
    sim::SimHidDevice slowHid{slow, time};
    Dfu waiting{slowHid, time};
    EXPECT_EQ(waiting.DFU_Reset_To_ISP(0x0E6A, 0x0317), Dfu::NotBack);
}

TEST_F(DfuRig, DownloadNeedsTheBootLoader)
{
    EXPECT_EQ(download("abc"), 0);
    EXPECT_TRUE(reader.requests().empty());
}

TEST_F(DfuRig, FullImageGoesInChunksAndLandsWhole)
{
    const QByteArray image = programImage("KV350-MIC", "V3.0", 0x3400);
    ASSERT_EQ(isp(), 1);
    EXPECT_EQ(download(image), 1);
    EXPECT_EQ(reader.bootLoader().applicationArea(), image);
    EXPECT_EQ(requestsWith(0x72), (0x3400 + 55) / 56);
    dfu.DFU_Reset_To_AP();
    EXPECT_EQ(identified(), "KV350-MIC   V3.0");
}

TEST_F(DfuRig, WrongChecksumFailsAndTheNextDownloadMayFollow)
{
    const QByteArray image = programImage("KV350-MIC", "V2.0", 200);
    ASSERT_EQ(isp(), 1);
    EXPECT_EQ(download(image, 1), 0);
    EXPECT_TRUE(dfu.lastError().contains("checksum")) << dfu.lastError().toStdString();
    EXPECT_FALSE(reader.bootLoader().applicationValid());
    EXPECT_EQ(download(image), 1);
    EXPECT_TRUE(reader.bootLoader().applicationValid());
}

TEST_F(DfuRig, LostAcknowledgementIsCoveredBySendingTheChunkAgain)
{
    const QByteArray image = programImage("KV350-MIC", "V2.0", 200);
    ASSERT_EQ(isp(), 1);
    reader.faults().queue(sim::Fault::none(), 2);  // BEGIN, chunk 0
    reader.faults().queue(sim::Fault::noReply());  // chunk 1 arrives, its reply does not
    EXPECT_EQ(download(image), 1);
    EXPECT_EQ(reader.bootLoader().applicationArea().left(200), image);
    EXPECT_EQ(requestsWith(0x72), 4 + 1) << "four chunks, one of them twice";
}

TEST_F(DfuRig, FailedProgrammingAndAReaderThatVanishesBetweenAttempts)
{
    const QByteArray image = programImage("KV350-MIC", "V2.0", 100);
    ASSERT_EQ(isp(), 1);
    reader.bootLoader().failDownloads(1);
    EXPECT_EQ(download(image), 0);
    EXPECT_TRUE(dfu.lastError().contains("flash")) << dfu.lastError().toStdString();

    hid.unplug();
    EXPECT_EQ(download(image), 0);
    hid.plug();
    EXPECT_EQ(download(image), 1) << "the boot loader is opened again";
    dfu.DFU_Reset_To_AP();
    EXPECT_FALSE(reader.bootLoader().active());
}

TEST_F(DfuRig, StartingWithoutAVerifiedImageLeavesTheReaderInItsBootLoader)
{
    ASSERT_EQ(isp(), 1);
    EXPECT_EQ(download(programImage("KV350-MIC", "V2.0", 100), 5), 0);
    dfu.DFU_Reset_To_AP();
    EXPECT_TRUE(reader.bootLoader().active());
    EXPECT_TRUE(dfu.lastError().contains("no verified application")) << dfu.lastError().toStdString();
    EXPECT_EQ(identified(), "KV350-MIC   BOOT") << "a reader left there still identifies itself";
}

TEST_F(DfuRig, CloseLeavesADeviceItDidNotOpenAlone)
{
    ASSERT_TRUE(link.ConnectReader());
    dfu.close();
    EXPECT_TRUE(hid.isOpen()) << "the link's handle";
}
