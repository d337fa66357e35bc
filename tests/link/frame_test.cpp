// The frame as the program builds, recognises and shows it.
#include "hexbytes.h"
#include "link/frame.h"

#include <gtest/gtest.h>

using namespace kv350;

namespace {
const std::uint8_t *bytes(const QByteArray &a)
{
    return reinterpret_cast<const std::uint8_t *>(a.constData());
}

// Feeds a stream to a collector; returns the length of the first frame it completes, 0 if none.
int collect(FrameCollector &c, const QByteArray &stream)
{
    for (char b : stream)
        if (c.push(std::uint8_t(b)))
            return c.stored();
    return 0;
}
}  // namespace

TEST(FrameBuild, LenCountsCmdAndData)
{
    EXPECT_EQ(buildRequest(0x0D), hex("02010D"));
    EXPECT_EQ(buildRequest(0x0F, hex("01")), hex("02020F01"));
    EXPECT_EQ(buildRequest(0x03, hex("03050180")), hex("02050303050180"));
    // 254 DATA bytes is the most a LEN byte can count.
    EXPECT_EQ(buildRequest(0x00, QByteArray(254, 'x')).size(), 257);
    EXPECT_TRUE(buildRequest(0x00, QByteArray(255, 'x')).isEmpty());
}

TEST(FrameCollect, RecognisesFramesOnAStream)
{
    FrameCollector c;
    EXPECT_EQ(collect(c, hex("02020D00")), 4);  // no DATA: complete at 4 bytes

    c.reset();
    EXPECT_EQ(collect(c, hex("FF00AA5502040300010199")), 6) << "noise before 02 is dropped";
    EXPECT_EQ(QByteArray(reinterpret_cast<const char *>(c.data()), 6), hex("020403000101"));

    c.reset();
    // Once collecting, a 02 inside DATA is stored like any other byte.
    EXPECT_EQ(collect(c, hex("02050300020202")), 7);
    EXPECT_EQ(c.data()[5], 0x02);

    c.reset();
    EXPECT_EQ(collect(c, hex("0203")), 0) << "incomplete";
    EXPECT_TRUE(c.collecting());
}

TEST(FrameCollect, LenOf254Or255NeverCompletes)
{
    for (int len : {254, 255}) {
        FrameCollector c;
        QByteArray stream;
        stream.append(char(0x02));
        stream.append(char(len));
        stream.append(QByteArray(len, char(0x11)));
        EXPECT_EQ(collect(c, stream), 0) << "LEN " << len;
    }
    // LEN 253 is the longest frame that completes: 255 bytes.
    FrameCollector c;
    QByteArray stream = hex("02FD");
    stream.append(QByteArray(253, char(0x11)));
    EXPECT_EQ(collect(c, stream), 255);
}

TEST(FrameCheck, AcceptsOnlyFramesThatEchoTheCommand)
{
    // clang-format off
    struct Row {
        const char *reply;
        ResponseCheck expected;
    } rows[] = {
        {"02020100", ResponseCheck::Accepted},
        {"02020101", ResponseCheck::Accepted},  // STA is the caller's business
        {"02020110", ResponseCheck::Accepted},  // (the transaction fails 10 itself)
        {"020201", ResponseCheck::TooShort},
        {"", ResponseCheck::TooShort},
        {"03020100", ResponseCheck::NoStx},
        {"02020500", ResponseCheck::WrongCmd},
    };
    // clang-format on
    for (const Row &r : rows) {
        const QByteArray reply = hex(r.reply);
        EXPECT_EQ(checkResponse(0x01, bytes(reply), int(reply.size())), r.expected) << r.reply;
    }
}

TEST(FrameText, HexTextsAndTheirParsing)
{
    EXPECT_EQ(frameText(hex("02010D")), "02 01 0D ");
    EXPECT_EQ(frameText(QByteArray()), "");
    EXPECT_EQ(BytesToHex(hex("000AFF")), "000AFF");
    EXPECT_EQ(BytesToHex(QByteArray()), "");
    EXPECT_EQ(BytesToText(QByteArray("AB\x01", 3)), QString::fromLatin1("AB\x01", 3));
    const QByteArray mixed = hex("410D80207E7F");
    EXPECT_EQ(printableText(bytes(mixed), 6), "A.. ~.");

    // Every byte takes three characters; the separator is not looked at.
    EXPECT_EQ(parseFrameText("02 01 0D "), hex("02010D"));
    EXPECT_EQ(parseFrameText("02-01x0d"), hex("02010D"));
    EXPECT_EQ(parseFrameText("02 01 0"), hex("0201")) << "a lone last digit is ignored";
    EXPECT_EQ(parseFrameText(""), QByteArray());
    EXPECT_EQ(parseFrameText("a5 "), hex("A5")) << "lower case is hex too";
    bool allHex = true;
    EXPECT_EQ(parseFrameText("02 0G 0D", &allHex), hex("02000D")) << "a pair that is not hex is 00";
    EXPECT_FALSE(allHex);
    EXPECT_EQ(parseFrameText("1,2", &allHex), hex("00")) << "1 and the comma do not convert; the 2 is ignored";
    EXPECT_FALSE(allHex);
    EXPECT_EQ(parseFrameText("0201 0D", &allHex), hex("0200")) << "every byte takes three characters";
    parseFrameText("02 01 0D ", &allHex);
    EXPECT_TRUE(allHex);
}

