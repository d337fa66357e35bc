#include "sessionlogfile.h"

#include <QDir>
#include <QRegularExpression>

namespace kv350 {

bool SessionLogFile::open(const QString &path, QString *why)
{
    m_file.close();
    m_file.setFileName(path);
    if (m_file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text))
        return true;
    if (why)
        *why = QStringLiteral("%1 cannot be written: %2").arg(path, m_file.errorString());
    return false;
}

bool SessionLogFile::write(const QString &line)
{
    if (!m_file.isOpen())
        return false;
    const QByteArray bytes = (line + QLatin1Char('\n')).toUtf8();
    return m_file.write(bytes) == bytes.size() && m_file.flush();
}

QString sessionFileName(const QDateTime &start)
{
    return QStringLiteral("session-%1.log").arg(start.toString(QStringLiteral("yyyyMMdd-HHmmss-zzz")));
}

QStringList sessionFiles(const QString &folder)
{
    static const QRegularExpression name(QStringLiteral("^session-\\d{8}-\\d{6}-\\d{3}\\.log$"));
    QStringList found;
    for (const QString &file : QDir(folder).entryList({QStringLiteral("session-*.log")}, QDir::Files, QDir::Name))
        if (name.match(file).hasMatch())
            found.prepend(file);
    return found;
}

void pruneSessionFiles(const QString &folder, int keep)
{
    const QStringList files = sessionFiles(folder);
    QDir dir(folder);
    for (int i = qMax(keep, 0); i < files.size(); ++i)
        dir.remove(files[i]);
}

}  // namespace kv350
