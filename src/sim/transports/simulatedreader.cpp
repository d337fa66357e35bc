#include "simulatedreader.h"

#include "sim/core/cardkinds.h"

namespace kv350::sim {

std::optional<SimulatedReader> makeSimulatedReader(const QString &model, const QStringList &cards, Clock &clock,
                                                   QString *why)
{
    Identity id;
    id.model = model.toLatin1();
    SimulatedReader simulated;
    simulated.reader = std::make_unique<VirtualReader>(id);
    for (const QString &kind : cards)
        if (!placeCardKind(*simulated.reader, kind, why))
            return std::nullopt;
    simulated.hid = std::make_unique<SimHidDevice>(*simulated.reader, clock);
    return simulated;
}

}  // namespace kv350::sim
