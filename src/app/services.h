#pragma once
// The window's services that tests replace: message boxes and file dialogs,
// and the tone.

#include "link/pause.h"
#include "link/reporting.h"

#include <QString>

class QWidget;

namespace kv350 {

class Dialogs {
public:
    virtual ~Dialogs() = default;
    // A modal message box with OK only and no icon.
    virtual void message(const QString &caption, const QString &text) = 0;
    // A file-open dialog; empty when the user cancelled.
    virtual QString openFile(const QString &caption, const QString &filter) = 0;
};

class QtDialogs final : public Dialogs {
public:
    explicit QtDialogs(QWidget *parent = nullptr) : m_parent(parent) {}
    void setParent(QWidget *parent) { m_parent = parent; }
    void message(const QString &caption, const QString &text) override;
    QString openFile(const QString &caption, const QString &filter) override;

private:
    QWidget *m_parent;
};

// The system beep, then the tone's duration waited out with the window
// painting. (A tone of the given frequency needs an audio output; the beep
// serves where none is set up.)
class BeepSounder final : public Sounder {
public:
    explicit BeepSounder(Pause &pause) : m_pause(pause) {}
    void tone(int frequencyHz, int durationMs) override;

private:
    Pause &m_pause;
};

}  // namespace kv350
