// The window font: the first preferred family that the system has.
#include "i18n/fonts.h"

#include <gtest/gtest.h>

using namespace kv350::i18n;

TEST(LanguageFont, TheToolsOwnFontsComeFirstAtTheirSizes)
{
    EXPECT_EQ(languageFont(Language::English).families.first(), "Tahoma");
    EXPECT_EQ(languageFont(Language::English).pointSize, 11);
    EXPECT_EQ(languageFont(Language::Simplified).families.first(), "宋体");
    EXPECT_EQ(languageFont(Language::Simplified).pointSize, 12);
    EXPECT_EQ(languageFont(Language::Traditional).families.first(), "細明體");
    EXPECT_EQ(languageFont(Language::Traditional).pointSize, 12);
}

TEST(PickFamily, FirstPreferenceThatIsInstalledWins)
{
    const QStringList notoCjk{"DejaVu Sans", "Noto Sans CJK JP", "Noto Sans CJK TC", "Noto Sans CJK SC"};
    const struct {
        Language language;
        QStringList installed;
        const char *expected;
    } rows[] = {
        {Language::English, {"DejaVu Sans", "Tahoma"}, "Tahoma"},  // preference order, not listing order
        {Language::English, notoCjk, "DejaVu Sans"},
        {Language::Simplified, notoCjk, "Noto Sans CJK SC"},
        {Language::Traditional, notoCjk, "Noto Sans CJK TC"},
        {Language::Simplified, {"Microsoft YaHei", "SimSun", "宋体"}, "宋体"},
        {Language::Traditional, {"PMingLiU", "Microsoft JhengHei"}, "PMingLiU"},
        {Language::Simplified, {"simsun"}, "SimSun"},
        {Language::Traditional, {"Noto Sans CJK TC [GOOG]"}, "Noto Sans CJK TC"},
        {Language::Simplified, {"Noto Sans CJK"}, "宋体"},  // whole names only
        {Language::Simplified, {"Noto Sans CJK SC Black"}, "宋体"},
        {Language::English, {"Arial"}, "Tahoma"},
        {Language::Traditional, {}, "細明體"},
    };
    for (const auto &r : rows)
        EXPECT_EQ(pickFamily(r.language, r.installed), r.expected) << r.installed.join(", ").toStdString();
}
