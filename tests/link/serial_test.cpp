// The serial transport: in virtual time against the in-process byte stream
// for exact timing, and through a real pseudo-terminal for the real port code.
#include "link/qserialdevice.h"
#include "link/serialtransport.h"
#include "rig.h"
#include "sim/transports/ptyserver.h"

#include <QElapsedTimer>
#include <gtest/gtest.h>

using namespace kv350;
using namespace kv350::test;

namespace {

struct StreamRig {
    VirtualTime time;
    sim::VirtualReader reader;
    sim::SimSerialStream stream{reader, time};
    SerialTransport transport{stream, time};
    std::uint8_t buffer[256];

    StreamRig() { memset(buffer, 0xAA, sizeof buffer); }
    // Sends a request and collects the reply; returns its length.
    int exchange(const QByteArray &request)
    {
        transport.WriteSerialPort(reinterpret_cast<const std::uint8_t *>(request.constData()), int(request.size()));
        return transport.ReadSerialFrame(buffer);
    }
    QByteArray got(int n) const { return QByteArray(reinterpret_cast<const char *>(buffer), n); }
};

}  // namespace

TEST(SerialTiming, TheWindowCountsFromTheStartOfTheRead)
{
    struct Row {
        const char *name;
        sim::Fault fault;
        bool complete;
        qint64 elapsed;  // virtual ms the read took
    } rows[] = {
        {"at once", sim::Fault::none(), true, 0},
        {"at 500 ms, still inside", sim::Fault::late(500), true, 500},
        {"at 501 ms, too late", sim::Fault::late(501), false, 500},
        // Pieces of 2 bytes 150 ms apart: every gap is short, the whole is not.
        {"pieces ending at 400 ms", sim::Fault::split(2, 200), true, 400},
        {"pieces ending at 520 ms", sim::Fault::split(2, 260), false, 500},
        {"no reply", sim::Fault::noReply(), false, 500},
        {"LEN 254 never completes", sim::Fault::overLong(254), false, 500},
        {"LEN 255 never completes", sim::Fault::overLong(255), false, 500},
        {"noise before the 02", sim::Fault::noise(hex("FF00FE")), true, 0},
    };
    for (const Row &r : rows) {
        StreamRig rig;
        ASSERT_TRUE(rig.transport.OpenSerialPort("/dev/virtual"));
        rig.reader.faults().queue(r.fault);
        const qint64 start = rig.time.nowMs();
        const int n = rig.exchange(hex("02020304"));  // 6-byte reply 02 04 03 00 04 05
        EXPECT_EQ(n, r.complete ? 6 : 0) << r.name;
        EXPECT_EQ(rig.time.nowMs() - start, r.elapsed) << r.name;
        if (r.complete) {
            EXPECT_EQ(rig.got(6), hex("020403000405")) << r.name;
            EXPECT_EQ(rig.buffer[6], 0) << "a 0 behind the frame";
        }
    }
}

TEST(SerialTiming, AFailedReadLeavesTheLastReplyInTheBuffer)
{
    StreamRig rig;
    ASSERT_TRUE(rig.transport.OpenSerialPort("/dev/virtual"));
    ASSERT_EQ(rig.exchange(hex("02020304")), 6);
    rig.reader.faults().queue(sim::Fault::truncated(5));
    EXPECT_EQ(rig.exchange(hex("02020305")), 0);
    EXPECT_EQ(rig.got(6), hex("020403000405"));
}

TEST(SerialTiming, PurgeBeforeEachRequestDropsALateReply)
{
    StreamRig rig;
    ASSERT_TRUE(rig.transport.OpenSerialPort("/dev/virtual"));
    rig.reader.faults().queue(sim::Fault::late(600));
    EXPECT_EQ(rig.exchange(hex("02020304")), 0);
    rig.time.advance(200);  // the late reply has arrived and waits in the port
    ASSERT_EQ(rig.exchange(hex("02020305")), 6);
    EXPECT_EQ(rig.got(6), hex("02040300050F")) << "the reply to the second request, not the first";
}

TEST(SerialTiming, AFloodIsDiscardedAndCannotGrowTheBuffer)
{
    StreamRig rig;
    ASSERT_TRUE(rig.transport.OpenSerialPort("/dev/virtual"));
    // 300 bytes of noise with the frame only after them, all at once: the port
    // holds more than a reply can be, so everything waiting is thrown away.
    rig.reader.faults().queue(sim::Fault::noise(QByteArray(300, '\x55')));
    EXPECT_EQ(rig.exchange(hex("02020304")), 0);
    // 200 bytes of noise are not more than a reply can be: the frame behind them is found.
    rig.reader.faults().queue(sim::Fault::noise(QByteArray(200, '\x55')));
    EXPECT_EQ(rig.exchange(hex("02020304")), 6);
}

