#pragma once
// The upgrade's messages in the message panel, as the Firmware page shows
// them: a failure in the error style (red, the low tone), the completion as a
// command done (yellow, the high tone), a step as text alone.

#include "firmware/upgrade.h"
#include "pages/reporting.h"

namespace kv350::firmware {

// A firmware message in the error style: red, the low tone.
Outcome firmwareError(const char *english);

void reportUpgradeMessage(Reporter &reporter, const TextLookup &text, UpgradeMessage message, int dots);
// The messages of an upgrade, reported so.
UpgradeMessages upgradeReporter(Reporter &reporter, TextLookup text = englishText);

}  // namespace kv350::firmware
