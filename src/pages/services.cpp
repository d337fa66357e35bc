#include "services.h"

#include <algorithm>

namespace kv350 {

QString plainTable(const TextTable &table)
{
    QList<QStringList> lines = table.rows;
    lines.prepend(table.headings);
    QList<qsizetype> widths;
    for (const QStringList &line : lines)
        for (qsizetype i = 0; i < line.size(); ++i) {
            if (widths.size() <= i)
                widths.append(0);
            widths[i] = std::max(widths[i], line[i].size());
        }
    QStringList text;
    for (const QStringList &line : lines) {
        QStringList cells;
        for (qsizetype i = 0; i < line.size(); ++i)
            cells.append(i + 1 < line.size() ? line[i].leftJustified(widths[i]) : line[i]);
        text.append(cells.join(QStringLiteral("  ")));
    }
    return text.join(QLatin1Char('\n'));
}

}  // namespace kv350
