#include "identity.h"

#include "sim/core/hardware.h"

namespace kv350::sim {

const std::vector<QByteArray> &knownModels()
{
    static const std::vector<QByteArray> models = [] {
        std::vector<QByteArray> names;
        for (const ModelHardware &m : modelHardware())
            names.emplace_back(m.model);
        return names;
    }();
    return models;
}

bool isKnownModel(const QByteArray &model)
{
    for (const QByteArray &known : knownModels())
        if (known == model)
            return true;
    return false;
}

QByteArray trimmedModel(const QByteArray &model)
{
    qsizetype end = model.size();
    while (end > 0 && (model.at(end - 1) == ' ' || model.at(end - 1) == '\0'))
        --end;
    return model.left(end);
}

}  // namespace kv350::sim
