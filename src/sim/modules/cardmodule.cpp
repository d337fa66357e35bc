#include "cardmodule.h"

#include "common/protocol.h"
#include "sim/cards/field.h"

namespace kv350::sim {

bool CardModule::handles(std::uint8_t cmd) const
{
    return cmd == proto::CmdReadCardId || cmd == proto::CmdRunAction || cmd == proto::CmdIso14443Uid;
}

std::vector<QByteArray> CardModule::handle(const Request &request, ReaderContext &context)
{
    if (request.cmd == proto::CmdRunAction && request.data == QByteArray(1, char(0x02)))
        return {makeReply(request.cmd, proto::StaOk)};
    // Anything but the one known DATA is refused like a missing card, without reaching a card.
    std::shared_ptr<Card> card;
    if (request.cmd == proto::CmdReadCardId && request.data == QByteArray(1, char(0x01)))
        card = context.field().reachAny();
    else if (request.cmd == proto::CmdIso14443Uid && request.data.isEmpty())
        card = context.field().reach(Technology::Iso14443A);
    if (!card)
        return {makeReply(request.cmd, proto::StaFailed)};
    return {makeReply(request.cmd, proto::StaOk, card->uid())};
}

}  // namespace kv350::sim
