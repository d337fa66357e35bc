#include "hardware.h"

#include "sim/core/identity.h"

namespace kv350::sim {
namespace {

const ModelHardware Models[] = {
    {"KV350-M1", true, false, false, false, "050180"},  {"KV350-U1", false, false, false, true, "110180"},
    {"KV350-MIC", true, true, false, false, "090180"},  {"KV350-IC", false, true, false, false, "090180"},
    {"KV350-LF", false, false, true, false, "050180"},  {"KV350-MIC-X", true, true, false, true, "090180"},
    {"KV350-LF-X", false, false, true, true, "050180"}, {"KV350-A1", false, false, false, false, "050180"},
};

}  // namespace

std::span<const ModelHardware> modelHardware()
{
    return Models;
}

const ModelHardware *findHardware(const QByteArray &model)
{
    const QByteArray name = trimmedModel(model);
    for (const ModelHardware &m : Models)
        if (name == m.model)
            return &m;
    return nullptr;
}

}  // namespace kv350::sim
