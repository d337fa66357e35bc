#pragma once
// The window font of each language, without QFont so it is testable here and
// the window maps it: black, regular, the given family and size.

#include "language.h"

#include <QStringList>

namespace kv350::i18n {

struct LanguageFont {
    // In order of preference. The first `ownFamilies` name the font the
    // tool has always used on Windows, under each name a font list may give
    // it (宋体 is SimSun; 細明體 is MingLiU, and 新細明體/PMingLiU is its
    // proportional cut with the same glyphs); the others are stand-ins for
    // systems without it.
    QStringList families;
    int pointSize;
    int ownFamilies;
    // Stand-ins (DejaVu, Noto CJK, ...) run larger at the same size: this
    // much smaller keeps the pages inside the fixed window.
    static constexpr int StandInPointsLess = 2;
};

LanguageFont languageFont(Language language);

// The first preferred family that is installed, compared as font matching
// does (case-insensitive, a "[foundry]" suffix ignored). With none installed
// the first preference is returned, leaving the choice to the platform's own
// font substitution.
QString pickFamily(Language language, const QStringList &installed);

struct PickedFont {
    QString family;
    int pointSize;
};
// pickFamily() with its size: the size of the table for the language's own font
// under any of its names, StandInPointsLess smaller for a stand-in.
PickedFont pickFont(Language language, const QStringList &installed);

}  // namespace kv350::i18n
