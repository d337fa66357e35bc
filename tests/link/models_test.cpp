// Which pages each model brings, and the ID format it ends with.
#include "link/models.h"
#include "sim/core/hardware.h"
#include "sim/core/identity.h"

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

TEST(ModelTable, TheVirtualReaderHasTheHardwareOfEachModel)
{
    // The virtual reader keeps its own table (it is the other side of the
    // wire); the two must name the same models with the same hardware.
    ASSERT_EQ(modelTable().size(), sim::modelHardware().size());
    for (const ModelInfo &m : modelTable()) {
        SCOPED_TRACE(m.name);
        const sim::ModelHardware *hw = sim::findHardware(m.name);
        ASSERT_NE(hw, nullptr);
        EXPECT_EQ(hw->iso14443a, (m.capabilities & CapMifareNtag) != 0);
        EXPECT_EQ(hw->iso15693, (m.capabilities & CapIso15693) != 0);
        EXPECT_EQ(hw->lf, (m.capabilities & CapLf) != 0);
        EXPECT_EQ(hw->uhfTags, (m.capabilities & CapUhfTags) != 0);
        EXPECT_EQ(hw->radioTest, (m.capabilities & CapRadioTest) != 0);
        // The reader leaves the factory with the format item the factory default selects.
        EXPECT_EQ(QByteArray::fromHex(hw->factoryIdFormat).at(0), m.factoryFormatItem + 1);
        EXPECT_EQ(QByteArray::fromHex(hw->factoryIdFormat).mid(1), QByteArray::fromHex("0180"));
    }
    EXPECT_EQ(knownModels().size(), qsizetype(sim::knownModels().size()));
}

TEST(ModelTable, FactoryFormatAndTheModelsTheAboutBoxNames)
{
    EXPECT_EQ(factoryFormatItem("KV350-A1"), 4) << "no rule names it, but its factory format is 8H";
    EXPECT_EQ(factoryFormatItem("KV350-XYZ"), 4);
    EXPECT_EQ(factoryFormatItem("KV350-U1"), 16);
    EXPECT_EQ(findModel("kv350-u1"), nullptr);
    EXPECT_EQ(aboutText(), "Supported reader: KV350-M1,KV350-U1,KV350-MIC,KV350-IC,KV350-LF,KV350-MIC-X,KV350-A1 .")
        << "KV350-LF-X is the one it leaves out";
}
