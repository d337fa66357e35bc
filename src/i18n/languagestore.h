#pragma once
// Where the language choice lasts between runs.

#include "language.h"

#include <QSettings>
#include <optional>

namespace kv350::i18n {

class LanguageStore {
public:
    virtual ~LanguageStore() = default;
    // Nothing when no value is stored or the store cannot be read.
    virtual std::optional<QString> readLanguage() = 0;
    // False when the value could not be written; the choice then lasts this run only.
    virtual bool writeLanguage(const QString &name) = 0;
};

// Writes the user's own settings: a machine-wide location is not writable
// for a normal user, and the choice would silently last one run. Reads the
// user's value first and a machine-wide one (set by an installer, or left by
// older versions) as a fallback.
class QSettingsLanguageStore : public LanguageStore {
public:
    // The format lets tests use IniFormat under QSettings::setPath.
    explicit QSettingsLanguageStore(QSettings::Format format = QSettings::NativeFormat,
                                    QString organisation = QStringLiteral("VANTO"),
                                    QString application = QStringLiteral("KV350Tools"));

    std::optional<QString> readLanguage() override;
    bool writeLanguage(const QString &name) override;

    static constexpr const char *Key = "LanguageFlag";

private:
    std::optional<QString> readFrom(QSettings::Scope scope) const;

    QSettings::Format m_format;
    QString m_organisation;
    QString m_application;
};

class MemoryLanguageStore : public LanguageStore {
public:
    std::optional<QString> readLanguage() override { return m_value; }
    bool writeLanguage(const QString &name) override
    {
        ++m_writes;
        if (m_writable)
            m_value = name;
        return m_writable;
    }

    std::optional<QString> m_value;
    bool m_writable = true;
    int m_writes = 0;
};

// Start: English unless the store holds exactly one of the three names; an
// unrecognised stored text is kept as the language name.
void LoadLanguage(Localizer &localizer, LanguageStore &store);
bool SaveLanguage(const Localizer &localizer, LanguageStore &store);
// A pick from the Language menu: always written, even when already current.
bool ChooseLanguage(Localizer &localizer, LanguageStore &store, Language language);

}  // namespace kv350::i18n
