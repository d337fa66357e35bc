#include "cardkinds.h"

#include "mifareclassic.h"
#include "virtualreader.h"

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
    };
    return table;
}

}  // namespace

QStringList cardKindNames()
{
    QStringList names;
    for (const auto &kind : kinds())
        names << kind.first;
    return names;
}

bool placeCardKind(VirtualReader &reader, const QString &kind, QString *error)
{
    for (const auto &[name, make] : kinds()) {
        if (name == kind) {
            reader.field().place(make());
            return true;
        }
    }
    if (error)
        *error = QStringLiteral("unknown card kind %1; this build knows: %2")
                     .arg(kind, cardKindNames().join(QStringLiteral(", ")));
    return false;
}

}  // namespace kv350::sim
