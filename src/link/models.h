#pragma once
// The reader models, one row each: the hardware a model has, and what that
// means for the window (the model rules of identification), the factory
// default and the About box. The virtual reader keeps its own table of the
// same models (src/sim), checked against this one by a test.

#include <QString>
#include <QStringList>
#include <span>

namespace kv350 {

// What a model's hardware has beyond the reader every model is.
enum Capability : unsigned {
    CapMifareNtag = 1u << 0,    // MIFARE Classic and NTAG203 / Ultralight cards (ISO 14443A)
    CapIso15693 = 1u << 1,      // ISO 15693 vicinity cards
    CapLf = 1u << 2,            // 125 kHz and 134.2 kHz cards
    CapUhfTags = 1u << 3,       // EPC Gen2 tags through the UHF module
    CapRadioTest = 1u << 4,     // the UHF module's test modes
    CapAsciiRequest = 1u << 5,  // module commands typed as text on the Command page
};

struct ModelInfo {
    const char *name;
    unsigned capabilities;
    // The ID format item the factory default selects (4 "8H", 8 "16H", 16 "24H").
    int factoryFormatItem;
    // Identification selects that item too; a model the rules do not name
    // leaves the format as it is.
    bool formatOnIdentify;
    // Named in the About box's list of supported readers.
    bool inAbout;
};

std::span<const ModelInfo> modelTable();
// The row of a model name as the reader reports it, trimmed; names compare
// exactly (case matters). Nothing for a model this tool does not know.
const ModelInfo *findModel(const QString &name);
// Every model this tool knows, in the table's order.
const QStringList &knownModels();
// The ID format item of the factory default: the model's, "8H" for any other.
int factoryFormatItem(const QString &modelName);
// "Supported reader: KV350-M1,...,KV350-A1 ." (its translations are in the text table).
QString aboutText();

// What the window shows for a model beyond the pages every reader has.
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
// The pages and controls that need these capabilities.
unsigned featuresOf(unsigned capabilities);

struct ModelView {
    unsigned shown = 0;   // features to show; every other feature is hidden
    int formatItem = -1;  // entry of cmbFormat to select, -1 = leave as it is
};

// The model rules of identification: the features of the model's hardware
// shown, and its format item selected. Names compare exactly: the caller
// trims blanks, case matters; an unknown model shows no feature.
ModelView applyModelRules(const QString &modelName);

}  // namespace kv350
