#include "services.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>

namespace kv350 {

void QtDialogs::message(const QString &caption, const QString &text)
{
    QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::Ok, m_parent);
    box.exec();
}

QString QtDialogs::openFile(const QString &caption, const QString &filter)
{
    return QFileDialog::getOpenFileName(m_parent, caption, QString(), filter);
}

void BeepSounder::tone(int /*frequencyHz*/, int durationMs)
{
    QApplication::beep();
    m_pause.wait(durationMs);
}

}  // namespace kv350
