#pragma once
// The services a page asks of the window beside the link: message boxes and
// file dialogs. The window gives the real ones (app/services.h), the tests
// scripted ones. The tone (Sounder) and the waits (Pause) are the others.

#include "link/pause.h"
#include "pages/reporting.h"

#include <QString>

namespace kv350 {

class Dialogs {
public:
    virtual ~Dialogs() = default;
    // A modal message box with OK only and no icon.
    virtual void message(const QString &caption, const QString &text) = 0;
    // A file-open dialog; empty when the user cancelled.
    virtual QString openFile(const QString &caption, const QString &filter) = 0;
};

}  // namespace kv350
