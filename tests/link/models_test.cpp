// Which pages each model brings, and the ID format it ends with.
#include "link/models.h"

#include <gtest/gtest.h>

using namespace kv350;

namespace {
constexpr unsigned MifareGroup = FeatureAutoPage | FeatureMifarePage | FeatureMifareKeyPage | FeatureNtagPage;
}

TEST(ModelRules, EveryModelShowsItsPagesAndFormat)
{
    struct Row {
        const char *model;
        unsigned shown;
        int format;  // 4 "8H", 8 "16H", 16 "24H", -1 unchanged
    } rows[] = {
        {"KV350-M1", MifareGroup, 4},
        {"KV350-U1", FeatureEpcPage, 16},
        {"KV350-MIC", MifareGroup | FeatureIso15693Page, 8},
        {"KV350-IC", FeatureIso15693Page, 8},
        {"KV350-LF", FeatureLfPage, 4},
        {"KV350-MIC-X", MifareGroup | FeatureIso15693Page | FeatureRadioPage | FeatureRequestAscii, 8},
        {"KV350-LF-X", FeatureRadioPage | FeatureRequestAscii | FeatureLfPage, 4},  // the LF rule wins
        {"KV350-A1", 0, -1},
        {"kv350-mic", 0, -1},  // names compare exactly
        {"", 0, -1},
    };
    for (const Row &r : rows) {
        const ModelView v = applyModelRules(QString::fromLatin1(r.model));
        EXPECT_EQ(v.shown, r.shown) << r.model;
        EXPECT_EQ(v.formatItem, r.format) << r.model;
    }
}
