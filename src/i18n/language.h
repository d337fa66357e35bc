#pragma once
// The current language and the lookup of a message's text in it.

#include "i18n/textlookup.h"

#include <QString>
#include <optional>

namespace kv350::i18n {

// The value is the column of a triplet (LanguageIndex).
enum class Language { English = 0, Simplified = 1, Traditional = 2 };
inline constexpr int LanguageCount = 3;

// "English", "ChineseGB", "ChineseBIG5": the text the choice is stored as.
QString languageName(Language language);
// Exact and case-sensitive, as the stored choice has always been compared.
std::optional<Language> languageFromName(const QString &name);

// The text of a message in the given language. An unknown message comes back
// as the English text itself, so a caption missing from the table still reads
// sensibly rather than blank.
QString textIn(Language language, const QString &english);
// Where one English text has two translations, the context (the control's
// name) picks the row; without a matching context the first row serves.
QString textIn(Language language, const QString &english, const QString &context);

class Localizer {
public:
    Language language() const { return m_language; }
    int LanguageIndex() const { return static_cast<int>(m_language); }
    // Usually languageName(language()), but it keeps an unrecognised stored
    // text until the user picks a language.
    const QString &LanguageName() const { return m_name; }

    // The user picked a language.
    void setLanguage(Language language);
    // What the store held at start; nothing stored means English.
    void applyStoredName(const std::optional<QString> &stored);

    QString LocalText(const QString &english) const { return textIn(m_language, english); }
    QString LocalText(const QString &english, const QString &context) const
    {
        return textIn(m_language, english, context);
    }

    // For the link's reports. It reads the language when called, not when
    // made, so a message shown after a change is in the new language; the
    // Localizer must outlive it.
    kv350::TextLookup textLookup() const;

private:
    Language m_language = Language::English;
    QString m_name = QStringLiteral("English");
};

}  // namespace kv350::i18n
