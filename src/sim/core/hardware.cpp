#include "hardware.h"

#include "common/protocol.h"
#include "sim/core/identity.h"

namespace kv350::sim {
namespace {

// clang-format off
//  model          14443A iso15693 lf     uhfTags radioTest factory ID format
const ModelHardware Models[] = {
    {"KV350-M1",    true,  false,  false, false,  false,    "050180"},
    {"KV350-U1",    false, false,  false, true,   false,    "110180"},
    {"KV350-MIC",   true,  true,   false, false,  false,    "090180"},
    {"KV350-IC",    false, true,   false, false,  false,    "090180"},
    {"KV350-LF",    false, false,  true,  false,  false,    "050180"},
    {"KV350-MIC-X", true,  true,   false, false,  true,     "090180"},
    {"KV350-LF-X",  false, false,  true,  false,  true,     "050180"},
    {"KV350-A1",    false, false,  false, false,  false,    "050180"},
};
// clang-format on

// What a command or a parameter code needs of the hardware.
enum class Needs { Nothing, Iso14443a, Iso15693, Lf, UhfTags, UhfModule };

struct NeedsRow {
    std::uint8_t code;
    Needs needs;
};

// Commands not listed need nothing: every reader answers them.
const NeedsRow CommandNeeds[] = {
    {proto::CmdModule, Needs::UhfModule},      {proto::CmdIso14443Uid, Needs::Iso14443a},
    {proto::CmdStoreKey, Needs::Iso14443a},    {proto::CmdNtagRead, Needs::Iso14443a},
    {proto::CmdNtagWrite, Needs::Iso14443a},   {proto::CmdMifareRead, Needs::Iso14443a},
    {proto::CmdMifareWrite, Needs::Iso14443a}, {proto::CmdIso15693Inventory, Needs::Iso15693},
    {proto::CmdIso15693Read, Needs::Iso15693}, {proto::CmdIso15693Write, Needs::Iso15693},
    {proto::CmdIso15693Info, Needs::Iso15693},
};

// Parameter codes not listed are kept by every reader.
const NeedsRow ParameterNeeds[] = {
    {proto::ParMifareIdLocation, Needs::Iso14443a},
    {proto::ParIso15693IdBlock, Needs::Iso15693},
    {proto::ParMicCardType, Needs::Iso15693},
    {proto::ParLfCardType, Needs::Lf},
    {proto::ParAutoEpc, Needs::UhfTags},
};

bool hardwareMeets(const ModelHardware *model, Needs needs)
{
    if (needs == Needs::Nothing)
        return true;
    if (!model)
        return false;
    switch (needs) {
    case Needs::Nothing:
        return true;
    case Needs::Iso14443a:
        return model->iso14443a;
    case Needs::Iso15693:
        return model->iso15693;
    case Needs::Lf:
        return model->lf;
    case Needs::UhfTags:
        return model->uhfTags;
    case Needs::UhfModule:
        return model->uhfTags || model->radioTest;
    }
    return false;
}

template<std::size_t N>
bool hardwareHas(const NeedsRow (&rows)[N], const ModelHardware *model, std::uint8_t code)
{
    for (const NeedsRow &row : rows)
        if (row.code == code)
            return hardwareMeets(model, row.needs);
    return true;
}

}  // namespace

std::span<const ModelHardware> modelHardware()
{
    return Models;
}

const ModelHardware *findHardware(const QByteArray &model)
{
    const QByteArray name = trimmedModel(model);
    for (const ModelHardware &m : Models)
        if (name == m.model)
            return &m;
    return nullptr;
}

bool hasCommand(const ModelHardware *model, std::uint8_t cmd)
{
    return hardwareHas(CommandNeeds, model, cmd);
}

bool hasParameter(const ModelHardware *model, std::uint8_t code)
{
    return hardwareHas(ParameterNeeds, model, code);
}

bool hasUhfTags(const ModelHardware *model)
{
    return hardwareMeets(model, Needs::UhfTags);
}

bool hasRadioTest(const ModelHardware *model)
{
    return model && model->radioTest;
}

}  // namespace kv350::sim
