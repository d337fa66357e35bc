#include "models.h"

namespace kv350 {
namespace {

// Format items: 4 = "8H", 8 = "16H", 16 = "24H".
const ModelRule Rules[] = {
    {{"KV350-M1", "KV350-MIC", "KV350-MIC-X"},
     FeatureAutoPage | FeatureMifarePage | FeatureMifareKeyPage | FeatureNtagPage,
     4},
    {{"KV350-U1"}, FeatureEpcPage, 16},
    {{"KV350-IC", "KV350-MIC", "KV350-MIC-X"}, FeatureIso15693Page, 8},
    {{"KV350-MIC-X", "KV350-LF-X"}, FeatureRadioPage | FeatureRequestAscii, 8},
    {{"KV350-LF", "KV350-LF-X"}, FeatureLfPage, 4},
};

}  // namespace

std::span<const ModelRule> modelRules()
{
    return Rules;
}

ModelView applyModelRules(const QString &modelName)
{
    ModelView view;
    for (const ModelRule &rule : Rules) {
        if (rule.models.contains(modelName, Qt::CaseSensitive)) {
            view.shown |= rule.features;
            view.formatItem = rule.formatItem;
        }
    }
    return view;
}

const QStringList &knownModels()
{
    static const QStringList models{"KV350-M1", "KV350-U1",    "KV350-MIC",  "KV350-IC",
                                    "KV350-LF", "KV350-MIC-X", "KV350-LF-X", "KV350-A1"};
    return models;
}

}  // namespace kv350
