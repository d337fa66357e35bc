#include "ntagmodule.h"

#include "common/protocol.h"

namespace kv350::sim {

bool NtagModule::handles(std::uint8_t cmd) const
{
    return cmd == proto::CmdNtagRead || cmd == proto::CmdNtagWrite;
}

QByteArray NtagModule::failed(std::uint8_t cmd, NtagError error)
{
    m_lastError = error;
    return makeReply(cmd, proto::StaFailed);
}

std::vector<QByteArray> NtagModule::handle(const Request &request, ReaderContext &context)
{
    const bool write = request.cmd == proto::CmdNtagWrite;
    const QByteArray &data = request.data;
    if (data.size() != 3 + (write ? Ntag203Card::ReadSize : 0) || byteAt(data, 0) != 0 || byteAt(data, 1) != 0)
        return {failed(request.cmd, NtagError::Malformed)};
    const int page = byteAt(data, 2);

    const std::shared_ptr<Card> inField = context.field().reach(Technology::Iso14443A);
    if (!inField)
        return {failed(request.cmd, NtagError::NoCard)};
    const auto tag = std::dynamic_pointer_cast<Ntag203Card>(inField);
    if (!tag)
        return {failed(request.cmd, NtagError::NotNtag)};

    tag->activate();
    if (write) {
        for (int i = 0; i < 4; ++i)
            if (!tag->write(page + i, data.mid(3 + i * Ntag203Card::PageSize, Ntag203Card::PageSize)))
                return {failed(request.cmd, tag->lastError())};
    }
    // A write answers with what the four pages now hold, as a read shows them
    // (lock and CC bytes OR-ed, ignored bytes as they are).
    const std::optional<QByteArray> bytes = tag->read(page);
    if (!bytes)
        return {failed(request.cmd, tag->lastError())};
    m_lastError = NtagError::None;
    return {makeReply(request.cmd, proto::StaOk, *bytes)};
}

}  // namespace kv350::sim
