#include "simline.h"

#include "link/parameters.h"

#include <limits>
#include <memory>

namespace kv350::sim {
namespace {

constexpr qint64 NotYet = std::numeric_limits<qint64>::max();

// The reader keeps what it holds for this setting and answers with it, as
// if the write had not reached its memory.
void keepOwnValue(VirtualReader &reader, std::uint8_t code)
{
    reader.setAcceptFilter(code, [](const QByteArray &, const QByteArray &current) { return current; });
}

// The first setting written is stored; the request after it (its read-back)
// is taken and never answered: the reader has gone away, and stays away.
void vanishAfterFirstWrite(VirtualReader &reader)
{
    auto armed = std::make_shared<bool>(true);
    for (const ParameterDef &def : ParameterStore::table())
        reader.setAcceptFilter(def.code, [&reader, armed](const QByteArray &requested, const QByteArray &) {
            if (*armed) {
                *armed = false;
                reader.faults().queue(Fault::vanish(0));
            }
            return requested;
        });
}

}  // namespace

std::optional<std::vector<LineUnit>> parseLineUnits(const QString &text, QString *why)
{
    std::vector<LineUnit> units;
    const QStringList words = text.split(QLatin1Char(','), Qt::KeepEmptyParts);
    for (const QString &raw : words) {
        const QString word = raw.trimmed();
        LineUnit unit;
        if (word == QLatin1String("ok")) {
            unit.kind = LineUnit::Good;
        } else if (word == QLatin1String("vanish")) {
            unit.kind = LineUnit::Vanishes;
        } else if (word == QLatin1String("old")) {
            unit.kind = LineUnit::OldFirmware;
        } else if (word.startsWith(QLatin1String("differs="))) {
            const QString name = word.mid(8);
            const ParameterInfo *info = findParameter(name);
            if (!info) {
                QStringList names;
                for (const ParameterInfo &p : parameters())
                    names.append(QString::fromLatin1(p.name));
                if (why)
                    *why = QStringLiteral("differs= needs a setting's name: %1").arg(names.join(QStringLiteral(", ")));
                return std::nullopt;
            }
            unit.kind = LineUnit::Differs;
            unit.parameter = info->code;
        } else {
            if (why)
                *why = QStringLiteral("\"%1\" is no reader of the line; each is ok, differs=SETTING, vanish or old, "
                                      "separated by commas")
                           .arg(word);
            return std::nullopt;
        }
        units.push_back(unit);
    }
    if (units.empty() || units.size() > 1000) {
        if (why)
            *why = QStringLiteral("a line has 1 to 1000 readers");
        return std::nullopt;
    }
    return units;
}

std::optional<VirtualLine> VirtualLine::make(const QString &model, const QStringList &cards,
                                             const std::vector<LineUnit> &units, Clock &clock, QString *why)
{
    VirtualLine line(clock);
    for (std::size_t i = 0; i < units.size(); ++i) {
        std::optional<SimulatedReader> simulated = makeSimulatedReader(model, cards, clock, why);
        if (!simulated)
            return std::nullopt;
        VirtualReader &reader = *simulated->reader;
        reader.setSerial(QByteArray::number(FirstSerial + int(i)));
        switch (units[i].kind) {
        case LineUnit::Good:
            break;
        case LineUnit::Differs:
            keepOwnValue(reader, units[i].parameter);
            break;
        case LineUnit::Vanishes:
            vanishAfterFirstWrite(reader);
            break;
        case LineUnit::OldFirmware:
            reader.setVersion(OldLineFirmware);
            break;
        }
        line.m_bus->attach(std::move(*simulated), i == 0 ? 0 : NotYet);
    }
    return line;
}

void VirtualLine::removalAsked(const QString &path)
{
    if (m_current < 0 || m_bus->path(m_current) != path)
        return;
    const qint64 gone = m_clock->nowMs() + RemoveMs;
    m_bus->detachAt(m_current, gone);
    ++m_current;
    if (m_current >= m_bus->size()) {
        m_current = -1;
        return;
    }
    m_bus->attachAt(m_current, gone + NextMs);
}

}  // namespace kv350::sim
