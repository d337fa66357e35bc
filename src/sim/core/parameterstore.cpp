#include "parameterstore.h"

#include "sim/cards/fitted.h"

#include "common/protocol.h"
#include "sim/core/hardware.h"
#include "sim/core/identity.h"

namespace kv350::sim {

const std::vector<ParameterDef> &ParameterStore::table()
{
    static const std::vector<ParameterDef> defs = {
        {proto::ParUsbMode, 1, "01"},
        {proto::ParReadMode, 1, "8F"},
        {proto::ParIdFormat, 3, "050180"},
        {proto::ParScanTime, 1, "05"},
        {proto::ParSameCardTime, 1, "0F"},
        {proto::ParKeypadDelay, 1, "0A"},
        {proto::ParKeyboardLayout, 2, "0000"},
        {proto::ParMifareIdLocation, 7, "00000004600100"},
        {proto::ParIso15693IdBlock, 3, "000004"},
        {proto::ParMicCardType, 1, "03"},
        {proto::ParLfCardType, 1, "01"},
        {proto::ParAutoEpc, 3, "000206"},
    };
    return defs;
}

const ParameterDef *ParameterStore::find(std::uint8_t code)
{
    for (const ParameterDef &def : table())
        if (def.code == code)
            return &def;
    return nullptr;
}

QByteArray ParameterStore::factoryValue(std::uint8_t code, const QByteArray &model)
{
    const ParameterDef *def = find(code);
    if (!def)
        return {};
    // The ID format is the one factory value that differs by model; the
    // default row of the main table covers every other model.
    if (const ModelHardware *hardware = findHardware(model); hardware && code == proto::ParIdFormat)
        return QByteArray::fromHex(hardware->factoryIdFormat);
    return QByteArray::fromHex(def->factoryHex);
}

ParameterStore::ParameterStore(const QByteArray &model)
{
    restoreFactory(model);
}

void ParameterStore::restoreFactory(const QByteArray &model)
{
    m_values.clear();
    for (const ParameterDef &def : table())
        m_values[def.code] = factoryValue(def.code, model);
}

int ParameterStore::width(std::uint8_t code) const
{
    const ParameterDef *def = find(code);
    return def ? def->width : -1;
}

QByteArray ParameterStore::value(std::uint8_t code) const
{
    const auto it = m_values.find(code);
    return it == m_values.end() ? QByteArray() : it->second;
}

bool ParameterStore::write(std::uint8_t code, const QByteArray &requested)
{
    const int w = width(code);
    if (w < 0 || requested.size() != w)
        return false;
    QByteArray stored = requested;
    const auto filter = m_filters.find(code);
    if (filter != m_filters.end() && filter->second) {
        stored = filter->second(requested, value(code));
        if (stored.isEmpty())
            return false;
        stored = fitted(stored, w);
    }
    m_values[code] = stored;
    return true;
}

void ParameterStore::set(std::uint8_t code, const QByteArray &value)
{
    const int w = width(code);
    if (w >= 0)
        m_values[code] = fitted(value, w);
}

void ParameterStore::setAcceptFilter(std::uint8_t code, AcceptFilter filter)
{
    if (filter)
        m_filters[code] = std::move(filter);
    else
        m_filters.erase(code);
}

void ParameterStore::setReplyWidth(std::uint8_t code, int bytes)
{
    if (bytes < 0)
        m_replyWidths.erase(code);
    else
        m_replyWidths[code] = bytes;
}

QByteArray ParameterStore::replyValue(std::uint8_t code) const
{
    const auto it = m_replyWidths.find(code);
    return it == m_replyWidths.end() ? value(code) : value(code).left(it->second);
}

}  // namespace kv350::sim
