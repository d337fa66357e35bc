#pragma once
// The virtual reader as kv350tools and kv350ctl make it for --simulate: a
// reader of one model with cards in its field, on the USB path in process.

#include "link/clock.h"
#include "sim/core/virtualreader.h"
#include "sim/transports/simhiddevice.h"

#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

namespace kv350::sim {

struct SimulatedReader {
    std::unique_ptr<VirtualReader> reader;
    std::unique_ptr<SimHidDevice> hid;  // the reader on the USB path
};

// A reader of this model with a card of each kind in `cards` (cardkinds.h);
// nothing, and why, when a kind is unknown or the model cannot take it. The
// model is taken as given: the programs check it against their model list.
std::optional<SimulatedReader> makeSimulatedReader(const QString &model, const QStringList &cards, Clock &clock,
                                                   QString *why);

}  // namespace kv350::sim
