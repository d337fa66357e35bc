#include "identitymodule.h"

#include "common/protocol.h"
#include "sim/core/identity.h"

namespace kv350::sim {
namespace {

QByteArray fixedWidth(const QByteArray &text, int width, char pad)
{
    QByteArray out = text.left(width);
    out.append(QByteArray(width - out.size(), pad));
    return out;
}

}  // namespace

bool IdentityModule::handles(std::uint8_t cmd) const
{
    return cmd == proto::CmdSerialNumber || cmd == proto::CmdModelVersion;
}

std::vector<QByteArray> IdentityModule::handle(const Request &request, ReaderContext &context)
{
    const Identity &id = context.identity();
    if (request.cmd == proto::CmdSerialNumber)
        return {makeReply(request.cmd, proto::StaOk, fixedWidth(id.serial, proto::SerialWidth, '\0'))};
    return {
        makeReply(request.cmd, proto::StaOk,
                  fixedWidth(id.model, proto::ModelNameWidth, ' ') + fixedWidth(id.version, proto::VersionWidth, ' '))};
}

}  // namespace kv350::sim
