#include "cardkinds.h"

#include "sim/cards/iso15693tag.h"
#include "sim/cards/mifareclassic.h"
#include "sim/cards/ntag203.h"
#include "sim/core/virtualreader.h"
#include "sim/modules/uhfmodule.h"

#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace kv350::sim {
namespace {

using Maker = std::function<std::shared_ptr<Card>()>;

const std::vector<std::pair<QString, Maker>> &kinds()
{
    static const std::vector<std::pair<QString, Maker>> table = {
        {QStringLiteral("mifare1k"), [] { return std::make_shared<MifareClassicCard>(MifareClassicCard::Size::K1); }},
        {QStringLiteral("mifare4k"), [] { return std::make_shared<MifareClassicCard>(MifareClassicCard::Size::K4); }},
        {QStringLiteral("ntag203"), [] { return std::make_shared<Ntag203Card>(); }},
        {QStringLiteral("iso15693"), [] { return std::make_shared<Iso15693Tag>(); }},
    };
    return table;
}

}  // namespace

// An "epc" is one more EPC Gen2 tag in the field of the reader's UHF module.
// Constant-initialised: kv350-sim's own globals ask for the names before main().
constexpr QLatin1String EpcKind("epc");

QStringList cardKindNames()
{
    QStringList names;
    for (const auto &kind : kinds())
        names << kind.first;
    return names << EpcKind;
}

bool placeCardKind(VirtualReader &reader, const QString &kind, QString *error)
{
    for (const auto &[name, make] : kinds()) {
        if (name == kind) {
            reader.field().place(make());
            return true;
        }
    }
    if (kind == EpcKind) {
        if (UhfModule::tagsIn(reader.identity().model)) {
            reader.uhf().placeTag(EpcTag::numbered(reader.uhf().tagCount() + 1));
            return true;
        }
        if (error)
            *error = QStringLiteral("an epc tag needs a reader that reads UHF tags (KV350-U1), not %1")
                         .arg(QString::fromLatin1(reader.identity().model));
        return false;
    }
    if (error)
        *error = QStringLiteral("unknown card kind %1; this build knows: %2")
                     .arg(kind, cardKindNames().join(QStringLiteral(", ")));
    return false;
}

}  // namespace kv350::sim
