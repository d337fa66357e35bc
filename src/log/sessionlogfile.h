#pragma once
// The session log on disk: a file the lines are appended to, each written
// through at once so that a crash keeps what came before it; and the folder
// of the window's session files, of which the newest are kept.

#include <QDateTime>
#include <QFile>
#include <QString>
#include <QStringList>

namespace kv350 {

class SessionLogFile {
public:
    // Opens (creating) `path` to append. False, and why in *why, when it cannot.
    bool open(const QString &path, QString *why);
    bool isOpen() const { return m_file.isOpen(); }
    QString path() const { return m_file.fileName(); }
    // One line and a line end. False once the file cannot be written.
    bool write(const QString &line);
    void close() { m_file.close(); }

private:
    QFile m_file;
};

// The file of a session that starts at `start`: "session-20261209-140307-412.log".
QString sessionFileName(const QDateTime &start);
// The session files of `folder`, newest first (by name: the names sort by time).
QStringList sessionFiles(const QString &folder);
// Removes the oldest session files of `folder` beyond `keep`; nothing else there is touched.
void pruneSessionFiles(const QString &folder, int keep);
inline constexpr int KeptSessionFiles = 50;

}  // namespace kv350
