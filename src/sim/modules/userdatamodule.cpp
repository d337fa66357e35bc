#include "userdatamodule.h"

#include "common/protocol.h"

namespace kv350::sim {
namespace {

// A read reply's LEN (CMD + STA + data) has to fit its byte.
constexpr int MaxReadCount = 253;

}  // namespace

bool UserDataModule::handles(std::uint8_t cmd) const
{
    return cmd == proto::CmdUserData;
}

std::vector<QByteArray> UserDataModule::handle(const Request &request, ReaderContext &context)
{
    const QByteArray failed = makeReply(request.cmd, proto::StaFailed);
    const QByteArray &data = request.data;
    if (data.size() < 3)
        return {failed};
    QByteArray &memory = context.userMemory();
    const int address = (byteAt(data, 0) << 8) | byteAt(data, 1);
    const int count = byteAt(data, 2);
    if (count == 0 || address + count > memory.size())
        return {failed};
    if (data.size() == 3) {
        if (count > MaxReadCount)
            return {failed};
        return {makeReply(request.cmd, proto::StaOk, memory.mid(address, count))};
    }
    if (data.size() != 3 + count)
        return {failed};
    memory.replace(address, count, data.mid(3));
    return {makeReply(request.cmd, proto::StaOk)};
}

}  // namespace kv350::sim
