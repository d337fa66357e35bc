#include "cardmodule.h"

#include "common/protocol.h"

namespace kv350::sim {

bool CardModule::handles(std::uint8_t cmd) const
{
    return cmd == proto::CmdReadCardId || cmd == proto::CmdRunAction;
}

std::vector<QByteArray> CardModule::handle(const Request &request, ReaderContext &)
{
    if (request.cmd == proto::CmdRunAction && request.data == QByteArray(1, char(0x02)))
        return {makeReply(request.cmd, proto::StaOk)};
    // Read Card ID finds no card; anything but the one known DATA is refused the same way.
    return {makeReply(request.cmd, proto::StaFailed)};
}

}  // namespace kv350::sim
