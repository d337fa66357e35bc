#include "isoframes.h"

#include "common/protocol.h"
#include "link/frame.h"

namespace kv350::cards {

QByteArray isoInventoryFrame()
{
    return buildRequest(proto::CmdIso15693Inventory);
}

QByteArray isoInformationFrame(const QByteArray &uid8)
{
    return buildRequest(proto::CmdIso15693Info, uid8);
}

QByteArray isoReadFrame(const QByteArray &uid8, int block, int count)
{
    return buildRequest(proto::CmdIso15693Read, uid8 + char(block) + char(count));
}

QByteArray isoWriteFrame(const QByteArray &uid8, int block, int count, const QByteArray &data)
{
    return buildRequest(proto::CmdIso15693Write, uid8 + char(block) + char(count) + data);
}

std::optional<QByteArray> inventoryUid(const QByteArray &replyData)
{
    if (replyData.size() < 2 + IsoUidSize)
        return std::nullopt;
    return replyData.mid(2, IsoUidSize);
}

std::optional<QByteArray> isoBlocks(const QByteArray &replyData, int count)
{
    const int n = IsoBlockSize * count;
    if (replyData.size() < 1 + n)
        return std::nullopt;
    return replyData.mid(1, n);
}

}  // namespace kv350::cards
