#include "link/virtualtime.h"
#include "sim/transports/simserialstream.h"
#include "testutil.h"

#include <gtest/gtest.h>

using namespace kv350::sim;

namespace {

class SerialStream : public ::testing::Test {
protected:
    SerialStream() : port(reader, time) {}
    void SetUp() override { ASSERT_TRUE(port.open(QStringLiteral("/dev/ttyVIRT0"))); }

    kv350::VirtualTime time;
    VirtualReader reader;
    SimSerialStream port;
};

}  // namespace

TEST_F(SerialStream, ReplyIsThereAtOnce)
{
    EXPECT_EQ(port.write(hex("02 01 0D")), 3);
    EXPECT_EQ(port.bytesAvailable(), 12);
    EXPECT_TRUE(port.waitForReadyRead(500));
    EXPECT_EQ(time.nowMs(), 0);
    EXPECT_EQ(port.read(5), serialReply.left(5));
    EXPECT_EQ(port.read(100), serialReply.mid(5));
    EXPECT_EQ(port.bytesAvailable(), 0);
    EXPECT_EQ(port.written(), hex("02 01 0D"));
}

TEST_F(SerialStream, SplitChunksArriveAtTheirTimes)
{
    reader.faults().queue(Fault::split(5, 20));
    port.write(hex("02 01 0D"));
    EXPECT_EQ(port.read(100), serialReply.left(5));
    EXPECT_FALSE(port.waitForReadyRead(10));
    EXPECT_EQ(time.nowMs(), 10);
    EXPECT_TRUE(port.waitForReadyRead(100));
    EXPECT_EQ(time.nowMs(), 20);
    EXPECT_EQ(port.bytesAvailable(), 5);
    time.advance(25);  // 45: the last piece (due 40) is there without waiting
    EXPECT_TRUE(port.waitForReadyRead(0));
    EXPECT_EQ(port.read(100), serialReply.mid(5));
    EXPECT_EQ(port.bytesInFlight(), 0);
}

TEST_F(SerialStream, WaitEndsAtTheReplyOrTheTimeout)
{
    EXPECT_FALSE(port.waitForReadyRead(-1));  // nothing in flight: no wait at all
    EXPECT_EQ(time.nowMs(), 0);
    reader.faults().queue(Fault::late(300));
    port.write(hex("02 01 0D"));
    EXPECT_EQ(port.bytesAvailable(), 0);
    EXPECT_FALSE(port.waitForReadyRead(250));
    EXPECT_EQ(time.nowMs(), 250);
    EXPECT_TRUE(port.waitForReadyRead(100));
    EXPECT_EQ(time.nowMs(), 300);
    EXPECT_EQ(port.read(100), serialReply);
    reader.faults().queue(Fault::late(777));
    port.write(hex("02 01 0D"));
    EXPECT_TRUE(port.waitForReadyRead(-1));
    EXPECT_EQ(time.nowMs(), 1077);
}

TEST_F(SerialStream, PurgeDropsWhatArrivedButNotWhatIsOnItsWay)
{
    for (const bool inputOnly : {true, false}) {
        reader.faults().queue(Fault::split(6, 50));
        port.write(hex("02 01 0D"));
        EXPECT_EQ(port.bytesAvailable(), 6);
        if (inputOnly)
            port.purgeInput();
        else
            port.purge();
        EXPECT_EQ(port.bytesAvailable(), 0);
        EXPECT_TRUE(port.waitForReadyRead(1000));
        EXPECT_EQ(port.read(100), serialReply.mid(6));
    }
    EXPECT_EQ(time.nowMs(), 100);
}

TEST_F(SerialStream, NoiseComesBeforeTheFrame)
{
    reader.faults().queue(Fault::noise(hex("00 FF")));
    port.write(hex("02 01 0D"));
    EXPECT_EQ(port.read(100), hex("00 FF") + serialReply);
}

TEST_F(SerialStream, FramesAreCutFromTheByteStream)
{
    // In pieces, after line noise, two in one write.
    port.write(hex("FF 00 02 05 03"));
    time.advance(30);
    port.write(hex("03 05 01 80 02 01 0D 02 02"));
    port.write(hex("02 02"));
    EXPECT_EQ(reader.requests(),
              (std::vector<QByteArray>{hex("02 05 03 03 05 01 80"), hex("02 01 0D"), hex("02 02 02 02")}));
    EXPECT_EQ(port.read(100), hex("02 06 03 00 03 05 01 80") + serialReply + hex("02 02 02 00"));
}

