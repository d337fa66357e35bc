#include "identity.h"

namespace kv350::sim {

const std::vector<QByteArray> &knownModels()
{
    static const std::vector<QByteArray> models = {
        "KV350-M1", "KV350-U1", "KV350-MIC", "KV350-IC", "KV350-LF", "KV350-MIC-X", "KV350-LF-X", "KV350-A1",
    };
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
