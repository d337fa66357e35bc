#pragma once
// What every page is given by the main window: the one reader link, the
// outcome reports, the program's waits and the current language.

#include "i18n/language.h"
#include "link/pause.h"
#include "link/readerlink.h"
#include "pages/reporting.h"

namespace kv350 {

struct PageContext {
    ReaderLink &link;
    Reporter &reporter;
    Pause &pause;
    const i18n::Localizer &language;

    QString text(const char *english) const { return language.LocalText(QString::fromLatin1(english)); }
};

}  // namespace kv350
