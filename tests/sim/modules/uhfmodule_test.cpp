// The UHF module: tag memory and radio texts in command 0x00, and the
// automatic test streaming its results over every transport.
#include "ptyclient.h"
#include "ptyserver.h"
#include "simhiddevice.h"
#include "simserialstream.h"
#include "testutil.h"
#include "uhfmodule.h"
#include "virtualreader.h"
#include "link/virtualtime.h"

#include <gtest/gtest.h>

using namespace kv350::sim;

namespace {

Identity model(const char *name)
{
    Identity id;
    id.model = name;
    return id;
}

QByteArray moduleFrame(const QByteArray &text)
{
    return QByteArray(1, '\x02') + char(1 + text.size()) + '\0' + text;
}

QByteArray moduleReply(std::uint8_t sta, const QByteArray &data)
{
    return QByteArray(1, '\x02') + char(2 + data.size()) + '\0' + char(sta) + data;
}

// SOH, the text, two hex digits of the XOR of SOH and the text, CR.
QByteArray wrapped(const QByteArray &text, int checkOffset = 0)
{
    std::uint8_t check = 0x01;
    for (char c : text)
        check ^= std::uint8_t(c);
    return '\x01' + text + QByteArray::number(check ^ checkOffset, 16).rightJustified(2, '0').toUpper() + '\r';
}

struct Uhf : ::testing::Test {
    Uhf() : reader(model("KV350-U1")) { reader.uhf().placeTag(EpcTag::numbered(1)); }
    QByteArray send(const QByteArray &text)
    {
        const std::vector<QByteArray> replies = reader.handle(moduleFrame(text));
        EXPECT_EQ(replies.size(), 1u);
        return replies.empty() ? QByteArray() : replies.front();
    }
    VirtualReader reader;
};

}  // namespace

TEST(EpcTagMemory, StoredCrcCoversPcAndEpc)
{
    EXPECT_EQ(EpcTag::crc16("123456789"), 0xD64E);
    EpcTag tag = EpcTag::numbered(1);
    EXPECT_EQ(tag.bank(TagBank::Epc), hex("299A 3000 3008 33B2 DDD9 0140 0000 0001"));
    EXPECT_EQ(tag.epc(), hex("3008 33B2 DDD9 0140 0000 0001"));
    ASSERT_EQ(tag.write(TagBank::Epc, 7, hex("0002")), TagError::None);
    const std::uint16_t crc = EpcTag::crc16(hex("3000 3008 33B2 DDD9 0140 0000 0002"));
    EXPECT_EQ(tag.bank(TagBank::Epc).left(2), QByteArray(1, char(crc >> 8)) + char(crc & 0xFF));
    EXPECT_EQ(tag.write(TagBank::Tid, 0, hex("0000")), TagError::Locked);
    EXPECT_EQ(tag.write(TagBank::User, 31, hex("00000000")), TagError::Overrun);
    EXPECT_EQ(tag.words(TagBank::User), 32);
}

TEST_F(Uhf, ReadsAndWritesWordsAsHexDigits)
{
    EXPECT_EQ(send("R1,2,4"), moduleReply(0, "R300833B2DDD90140"));
    EXPECT_EQ(send("R1,2,4").size(), 21);
    EXPECT_EQ(send("W1,2,4,0123456789abcdef"), moduleReply(0, "W:OK\r"));
    EXPECT_EQ(send("W1,2,4,0123456789abcdef").size(), 9);
    EXPECT_EQ(send("R1,2,4"), moduleReply(0, "R0123456789ABCDEF"));
    EXPECT_EQ(send("R2,0,6"), moduleReply(0, "RE2003412013F000000000001"));
    EXPECT_EQ(send("W3,30,2,AABBCCDD"), moduleReply(0, "W:OK\r"));
    EXPECT_EQ(send("R3,29,3"), moduleReply(0, "R0000AABBCCDD"));
    EXPECT_EQ(send("R3,030,1\r"), moduleReply(0, "RAABB")) << "a trailing CR and leading zeros are fine";
    EXPECT_EQ(reader.handle(moduleFrame(wrapped("R3,31,1"))).front(), moduleReply(0, "RCCDD"));
    EXPECT_EQ(reader.uhf().texts().back(), "R3,31,1");
}

