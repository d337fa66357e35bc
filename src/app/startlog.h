#pragma once
// The milestones of the program's start on the "kv350.start" debug log
// (QT_LOGGING_RULES="kv350.start.debug=true"): milliseconds since main()
// began, the process's CPU time and its resident memory at each. bench_startup reads them to show
// where the start-up time goes. Off by default, they cost a check each.

#include <QLoggingCategory>

class QString;

Q_DECLARE_LOGGING_CATEGORY(lcStart)

namespace kv350 {

// Starts the clock of the marks; main() calls it first thing.
void startClock();
// One line: "<what> at <ms> ms, cpu <ms> ms, <kB> kB resident". Nothing once the start is over.
void startMark(const QString &what);
// The last mark: the start is over, later marks are dropped.
void startFinished(const QString &what);

}  // namespace kv350
