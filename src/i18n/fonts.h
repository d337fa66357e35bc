#pragma once
// The window font of each language, without QFont so it is testable here and
// the window maps it: black, regular, the given family and size.

#include "language.h"

#include <QStringList>

namespace kv350::i18n {

struct LanguageFont {
    // In order of preference. The first is the font the tool has always used
    // on Windows; the others cover systems without it.
    QStringList families;
    int pointSize;
};

LanguageFont languageFont(Language language);

// The first preferred family that is installed, compared as font matching
// does (case-insensitive, a "[foundry]" suffix ignored). With none installed
// the first preference is returned, leaving the choice to the platform's own
// font substitution.
QString pickFamily(Language language, const QStringList &installed);

}  // namespace kv350::i18n
