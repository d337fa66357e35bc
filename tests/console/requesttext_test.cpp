// The Command page's request texts.
#include "console/requesttext.h"

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
    EXPECT_EQ(asciiRequestData("A"), "01 41 34 30 0D ") << "check 01^41 = 40";
    EXPECT_EQ(asciiRequestData(""), "01 30 31 0D ");
    EXPECT_EQ(RebuildRequestText("02", "00", asciiRequestData("A")).whole, "02 06 00 01 41 34 30 0D ");
    EXPECT_EQ(RebuildRequestText("02", "00", asciiRequestData("")).len, "05");

    // The longest text whose wrapping fits the DATA field, and no more.
    const QString tooLong(80, QLatin1Char('Z'));
    EXPECT_EQ(asciiRequestData(tooLong).size(), MaxRequestDataChars);
    const RebuiltRequest bounded = RebuildRequestText("02", "00", asciiRequestData(tooLong));
    EXPECT_EQ(bounded.whole.size() / 3, MaxRequestDataBytes + 3);
    EXPECT_TRUE(bounded.whole.endsWith("0D "));
    EXPECT_EQ(asciiRequestData(tooLong), asciiRequestData(tooLong.left(MaxAsciiRequest)));
    // A character the module cannot take goes as '?'.
    EXPECT_EQ(asciiRequestData(QString::fromUtf8("中")), asciiRequestData("?"));
}

TEST(RequestText, ConverterShowsEveryByte)
{
    EXPECT_EQ(asciiToHexText("Az0 "), "41 7A 30 20 ");
    EXPECT_EQ(asciiToHexText(""), "");
    EXPECT_EQ(asciiToHexText(QString::fromUtf8("é")), "C3 A9 ");
}
