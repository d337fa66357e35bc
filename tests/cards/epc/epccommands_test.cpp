// The EPC/eTag page's texts and checks, without a window.
#include "cards/epc/epccommands.h"

#include <gtest/gtest.h>

using namespace kv350;
using namespace kv350::cards;

namespace {

QByteArray bytes(const char *hex)
{
    return QByteArray::fromHex(hex);
}

const std::uint8_t *raw(const QByteArray &b)
{
    return reinterpret_cast<const std::uint8_t *>(b.constData());
}

}  // namespace

TEST(EpcCommands, CommandTextsFollowBankAddressAndLength)
{
    EXPECT_EQ(EpcCommandText(EpcBank::Epc, 2, 4), "1,2,4");
    EXPECT_EQ(EpcCommandText(EpcBank::Tid, 0, 1), "2,0,1");
    EXPECT_EQ(EpcCommandText(EpcBank::User, 300, 8), "3,300,8");
    EXPECT_EQ(EpcCommandText(EpcBank::User, 1023, 32), "3,1023,32");
    EXPECT_EQ(readEpcLabel("3,300,8"), "R3,300,8");
    EXPECT_EQ(writeEpcLabel("3,300,8"), "W3,300,8,...");
}

TEST(EpcCommands, RequestsCarryTheTextsInCommandZero)
{
    EXPECT_EQ(readEtagRequest(), bytes("020700") + "R1,2,4");
    EXPECT_EQ(readEtagRequest().size(), 9);
    // Padded with zeros and cut to 16 characters.
    EXPECT_EQ(writeEtagRequest("ABCD"), bytes("021800") + "W1,2,4,ABCD000000000000");
    EXPECT_EQ(writeEtagRequest("0123456789ABCDEF99"), bytes("021800") + "W1,2,4,0123456789ABCDEF");
    EXPECT_EQ(writeEtagRequest("").size(), 26);

    const QByteArray read = readEpcRequest("3,300,8");
    EXPECT_EQ(read, bytes("020900") + "R3,300,8");
    EXPECT_EQ(read.size(), 11);  // L + 4
    EXPECT_EQ(readEpcResponseSize(8), 37);
    EXPECT_EQ(readEpcResponseSize(32), 133);

    const QByteArray write = writeEpcRequest("1,2,4", "1234", 4);
    EXPECT_EQ(write, bytes("021800") + "W1,2,4,1234000000000000");
    // The longest: "3,1023,32" with 128 characters still fits one LEN byte.
    const QByteArray longest = writeEpcRequest("3,1023,32", QString(128, 'F'), 32);
    EXPECT_EQ(longest.size(), 9 + 128 + 5);
    EXPECT_EQ(quint8(longest[1]), 9 + 128 + 3);
}

TEST(EpcCommands, TheWriteBoxFillStopsAtEightyZeros)
{
    EXPECT_EQ(writeBoxFill(4), QString(16, '0'));
    EXPECT_EQ(writeBoxFill(20), QString(80, '0'));
    EXPECT_EQ(writeBoxFill(25), QString(80, '0'));
    EXPECT_EQ(writeBoxFill(1), "0000");
    EXPECT_EQ(paddedData(QString(80, '0'), 100), QString(100, '0'));
}

TEST(EpcCommands, RepliesAreAcceptedOnlyWithTheirExactLengthStatusAndOk)
{
    const QByteArray read = bytes("021300 00") + "R" + "0123456789ABCDEF";
    ASSERT_EQ(read.size(), 21);
    EXPECT_TRUE(tagReplyAccepted(raw(read), 21, EtagReadReply));
    EXPECT_FALSE(tagReplyAccepted(raw(read), 8, EtagReadReply)) << "a short reply, STA 0 or not";
    EXPECT_FALSE(tagReplyAccepted(raw(read), 22, EtagReadReply));
    QByteArray failed = read;
    failed[3] = 0x01;
    EXPECT_FALSE(tagReplyAccepted(raw(failed), 21, EtagReadReply));
    EXPECT_EQ(tagReadText(raw(read), 16), "0123456789ABCDEF");

    const QByteArray ok = bytes("020700 00") + "W:OK\r";
    EXPECT_TRUE(tagReplyAccepted(raw(ok), 9, TagWriteReply));
    const QByteArray lower = bytes("020700 00") + "W:ok\r";
    EXPECT_FALSE(tagReplyAccepted(raw(lower), 9, TagWriteReply));
    const QByteArray shifted = bytes("020700 00") + "WOK\r\r";
    EXPECT_FALSE(tagReplyAccepted(raw(shifted), 9, TagWriteReply)) << "O and K must be DATA bytes 2 and 3";
    EXPECT_FALSE(tagReplyAccepted(raw(ok), 10, TagWriteReply));
}

TEST(EpcCommands, IncrementCountsTheLastEightCharactersAndWraps)
{
    EXPECT_EQ(incrementedEtag("00000000000000FF"), "0000000000000100");
    EXPECT_EQ(incrementedEtag("12345678FFFFFFFF"), "1234567800000000") << "the first eight never change";
    EXPECT_EQ(incrementedEtag("ABCDEF0180000000"), "ABCDEF0180000001") << "2^31 and above are fine";
    EXPECT_EQ(incrementedEtag("000000007FFFFFFF"), "0000000080000000");
    EXPECT_EQ(incrementedEtag("00000000abcdef00"), "00000000ABCDEF01");
    EXPECT_EQ(incrementedEtag("GGGGGGGG0009"), "GGGGGGGG0000000A") << "only characters 9..16 are read";
    EXPECT_EQ(incrementedEtag("0000000000000G00"), std::nullopt);
    EXPECT_EQ(incrementedEtag("00000000 0000001"), std::nullopt);
    EXPECT_EQ(incrementedEtag("00000000"), std::nullopt) << "shorter than 9 characters";
    EXPECT_EQ(incrementedEtag(""), std::nullopt);
}

TEST(EpcCommands, AutomaticReadParameter)
{
    EXPECT_EQ(setAutoEpcRequest({EpcBank::Tid, 255, 10}), bytes("0205034101FF0A"));
    EXPECT_EQ(setAutoEpcRequest({EpcBank::User, 7, 32}), bytes("02050341020720"));
    EXPECT_EQ(getAutoEpcRequest(), bytes("02020341"));

    const QByteArray reply = bytes("0206030041020906");
    const auto setting = autoEpcReply(raw(reply), 8);
    ASSERT_TRUE(setting);
    EXPECT_EQ(setting->bank, EpcBank::User);
    EXPECT_EQ(setting->address, 9);
    EXPECT_EQ(setting->words, 6);
    EXPECT_EQ(autoEpcReply(raw(bytes("0206030041070203")), 8)->bank, EpcBank::Epc) << "any other bank reads as EPC";
    EXPECT_FALSE(autoEpcReply(raw(reply), 7));
    EXPECT_FALSE(autoEpcReply(raw(bytes("0206030141020906")), 8));
}
