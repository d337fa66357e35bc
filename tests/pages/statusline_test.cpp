// The status panel's line, made by the window from the link's state and the
// reader's identity, in each language.
#include "i18n/language.h"
#include "pages/statusline.h"

#include <gtest/gtest.h>

using namespace kv350;

TEST(StatusLine, EachStateInEachLanguage)
{
    const ReaderIdentity reader{"00001234", "KV350-MIC", "KV350-MIC   V3.1"};
    i18n::Localizer language;
    const TextLookup text = language.textLookup();

    language.setLanguage(i18n::Language::Simplified);
    StatusLine line = statusLine(LinkState::Identified, reader, text, {});
    EXPECT_EQ(line.text, QString::fromUtf8("[已连线] (KV350-MIC   V3.1) (SN:00001234)"));
    EXPECT_EQ(line.colour, ColourYellow);
    EXPECT_EQ(statusLine(LinkState::Open, reader, text, {}).text, QString::fromUtf8("已连线"));

    language.setLanguage(i18n::Language::Traditional);
    line = statusLine(LinkState::Disconnected, reader, text, QStringLiteral("whatever it said"));
    EXPECT_EQ(line.text, QString::fromUtf8("未連線"));
    EXPECT_EQ(line.colour, ColourRed);

    // Connecting turns the panel grey and leaves its words.
    line = statusLine(LinkState::Connecting, reader, text, QStringLiteral("Status"));
    EXPECT_EQ(line.text, "Status");
    EXPECT_EQ(line.colour, ColourGrey);
}