TEST(FrameFields, RequestAndResponseAsTheWindowShowsThem)
{
    const QByteArray req = hex("02050303050180");
    const RequestFields r = requestFields(bytes(req), int(req.size()));
    EXPECT_EQ(r.whole, "02 05 03 03 05 01 80 ");
    EXPECT_EQ(r.stx, "02");
    EXPECT_EQ(r.len, "05");
    EXPECT_EQ(r.cmd, "03");
    EXPECT_EQ(r.data, "03 05 01 80 ");
    EXPECT_EQ(r.tx, "TX : 02 05 03 03 05 01 80 ");

    const QByteArray bare = hex("02020100");
    ResponseFields f = responseFields(bytes(bare), 4);
    EXPECT_EQ(f.data, "");
    EXPECT_EQ(f.ascii, "");
    EXPECT_EQ(f.whole, "02 02 01 00 ");
    EXPECT_EQ(f.rx, "RX : 02 02 01 00 ");

    const QByteArray withData = hex("0205010041 0D80");
    f = responseFields(bytes(withData), 7);
    EXPECT_EQ(f.sta, "00");
    EXPECT_EQ(f.data, "41 0D 80 ");
    EXPECT_EQ(f.ascii, "A..");
    EXPECT_EQ(f.whole, "02 05 01 00 41 0D 80 ");

    const ResponseFields cleared = clearedResponseFields();
    EXPECT_EQ(cleared.stx + cleared.len + cleared.cmd + cleared.sta, "________");
    EXPECT_TRUE(cleared.data.isEmpty() && cleared.whole.isEmpty() && cleared.ascii.isEmpty());
}

TEST(FrameText, DeviceTextIsShownWithItsControlCharactersEscaped)
{
    // ESC [2J clears a terminal, ESC ]0;...BEL retitles it; CR and BS overwrite what was printed.
    EXPECT_EQ(visibleText(QString::fromLatin1("SN\x1B[2J\r\x08\x07\x1B]0;x\x07")),
              "SN\\x1B[2J\\x0D\\x08\\x07\\x1B]0;x\\x07");
    EXPECT_EQ(visibleText(QString::fromLatin1("\n\t\x7F\x80\x9B\x9F", 6)), "\\x0A\\x09\\x7F\\x80\\x9B\\x9F")
        << "DEL and the C1 controls (0x9B is an 8-bit CSI) too";
    EXPECT_EQ(visibleText(QString::fromLatin1("\0A", 2)), "\\x00A");
    // What is no control stays: blanks, Latin-1 letters, other scripts, the backslash.
    EXPECT_EQ(visibleText(QString::fromUtf8("KV350-M1 é 中 \\ ~\u00A0")),
              QString::fromUtf8("KV350-M1 é 中 \\ ~\u00A0"));
}

TEST(FrameText, UsbIdsAsMessagesShowThem)
{
    EXPECT_EQ(usbIdText(0x0E6A, 0x0317), "0E6A:0317");
    EXPECT_EQ(usbIdText(0xabcd, 0x0001), "ABCD:0001");
    EXPECT_EQ(usbIdText(0, 0xFFFF), "0000:FFFF");
}

TEST(FrameText, UsbIdsConvertFromPlainHexDigitsOnly)
{
    EXPECT_EQ(parseHexId("0E6A"), 0x0E6A);
    EXPECT_EQ(parseHexId("1a2b"), 0x1A2B);
    EXPECT_EQ(parseHexId("F"), 0xF);
    EXPECT_EQ(parseHexId("0000"), 0);
    for (const char *refused : {"", " 1A", "1 ", "+1A", "-1", "0x1", "1A2B3", "G1", "1.0", "1_2"})
        EXPECT_EQ(parseHexId(QString::fromLatin1(refused)), std::nullopt) << '"' << refused << '"';
    EXPECT_EQ(parseHexId(QString::fromUtf8("\uFF11")), std::nullopt) << "a full-width digit is no hex digit";
}
