#include "link/virtualtime.h"
#include "sim/transports/simhiddevice.h"
#include "testutil.h"

#include <gtest/gtest.h>

using namespace kv350::sim;

namespace {

QByteArray padded(const QByteArray &bytes)
{
    return bytes + QByteArray(64 - bytes.size(), '\0');
}

class HidDevice : public ::testing::Test {
protected:
    HidDevice() : device(reader, time) {}
    bool open() { return device.open(0x0E6A, 0x0317); }
    // The next report with a generous timeout; `when` is the virtual time it came.
    QByteArray next(qint64 *when = nullptr)
    {
        QByteArray out;
        EXPECT_EQ(device.readReport(out, 10'000), 64);
        if (when)
            *when = time.nowMs();
        return out;
    }
    int read(int timeoutMs)
    {
        QByteArray out;
        return device.readReport(out, timeoutMs);
    }

    kv350::VirtualTime time;
    VirtualReader reader;
    SimHidDevice device;
};

}  // namespace

TEST_F(HidDevice, OpensOnlyWithItsIds)
{
    EXPECT_FALSE(device.open(0x0E6A, 0x0318));
    EXPECT_FALSE(device.open(0x1234, 0x0317));
    EXPECT_FALSE(device.isOpen());
    device.setIds(0x1234, 0x5678);
    EXPECT_FALSE(open());
    EXPECT_TRUE(device.open(0x1234, 0x5678));
}

TEST_F(HidDevice, FramesTravelInZeroPaddedReports)
{
    ASSERT_TRUE(open());
    EXPECT_EQ(device.writeReport(hex("02 01 0D")), 3);
    EXPECT_EQ(device.writtenReports().back(), padded(hex("02 01 0D")));
    EXPECT_EQ(next(), padded(serialReply));

    // 106-byte request: two output reports, one frame for the reader.
    QByteArray data;
    for (int i = 0; i < 100; ++i)
        data.append(char(i + 1));
    const QByteArray request = hex("02 68 0C 00 10 64") + data;
    EXPECT_EQ(device.writeReport(request.left(64)), 64);
    EXPECT_EQ(reader.requests().size(), 1u);
    EXPECT_EQ(device.writeReport(request.mid(64)), 42);
    EXPECT_EQ(reader.requests().back(), request);
    EXPECT_EQ(next(), padded(hex("02 02 0C 00")));

    // 140-byte reply: three input reports, all due at once.
    device.writeReport(hex("02 04 0C 00 00 88"));
    const QByteArray reply = hex("02 8A 0C 00") + reader.userMemory().left(136);
    EXPECT_EQ(next(), reply.left(64));
    EXPECT_EQ(next(), reply.mid(64, 64));
    EXPECT_EQ(next(), padded(reply.mid(128)));
    EXPECT_EQ(time.nowMs(), 0);

    // Not a frame start, or too long to be a report: nothing reaches the reader.
    EXPECT_EQ(device.writeReport(hex("00 02 01 0D")), 4);
    EXPECT_EQ(device.writeReport(QByteArray(65, '\x02')), -1);
    EXPECT_EQ(reader.requests().size(), 3u);
}

TEST_F(HidDevice, TimeoutsAdvanceTheClockExactly)
{
    ASSERT_TRUE(open());
    EXPECT_EQ(read(250), 0);
    EXPECT_EQ(time.nowMs(), 250);
    reader.faults().queue(Fault::late(300));
    device.writeReport(hex("02 01 0D"));  // due at 550
    EXPECT_EQ(read(299), 0);
    EXPECT_EQ(time.nowMs(), 549);
    EXPECT_EQ(read(100), 64);
    EXPECT_EQ(time.nowMs(), 550);
    // A negative timeout waits for what is in flight, and for nothing else.
    EXPECT_EQ(read(-1), 0);
    EXPECT_EQ(time.nowMs(), 550);
    reader.faults().queue(Fault::late(5000));
    device.writeReport(hex("02 01 0E"));
    EXPECT_EQ(read(-1), 64);
    EXPECT_EQ(time.nowMs(), 5550);
}

TEST_F(HidDevice, SplitRepliesKeepReportsWholeWithGapsBetween)
{
    ASSERT_TRUE(open());
    qint64 when = -1;
    // A short frame is one report, due with its last piece.
    reader.faults().queue(Fault::split(4, 30));
    device.writeReport(hex("02 01 0D"));
    EXPECT_EQ(device.reportsInFlight(), 1);
    EXPECT_EQ(next(&when), padded(serialReply));
    EXPECT_EQ(when, 60);
    // 10-byte pieces every 5 ms: pieces 6, 12 and 13 complete the three reports.
    reader.faults().queue(Fault::split(10, 5));
    device.writeReport(hex("02 04 0C 00 00 88"));
    for (const qint64 due : {90, 120, 125}) {
        next(&when);
        EXPECT_EQ(when, due);
    }
}

TEST_F(HidDevice, ByteFaultsArriveAsBytes)
{
    ASSERT_TRUE(open());
    reader.faults().queue(Fault::noise(hex("A5 5A 00 FF")));
    reader.faults().queue(Fault::truncated(6));
    reader.faults().queue(Fault::overLong(0xFF));
    reader.faults().queue(Fault::wrongCmd(0x03));
    reader.faults().queue(Fault::noReply());
    for (int i = 0; i < 5; ++i)
        device.writeReport(hex("02 01 0D"));
    EXPECT_EQ(next(), padded(hex("A5 5A 00 FF")));
    EXPECT_EQ(next(), padded(serialReply));
    EXPECT_EQ(next(), padded(serialReply.left(6)));
    EXPECT_EQ(next(), padded(hex("02 FF") + serialReply.mid(2)));
    EXPECT_EQ(next(), padded(hex("02 0A 03") + serialReply.mid(3)));
    EXPECT_EQ(read(0), 0);
}

TEST_F(HidDevice, UnplugBreaksTheHandleUntilReopenedAfterPlug)
{
    ASSERT_TRUE(open());
    device.writeReport(hex("02 01 0D"));
    reader.faults().queue(Fault::late(100));
    device.writeReport(hex("02 01 0E"));
    device.unplug();
    EXPECT_EQ(read(0), 64);     // had arrived: still readable, like hidraw
    EXPECT_EQ(read(1000), -1);  // the late one never comes
    EXPECT_EQ(time.nowMs(), 0);
    EXPECT_EQ(device.writeReport(hex("02 01 0D")), -1);
    EXPECT_FALSE(open());
    device.plug();
    EXPECT_EQ(device.writeReport(hex("02 01 0D")), -1);  // the old handle stays broken
    ASSERT_TRUE(open());
    EXPECT_EQ(device.writeReport(hex("02 01 0D")), 3);
    EXPECT_EQ(read(0), 64);
    // close drops what was in flight to the handle
    reader.faults().queue(Fault::late(10));
    device.writeReport(hex("02 01 0D"));
    device.close();
    EXPECT_EQ(read(0), -1);
    ASSERT_TRUE(open());
    EXPECT_EQ(read(100), 0);
}

TEST_F(HidDevice, RebootUnplugsForTheRebootTimeOnceTheReplyIsOut)
{
    reader.setRebootTimeMs(1500);
    ASSERT_TRUE(open());
    device.writeReport(hex("02 03 03 04 07"));
    reader.faults().queue(Fault::late(100));
    device.writeReport(hex("02 02 0F 01"));
    device.writeReport(hex("02 01 0D"));  // before the reboot: answered at once
    reader.faults().queue(Fault::late(400));
    device.writeReport(hex("02 01 0D"));  // would come after the unplug
    next();
    EXPECT_EQ(next().left(3), hex("02 0A 0D"));
    EXPECT_EQ(read(50), 0);
    qint64 when = -1;
    EXPECT_EQ(next(&when), padded(hex("02 02 0F 00")));
    EXPECT_EQ(when, 100);
    EXPECT_EQ(read(1000), -1);
    EXPECT_EQ(time.nowMs(), 100);
    EXPECT_EQ(device.writeReport(hex("02 01 0D")), -1);
    device.close();

    time.advance(1499);
    EXPECT_FALSE(open());
    time.advance(1);
    ASSERT_TRUE(open());
    device.writeReport(hex("02 02 03 04"));
    EXPECT_EQ(next(), padded(hex("02 04 03 00 04 07")));
}

TEST_F(HidDevice, HandleOpenedBeforeTheUnplugReadsMinusOneThere)
{
    reader.setRebootTimeMs(200);
    ASSERT_TRUE(open());
    reader.faults().queue(Fault::late(100));
    device.writeReport(hex("02 02 0F 01"));
    device.close();  // the reply goes with the old handle
    ASSERT_TRUE(open());
    EXPECT_EQ(read(40), 0);
    EXPECT_EQ(read(1000), -1);
    EXPECT_EQ(time.nowMs(), 100);
}

TEST_F(HidDevice, RebootThatPassedUnseenStillBrokeTheHandle)
{
    reader.setRebootTimeMs(300);
    ASSERT_TRUE(open());
    device.writeReport(hex("02 02 0F 01"));
    time.advance(5000);
    EXPECT_TRUE(device.isPresent());
    EXPECT_EQ(read(0), 64);
    EXPECT_EQ(read(0), -1);
    ASSERT_TRUE(open());
    EXPECT_EQ(device.writeReport(hex("02 01 0D")), 3);
}

TEST_F(HidDevice, DeviceGoneFaultFailsTheWriteUntilBack)
{
    ASSERT_TRUE(open());
    reader.faults().queue(Fault::deviceGone());
    EXPECT_EQ(device.writeReport(hex("02 01 0D")), -1);
    EXPECT_TRUE(reader.requests().empty());
    EXPECT_EQ(read(100), -1);
    time.advance(60'000);
    EXPECT_FALSE(open());
    reader.faults().deviceBack();
    ASSERT_TRUE(open());

    reader.faults().queue(Fault::deviceGone(500));
    EXPECT_EQ(device.writeReport(hex("02 01 0D")), -1);
    time.advance(499);
    EXPECT_FALSE(open());
    time.advance(1);
    ASSERT_TRUE(open());
    EXPECT_EQ(device.writeReport(hex("02 01 0D")), 3);
}

TEST_F(HidDevice, PulledOutWhileAReplyIsAwaited)
{
    ASSERT_TRUE(open());
    reader.faults().queue(Fault::vanish(120, -1));
    EXPECT_EQ(device.writeReport(hex("02 01 0D")), 3);
    EXPECT_EQ(read(500), -1);
    EXPECT_EQ(time.nowMs(), 120);
    EXPECT_FALSE(device.isPresent());
    device.close();
    EXPECT_FALSE(open());
    reader.faults().deviceBack();
    ASSERT_TRUE(open());
    device.writeReport(hex("02 01 0D"));
    EXPECT_EQ(next(), padded(serialReply));
}

TEST_F(HidDevice, AHandleKeepsSixtyFourUnreadReportsAndLosesTheRest)
{
    ASSERT_TRUE(open());
    reader.faults().queue(Fault::flood(200, 8));
    device.writeReport(hex("02 01 0D"));
    time.advance(500);
    int kept = 0;
    QByteArray out;
    while (device.readReport(out, 0) > 0)
        ++kept;
    EXPECT_EQ(kept, SimHidDevice::MaxUnreadReports);
    // The first ones were kept; what came while the buffer was full was lost.
    reader.faults().queue(Fault::flood(2, 8));
    device.writeReport(hex("02 01 0D"));
    EXPECT_EQ(next(), padded(FaultPlan::shape(Fault::flood(2, 8), {serialReply})[0].bytes));
}
