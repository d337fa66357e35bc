#include "parametermodule.h"

#include "common/protocol.h"
#include "sim/core/parameterstore.h"

namespace kv350::sim {

bool ParameterModule::handles(std::uint8_t cmd) const
{
    return cmd == proto::CmdParameter;
}

std::vector<QByteArray> ParameterModule::handle(const Request &request, ReaderContext &context)
{
    const QByteArray failed = makeReply(request.cmd, proto::StaFailed);
    if (request.data.isEmpty())
        return {failed};
    ParameterStore &store = context.parameters();
    const std::uint8_t code = byteAt(request.data, 0);
    const int width = store.width(code);
    if (width < 0)
        return {failed};
    if (request.data.size() == 1 + width) {
        if (!store.write(code, request.data.mid(1)))
            return {failed};
    } else if (request.data.size() != 1) {
        return {failed};
    }
    // The reply carries what the reader holds now, which a fussy reader may have changed.
    return {makeReply(request.cmd, proto::StaOk, QByteArray(1, char(code)) + store.replyValue(code))};
}

}  // namespace kv350::sim
