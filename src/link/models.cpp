#include "models.h"

namespace kv350 {
namespace {

constexpr int Format8H = 4;
constexpr int Format16H = 8;
constexpr int Format24H = 16;

// In the order of the About box; KV350-LF-X is the one it leaves out.
const ModelInfo Models[] = {
    {"KV350-M1", CapMifareNtag, Format8H, true, true},
    {"KV350-U1", CapUhfTags, Format24H, true, true},
    {"KV350-MIC", CapMifareNtag | CapIso15693, Format16H, true, true},
    {"KV350-IC", CapIso15693, Format16H, true, true},
    {"KV350-LF", CapLf, Format8H, true, true},
    {"KV350-MIC-X", CapMifareNtag | CapIso15693 | CapRadioTest | CapAsciiRequest, Format16H, true, true},
    {"KV350-LF-X", CapLf | CapRadioTest | CapAsciiRequest, Format8H, true, false},
    // Named in the About box, but no rule of identification names it.
    {"KV350-A1", 0, Format8H, false, true},
};

}  // namespace

std::span<const ModelInfo> modelTable()
{
    return Models;
}

const ModelInfo *findModel(const QString &name)
{
    for (const ModelInfo &m : Models)
        if (name == QLatin1String(m.name))
            return &m;
    return nullptr;
}

const QStringList &knownModels()
{
    static const QStringList names = [] {
        QStringList list;
        for (const ModelInfo &m : Models)
            list.append(QLatin1String(m.name));
        return list;
    }();
    return names;
}

int factoryFormatItem(const QString &modelName)
{
    const ModelInfo *m = findModel(modelName);
    return m ? m->factoryFormatItem : Format8H;
}

QString aboutText()
{
    QStringList names;
    for (const ModelInfo &m : Models)
        if (m.inAbout)
            names.append(QLatin1String(m.name));
    return QStringLiteral("Supported reader: %1 .").arg(names.join(QLatin1Char(',')));
}

unsigned featuresOf(unsigned capabilities)
{
    unsigned features = 0;
    if (capabilities & CapMifareNtag)
        features |= FeatureAutoPage | FeatureMifarePage | FeatureMifareKeyPage | FeatureNtagPage;
    if (capabilities & CapUhfTags)
        features |= FeatureEpcPage;
    if (capabilities & CapIso15693)
        features |= FeatureIso15693Page;
    if (capabilities & CapRadioTest)
        features |= FeatureRadioPage;
    if (capabilities & CapAsciiRequest)
        features |= FeatureRequestAscii;
    if (capabilities & CapLf)
        features |= FeatureLfPage;
    return features;
}

ModelView applyModelRules(const QString &modelName)
{
    ModelView view;
    if (const ModelInfo *m = findModel(modelName)) {
        view.shown = featuresOf(m->capabilities);
        if (m->formatOnIdentify)
            view.formatItem = m->factoryFormatItem;
    }
    return view;
}

}  // namespace kv350
