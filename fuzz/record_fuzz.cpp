// The provisioning station's record (cli/provisionrecord) on any bytes: the
// file the station finds when it starts, then one unit appended to it.
//
// Input: a flags byte (bit 0: JSON lines, else CSV; bit 1: the unit is ok),
// a length byte and that many bytes for the unit's serial number, the same for
// its reason, then the file's bytes.
// Properties:
// - opening never changes what the file holds (an empty CSV record gets its
//   header line, nothing else);
// - a refused file says where: the file's name and a line inside it;
// - after a unit is appended to an accepted file, the file holds what it held
//   and the unit's line whole, and it reads back: accepted, with the serial
//   numbers recorded ok before and the unit's own when it is ok.
#include "cli/provisionrecord.h"
#include "fuzztarget.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

using namespace kv350;
using namespace kv350::cli;
using namespace kv350::fuzz;

namespace {

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

}  // namespace

KV350_FUZZ_TARGET(record)(const std::uint8_t *data, std::size_t size)
{
    ensureQtApplication();
    ByteReader in(data, size);
    const std::uint8_t flags = in.u8();
    const RecordFormat format = flags & 1 ? RecordFormat::JsonLines : RecordFormat::Csv;
    UnitRecord unit;
    unit.time = QStringLiteral("2026-12-09T08:00:00Z");
    unit.serial = QString::fromUtf8(in.prefixed());
    unit.ok = flags & 2;
    unit.step = unit.ok ? QString() : QStringLiteral("apply");
    unit.why = QString::fromUtf8(in.prefixed());
    const QByteArray before = in.rest();

    static QTemporaryDir dir;
    const QString path = dir.filePath(format == RecordFormat::JsonLines ? "record.jsonl" : "record.csv");
    {
        QFile f(path);
        KV350_FUZZ_CHECK(f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(before) == before.size(),
                         "the temporary file could not be written");
    }

    QString why;
    bool accepted = false;
    QSet<QString> okBefore;
    {
        RecordFile record;
        accepted = record.open(path, &why);
        const QByteArray afterOpen = fileBytes(path);
        const QByteArray expected = format == RecordFormat::Csv && before.isEmpty() && accepted ? csvHeader().toUtf8()
                                                                                                : before;
        KV350_FUZZ_CHECK(afterOpen == expected || (accepted && afterOpen == before + '\n'),
                         "opening the record changed what it held");
        if (!accepted) {
            static const QRegularExpression where(QStringLiteral(" line (\\d+)"));
            const QRegularExpressionMatch m = where.match(why);
            KV350_FUZZ_CHECK(why.startsWith(path) && m.hasMatch(), "a refused record does not say where");
            KV350_FUZZ_CHECK(m.captured(1).toLongLong() >= 1 && m.captured(1).toLongLong() <= before.count('\n') + 1,
                             "a refused record names a line it does not have");
            return 0;
        }
        okBefore = record.recordedOk();
        KV350_FUZZ_CHECK(record.append(unit, &why), "appending to an accepted record failed");
        const QByteArray afterAppend = fileBytes(path);
        KV350_FUZZ_CHECK(afterAppend == afterOpen + recordLine(unit, format),
                         "the record does not hold what it held and the unit's line");
    }

    RecordFile again;
    KV350_FUZZ_CHECK(again.open(path, &why), "a record refused after a unit was appended: " + why.toStdString());
    QSet<QString> expectedOk = okBefore;
    if (unit.ok)
        expectedOk.insert(unit.serial);
    KV350_FUZZ_CHECK(again.recordedOk() == expectedOk, "the units recorded ok changed when read again");
    return 0;
}
