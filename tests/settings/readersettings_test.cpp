// The settings' bytes, without a window.
#include "settings/readersettings.h"

#include <gtest/gtest.h>

using namespace kv350;
using namespace kv350::settings;

TEST(ReaderSettings, IdFormatBitsGoWhereTheReaderExpectsThem)
{
    IdFormat f;
    f.formatIndex = 4;
    f.addEnter = true;
    EXPECT_EQ(encodeIdFormat(f).toHex(), "050180") << "option bit 0 is always written";

    IdFormat all{.formatIndex = 0,
                 .reverseByte = true,
                 .reverseBit = true,
                 .decZeroRemove = true,
                 .addComma = true,
                 .addBrackets = true,
                 .addQuotation = true,
                 .addSpace = true,
                 .addTab = true,
                 .addDown = true,
                 .addLF = true,
                 .addEnter = true};
    EXPECT_EQ(encodeIdFormat(all).toHex(), "0117ff");
    EXPECT_EQ(encodeIdFormat(IdFormat{.formatIndex = 16}).toHex(), "110100");
    EXPECT_EQ(encodeIdFormat(IdFormat{.formatIndex = -1}).toHex(), "000100") << "no item selected sends 0";

    // Each key bit maps back to one box, and option bits 0, 3, 5, 6 and 7 are not read.
    EXPECT_EQ(decodeIdFormat(0x01, 0x17, 0xFF), all);
    EXPECT_EQ(decodeIdFormat(0x01, 0xE9, 0x00), IdFormat{.formatIndex = 0});
    EXPECT_EQ(decodeIdFormat(0x00, 0, 0).formatIndex, -1);
    EXPECT_EQ(decodeIdFormat(0x11, 0, 0).formatIndex, 16);
    EXPECT_EQ(decodeIdFormat(0x12, 0, 0).formatIndex, -1) << "above 17 selects nothing";
    for (int bitNo = 0; bitNo < 8; ++bitNo) {
        const IdFormat one = decodeIdFormat(1, 0, std::uint8_t(1u << bitNo));
        EXPECT_EQ(std::uint8_t(encodeIdFormat(one).at(2)), 1u << bitNo) << "key bit " << bitNo;
    }
}

TEST(ReaderSettings, ReadModeBitSixIsNeverWritten)
{
    const ReadMode start{.autoRead = true, .beep = true, .led = true, .sameCard = true, .energySaving = true};
    EXPECT_EQ(encodeReadMode(start), 0x8F);
    EXPECT_EQ(decodeReadMode(0xFF), (ReadMode{true, true, true, true, true, true, true}));
    EXPECT_EQ(encodeReadMode(decodeReadMode(0xFF)), 0xBF) << "bit 6 read is dropped on the next write";
    EXPECT_EQ(decodeReadMode(0x40), ReadMode{});
    EXPECT_EQ(encodeReadMode(ReadMode{.stxAscii = true}), 0x10);
    EXPECT_EQ(encodeReadMode(ReadMode{.eTag = true}), 0x20);
}

TEST(ReaderSettings, FramesAndReplyValues)
{
    EXPECT_EQ(parameterGetFrame(proto::ParScanTime).toHex(' '), "02 02 03 04");
    EXPECT_EQ(parameterSetFrame(proto::ParIdFormat, QByteArray::fromHex("050180")).toHex(' '), "02 05 03 03 05 01 80");
    EXPECT_EQ(parameterSetFrame(proto::ParKeyboardLayout, QByteArray::fromHex("0000")).toHex(' '), "02 04 03 07 00 00");

    // The value sits behind the echoed code; a reply too short for it has none.
    EXPECT_EQ(parameterReplyValue(QByteArray::fromHex("030501"), 3), std::nullopt);
    EXPECT_EQ(parameterReplyValue(QByteArray::fromHex("03050180"), 3), QByteArray::fromHex("050180"));
    EXPECT_EQ(parameterReplyValue(QByteArray::fromHex("0420FF"), 1), QByteArray::fromHex("20"));
    EXPECT_EQ(parameterReplyValue(QByteArray::fromHex("04"), 1), std::nullopt);
    EXPECT_EQ(parameterReplyValue({}, 1), std::nullopt);
    EXPECT_EQ(parameterWidth(proto::ParKeyboardLayout), 2);
    EXPECT_EQ(parameterWidth(proto::ParUsbMode), 1);
}

TEST(ReaderSettings, ListPositionsOnTheWire)
{
    EXPECT_EQ(usbModeByte(1), 2);
    EXPECT_EQ(usbModeByte(-1), 0);
    EXPECT_EQ(layoutByte(2), 2);
    EXPECT_EQ(layoutByte(-1), 0xFF);
    EXPECT_EQ(usbModeIndex(3, 3), 2);
    EXPECT_EQ(usbModeIndex(3, 2), -1) << "mode 3 has no name on the serial list";
    EXPECT_EQ(usbModeIndex(0, 3), std::nullopt) << "a mode the reader cannot hold keeps the selection";
    EXPECT_EQ(usbModeIndex(4, 3), std::nullopt);
    EXPECT_EQ(layoutIndex(3), -1);
    EXPECT_EQ(factoryFormatIndex("KV350-U1"), 16);
    EXPECT_EQ(factoryFormatIndex("KV350-MIC-X"), 8);
    EXPECT_EQ(factoryFormatIndex(""), 4);
    EXPECT_EQ(factoryFormatIndex("kv350-u1"), 4) << "names compare exactly";
}
