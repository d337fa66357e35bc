#include "language.h"

#include "texttable.h"

#include <QHash>
#include <array>
#include <vector>

namespace kv350::i18n {

namespace {

constexpr const char *Names[LanguageCount] = {"English", "ChineseGB", "ChineseBIG5"};

struct TextIndex {
    std::vector<std::array<QString, LanguageCount>> texts;
    QHash<QString, int> byEnglish;  // first row of each English text
    QHash<QString, int> byContext;  // "context\nenglish"

    TextIndex()
    {
        std::vector<const Triplet *> rows;
        for (const Triplet &t : textTable())
            rows.push_back(&t);
        for (const Triplet &t : addedTexts())
            rows.push_back(&t);
        texts.resize(rows.size());
        for (int row = 0; row < int(rows.size()); ++row) {
            const Triplet &t = *rows[row];
            texts[row][0] = QString::fromUtf8(t.english);
            texts[row][1] = QString::fromUtf8(t.simplified);
            texts[row][2] = QString::fromUtf8(t.traditional);
            if (!byEnglish.contains(texts[row][0]))
                byEnglish.insert(texts[row][0], row);
            if (t.context)
                byContext.insert(contextKey(QString::fromUtf8(t.context), texts[row][0]), row);
        }
    }
    static QString contextKey(const QString &context, const QString &english) { return context + u'\n' + english; }
};

// Built on first use and kept: the table is read-only for the program's life.
const TextIndex &index()
{
    static const TextIndex instance;
    return instance;
}

int column(Language language)
{
    const int c = static_cast<int>(language);
    return c >= 0 && c < LanguageCount ? c : 0;
}

}  // namespace

QString languageName(Language language)
{
    return QString::fromLatin1(Names[column(language)]);
}

std::optional<Language> languageFromName(const QString &name)
{
    for (int i = 0; i < LanguageCount; ++i) {
        if (name == QLatin1String(Names[i]))
            return static_cast<Language>(i);
    }
    return std::nullopt;
}

QString textIn(Language language, const QString &english)
{
    const TextIndex &ix = index();
    const auto it = ix.byEnglish.constFind(english);
    return it == ix.byEnglish.cend() ? english : ix.texts[*it][column(language)];
}

QString textIn(Language language, const QString &english, const QString &context)
{
    const TextIndex &ix = index();
    const auto it = ix.byContext.constFind(TextIndex::contextKey(context, english));
    return it == ix.byContext.cend() ? textIn(language, english) : ix.texts[*it][column(language)];
}

void Localizer::setLanguage(Language language)
{
    m_language = language;
    m_name = languageName(language);
}

void Localizer::applyStoredName(const std::optional<QString> &stored)
{
    if (!stored) {
        setLanguage(Language::English);
        return;
    }
    m_language = languageFromName(*stored).value_or(Language::English);
    m_name = *stored;
}

kv350::TextLookup Localizer::textLookup() const
{
    return [this](const QString &english) { return LocalText(english); };
}

}  // namespace kv350::i18n
