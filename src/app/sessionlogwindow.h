#pragma once
// The "Session Log" window: the session's log as it grows, the choice to log
// key values, Save As and Clear, and where the session files are kept.
// Non-modal; the main window opens it from its menu and keeps it.

#include "i18n/language.h"
#include "log/sessionlog.h"
#include "pages/services.h"

#include <QWidget>

class QCheckBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace kv350 {

class SessionLogWindow final : public QWidget {
    Q_OBJECT
public:
    SessionLogWindow(SessionLog &log, Dialogs &dialogs, const i18n::Localizer &language, QWidget *parent = nullptr);

    // Where the session files are kept, or why there are none.
    void setFolderText(const QString &folder, const QString &problem = {});
    void applyLanguage();
    // A new line of the log (the window follows it).
    void addLine(const QString &line);

public slots:
    void chkLogKeysClick(bool on);
    void btnLogSaveAsClick();
    void btnLogClearClick();

private:
    QString text(const char *english) const { return m_language.LocalText(QString::fromLatin1(english)); }
    void showKeyNotice();

    SessionLog &m_log;
    Dialogs &m_dialogs;
    const i18n::Localizer &m_language;
    QString m_folder, m_folderProblem;
    QPlainTextEdit *m_moLog;
    QCheckBox *m_chkLogKeys;
    QPushButton *m_btnLogSaveAs, *m_btnLogClear;
    QLabel *m_lblLogFolder, *m_lblLogKeys;
};

}  // namespace kv350