TEST_F(SerialStream, StalePartialFrameIsDropped)
{
    // LEN says more than comes: the reader gives up on it and hears the next request.
    port.write(hex("02 05 03 03"));
    time.advance(port.assembler().staleMs() + 1);
    port.write(hex("02 01 0D"));
    EXPECT_EQ(reader.requests(), (std::vector<QByteArray>{hex("02 01 0D")}));
    EXPECT_EQ(port.read(100), serialReply);
}

TEST_F(SerialStream, OpenCloseAndFailures)
{
    EXPECT_FALSE(port.open(QStringLiteral("/dev/ttyVIRT0")));  // already open
    EXPECT_TRUE(port.isOpen());
    reader.faults().queue(Fault::late(50));
    port.write(hex("02 01 0D"));
    port.close();  // the reply on its way is lost with the port
    port.setOpenError(QStringLiteral("/dev/ttyVIRT0 is busy"));
    EXPECT_FALSE(port.open(QStringLiteral("/dev/ttyVIRT0")));
    EXPECT_EQ(port.errorText(), QStringLiteral("/dev/ttyVIRT0 is busy"));
    EXPECT_EQ(port.write(hex("02 01 0D")), -1);
    EXPECT_FALSE(port.waitForReadyRead(100));
    EXPECT_EQ(time.nowMs(), 0);
    port.setOpenError({});
    ASSERT_TRUE(port.open(QStringLiteral("/dev/ttyVIRT1")));
    EXPECT_FALSE(port.waitForReadyRead(100));
}

TEST_F(SerialStream, RequestsDuringARebootAreIgnored)
{
    reader.setRebootTimeMs(1500);
    port.write(hex("02 02 0F 01"));
    EXPECT_EQ(port.read(100), hex("02 02 0F 00"));
    time.advance(1499);
    port.write(hex("02 01 0D"));
    EXPECT_FALSE(port.waitForReadyRead(0));
    time.advance(1);
    port.write(hex("02 01 0D"));
    EXPECT_EQ(port.read(100), serialReply);
    EXPECT_EQ(reader.requests(), (std::vector<QByteArray>{hex("02 02 0F 01"), hex("02 01 0D")}));
}

TEST_F(SerialStream, DeviceGoneBreaksThePortUntilReopenedAfterBack)
{
    reader.faults().queue(Fault::late(20));
    port.write(hex("02 01 0E"));
    reader.faults().queue(Fault::deviceGone(1000));
    EXPECT_EQ(port.write(hex("02 01 0D")), -1);
    EXPECT_FALSE(port.waitForReadyRead(100));  // the late reply is lost as well
    EXPECT_EQ(time.nowMs(), 0);
    EXPECT_EQ(port.write(hex("02 01 0D")), -1);
    port.close();
    EXPECT_FALSE(port.open(QStringLiteral("/dev/ttyVIRT0")));
    time.advance(1000);
    EXPECT_FALSE(port.isOpen());
    ASSERT_TRUE(port.open(QStringLiteral("/dev/ttyVIRT0")));
    port.write(hex("02 01 0D"));
    EXPECT_EQ(port.read(100), serialReply);
}

TEST_F(SerialStream, PulledOutWhileAReplyIsAwaited)
{
    reader.faults().queue(Fault::vanish(70, 500));
    EXPECT_EQ(port.write(hex("02 01 0D")), 3);
    EXPECT_FALSE(port.waitForReadyRead(500));
    EXPECT_EQ(time.nowMs(), 70) << "the wait ends when the port breaks";
    EXPECT_TRUE(port.broken());
    EXPECT_EQ(port.write(hex("02 01 0D")), -1);
    port.close();
    EXPECT_FALSE(port.open(QStringLiteral("/dev/ttyVIRT0")));
    time.advance(500);
    ASSERT_TRUE(port.open(QStringLiteral("/dev/ttyVIRT0")));
    port.write(hex("02 01 0D"));
    EXPECT_EQ(port.read(100), serialReply);
}
