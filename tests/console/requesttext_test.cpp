// The Command page's request texts.
#include "console/requesttext.h"
#include "link/frame.h"

#include <gtest/gtest.h>

using namespace kv350::console;

TEST(RequestText, RebuildCountsTheParsedDataBytes)
{
    struct Row {
        const char *cmd, *data, *len, *whole;
    } rows[] = {
        {"0C", "01 02 03", "04", "02 04 0C 01 02 03 "},
        {"0C", "1,2", "02", "02 02 0C 00 "},  // 1 and the comma are no byte: 00; the 2 is ignored
        {"01", "a5", "02", "02 02 01 A5 "},
        {"0D", "", "01", "02 01 0D "},
        {"0d", "7", "01", "02 01 0d "},  // CMD goes as typed
    };
    for (const Row &r : rows) {
        const RebuiltRequest got = RebuildRequestText("02", r.cmd, r.data);
        EXPECT_EQ(got.len, r.len) << r.data;
        EXPECT_EQ(got.whole, r.whole) << r.data;
    }
}

TEST(RequestText, SamplesGoInAsTheyStand)
{
    EXPECT_EQ(sampleRequestText("02", "01", "0D", ""), "02 01 0D ");
    EXPECT_EQ(sampleRequestText("02", "02", "01", "01"), "02 02 01 01");
    EXPECT_EQ(sampleRequestText("02", "04", "0C", "00 00 08 "), "02 04 0C 00 00 08 ");
}

TEST(RequestText, AsciiWrapperAddsSohCheckDigitsAndCr)
{
    EXPECT_EQ(asciiRequestData("A").value(), "01 41 34 30 0D ") << "check 01^41 = 40";
    EXPECT_EQ(asciiRequestData("").value(), "01 30 31 0D ");
    EXPECT_EQ(RebuildRequestText("02", "00", *asciiRequestData("A")).whole, "02 06 00 01 41 34 30 0D ");
    EXPECT_EQ(RebuildRequestText("02", "00", *asciiRequestData("")).len, "05");

    // The longest text whose wrapping fits the DATA field, and no more.
    const QString tooLong(80, QLatin1Char('Z'));
    EXPECT_EQ(asciiRequestData(tooLong)->size(), MaxRequestDataChars);
    const RebuiltRequest bounded = RebuildRequestText("02", "00", *asciiRequestData(tooLong));
    EXPECT_EQ(bounded.whole.size() / 3, MaxRequestDataBytes + 3);
    EXPECT_TRUE(bounded.whole.endsWith("0D "));
    EXPECT_EQ(asciiRequestData(tooLong), asciiRequestData(tooLong.left(MaxAsciiRequest)));
}

TEST(RequestText, OneByteACharacterInTheWrapperAndTheConverterAlike)
{
    // é is E9 in both (the converter wrote UTF-8, C3 A9, while the wrapper sent E9).
    EXPECT_EQ(asciiToHexText(QString::fromUtf8("é")).value(), "E9 ");
    EXPECT_EQ(asciiRequestData(QString::fromUtf8("é")).value(), "01 E9 45 38 0D ") << "check 01^E9 = E8";
    for (char16_t u = 0x20; u <= 0xFF; ++u) {
        const QString c(QChar{u});
        const QByteArray wrapped = kv350::parseFrameText(asciiRequestData(c).value());
        EXPECT_EQ(kv350::parseFrameText(asciiToHexText(c).value()), wrapped.mid(1, 1)) << int(u);
    }
    // A character with no such byte is refused, not sent as another ('?' it was).
    for (const char *text : {"中", "€", "A\u0100", "😀"}) {
        EXPECT_EQ(asciiRequestData(QString::fromUtf8(text)), std::nullopt) << text;
        EXPECT_EQ(asciiToHexText(QString::fromUtf8(text)), std::nullopt) << text;
    }
    EXPECT_EQ(withOneByteCodesOnly(QString::fromUtf8("a中é€b")), QString::fromUtf8("aéb"));
    EXPECT_EQ(oneByteCodes(QString::fromUtf8("aé\u00FF")), QByteArray("a\xE9\xFF"));
}

TEST(RequestText, ConverterShowsEveryByte)
{
    EXPECT_EQ(asciiToHexText("Az0 ").value(), "41 7A 30 20 ");
    EXPECT_EQ(asciiToHexText("").value(), "");
}