TEST(SerialTiming, APortThatBreaksEndsTheReadAtOnce)
{
    StreamRig rig;
    ASSERT_TRUE(rig.transport.OpenSerialPort("/dev/virtual"));
    rig.reader.faults().queue(sim::Fault::deviceGone());
    EXPECT_EQ(rig.exchange(hex("02020304")), 0);
    EXPECT_LE(rig.time.nowMs(), 500);
}

// --- through a real pseudo-terminal -------------------------------------

namespace {
struct PtyRig {
    sim::PtyServer server;
    QSerialDevice port;
    SerialTransport transport{port, systemClock()};
    std::uint8_t buffer[256];
};
}  // namespace

TEST(SerialPty, RealPortAssemblesSplitAndNoisyReplies)
{
    PtyRig rig;
    ASSERT_TRUE(rig.server.start());
    ASSERT_TRUE(rig.transport.OpenSerialPort(rig.server.devicePath())) << rig.port.errorText().toStdString();

    const std::uint8_t probe[] = {0x02, 0x01, 0x0D};
    struct Row {
        const char *name;
        sim::Fault fault;
    } rows[] = {
        {"clean", sim::Fault::none()},
        {"in pieces of 3 bytes 20 ms apart", sim::Fault::split(3, 20)},
        {"noise first", sim::Fault::noise(hex("00FF0D0A"))},
    };
    for (const Row &r : rows) {
        rig.server.withReader([&](sim::VirtualReader &reader) { reader.faults().queue(r.fault); });
        ASSERT_TRUE(rig.transport.WriteSerialPort(probe, 3));
        ASSERT_EQ(rig.transport.ReadSerialFrame(rig.buffer), 12) << r.name;
        EXPECT_EQ(QByteArray(reinterpret_cast<const char *>(rig.buffer), 12), hex("020A0D00") + "12345678") << r.name;
        EXPECT_EQ(rig.buffer[12], 0);
    }
    rig.transport.CloseSerialPort();
}

TEST(SerialPty, RealPortTimesOutFromTheStartOfTheRead)
{
    PtyRig rig;
    ASSERT_TRUE(rig.server.start());
    ASSERT_TRUE(rig.transport.OpenSerialPort(rig.server.devicePath()));
    const std::uint8_t probe[] = {0x02, 0x01, 0x0D};
    struct Row {
        const char *name;
        sim::Fault fault;
    } rows[] = {
        {"LEN 255", sim::Fault::overLong(255)},
        // 12 bytes in pieces of 2, 120 ms apart: the last would come at 600 ms.
        {"slow pieces", sim::Fault::split(2, 120)},
    };
    for (const Row &r : rows) {
        rig.server.withReader([&](sim::VirtualReader &reader) { reader.faults().queue(r.fault); });
        ASSERT_TRUE(rig.transport.WriteSerialPort(probe, 3));
        QElapsedTimer t;
        t.start();
        EXPECT_EQ(rig.transport.ReadSerialFrame(rig.buffer), 0) << r.name;
        EXPECT_GE(t.elapsed(), 495) << r.name;
        EXPECT_LT(t.elapsed(), 1500) << r.name;  // no hang; generous for a loaded machine
    }
}

TEST(SerialPty, ReaderLinkIdentifiesOverThePty)
{
    sim::Identity id;
    id.model = "KV350-LF-X";
    sim::PtyServer server{id};
    ASSERT_TRUE(server.start());
    VirtualTime pauses;  // the program's own waits; the port waits in real time
    QSerialDevice port;
    sim::VirtualReader elsewhere;
    sim::SimHidDevice noUsb{elsewhere, pauses};
    ReaderLink link(noUsb, port, systemClock(), pauses);
    link.useSerialPort(server.devicePath());
    ASSERT_TRUE(link.ConnectReader()) << link.lastError().toStdString();
    EXPECT_EQ(link.ModelName(), "KV350-LF-X");
    ASSERT_TRUE(link.ExecuteCommand(hex("02020304")));
    EXPECT_EQ(link.responseData(), hex("0405"));
    link.DisconnectReader();
    EXPECT_FALSE(port.isOpen());
}
