#include "languagestore.h"

namespace kv350::i18n {

QSettingsLanguageStore::QSettingsLanguageStore(QSettings::Format format, QString organisation, QString application)
    : m_format(format), m_organisation(std::move(organisation)), m_application(std::move(application))
{
}

std::optional<QString> QSettingsLanguageStore::readFrom(QSettings::Scope scope) const
{
    QSettings settings(m_format, scope, m_organisation, m_application);
    // The fallbacks are explicit here; QSettings' own would also take
    // organisation-wide values.
    settings.setFallbacksEnabled(false);
    if (settings.status() != QSettings::NoError || !settings.contains(QLatin1String(Key)))
        return std::nullopt;
    return settings.value(QLatin1String(Key)).toString();
}

std::optional<QString> QSettingsLanguageStore::readLanguage()
{
    if (auto user = readFrom(QSettings::UserScope))
        return user;
    return readFrom(QSettings::SystemScope);
}

bool QSettingsLanguageStore::writeLanguage(const QString &name)
{
    QSettings settings(m_format, QSettings::UserScope, m_organisation, m_application);
    settings.setFallbacksEnabled(false);
    if (!settings.isWritable())
        return false;
    settings.setValue(QLatin1String(Key), name);
    settings.sync();
    return settings.status() == QSettings::NoError;
}

void LoadLanguage(Localizer &localizer, LanguageStore &store)
{
    localizer.applyStoredName(store.readLanguage());
}

bool SaveLanguage(const Localizer &localizer, LanguageStore &store)
{
    return store.writeLanguage(localizer.LanguageName());
}

bool ChooseLanguage(Localizer &localizer, LanguageStore &store, Language language)
{
    localizer.setLanguage(language);
    return SaveLanguage(localizer, store);
}

}  // namespace kv350::i18n