TEST_F(Uhf, RefusesWhatTheTagOrTheTextCannotDo)
{
    const struct {
        QByteArray text;
        const char *answer;
    } rows[] = {
        {"R0,2,4", "R:BANK\r"},     {"R4,2,4", "R:BANK\r"},     {"R1,5,4", "R:ADDR\r"},
        {"R3,1023,32", "R:ADDR\r"}, {"R1,2,0", "R:LEN\r"},      {"R1,2,33", "R:LEN\r"},
        {"R1,2", "R:SYNTAX\r"},     {"R1,a,4", "R:SYNTAX\r"},   {"R1,2,4,", "R:SYNTAX\r"},
        {"W1,2,4,0123", "W:LEN\r"}, {"W1,2,1,XYZ1", "W:DATA\r"}, {"W2,0,1,FFFF", "W:LOCKED\r"},
        {"W1,7,2,00000000", "W:ADDR\r"}, {"x03", "x:SYNTAX\r"}, {"A1", "A:SYNTAX\r"},
        {"Zq", "Z:SYNTAX\r"},       {"Q", "Q:SYNTAX\r"},        {"", "?:SYNTAX\r"},
        {"W0901", "W:SYNTAX\r"},    {"W0902450", "W:SYNTAX\r"}, {"W090245", "W:LEN\r"},
        {"WFF020102", "W:ADDR\r"},  {wrapped("R1,2,4", 1), "?:CHECK\r"},
    };
    for (const auto &r : rows)
        EXPECT_EQ(send(r.text), moduleReply(0x01, r.answer)) << r.text.constData();
    EXPECT_EQ(reader.uhf().tag(0).epc(), EpcTag::numbered(1).epc()) << "nothing was written";
}

TEST_F(Uhf, TheFirstTagInTheFieldAnswers)
{
    reader.uhf().placeTag(EpcTag::numbered(2));
    EXPECT_EQ(send("R1,7,1"), moduleReply(0, "R0001"));
    reader.uhf().removeTag(0);
    EXPECT_EQ(send("R1,7,1"), moduleReply(0, "R0002"));
    reader.uhf().clearField();
    EXPECT_EQ(send("R1,7,1"), moduleReply(0x01, "R:NOTAG\r"));
    EXPECT_EQ(send("W1,7,1,0003"), moduleReply(0x01, "W:NOTAG\r"));
}

TEST(UhfModel, OnlyTheModelsWithTheModuleAnswer)
{
    for (const char *name : {"KV350-U1", "KV350-MIC-X", "KV350-LF-X"}) {
        VirtualReader reader(model(name));
        EXPECT_EQ(reader.handle(moduleFrame("x01\r")).front(), moduleReply(0, "x:OK\r")) << name;
    }
    for (const char *name : {"KV350-M1", "KV350-MIC", "KV350-IC", "KV350-LF", "KV350-A1"}) {
        VirtualReader reader(model(name));
        EXPECT_EQ(reader.handle(moduleFrame("x01\r")).front(), hex("02 02 00 10")) << name;
    }
}

TEST_F(Uhf, RadioTextsSetTheModulesState)
{
    OvtraRadio &radio = reader.uhf().radio();
    EXPECT_EQ(radio.channel(), 248);
    EXPECT_EQ(radio.power(), 255);
    EXPECT_TRUE(radio.modulation());
    EXPECT_EQ(radio.mode(), RadioMode::Idle);

    EXPECT_EQ(send("W0E035E3B13\r"), moduleReply(0, "W:OK\r"));
    EXPECT_EQ(send("W0B0180\r"), moduleReply(0, "W:OK\r"));
    EXPECT_EQ(radio.channelHalf(), 1);
    EXPECT_EQ(radio.channel(), 385);
    send("W30010A\r");
    send("W090105\r");
    EXPECT_EQ(radio.power(), 10);
    EXPECT_FALSE(radio.modulation());
    send("x01\r");
    EXPECT_EQ(radio.mode(), RadioMode::Transmit);
    send("x02\r");
    EXPECT_EQ(radio.mode(), RadioMode::Receive);
    send("W0E03000000\r");
    EXPECT_EQ(radio.channelHalf(), -1);
    EXPECT_EQ(radio.channel(), -1);

    EXPECT_EQ(send("Zx\r"), moduleReply(0, "Z:OK\r"));
    EXPECT_EQ(radio.mode(), RadioMode::Idle);
    EXPECT_EQ(radio.power(), 10) << "a reboot loads the settings as last written";
    EXPECT_EQ(send("Zi\r"), moduleReply(0, "Z:OK\r"));
    EXPECT_EQ(radio.channel(), 248);
    EXPECT_EQ(radio.power(), 255);
    EXPECT_TRUE(radio.modulation());

    // A reader reboot takes the module with it.
    send("A3\r");
    EXPECT_EQ(radio.mode(), RadioMode::AutoTest);
    reader.handle(hex("02 02 0F 01"));
    EXPECT_EQ(radio.mode(), RadioMode::Idle);
}

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

TEST(UhfStream, ResultFramesCarryChannelPowerAndSequence)
{
    VirtualReader reader(model("KV350-U1"));
    OvtraRadio &radio = reader.uhf().radio();
    radio.writeRegisters(OvtraRadio::RegPower, hex("7F"));
    radio.startAutoTest();
    for (int i = 0; i < 4; ++i)
        radio.nextFrame();
    const QByteArray frame = radio.nextFrame();
    ASSERT_EQ(frame.size(), 27);
    EXPECT_EQ(frame.mid(4, 16), "#0005 CH248 PASS");
    EXPECT_EQ(frame.mid(20, 3), hex("00 F8 7F"));  // channel 248, PA 0x7F
    EXPECT_EQ(frame.mid(24, 3), hex("00 05 01"));  // sequence 5, modulation on
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
