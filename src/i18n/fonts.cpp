#include "fonts.h"

namespace kv350::i18n {

namespace {

// "Family [Foundry]", as a font database lists a family offered by two foundries.
QString bareFamily(const QString &listed)
{
    const qsizetype bracket = listed.indexOf(u'[');
    return (bracket < 0 ? listed : listed.left(bracket)).trimmed();
}

}  // namespace

LanguageFont languageFont(Language language)
{
    switch (language) {
    case Language::Simplified:
        // 宋体 is SimSun's own name; a font database may list either.
        return {{QStringLiteral("宋体"), QStringLiteral("SimSun"), QStringLiteral("Noto Sans CJK SC"),
                 QStringLiteral("Noto Sans SC"), QStringLiteral("Microsoft YaHei"), QStringLiteral("PingFang SC")},
                12};
    case Language::Traditional:
        return {{QStringLiteral("細明體"), QStringLiteral("PMingLiU"), QStringLiteral("Noto Sans CJK TC"),
                 QStringLiteral("Noto Sans TC"), QStringLiteral("Microsoft JhengHei"), QStringLiteral("PingFang TC")},
                12};
    case Language::English:
        break;
    }
    return {{QStringLiteral("Tahoma"), QStringLiteral("DejaVu Sans"), QStringLiteral("Segoe UI"),
             QStringLiteral("Helvetica")},
            11};
}

QString pickFamily(Language language, const QStringList &installed)
{
    const QStringList preferred = languageFont(language).families;
    for (const QString &family : preferred) {
        for (const QString &listed : installed) {
            if (bareFamily(listed).compare(family, Qt::CaseInsensitive) == 0)
                return family;
        }
    }
    return preferred.first();
}

}  // namespace kv350::i18n
