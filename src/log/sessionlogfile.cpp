#include "sessionlogfile.h"

#include <QDir>

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

namespace {

// session-YYYYMMDD-HHMMSS-mmm.log, checked by hand: a pattern (or a name
// filter, which becomes one) would bring the regular-expression engine into
// the window's start for this one look at a folder.
bool isSessionFileName(const QString &name)
{
    static constexpr char Shape[] = "session-########-######-###.log";
    if (name.size() != int(sizeof Shape) - 1)
        return false;
    for (int i = 0; i < name.size(); ++i) {
        const QChar c = name[i];
        if (Shape[i] == '#' ? !(c >= QLatin1Char('0') && c <= QLatin1Char('9')) : c != QLatin1Char(Shape[i]))
            return false;
    }
    return true;
}

}  // namespace

QStringList sessionFiles(const QString &folder)
{
    QStringList found;
    for (const QString &file : QDir(folder).entryList(QDir::Files, QDir::Name))
        if (isSessionFileName(file))
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
