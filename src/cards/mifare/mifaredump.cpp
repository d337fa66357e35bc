#include "mifaredump.h"

#include "cards/mifare/accessbits.h"
#include "cards/mifare/mifareframes.h"
#include "link/frame.h"
#include "link/readerlink.h"

namespace kv350::cards {
namespace {

constexpr int UidReplyLimit = ReaderLink::DefaultResponseLimit;
constexpr int FirstLargeCardSector = 16;

CardReply readBlock(const CardExchange &exchange, std::uint8_t type, const QByteArray &key, int sector, int block)
{
    CardReply reply = exchange(mifareReadFrame({type, key}, sector, block), MifareReadReplyLimit);
    if (reply.done() && reply.data.size() < BlockSize)
        reply.outcome = CardReply::Outcome::Failed;
    return reply;
}

// A trailer row that lets key A read key B: key B then opens nothing.
bool keyBReadableIn(int trailerRow)
{
    return rowChoice(TrailerIndex, trailerRow, Op::KeyBRead) != Who::Never;
}

struct SectorRead {
    SectorAccess access;
    bool readerLost = false;
};

SectorRead readSector(const CardExchange &exchange, CardImage &image, int sector, const QList<QByteArray> &keys)
{
    SectorRead result;
    SectorAccess &a = result.access;
    const int first = firstBlockOf(sector);
    const int trailer = trailerBlock(sector);
    std::optional<QByteArray> trailerBytes;
    const auto lost = [&](const CardReply &r) {
        result.readerLost = r.readerLost;
        return r.readerLost;
    };
    const auto learnTrailer = [&](const QByteArray &bytes) {
        if (trailerBytes)
            return;
        trailerBytes = bytes.left(BlockSize);
        a.rows = accessRows(trailerBytes->mid(6, 3));
        a.keyBReadable = a.rows && keyBReadableIn((*a.rows)[3]);
    };
    for (const QByteArray &key : keys) {
        if (!a.keyA) {
            const CardReply r = readBlock(exchange, KeyA, key, sector, trailer);
            if (lost(r))
                return result;
            if (r.done()) {
                a.keyA = key;
                learnTrailer(r.data);
            }
        }
        if (!a.keyB && !a.keyBReadable) {
            const CardReply r = readBlock(exchange, KeyB, key, sector, trailer);
            if (lost(r))
                return result;
            if (r.done()) {
                a.keyB = key;
                learnTrailer(r.data);
            }
        }
        if (a.keyA && (a.keyB || a.keyBReadable))
            break;
    }
    if (a.keyBReadable && trailerBytes)
        a.keyB = trailerBytes->mid(10, 6);

    for (int block = 0; block < trailer; ++block) {
        for (const auto &[type, key] :
             {std::pair{KeyA, a.keyA}, std::pair{KeyB, a.keyBReadable ? std::nullopt : a.keyB}}) {
            if (!key)
                continue;
            const CardReply r = readBlock(exchange, type, *key, sector, block);
            if (lost(r))
                return result;
            if (r.done()) {
                image.setUnit(first + block, r.data);
                break;
            }
        }
    }
    // Key A always reads as zeros: the trailer holds the key that opened the
    // sector, or nothing where none did.
    const int at = (first + trailer) * BlockSize;
    if (trailerBytes)
        image.setBytes(at + 6, trailerBytes->mid(6, 4));
    if (a.keyA)
        image.setBytes(at, *a.keyA);
    if (a.keyB)
        image.setBytes(at + 10, *a.keyB);
    return result;
}

}  // namespace

int MifareDump::sectorsOpened() const
{
    int n = 0;
    for (const SectorAccess &s : sectors)
        n += s.opened() ? 1 : 0;
    return n;
}

CardImage readAllImage(const QList<std::pair<int, QByteArray>> &reads, const MifareKey &key)
{
    bool large = false;
    for (const auto &[i, data] : reads)
        large = large || i / 4 >= sectorCount(CardKind::Mifare1K);
    CardImage image = CardImage::blank(large ? CardKind::Mifare4K : CardKind::Mifare1K);
    for (const auto &[i, data] : reads) {
        const int sector = i / 4, block = i % 4;
        if (sector >= sectorCount(image.kind) || data.size() < BlockSize)
            continue;
        const int absolute = firstBlockOf(sector) + block;
        if (block != trailerBlock(sector)) {
            image.setUnit(absolute, data);
            continue;
        }
        const int at = absolute * BlockSize;
        image.setBytes(at + 6, data.mid(6, 4));
        const auto rows = accessRows(data.mid(6, 3));
        if (rows && keyBReadableIn((*rows)[3]))
            image.setBytes(at + 10, data.mid(10, 6));
        if (key.typed)
            image.setBytes(at + (key.type == KeyA ? 0 : 10), *key.typed);
    }
    if (image.unitKnown(0))
        if (const auto fields = block0Fields(image.unit(0))) {
            image.uid = fields->uid;
            image.sak = fields->sak;
            image.atqa = fields->atqa;
        }
    return image;
}

QString keyText(const std::optional<QByteArray> &key, const TextLookup &text)
{
    return key ? BytesToHex(*key) : text(QStringLiteral("unknown"));
}

MifareDump dumpMifare(const CardExchange &exchange, const KeysFor &keysFor, const TextLookup &text)
{
    MifareDump dump;
    dump.image = CardImage::blank(CardKind::Mifare4K);
    const CardReply uid = exchange(uidFrame(), UidReplyLimit);
    if (!uid.done()) {
        dump.noCard = uid.outcome == CardReply::Outcome::NoCard;
        dump.readerLost = !dump.noCard;
        dump.image = CardImage::blank(CardKind::Mifare1K);
        return dump;
    }
    if (uid.data.size() == 4 || uid.data.size() == 7 || uid.data.size() == 10)
        dump.image.uid = uid.data;

    int sectors = sectorCount(CardKind::Mifare4K);
    std::optional<CardKind> kind;
    for (int sector = 0; sector < sectors; ++sector) {
        const SectorRead read = readSector(exchange, dump.image, sector, keysFor(sector));
        dump.sectors.append(read.access);
        if (read.readerLost) {
            dump.readerLost = true;
            break;
        }
        if (sector == 0 && dump.image.unitKnown(0)) {
            if (const auto fields = block0Fields(dump.image.unit(0))) {
                dump.image.sak = fields->sak;
                dump.image.atqa = fields->atqa;
                if (dump.image.uid.isEmpty())
                    dump.image.uid = fields->uid;
                kind = (fields->sak & 0x10) ? CardKind::Mifare4K : CardKind::Mifare1K;
            }
        }
        if (sector == FirstLargeCardSector - 1 && kind == CardKind::Mifare1K)
            break;
        if (sector == FirstLargeCardSector && !kind)
            kind = read.access.opened() ? CardKind::Mifare4K : CardKind::Mifare1K;
        if (kind == CardKind::Mifare1K && sector >= FirstLargeCardSector - 1)
            break;
    }
    const CardKind found = kind.value_or(CardKind::Mifare1K);
    if (found == CardKind::Mifare1K) {
        CardImage small = CardImage::blank(CardKind::Mifare1K);
        small.bytes = dump.image.bytes.left(memorySize(found));
        small.known = dump.image.known.left(memorySize(found));
        small.uid = dump.image.uid;
        small.atqa = dump.image.atqa;
        small.sak = dump.image.sak;
        dump.image = small;
        while (dump.sectors.size() > sectorCount(found))
            dump.sectors.removeLast();
    }
    for (int sector = 0; sector < dump.sectors.size(); ++sector) {
        const SectorAccess &a = dump.sectors.at(sector);
        const int first = firstBlockOf(sector);
        int read = 0;
        for (int b = first; b < first + blocksInSector(sector); ++b)
            read += dump.image.unitKnown(b) ? 1 : 0;
        dump.lines.append(text(QStringLiteral("sector %1: key A %2, key B %3, %4 of %5 blocks read whole"))
                              .arg(sector)
                              .arg(keyText(a.keyA, text), keyText(a.keyB, text))
                              .arg(read)
                              .arg(blocksInSector(sector)));
    }
    return dump;
}

}  // namespace kv350::cards
