#include "provisionrecord.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>
#include <algorithm>
#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace kv350::cli {
namespace {

const QStringList &columns()
{
    static const QStringList names{
        "time",           "serial", "model", "versionBefore", "versionAfter", "profileSha256",
        "firmwareSha256", "result", "step",  "setting",       "why"};
    return names;
}

QStringList fields(const UnitRecord &u)
{
    return {u.time,
            u.serial,
            u.model,
            u.versionBefore,
            u.versionAfter,
            u.profileSha256,
            u.firmwareSha256,
            u.ok ? QStringLiteral("ok") : QStringLiteral("failed"),
            u.step,
            u.setting,
            u.why};
}

QString csvField(const QString &text)
{
    // A comma, quote or line break in a field (a reader's reply, a message) is kept inside quotes.
    static const QString special = QStringLiteral(",\"\r\n");
    const bool quote = std::any_of(text.begin(), text.end(), [](QChar c) { return special.contains(c); });
    if (!quote)
        return text;
    QString escaped = text;
    escaped.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + escaped + QLatin1Char('"');
}

}  // namespace

RecordFormat recordFormatFor(const QString &path)
{
    const QString lower = path.toLower();
    return lower.endsWith(QLatin1String(".jsonl")) || lower.endsWith(QLatin1String(".ndjson")) ? RecordFormat::JsonLines
                                                                                               : RecordFormat::Csv;
}

QString csvHeader()
{
    return columns().join(QLatin1Char(',')) + QLatin1Char('\n');
}

QByteArray recordLine(const UnitRecord &unit, RecordFormat format)
{
    const QStringList values = fields(unit);
    if (format == RecordFormat::JsonLines) {
        QJsonObject o;
        for (int i = 0; i < columns().size(); ++i)
            o.insert(columns()[i], values[i]);
        return QJsonDocument(o).toJson(QJsonDocument::Compact) + '\n';
    }
    QStringList quoted;
    for (const QString &v : values)
        quoted.append(csvField(v));
    return (quoted.join(QLatin1Char(',')) + QLatin1Char('\n')).toUtf8();
}

std::optional<QStringList> splitCsvLine(const QString &line)
{
    QStringList out;
    QString field;
    bool quoted = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar c = line[i];
        if (quoted) {
            if (c == QLatin1Char('"')) {
                if (i + 1 < line.size() && line[i + 1] == QLatin1Char('"')) {
                    field += c;
                    ++i;
                } else {
                    quoted = false;
                }
            } else {
                field += c;
            }
        } else if (c == QLatin1Char('"')) {
            quoted = true;
        } else if (c == QLatin1Char(',')) {
            out.append(field);
            field.clear();
        } else {
            field += c;
        }
    }
    if (quoted)
        return std::nullopt;
    out.append(field);
    return out;
}

bool RecordFile::open(const QString &path, QString *why)
{
    m_format = recordFormatFor(path);
    m_ok.clear();
    m_file.setFileName(path);
    if (!m_file.open(QIODevice::ReadWrite | QIODevice::Append)) {
        *why = QStringLiteral("cannot write the record %1: %2").arg(path, m_file.errorString());
        return false;
    }
    // What the file holds: every line read back the way it was written.
    m_file.seek(0);
    const QString text = QString::fromUtf8(m_file.readAll());
    QStringList lines = text.split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    // A record saved again by a spreadsheet on Windows ends its lines in CR LF:
    // a CR before a line's end is dropped where it ends a record, and kept
    // where it stands inside a quoted field (a reader's text may hold one).
    // CSV lines may hold a line break inside quotes: join until the quotes close.
    int lineNumber = 0;
    QString pending;
    for (int i = 0; i < lines.size(); ++i) {
        if (pending.isEmpty())
            lineNumber = i + 1;
        pending += lines[i];
        QString where = QStringLiteral("%1 line %2").arg(path).arg(lineNumber);
        if (m_format == RecordFormat::JsonLines) {
            if (pending.endsWith(QLatin1Char('\r')))
                pending.chop(1);
            QJsonParseError error;
            const QJsonDocument doc = QJsonDocument::fromJson(pending.toUtf8(), &error);
            pending.clear();
            if (!doc.isObject()) {
                *why = QStringLiteral("%1 is not a record of this station: %2").arg(where, error.errorString());
                return false;
            }
            const QJsonObject o = doc.object();
            if (o.value(QStringLiteral("result")).toString() == QLatin1String("ok"))
                m_ok.insert(o.value(QStringLiteral("serial")).toString());
            continue;
        }
        std::optional<QStringList> row = splitCsvLine(pending);
        if (pending.endsWith(QLatin1Char('\r'))) {
            if (const std::optional<QStringList> ended = splitCsvLine(pending.chopped(1)))
                row = ended;
        }
        if (!row) {
            pending += QLatin1Char('\n');
            continue;
        }
        pending.clear();
        if (lineNumber == 1) {
            if (*row != columns()) {
                *why = QStringLiteral("%1 is not a record of this station: its first line is not \"%2\"")
                           .arg(where, csvHeader().trimmed());
                return false;
            }
            continue;
        }
        if (row->size() != columns().size()) {
            *why = QStringLiteral("%1 is not a record of this station: %2 fields, not %3")
                       .arg(where)
                       .arg(row->size())
                       .arg(columns().size());
            return false;
        }
        if ((*row)[7] == QLatin1String("ok"))
            m_ok.insert((*row)[1]);
    }
    if (!pending.isEmpty()) {
        *why = QStringLiteral("%1 line %2 is cut off inside quotes").arg(path).arg(lineNumber);
        return false;
    }
    // A last line without its line end (a record edited by hand) would have
    // the next unit's line glued to it: the line is ended first.
    if (!text.isEmpty() && !text.endsWith(QLatin1Char('\n'))) {
        if (m_file.write("\n") != 1 || !m_file.flush()) {
            *why = QStringLiteral("cannot write the record %1: %2").arg(path, m_file.errorString());
            return false;
        }
    }
    if (m_format == RecordFormat::Csv && m_file.size() == 0) {
        const QByteArray header = csvHeader().toUtf8();
        if (m_file.write(header) != header.size() || !m_file.flush()) {
            *why = QStringLiteral("cannot write the record %1: %2").arg(path, m_file.errorString());
            return false;
        }
    }
    return true;
}

bool RecordFile::append(const UnitRecord &unit, QString *why)
{
    const QByteArray line = recordLine(unit, m_format);
    if (m_file.write(line) != line.size() || !m_file.flush()) {
        *why = QStringLiteral("cannot write the record %1: %2").arg(m_file.fileName(), m_file.errorString());
        return false;
    }
#ifdef Q_OS_UNIX
    ::fsync(m_file.handle());  // on the disk, not only in the system's cache: a power cut loses no finished unit
#endif
    if (unit.ok)
        m_ok.insert(unit.serial);
    return true;
}

}  // namespace kv350::cli
