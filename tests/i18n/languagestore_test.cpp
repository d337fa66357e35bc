// The stored language choice, in per-user and machine-wide settings under a
// temporary directory; the real user's settings are never touched.
#include "i18n/languagestore.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace kv350::i18n;

namespace {

class LanguageStoreTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, userDir());
        QSettings::setPath(QSettings::IniFormat, QSettings::SystemScope, systemDir());
    }

    QString userDir() const { return m_dir.filePath("user"); }
    QString systemDir() const { return m_dir.filePath("system"); }
    QString userFile() const { return userDir() + "/VANTO/KV350Tools.ini"; }
    QString systemFile() const { return systemDir() + "/VANTO/KV350Tools.ini"; }

    static void put(const QString &file, const QString &value)
    {
        QSettings settings(file, QSettings::IniFormat);
        settings.setValue("LanguageFlag", value);
        settings.sync();
        ASSERT_EQ(settings.status(), QSettings::NoError);
    }
    static QVariant stored(const QString &file) { return QSettings(file, QSettings::IniFormat).value("LanguageFlag"); }

    QSettingsLanguageStore m_store{QSettings::IniFormat};
    QTemporaryDir m_dir;
};

}  // namespace

TEST_F(LanguageStoreTest, NothingStoredStartsInEnglish)
{
    Localizer localizer;
    localizer.setLanguage(Language::Simplified);
    LoadLanguage(localizer, m_store);
    EXPECT_EQ(localizer.language(), Language::English);
    EXPECT_EQ(localizer.LanguageName(), "English");
}

TEST_F(LanguageStoreTest, EachLanguageLastsToTheNextStart)
{
    for (Language language : {Language::Simplified, Language::Traditional, Language::English}) {
        Localizer chooser;
        ASSERT_TRUE(ChooseLanguage(chooser, m_store, language));
        QSettingsLanguageStore nextRun(QSettings::IniFormat);
        Localizer started;
        LoadLanguage(started, nextRun);
        EXPECT_EQ(started.language(), language);
        EXPECT_EQ(started.LanguageName(), languageName(language));
    }
}

TEST_F(LanguageStoreTest, TheChoiceIsWrittenToTheUsersOwnSettings)
{
    Localizer localizer;
    ASSERT_TRUE(ChooseLanguage(localizer, m_store, Language::Traditional));
    EXPECT_EQ(stored(userFile()), "ChineseBIG5");
    EXPECT_FALSE(QFile::exists(systemFile()));
}

TEST_F(LanguageStoreTest, AnUnrecognisedValueGivesEnglishAndIsKept)
{
    put(userFile(), "chinesegb");
    Localizer localizer;
    LoadLanguage(localizer, m_store);
    EXPECT_EQ(localizer.language(), Language::English);
    EXPECT_EQ(localizer.LanguageName(), "chinesegb");
    EXPECT_EQ(localizer.LocalText("Command Done."), "Command Done.");
}

TEST_F(LanguageStoreTest, TheUsersValueWinsOverTheMachineWideOne)
{
    put(systemFile(), "ChineseGB");
    put(userFile(), "ChineseBIG5");
    EXPECT_EQ(m_store.readLanguage(), "ChineseBIG5");
}

TEST_F(LanguageStoreTest, AnUnrecognisedUserValueStillWins)
{
    put(systemFile(), "ChineseGB");
    put(userFile(), "Klingon");
    EXPECT_EQ(m_store.readLanguage(), "Klingon");
}

TEST_F(LanguageStoreTest, TheMachineWideValueServesWhenTheUserHasNone)
{
    put(systemFile(), "ChineseGB");
    Localizer localizer;
    LoadLanguage(localizer, m_store);
    EXPECT_EQ(localizer.language(), Language::Simplified);
    // Choosing then writes the user's settings and leaves the machine-wide value alone.
    ASSERT_TRUE(ChooseLanguage(localizer, m_store, Language::English));
    EXPECT_EQ(stored(userFile()), "English");
    EXPECT_EQ(stored(systemFile()), "ChineseGB");
    EXPECT_EQ(m_store.readLanguage(), "English");
}

TEST_F(LanguageStoreTest, AnUnwritableStoreKeepsTheChoiceForThisRunAndSaysSo)
{
    // A directory that cannot be made, whoever runs the test (root ignores permissions).
    QFile blocker(m_dir.filePath("blocker"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_dir.filePath("blocker/user"));

    Localizer localizer;
    EXPECT_FALSE(ChooseLanguage(localizer, m_store, Language::Simplified));
    EXPECT_EQ(localizer.language(), Language::Simplified);
    EXPECT_EQ(localizer.LanguageName(), "ChineseGB");
    EXPECT_EQ(m_store.readLanguage(), std::nullopt);
}

TEST(MemoryLanguageStore, ChoosingTheCurrentLanguageStillWrites)
{
    MemoryLanguageStore store;
    Localizer localizer;
    EXPECT_TRUE(ChooseLanguage(localizer, store, Language::English));
    EXPECT_TRUE(ChooseLanguage(localizer, store, Language::English));
    EXPECT_EQ(store.m_writes, 2);
    EXPECT_EQ(store.m_value, "English");

    store.m_writable = false;
    EXPECT_FALSE(ChooseLanguage(localizer, store, Language::Traditional));
    EXPECT_EQ(store.m_value, "English");
    EXPECT_EQ(localizer.LanguageName(), "ChineseBIG5");
}
