// The UHF module's automatic test streams its result frames of its own accord:
// each transport delivers them on its own clock, to the one that carried the
// request which started the stream.
#include "link/virtualtime.h"
#include "ptyclient.h"
#include "sim/core/virtualreader.h"
#include "sim/modules/uhfmodule.h"
#include "sim/transports/ptyserver.h"
#include "sim/transports/simhiddevice.h"
#include "sim/transports/simserialstream.h"
#include "testutil.h"

#include <gtest/gtest.h>

using namespace kv350::sim;

TEST(UhfStream, ResultFramesFollowTheStartOverHidUntilTheStop)
{
    kv350::VirtualTime time;
    VirtualReader reader(model("KV350-MIC-X"));
    SimHidDevice device(reader, time);
    ASSERT_TRUE(device.open(0x0E6A, 0x0317));
    QByteArray report;
    EXPECT_EQ(device.readReport(report, -1), 0) << "nothing streams before the start";

    ASSERT_EQ(device.writeReport(moduleFrame("A3\r")), 6);
    ASSERT_EQ(device.readReport(report, 500), 64);
    EXPECT_EQ(report.left(9), moduleReply(0, "A:OK\r"));
    EXPECT_EQ(device.readReport(report, 0), 0) << "the first result comes one period later";
    EXPECT_EQ(device.readReport(report, 150), 0);
    EXPECT_EQ(time.nowMs(), 150);

    for (const char *line : {"#0001 CH062 PASS", "#0002 CH248 PASS", "#0003 CH385 PASS"}) {
        ASSERT_EQ(device.readReport(report, 500), 64);
        EXPECT_EQ(report.left(4), hex("02 19 00 00"));
        EXPECT_EQ(report.mid(4, 16), QByteArray(line));
    }
    EXPECT_EQ(time.nowMs(), 600);
    EXPECT_EQ(reader.uhf().radio().autoTestFramesSent(), 3);

    // Frames pile up while nobody reads, up to the backlog.
    time.advance(100'000);
    int waiting = 0;
    while (device.readReport(report, 0) > 0)
        ++waiting;
    EXPECT_EQ(waiting, ReaderHost::MaxStreamBacklog);

    ASSERT_EQ(device.writeReport(moduleFrame("A0\r")), 6);
    ASSERT_EQ(device.readReport(report, 500), 64);
    EXPECT_EQ(report.left(9), moduleReply(0, "A:OK\r"));
    EXPECT_EQ(device.readReport(report, 1000), 0) << "the stop ends the stream";
    EXPECT_EQ(device.readReport(report, -1), 0);
}

TEST(UhfStream, ResultFramesFollowOverTheSerialStream)
{
    kv350::VirtualTime time;
    VirtualReader reader(model("KV350-LF-X"));
    reader.uhf().radio().setPeriodMs(50);
    SimSerialStream port(reader, time);
    ASSERT_TRUE(port.open(QStringLiteral("/dev/ttyVIRT0")));
    port.write(moduleFrame("A3\r"));
    EXPECT_EQ(port.read(100), moduleReply(0, "A:OK\r"));
    EXPECT_FALSE(port.waitForReadyRead(40));
    EXPECT_TRUE(port.waitForReadyRead(500));
    EXPECT_EQ(time.nowMs(), 50);
    const QByteArray first = port.read(100);
    ASSERT_EQ(first.size(), 27);
    EXPECT_EQ(first.mid(4, 16), "#0001 CH062 PASS");
    EXPECT_TRUE(port.waitForReadyRead(-1)) << "a stream is always in flight";
    EXPECT_EQ(time.nowMs(), 100);

    // The purge before the stop drops what came; after it, nothing more.
    time.advance(120);
    port.purge();
    port.write(moduleFrame("A0\r"));
    EXPECT_EQ(port.read(100), moduleReply(0, "A:OK\r"));
    EXPECT_FALSE(port.waitForReadyRead(1000));

    // Closed ports miss what streams meanwhile.
    port.write(moduleFrame("A3\r"));
    port.close();
    time.advance(1000);
    ASSERT_TRUE(port.open(QStringLiteral("/dev/ttyVIRT0")));
    EXPECT_EQ(port.bytesAvailable(), 0);
    EXPECT_TRUE(port.waitForReadyRead(60));
    EXPECT_EQ(port.read(100).size(), 27);
}

TEST(UhfStream, ResultFramesFollowOnThePty)
{
    PtyServer server(model("KV350-MIC-X"));
    ASSERT_TRUE(server.start()) << qPrintable(server.errorText());
    server.withReader([](VirtualReader &r) { r.uhf().radio().setPeriodMs(10); });
    PtyClient client(server.devicePath());
    ASSERT_TRUE(client.isOpen());
    ASSERT_TRUE(client.send(moduleFrame("A3\r")));
    const QByteArray got = client.receiveAll(9 + 3 * 27, 3000);
    ASSERT_EQ(got.size(), 9 + 3 * 27);
    EXPECT_EQ(got.left(9), moduleReply(0, "A:OK\r"));
    EXPECT_EQ(got.mid(9 + 4, 16), "#0001 CH062 PASS");
    EXPECT_EQ(got.mid(9 + 27 + 4, 16), "#0002 CH248 PASS");

    ASSERT_TRUE(client.send(moduleFrame("A0\r")));
    // The stop's reply comes after whatever was still streaming.
    const QByteArray rest = client.receiveAll(2000, 300);
    EXPECT_TRUE(rest.endsWith(moduleReply(0, "A:OK\r")));
    EXPECT_EQ(client.receiveAll(1, 100), QByteArray());
    EXPECT_EQ(server.withReader([](VirtualReader &r) { return r.uhf().radio().mode(); }), RadioMode::Idle);
}
