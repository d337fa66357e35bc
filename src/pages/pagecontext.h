#pragma once
// What every page is given by the main window: the one reader link, the
// outcome reports, the program's waits, the dialogs and the current language.

#include "i18n/language.h"
#include "link/pause.h"
#include "link/readerlink.h"
#include "pages/reporting.h"
#include "pages/services.h"

namespace kv350 {

struct PageContext {
    ReaderLink &link;
    Reporter &reporter;
    Pause &pause;
    const i18n::Localizer &language;
    Dialogs &dialogs;

    QString text(const char *english) const { return language.LocalText(QString::fromLatin1(english)); }

    // Asks before a write that cannot be undone (Yes / No, default No). On No
    // nothing has been sent, and the message panel says so, without a flash or
    // a tone: nothing is reported as done.
    bool askFirst(const QString &question) const
    {
        if (dialogs.confirm({text("Please confirm"), question, text("Yes"), text("No")}))
            return true;
        reporter.ShowText(text("Cancelled: nothing was sent to the reader."));
        return false;
    }
};

}  // namespace kv350
