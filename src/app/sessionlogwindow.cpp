#include "sessionlogwindow.h"

#include <QCheckBox>
#include <QFile>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>

namespace kv350 {

SessionLogWindow::SessionLogWindow(SessionLog &log, Dialogs &dialogs, const i18n::Localizer &language, QWidget *parent)
    : QWidget(parent, Qt::Window), m_log(log), m_dialogs(dialogs), m_language(language)
{
    setObjectName(QStringLiteral("frmSessionLog"));
    resize(820, 420);
    m_lblLogKeys = new QLabel(this);
    m_lblLogKeys->setObjectName(QStringLiteral("lblLogKeys"));
    m_lblLogKeys->setStyleSheet(QStringLiteral("color: #b00000; font-weight: bold"));
    m_lblLogKeys->hide();
    m_moLog = new QPlainTextEdit(this);
    m_moLog->setObjectName(QStringLiteral("moLog"));
    m_moLog->setReadOnly(true);
    m_moLog->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_moLog->setMaximumBlockCount(SessionLog::KeptLines);
    m_moLog->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_chkLogKeys = new QCheckBox(this);
    m_chkLogKeys->setObjectName(QStringLiteral("chkLogKeys"));
    m_btnLogSaveAs = new QPushButton(this);
    m_btnLogSaveAs->setObjectName(QStringLiteral("btnLogSaveAs"));
    m_btnLogClear = new QPushButton(this);
    m_btnLogClear->setObjectName(QStringLiteral("btnLogClear"));
    m_lblLogFolder = new QLabel(this);
    m_lblLogFolder->setObjectName(QStringLiteral("lblLogFolder"));
    m_lblLogFolder->setTextFormat(Qt::PlainText);
    m_lblLogFolder->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_lblLogFolder->setWordWrap(true);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_lblLogKeys);
    layout->addWidget(m_moLog, 1);
    auto *row = new QHBoxLayout;
    row->addWidget(m_chkLogKeys);
    row->addStretch(1);
    row->addWidget(m_btnLogSaveAs);
    row->addWidget(m_btnLogClear);
    layout->addLayout(row);
    layout->addWidget(m_lblLogFolder);

    connect(m_chkLogKeys, &QCheckBox::clicked, this, &SessionLogWindow::chkLogKeysClick);
    connect(m_btnLogSaveAs, &QPushButton::clicked, this, &SessionLogWindow::btnLogSaveAsClick);
    connect(m_btnLogClear, &QPushButton::clicked, this, &SessionLogWindow::btnLogClearClick);

    for (const QString &line : m_log.lines())
        m_moLog->appendPlainText(line);
    applyLanguage();
}

void SessionLogWindow::applyLanguage()
{
    setWindowTitle(text("Session Log"));
    m_chkLogKeys->setText(text("Log key values"));
    m_btnLogSaveAs->setText(text("Save As..."));
    m_btnLogClear->setText(text("Clear"));
    m_lblLogKeys->setText(text("Key values are written in clear in this log. Keep it safe."));
    setFolderText(m_folder, m_folderProblem);
}

void SessionLogWindow::setFolderText(const QString &folder, const QString &problem)
{
    m_folder = folder;
    m_folderProblem = problem;
    if (!problem.isEmpty())
        m_lblLogFolder->setText(
            text("Each session is kept only in this window: its folder could not be written (%1).").arg(problem));
    else if (!folder.isEmpty())
        m_lblLogFolder->setText(text("Each session is also kept in a file in: %1").arg(folder));
    else
        m_lblLogFolder->clear();
}

void SessionLogWindow::addLine(const QString &line)
{
    QScrollBar *bar = m_moLog->verticalScrollBar();
    m_moLog->appendPlainText(line);
    bar->setValue(bar->maximum());  // follow the newest line
}

void SessionLogWindow::chkLogKeysClick(bool on)
{
    m_log.setLogKeyValues(on);
    showKeyNotice();
}

void SessionLogWindow::showKeyNotice()
{
    m_chkLogKeys->setChecked(m_log.logKeyValues());
    m_lblLogKeys->setVisible(m_log.logKeyValues());
}

void SessionLogWindow::btnLogSaveAsClick()
{
    const QString path = m_dialogs.saveFile(text("Save As..."), text("Text files (*.txt *.log)"));
    if (path.isEmpty())
        return;
    QFile file(path);
    QByteArray bytes;
    for (const QString &line : m_log.header() + m_log.lines())
        bytes += line.toUtf8() + '\n';
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text) || file.write(bytes) != bytes.size() ||
        !file.flush())
        m_dialogs.message(text("Session Log"),
                          text("The log could not be saved: %1").arg(path + QStringLiteral(": ") + file.errorString()));
}

void SessionLogWindow::btnLogClearClick()
{
    m_log.clear();
    m_moLog->clear();
}

}  // namespace kv350
