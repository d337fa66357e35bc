#pragma once
// The provisioning station's record: one line per unit, appended and flushed
// when the unit is done, as CSV with a header line or as JSON lines
// (docs/provisioning.md).

#include <QFile>
#include <QSet>
#include <QString>
#include <QStringList>
#include <optional>

namespace kv350::cli {

struct UnitRecord {
    QString time;  // ISO 8601, UTC, when the unit was done
    QString serial;
    QString model;
    QString versionBefore;
    QString versionAfter;
    QString profileSha256;
    QString firmwareSha256;  // empty without --firmware
    bool ok = false;
    QString step;  // failed: identify, firmware, check, read, apply, stopped
    QString setting;
    QString why;
};

enum class RecordFormat { Csv, JsonLines };
// JSON lines for a name ending in .jsonl or .ndjson, CSV otherwise.
RecordFormat recordFormatFor(const QString &path);

// The header line of the CSV record, and one unit as a line of either form (with its newline).
QString csvHeader();
QByteArray recordLine(const UnitRecord &unit, RecordFormat format);
// One CSV line split into its fields (quotes as recordLine writes them); nothing when a quote is left open.
std::optional<QStringList> splitCsvLine(const QString &line);

class RecordFile {
public:
    // Opens the record for appending, after reading what it holds: the serial
    // numbers recorded ok. A file that cannot be written, or whose lines are
    // not this station's record, is refused: why says where.
    bool open(const QString &path, QString *why);
    const QSet<QString> &recordedOk() const { return m_ok; }
    // Appended and flushed to the disk before it returns.
    bool append(const UnitRecord &unit, QString *why);

private:
    QFile m_file;
    RecordFormat m_format = RecordFormat::Csv;
    QSet<QString> m_ok;
};

}  // namespace kv350::cli
