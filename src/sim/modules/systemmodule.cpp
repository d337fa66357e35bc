#include "systemmodule.h"

#include "common/protocol.h"

namespace kv350::sim {

bool SystemModule::handles(std::uint8_t cmd) const
{
    return cmd == proto::CmdSystem;
}

std::vector<QByteArray> SystemModule::handle(const Request &request, ReaderContext &context)
{
    if (request.data.size() == 1) {
        switch (byteAt(request.data, 0)) {
        case proto::SysReboot:
            context.requestReboot();
            return {makeReply(request.cmd, proto::StaOk)};
        case proto::SysFactoryDefault:
            context.restoreFactoryDefaults();
            return {makeReply(request.cmd, proto::StaOk)};
        default:
            break;
        }
    }
    return {makeReply(request.cmd, proto::StaFailed)};
}

}  // namespace kv350::sim
