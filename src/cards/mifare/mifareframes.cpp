#include "mifareframes.h"

#include "common/protocol.h"
#include "link/frame.h"

namespace kv350::cards {
namespace {

QByteArray keyPart(const MifareKey &key)
{
    return QByteArray(1, char(key.type)) + key.typed.value_or(QByteArray());
}

}  // namespace

QByteArray mifareReadFrame(const MifareKey &key, int sector, int block)
{
    return buildRequest(proto::CmdMifareRead, keyPart(key) + char(sector) + char(block));
}

QByteArray mifareWriteFrame(const MifareKey &key, int sector, int block, const QByteArray &data16)
{
    return buildRequest(proto::CmdMifareWrite, keyPart(key) + char(sector) + char(block) + data16);
}

QByteArray uidFrame()
{
    return buildRequest(proto::CmdIso14443Uid);
}

QByteArray storeKeyFrame(std::uint8_t keyType, const QByteArray &key6, int sector)
{
    return buildRequest(proto::CmdStoreKey, QByteArray(1, char(keyType)) + key6 + char(sector));
}

namespace {

// The request's own layout: 02 LEN CMD type [key] sector block [data].
constexpr int OffKeyType = proto::OffReqData;
constexpr int OffTypedKey = OffKeyType + 1;
constexpr int StoredKeyReadSize = 6;    // 02 04 15 type sector block
constexpr int TypedKeyReadSize = 12;    // 02 0A 15 type K0-K5 sector block
constexpr int StoredKeyWriteSize = 22;  // 02 14 16 type sector block D0-D15
constexpr int TypedKeyWriteSize = 28;   // 02 1A 16 type K0-K5 sector block D0-D15
constexpr int StoreKeySize = 11;        // 02 09 12 type K0-K5 sector
// Keys A and B inside a trailer's 16 bytes.
constexpr int TrailerKeyA = 0;
constexpr int TrailerKeyB = 10;

bool wellFramed(const QByteArray &frame, std::uint8_t cmd, int size)
{
    return frame.size() == size && std::uint8_t(frame[proto::OffStx]) == proto::Stx &&
           std::uint8_t(frame[proto::OffLen]) == size - 2 && std::uint8_t(frame[proto::OffCmd]) == cmd;
}

bool isTrailer(int sector, int block)
{
    return sector >= 0 && sector < 40 && block == trailerBlock(sector);
}

}  // namespace

std::optional<BlockWrite> parseBlockWrite(const QByteArray &frame)
{
    const bool typed = wellFramed(frame, proto::CmdMifareWrite, TypedKeyWriteSize);
    if (!typed && !wellFramed(frame, proto::CmdMifareWrite, StoredKeyWriteSize))
        return std::nullopt;
    BlockWrite w;
    w.keyType = std::uint8_t(frame[OffKeyType]);
    int at = OffTypedKey;
    if (typed) {
        w.typedKey = frame.mid(at, KeySize);
        at += KeySize;
    }
    w.sector = std::uint8_t(frame[at]);
    w.block = std::uint8_t(frame[at + 1]);
    w.data = frame.mid(at + 2, BlockSize);
    return w;
}

std::vector<KeySpan> requestKeySpans(const QByteArray &request)
{
    if (wellFramed(request, proto::CmdStoreKey, StoreKeySize) ||
        wellFramed(request, proto::CmdMifareRead, TypedKeyReadSize))
        return {{OffTypedKey}};
    const std::optional<BlockWrite> write = parseBlockWrite(request);
    if (!write)
        return {};
    std::vector<KeySpan> spans;
    const int data = write->typedKey ? OffTypedKey + KeySize + 2 : OffTypedKey + 2;
    if (write->typedKey)
        spans.push_back({OffTypedKey});
    if (isTrailer(write->sector, write->block)) {
        spans.push_back({data + TrailerKeyA});
        spans.push_back({data + TrailerKeyB});
    }
    return spans;
}

std::vector<KeySpan> replyKeySpans(const QByteArray &request, const QByteArray &reply)
{
    // A read, or a write whose reply echoes the block: the block's keys when it is a trailer.
    int at = 0;
    if (wellFramed(request, proto::CmdMifareRead, TypedKeyReadSize) ||
        wellFramed(request, proto::CmdMifareWrite, TypedKeyWriteSize))
        at = OffTypedKey + KeySize;
    else if (wellFramed(request, proto::CmdMifareRead, StoredKeyReadSize) ||
             wellFramed(request, proto::CmdMifareWrite, StoredKeyWriteSize))
        at = OffTypedKey;
    else
        return {};
    if (!isTrailer(std::uint8_t(request[at]), std::uint8_t(request[at + 1])))
        return {};
    // Whatever part of the trailer's keys came back.
    std::vector<KeySpan> spans;
    for (int key : {TrailerKeyA, TrailerKeyB})
        if (reply.size() > proto::OffRespData + key)
            spans.push_back({proto::OffRespData + key});
    return spans;
}

int blocksInSector(int sector)
{
    return sector < 32 ? 4 : 16;
}

int trailerBlock(int sector)
{
    return blocksInSector(sector) - 1;
}

QString uidText(const QByteArray &uid)
{
    QByteArray eight = uid.left(8);
    eight.append(QByteArray(8 - eight.size(), '\0'));
    return BytesToHex(eight);
}

QString blockText(const QByteArray &data)
{
    const int end = data.indexOf('\0');
    return BytesToText(end < 0 ? data : data.left(end));
}

QByteArray textBlock(const QString &text)
{
    QByteArray bytes = text.left(BlockSize).toLatin1();
    bytes.append(QByteArray(BlockSize - bytes.size(), '\0'));
    return bytes;
}

QString readAllPrefix(int i)
{
    return QString::asprintf("%02d(%d/%d):", i, i / 4, i % 4);
}

int countOr(const QString &text, int fallback)
{
    bool ok = false;
    const int n = text.trimmed().toInt(&ok);
    return ok ? n : fallback;
}

std::vector<int> loopTestBlocks(int limit)
{
    std::vector<int> blocks;
    for (int b = 4; b < std::max(limit, 5); ++b)
        if (b % 4 != 3)
            blocks.push_back(b);
    return blocks;
}

QString loopPattern(int pass)
{
    QString pattern;
    for (int j = 0; j < 16; ++j)
        pattern += QString::asprintf("%02d", (pass + j) % 100);
    return pattern;
}

QString loopCounterLine(const char *what, int number, const LoopCounters &c)
{
    return QString::asprintf("%s%d  CMD_ERR=%d  WR_ERR=%d  CHK_ERR=%d", what, number, c.commandErrors, c.writeErrors,
                             c.checkErrors);
}

QString loopBlockPrefix(char op, int pass, int block)
{
    return QString::asprintf("(%c:%d)-%02d(%d/%d):", op, pass, block, block / 4, block % 4);
}

QString loopTestQuestion(const std::vector<int> &blocks, const TextLookup &text)
{
    const int first = blocks.front() / 4, last = blocks.back() / 4;
    const QString what =
        first == last
            ? text(QStringLiteral("The loop test will overwrite %1 data block(s) of sector %2 with test patterns; "
                                  "what they hold now will be lost."))
                  .arg(blocks.size())
                  .arg(first)
            : text(QStringLiteral("The loop test will overwrite %1 data block(s) of sectors %2-%3 with test "
                                  "patterns; what they hold now will be lost."))
                  .arg(blocks.size())
                  .arg(first)
                  .arg(last);
    return what + QLatin1Char('\n') + text(QStringLiteral("Sector 0 and the sector trailers are left alone.")) +
           QStringLiteral("\n\n") + text(QStringLiteral("Start the loop test?"));
}

}  // namespace kv350::cards
