// The UHF module: tag memory and radio texts in command 0x00, and the
// automatic test's result frames (their delivery over each transport is in
// transports/streaming_test.cpp).
#include "sim/core/virtualreader.h"
#include "sim/modules/uhfmodule.h"
#include "testutil.h"

#include <gtest/gtest.h>

using namespace kv350::sim;

namespace {

// SOH, the text, two hex digits of the XOR of SOH and the text, CR.
QByteArray wrapped(const QByteArray &text, int checkOffset = 0)
{
    std::uint8_t check = 0x01;
    for (char c : text)
        check ^= std::uint8_t(c);
    return '\x01' + text + QByteArray::number(check ^ checkOffset, 16).rightJustified(2, '0').toUpper() + '\r';
}

// The KV350-U1 reads and writes tags; the radio's test texts are the
// KV350-MIC-X's and KV350-LF-X's (RadioUhf).
struct Uhf : ::testing::Test {
    explicit Uhf(const char *name = "KV350-U1") : reader(model(name)) { reader.uhf().placeTag(EpcTag::numbered(1)); }
    QByteArray send(const QByteArray &text)
    {
        const std::vector<QByteArray> replies = reader.handle(moduleFrame(text));
        EXPECT_EQ(replies.size(), 1u);
        return replies.empty() ? QByteArray() : replies.front();
    }
    VirtualReader reader;
};

struct RadioUhf : Uhf {
    RadioUhf() : Uhf("KV350-MIC-X") {}
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
        {"R0,2,4", "R:BANK\r"},
        {"R4,2,4", "R:BANK\r"},
        {"R1,5,4", "R:ADDR\r"},
        {"R3,1023,32", "R:ADDR\r"},
        {"R1,2,0", "R:LEN\r"},
        {"R1,2,33", "R:LEN\r"},
        {"R1,2", "R:SYNTAX\r"},
        {"R1,a,4", "R:SYNTAX\r"},
        {"R1,2,4,", "R:SYNTAX\r"},
        {"W1,2,4,0123", "W:LEN\r"},
        {"W1,2,1,XYZ1", "W:DATA\r"},
        {"W2,0,1,FFFF", "W:LOCKED\r"},
        {"W1,7,2,00000000", "W:ADDR\r"},
        {"Q", "Q:SYNTAX\r"},
        {"", "?:SYNTAX\r"},
        {wrapped("R1,2,4", 1), "?:CHECK\r"},
        // The radio's texts are not this module's: texts it does not know.
        {"x01", "x:SYNTAX\r"},
        {"A3", "A:SYNTAX\r"},
        {"W0B0180", "W:SYNTAX\r"},
    };
    for (const auto &r : rows)
        EXPECT_EQ(send(r.text), moduleReply(0x01, r.answer)) << r.text.constData();
    EXPECT_EQ(reader.uhf().tag(0).epc(), EpcTag::numbered(1).epc()) << "nothing was written";
    EXPECT_EQ(reader.uhf().radio().mode(), RadioMode::Idle);
}

TEST_F(RadioUhf, RefusesWhatTheRadioOrTheTextCannotDo)
{
    const struct {
        QByteArray text;
        const char *answer;
    } rows[] = {
        {"x03", "x:SYNTAX\r"},
        {"A1", "A:SYNTAX\r"},
        {"Zq", "Z:SYNTAX\r"},
        {"Q", "Q:SYNTAX\r"},
        {"", "?:SYNTAX\r"},
        {"W0901", "W:SYNTAX\r"},
        {"W0902450", "W:SYNTAX\r"},
        {"W090245", "W:LEN\r"},
        {"WFF020102", "W:ADDR\r"},
        {wrapped("x01", 1), "?:CHECK\r"},
        // The tag texts are the KV350-U1's module's: texts this one does not know.
        {"R1,2,4", "R:SYNTAX\r"},
        {"W1,2,4,0123456789abcdef", "W:SYNTAX\r"},
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

TEST(UhfModel, OnlyTheModelsWithTheModuleAnswerAndOnlyWhatTheirModuleDoes)
{
    for (const char *name : {"KV350-MIC-X", "KV350-LF-X"}) {
        VirtualReader reader(model(name));
        EXPECT_EQ(reader.handle(moduleFrame("x01\r")).front(), moduleReply(0, "x:OK\r")) << name;
        EXPECT_EQ(reader.handle(moduleFrame("R1,2,4")).front(), moduleReply(1, "R:SYNTAX\r")) << name;
    }
    {
        VirtualReader reader(model("KV350-U1"));
        EXPECT_EQ(reader.handle(moduleFrame("R1,2,4")).front(), moduleReply(1, "R:NOTAG\r"));
        EXPECT_EQ(reader.handle(moduleFrame("x01\r")).front(), moduleReply(1, "x:SYNTAX\r"));
        EXPECT_EQ(reader.uhf().radio().mode(), RadioMode::Idle);
    }
    for (const char *name : {"KV350-M1", "KV350-MIC", "KV350-IC", "KV350-LF", "KV350-A1", "kv350-u1"}) {
        VirtualReader reader(model(name));
        EXPECT_EQ(reader.handle(moduleFrame("x01\r")).front(), hex("02 02 00 10")) << name;
        EXPECT_EQ(reader.handle(moduleFrame("R1,2,4")).front(), hex("02 02 00 10")) << name;
    }
}

TEST_F(RadioUhf, RadioTextsSetTheModulesState)
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
