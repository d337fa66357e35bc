// Looking a message up in the current language.
#include "i18n/language.h"

#include "link/models.h"
#include "link/virtualtime.h"
#include "pages/reporting.h"

#include <gtest/gtest.h>

using namespace kv350::i18n;

TEST(LanguageName, NamesAreExactAndCaseSensitive)
{
    EXPECT_EQ(languageName(Language::English), "English");
    EXPECT_EQ(languageName(Language::Simplified), "ChineseGB");
    EXPECT_EQ(languageName(Language::Traditional), "ChineseBIG5");
    const struct {
        const char *name;
        std::optional<Language> language;
    } rows[] = {
        {"English", Language::English},
        {"ChineseGB", Language::Simplified},
        {"ChineseBIG5", Language::Traditional},
        {"chinesegb", std::nullopt},
        {"CHINESEBIG5", std::nullopt},
        {"ChineseGB ", std::nullopt},
        {"ChineseBig5", std::nullopt},
        {"", std::nullopt},
        {"1", std::nullopt},
    };
    for (const auto &r : rows)
        EXPECT_EQ(languageFromName(QString::fromLatin1(r.name)), r.language) << r.name;
}

TEST(LocalText, AnUnknownMessageComesBackAsGiven)
{
    for (Language language : {Language::English, Language::Simplified, Language::Traditional}) {
        EXPECT_EQ(textIn(language, "No such caption"), "No such caption");
        EXPECT_EQ(textIn(language, "command done."), "command done.");  // keys are case-sensitive
        EXPECT_EQ(textIn(language, "Command Done. "), "Command Done. ");
        EXPECT_EQ(textIn(language, ""), "");
    }
}

TEST(LocalText, TheLookupReadsTheLanguageWhenCalled)
{
    Localizer localizer;
    const kv350::TextLookup text = localizer.textLookup();
    EXPECT_EQ(text("Command Done."), "Command Done.");
    localizer.setLanguage(Language::Simplified);
    EXPECT_EQ(text("Command Done."), "指令完成。");
    localizer.setLanguage(Language::Traditional);
    EXPECT_EQ(text("No Card or Key Error!"), "無卡片或Key錯誤！");
}

TEST(LocalText, AReportAfterALanguageChangeIsInTheNewLanguage)
{
    struct Panel : kv350::MessagePanel, kv350::Sounder {
        QString text;
        void setMessage(const QString &t) override { text = t; }
        void setMessageColour(kv350::ColourValue) override {}
        void tone(int, int) override {}
    } panel;
    kv350::VirtualTime time;
    Localizer localizer;
    kv350::Reporter reporter(panel, time, panel, localizer.textLookup());
    reporter.ShowCommandError();
    EXPECT_EQ(panel.text, "Command Error!");
    localizer.setLanguage(Language::Traditional);
    reporter.ShowCommandDone();
    EXPECT_EQ(panel.text, "指令完成。");
}

TEST(LocalText, AContextPicksBetweenTwoReadingsOfOneEnglishText)
{
    const struct {
        const char *english, *context, *simplified, *traditional;
    } rows[] = {
        {"Auto Read", nullptr, "自动读卡", "自動讀卡"},  // the tab caption comes first
        {"Auto Read", "tsAuto", "自动读卡", "自動讀卡"},
        {"Auto Read", "chkETAGAutoRead", "自动读取", "自動讀取"},
        {"Auto Read", "chkNoSuchControl", "自动读卡", "自動讀卡"},
        {"Command Done.", "chkETAGAutoRead", "指令完成。", "指令完成。"},
        {"No such caption", "tsAuto", "No such caption", "No such caption"},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(std::string(r.english) + " / " + (r.context ? r.context : "-"));
        const QString english = QString::fromUtf8(r.english);
        if (r.context) {
            EXPECT_EQ(textIn(Language::Simplified, english, r.context), r.simplified);
            EXPECT_EQ(textIn(Language::Traditional, english, r.context), r.traditional);
            EXPECT_EQ(textIn(Language::English, english, r.context), english);
        } else {
            EXPECT_EQ(textIn(Language::Simplified, english), r.simplified);
            EXPECT_EQ(textIn(Language::Traditional, english), r.traditional);
        }
    }
}

TEST(Localizer, AStoredNameSelectsOnlyWhenExact)
{
    const struct {
        std::optional<QString> stored;
        Language language;
        const char *name;
    } rows[] = {
        {std::nullopt, Language::English, "English"},
        {QStringLiteral("English"), Language::English, "English"},
        {QStringLiteral("ChineseGB"), Language::Simplified, "ChineseGB"},
        {QStringLiteral("ChineseBIG5"), Language::Traditional, "ChineseBIG5"},
        {QStringLiteral("chinesegb"), Language::English, "chinesegb"},
        {QStringLiteral("Klingon"), Language::English, "Klingon"},
        {QString(), Language::English, ""},
    };
    for (const auto &r : rows) {
        Localizer localizer;
        localizer.setLanguage(Language::Traditional);  // whatever came before is replaced
        localizer.applyStoredName(r.stored);
        EXPECT_EQ(localizer.language(), r.language) << r.name;
        EXPECT_EQ(localizer.LanguageName(), r.name);
    }
}

TEST(Localizer, PickingALanguageReplacesAnUnrecognisedStoredName)
{
    Localizer localizer;
    localizer.applyStoredName(QStringLiteral("chinesegb"));
    EXPECT_EQ(localizer.LocalText("Connected"), "Connected");
    localizer.setLanguage(Language::English);
    EXPECT_EQ(localizer.LanguageName(), "English");
}

TEST(Language, TheAboutSentenceOfTheModelTableIsInTheTextTable)
{
    // The window builds the About text from the model table; a model added
    // there without its sentence in the text table would show in English only.
    const QString english = kv350::aboutText();
    EXPECT_EQ(kv350::i18n::textIn(kv350::i18n::Language::Simplified, english),
              QString::fromUtf8("本软体支援: KV350-M1,KV350-U1,KV350-MIC,KV350-IC,KV350-LF,KV350-MIC-X,KV350-A1。"));
    EXPECT_EQ(kv350::i18n::textIn(kv350::i18n::Language::Traditional, english),
              QString::fromUtf8("本軟體支援: KV350-M1,KV350-U1,KV350-MIC,KV350-IC,KV350-LF,KV350-MIC-X,KV350-A1。"));
}
