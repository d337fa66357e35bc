#include "iso15693module.h"

#include "common/protocol.h"

namespace kv350::sim {
namespace {

constexpr int UidSize = Iso15693Tag::UidSize;
constexpr int BlockSize = Iso15693Tag::BlockSize;

}  // namespace

const char *isoErrorName(IsoError error)
{
    switch (error) {
    case IsoError::None:
        return "None";
    case IsoError::NoTag:
        return "NoTag";
    case IsoError::Malformed:
        return "Malformed";
    case IsoError::NotAddressed:
        return "NotAddressed";
    case IsoError::BlockNotAvailable:
        return "BlockNotAvailable";
    case IsoError::BlockLocked:
        return "BlockLocked";
    }
    return "?";
}

bool Iso15693Module::handles(std::uint8_t cmd) const
{
    return cmd == proto::CmdIso15693Inventory || cmd == proto::CmdIso15693Read || cmd == proto::CmdIso15693Write ||
           cmd == proto::CmdIso15693Info;
}

QByteArray Iso15693Module::failed(std::uint8_t cmd, IsoError error, const QByteArray &data)
{
    m_lastError = error;
    return makeReply(cmd, proto::StaFailed, data);
}

QByteArray Iso15693Module::relay(std::uint8_t cmd, const std::optional<QByteArray> &response)
{
    if (!response)
        return failed(cmd, IsoError::NotAddressed);
    if (byteAt(*response, 0) & 0x01)
        return failed(cmd,
                      byteAt(*response, 1) == Iso15693Tag::ErrorBlockLocked ? IsoError::BlockLocked
                                                                            : IsoError::BlockNotAvailable,
                      *response);
    m_lastError = IsoError::None;
    return makeReply(cmd, proto::StaOk, *response);
}

std::vector<QByteArray> Iso15693Module::handle(const Request &request, ReaderContext &context)
{
    // DATA is checked before the reader goes to the air: a malformed request reaches no tag.
    const QByteArray &data = request.data;
    int expected = 0;
    if (request.cmd == proto::CmdIso15693Info) {
        expected = UidSize;
    } else if (request.cmd != proto::CmdIso15693Inventory) {
        const int count = data.size() >= UidSize + 2 ? byteAt(data, UidSize + 1) : 0;
        if (count < 1 || count > MaxBlocksPerCommand)
            return {failed(request.cmd, IsoError::Malformed)};
        expected = UidSize + 2 + (request.cmd == proto::CmdIso15693Write ? BlockSize * count : 0);
    }
    if (data.size() != expected)
        return {failed(request.cmd, IsoError::Malformed)};

    const auto tag = std::dynamic_pointer_cast<Iso15693Tag>(context.field().reach(Technology::Iso15693));
    if (!tag)
        return {failed(request.cmd, IsoError::NoTag)};
    return {answer(request, *tag)};
}

QByteArray Iso15693Module::answer(const Request &request, Iso15693Tag &tag)
{
    const QByteArray &data = request.data;
    const QByteArray address = data.left(UidSize);
    switch (request.cmd) {
    case proto::CmdIso15693Inventory:
        return relay(request.cmd, tag.inventory());
    case proto::CmdIso15693Info:
        return relay(request.cmd, tag.systemInformation(address));
    case proto::CmdIso15693Read:
        return relay(request.cmd, tag.readMultipleBlocks(address, byteAt(data, UidSize), byteAt(data, UidSize + 1)));
    default:
        break;
    }
    const int first = byteAt(data, UidSize);
    const int count = byteAt(data, UidSize + 1);
    for (int i = 0; i < count; ++i) {
        const std::optional<QByteArray> response = tag.writeSingleBlock(
            address, first + i, data.mid(UidSize + 2 + i * BlockSize, BlockSize));
        if (!response || (byteAt(*response, 0) & 0x01))
            return relay(request.cmd, response);
    }
    // What the blocks now hold, as a read of them shows it.
    return relay(request.cmd, tag.readMultipleBlocks(address, first, count));
}

}  // namespace kv350::sim
