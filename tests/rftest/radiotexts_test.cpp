// The radio page's texts, without a window.
#include "rftest/radiotexts.h"

#include <gtest/gtest.h>

using namespace kv350::rftest;

namespace {

const std::uint8_t *raw(const QByteArray &b)
{
    return reinterpret_cast<const std::uint8_t *>(b.constData());
}

}  // namespace

TEST(RadioTexts, RequestsAndTheirLengths)
{
    EXPECT_EQ(radioRequest(TextTx), QByteArray::fromHex("02050078 30 31 0D"));
    EXPECT_EQ(radioRequest(TextRx), QByteArray::fromHex("02050078 30 32 0D"));
    EXPECT_EQ(radioRequest(TextModulation), QByteArray::fromHex("0209 00 57 30 39 30 31 34 35 0D"));
    EXPECT_EQ(radioRequest(TextNoModulation), QByteArray::fromHex("0209 00 57 30 39 30 31 30 35 0D"));
    EXPECT_EQ(radioRequest(TextReboot), QByteArray::fromHex("0204 00 5A 78 0D"));
    EXPECT_EQ(radioRequest(TextInitial), QByteArray::fromHex("0204 00 5A 69 0D"));
    EXPECT_EQ(radioRequest(TextTestStart), QByteArray::fromHex("0204 00 41 33 0D"));
    EXPECT_EQ(radioRequest(TextTestStop), QByteArray::fromHex("0204 00 41 30 0D"));
}

TEST(RadioTexts, PowerIsTwoUpperCaseHexDigits)
{
    EXPECT_EQ(paText(10), "W30010A\r");
    EXPECT_EQ(paText(255), "W3001FF\r");
    EXPECT_EQ(paText(0), "W300100\r");
    EXPECT_EQ(radioRequest(paText(10)).size(), 11);
    EXPECT_EQ(registerText(0x0E, QByteArray::fromHex("5BC494")), "W0E035BC494\r");
}

TEST(RadioTexts, ChannelsSplitIntoTwoHalves)
{
    // clang-format off
    const struct {
        int channel;
        const char *half, *inHalf;
    } rows[] = {
        {1, "W0E035BC494\r", "W0B0100\r"},   {62, "W0E035BC494\r", "W0B013D\r"},
        {248, "W0E035BC494\r", "W0B01F7\r"}, {256, "W0E035BC494\r", "W0B01FF\r"},
        {257, "W0E035E3B13\r", "W0B0100\r"}, {385, "W0E035E3B13\r", "W0B0180\r"},
        {512, "W0E035E3B13\r", "W0B01FF\r"},
    };
    // clang-format on
    for (const auto &r : rows) {
        const ChannelTexts t = channelTexts(r.channel);
        EXPECT_EQ(t.half, r.half) << r.channel;
        EXPECT_EQ(t.channel, r.inHalf) << r.channel;
        EXPECT_EQ(radioRequest(t.half).size(), 15);
        EXPECT_EQ(radioRequest(t.channel).size(), 11);
    }
}

TEST(RadioTexts, TestLinesComeFromFramesOfAtLeast27Bytes)
{
    QByteArray frame = QByteArray::fromHex("0217 00 00") + QByteArray("OK", 2) + QByteArray(21, '\0');
    ASSERT_EQ(frame.size(), 27);
    EXPECT_EQ(testLine(raw(frame), 27), "OK");
    EXPECT_EQ(testLine(raw(frame), 26), std::nullopt);
    frame[3] = 0x01;
    EXPECT_EQ(testLine(raw(frame), 27), std::nullopt) << "STA must be 0";

    // Sixteen characters at most, even without a zero byte.
    QByteArray full = QByteArray::fromHex("0217 00 00") + "#0001 CH062 PASSXXXXXXX";
    EXPECT_EQ(testLine(raw(full), int(full.size())), "#0001 CH062 PASS");
    QByteArray empty = QByteArray::fromHex("0217 00 00") + QByteArray(23, '\0');
    EXPECT_EQ(testLine(raw(empty), 27), "");
}
