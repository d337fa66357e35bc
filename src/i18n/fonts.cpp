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
        return {{QStringLiteral("宋体"), QStringLiteral("SimSun"), QStringLiteral("Noto Sans CJK SC"),
                 QStringLiteral("Noto Sans SC"), QStringLiteral("Microsoft YaHei"), QStringLiteral("PingFang SC")},
                12,
                2};
    case Language::Traditional:
        return {{QStringLiteral("細明體"), QStringLiteral("MingLiU"), QStringLiteral("新細明體"),
                 QStringLiteral("PMingLiU"), QStringLiteral("Noto Sans CJK TC"), QStringLiteral("Noto Sans TC"),
                 QStringLiteral("Microsoft JhengHei"), QStringLiteral("PingFang TC")},
                12,
                4};
    case Language::English:
        break;
    }
    return {{QStringLiteral("Tahoma"), QStringLiteral("DejaVu Sans"), QStringLiteral("Segoe UI"),
             QStringLiteral("Helvetica")},
            11,
            1};
}

PickedFont pickFont(Language language, const QStringList &installed)
{
    const LanguageFont font = languageFont(language);
    for (int i = 0; i < font.families.size(); ++i) {
        const QString &family = font.families[i];
        for (const QString &listed : installed) {
            if (bareFamily(listed).compare(family, Qt::CaseInsensitive) == 0)
                return {family,
                        i < font.ownFamilies ? font.pointSize : font.pointSize - LanguageFont::StandInPointsLess};
        }
    }
    return {font.families.first(), font.pointSize};
}

QString pickFamily(Language language, const QStringList &installed)
{
    return pickFont(language, installed).family;
}

}  // namespace kv350::i18n
