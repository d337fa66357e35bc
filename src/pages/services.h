#pragma once
// The services a page asks of the window beside the link: message boxes, the
// question before a write that cannot be undone, and file dialogs. The window gives the real ones (app/services.h), the
// tests scripted ones. The tone (Sounder) and the waits (Pause) are the others.

#include "link/pause.h"
#include "pages/reporting.h"

#include <QString>

namespace kv350 {

// A question asked before a write that cannot be undone, every text already
// in the current language.
struct Confirmation {
    QString caption;
    QString text;
    QString yes;
    QString no;
};

class Dialogs {
public:
    virtual ~Dialogs() = default;
    // A modal message box with OK only and no icon.
    virtual void message(const QString &caption, const QString &text) = 0;
    // A modal Yes/No box whose default is No: Enter, Escape and closing the
    // box all answer No. True only when the user chose Yes.
    virtual bool confirm(const Confirmation &question) = 0;
    // A file-open dialog; empty when the user cancelled.
    virtual QString openFile(const QString &caption, const QString &filter) = 0;
    // A file-save dialog (it asks before replacing a file); empty when the user cancelled.
    virtual QString saveFile(const QString &caption, const QString &filter) = 0;
};

}  // namespace kv350
