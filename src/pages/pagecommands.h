#pragma once
// How a page sends a command and reports it: the one retry after a failed
// transaction, a card command judged by its reply, the steps of a long run,
// and one Set or Get of a reader setting. No widgets; every page uses these.

#include "link/parameters.h"
#include "pages/pagecontext.h"

#include <QByteArray>
#include <QString>
#include <functional>
#include <optional>

namespace kv350 {

// ExecuteCommand, and once more after 200 ms when it failed.
inline constexpr int RetryWaitMs = 200;
bool ExecuteWithRetry(PageContext &context, const QByteArray &request, int responseLimit);

// One card command and how it went: Failed when no reply was accepted (or
// the accepted one is too short to hold `minData` bytes of DATA), NoCard when
// the reader answered with a non-zero STA (no card, key refused).
enum class CardResult { Failed, NoCard, Done };
CardResult cardCommand(PageContext &context, const QByteArray &request, int responseLimit, int minData = 0);
// "Command Error!", "No Card or Key Error!" or "Command Done.".
void report(PageContext &context, CardResult result);

// One step of a long run (Read All, the dump, the loop test): the command with
// its one retry, and the line's result text: "Error", "No Card", or the first
// 16 DATA bytes in hex.
CardResult runStep(PageContext &context, const QByteArray &request, int responseLimit);
QString runStepText(PageContext &context, CardResult result);
// The end of a run: the last step decides; a run of no step checked nothing.
void reportRun(PageContext &context, int steps, bool lastStepDone);

// One Get (no value) or Set of a reader setting: the value the reader holds
// afterwards, or nothing after "Command Error!".
std::optional<ParameterValue> exchangeSetting(PageContext &context, const ParameterInfo &info,
                                              const std::optional<ParameterValue> &value = {});
// The same, then the value shown with `show` and "Command Done.".
void applySetting(PageContext &context, const ParameterInfo &info, const std::optional<ParameterValue> &value,
                  const std::function<void(const ParameterValue &)> &show);

}  // namespace kv350
