#pragma once
#include <QString>
#include <QStringList>
#include <span>

namespace kv350 {

// What a model adds to the window beyond the pages every reader has.
enum Feature : unsigned {
    FeatureAutoPage = 1u << 0,       // tsAuto
    FeatureMifarePage = 1u << 1,     // tsMifare
    FeatureMifareKeyPage = 1u << 2,  // tsMifareKey
    FeatureNtagPage = 1u << 3,       // tsNTAG
    FeatureEpcPage = 1u << 4,        // tsK7704
    FeatureIso15693Page = 1u << 5,   // tsISO15693
    FeatureRadioPage = 1u << 6,      // tsOvtra
    FeatureRequestAscii = 1u << 7,   // edRequestAscii on the Command page
    FeatureLfPage = 1u << 8,         // tsLF
};

// One rule: when the identified model is one of `models`, its features are
// shown and the ID-format list selects `formatItem`; otherwise they are hidden.
struct ModelRule {
    QStringList models;
    unsigned features;
    int formatItem;
};

std::span<const ModelRule> modelRules();

struct ModelView {
    unsigned shown = 0;   // features to show; every other feature is hidden
    int formatItem = -1;  // entry of cmbFormat to select, -1 = leave as it is
};

// The rules in order, later ones overriding the format item of earlier ones.
// Names compare exactly: the caller trims blanks, case matters.
ModelView applyModelRules(const QString &modelName);

// Every model this tool knows, KV350-A1 included (it matches no rule).
const QStringList &knownModels();

}  // namespace kv350
