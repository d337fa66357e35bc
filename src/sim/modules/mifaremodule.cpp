#include "mifaremodule.h"

#include "common/protocol.h"

namespace kv350::sim {
namespace {

constexpr int KeySize = MifareKeyStore::KeySize;

std::optional<KeyType> keyType(std::uint8_t byte)
{
    if (byte == MifareModule::KeyTypeA)
        return KeyType::A;
    if (byte == MifareModule::KeyTypeB)
        return KeyType::B;
    return std::nullopt;
}

}  // namespace

bool MifareModule::handles(std::uint8_t cmd) const
{
    return cmd == proto::CmdStoreKey || cmd == proto::CmdMifareRead || cmd == proto::CmdMifareWrite;
}

std::vector<QByteArray> MifareModule::handle(const Request &request, ReaderContext &context)
{
    if (request.cmd == proto::CmdStoreKey)
        return {storeKey(request.data)};
    return {transfer(request, context)};
}

QByteArray MifareModule::failed(std::uint8_t cmd, MifareError error)
{
    m_lastError = error;
    return makeReply(cmd, proto::StaFailed);
}

// DATA: key type, K0…K5, sector.
QByteArray MifareModule::storeKey(const QByteArray &data)
{
    const std::optional<KeyType> type = data.size() == 2 + KeySize ? keyType(byteAt(data, 0)) : std::nullopt;
    if (!type)
        return failed(proto::CmdStoreKey, MifareError::Malformed);
    if (!m_keys.store(byteAt(data, 1 + KeySize), *type, data.mid(1, KeySize)))
        return failed(proto::CmdStoreKey, MifareError::OutOfRange);
    m_lastError = MifareError::None;
    return makeReply(proto::CmdStoreKey, proto::StaOk);
}

// DATA: key type, [K0…K5], sector, block, [D0…D15 for a write]. Without the key
// bytes the reader takes the key of that type it holds for the sector.
QByteArray MifareModule::transfer(const Request &request, ReaderContext &context)
{
    const bool write = request.cmd == proto::CmdMifareWrite;
    const int dataSize = write ? MifareClassicCard::BlockSize : 0;
    const QByteArray &data = request.data;
    const bool typed = data.size() == 3 + KeySize + dataSize;
    const std::optional<KeyType> type = typed || data.size() == 3 + dataSize ? keyType(byteAt(data, 0)) : std::nullopt;
    if (!type)
        return failed(request.cmd, MifareError::Malformed);
    const int at = typed ? 1 + KeySize : 1;
    const int sector = byteAt(data, at);
    const int block = byteAt(data, at + 1);

    const std::shared_ptr<Card> inField = context.field().reach(Technology::Iso14443A);
    if (!inField)
        return failed(request.cmd, MifareError::NoCard);
    const auto card = std::dynamic_pointer_cast<MifareClassicCard>(inField);
    if (!card)
        return failed(request.cmd, MifareError::NotMifareClassic);
    if (!card->hasBlock(sector, block))
        return failed(request.cmd, MifareError::OutOfRange);
    const QByteArray key = typed ? data.mid(1, KeySize) : m_keys.key(sector, *type);
    if (key.isEmpty())
        return failed(request.cmd, MifareError::NoStoredKey);

    card->select();
    if (!card->authenticate(sector, *type, key))
        return failed(request.cmd, card->lastError());
    QByteArray reply;
    if (write) {
        if (!card->write(sector, block, data.mid(at + 2, dataSize)))
            return failed(request.cmd, card->lastError());
        // What the block holds now, as a read shows it: a weak block's read fault does not touch it.
        reply = card->visible(sector, block);
    } else {
        const std::optional<QByteArray> bytes = card->read(sector, block);
        if (!bytes)
            return failed(request.cmd, card->lastError());
        reply = *bytes;
    }
    m_lastError = MifareError::None;
    return makeReply(request.cmd, proto::StaOk, reply);
}

}  // namespace kv350::sim
