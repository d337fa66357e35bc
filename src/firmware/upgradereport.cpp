#include "upgradereport.h"

namespace kv350::firmware {

Outcome firmwareError(const char *english)
{
    return {english, OutcomeError.colour, OutcomeError.frequencyHz, OutcomeError.durationMs,
            OutcomeError.repaintAfterTone};
}

void reportUpgradeMessage(Reporter &reporter, const TextLookup &text, UpgradeMessage message, int dots)
{
    const char *english = upgradeMessageText(message);
    if (message == UpgradeMessage::Complete)
        reporter.report({english, OutcomeDone.colour, OutcomeDone.frequencyHz, OutcomeDone.durationMs,
                         OutcomeDone.repaintAfterTone});
    else if (isUpgradeFailure(message))
        reporter.report(firmwareError(english));
    else if (message == UpgradeMessage::Clear)
        reporter.ShowText({});
    else
        reporter.ShowText(text(QLatin1String(english)) + QString(qMax(0, dots), QLatin1Char('.')));
}

UpgradeMessages upgradeReporter(Reporter &reporter, TextLookup text)
{
    return [&reporter, text = std::move(text)](UpgradeMessage message, int dots) {
        reportUpgradeMessage(reporter, text, message, dots);
    };
}

}  // namespace kv350::firmware
