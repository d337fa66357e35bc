#include "cardimage.h"

#include <algorithm>

namespace kv350::cards {
namespace {

constexpr int SmallSectors = 32;
constexpr int SmallSectorBlocks = 4;
constexpr int LargeSectorBlocks = 16;
constexpr int KeyLength = 6;
constexpr int KeyBAt = 10;

}  // namespace

QString cardKindName(CardKind kind)
{
    switch (kind) {
    case CardKind::Mifare1K:
        return QStringLiteral("MIFARE Classic 1K");
    case CardKind::Mifare4K:
        return QStringLiteral("MIFARE Classic 4K");
    case CardKind::Ntag203:
        return QStringLiteral("NTAG203");
    }
    return {};
}

bool isMifare(CardKind kind)
{
    return kind != CardKind::Ntag203;
}

int memorySize(CardKind kind)
{
    switch (kind) {
    case CardKind::Mifare1K:
        return 1024;
    case CardKind::Mifare4K:
        return 4096;
    case CardKind::Ntag203:
        return Ntag203Pages * 4;
    }
    return 0;
}

int unitSize(CardKind kind)
{
    return isMifare(kind) ? 16 : 4;
}

int unitCount(CardKind kind)
{
    return memorySize(kind) / unitSize(kind);
}

int sectorCount(CardKind kind)
{
    switch (kind) {
    case CardKind::Mifare1K:
        return 16;
    case CardKind::Mifare4K:
        return 40;
    case CardKind::Ntag203:
        return 0;
    }
    return 0;
}

int firstBlockOf(int sector)
{
    if (sector < SmallSectors)
        return sector * SmallSectorBlocks;
    return SmallSectors * SmallSectorBlocks + (sector - SmallSectors) * LargeSectorBlocks;
}

int sectorOfBlock(int absoluteBlock)
{
    constexpr int smallBlocks = SmallSectors * SmallSectorBlocks;
    if (absoluteBlock < smallBlocks)
        return absoluteBlock / SmallSectorBlocks;
    return SmallSectors + (absoluteBlock - smallBlocks) / LargeSectorBlocks;
}

bool isTrailerBlock(int absoluteBlock)
{
    const int sector = sectorOfBlock(absoluteBlock);
    const int size = sector < SmallSectors ? SmallSectorBlocks : LargeSectorBlocks;
    return absoluteBlock - firstBlockOf(sector) == size - 1;
}

CardImage CardImage::blank(CardKind kind)
{
    CardImage image;
    image.kind = kind;
    image.bytes = QByteArray(memorySize(kind), '\0');
    image.known = QByteArray(memorySize(kind), '\0');
    return image;
}

QByteArray CardImage::unit(int index) const
{
    return bytes.mid(index * unitSize(kind), unitSize(kind));
}

bool CardImage::unitKnown(int index) const
{
    const QByteArray mask = known.mid(index * unitSize(kind), unitSize(kind));
    return std::all_of(mask.begin(), mask.end(), [](char c) { return c != 0; });
}

bool CardImage::unitUnknown(int index) const
{
    const QByteArray mask = known.mid(index * unitSize(kind), unitSize(kind));
    return std::none_of(mask.begin(), mask.end(), [](char c) { return c != 0; });
}

void CardImage::setUnit(int index, const QByteArray &data)
{
    setBytes(index * unitSize(kind), data.left(unitSize(kind)));
}

void CardImage::setBytes(int offset, const QByteArray &data)
{
    bytes.replace(offset, data.size(), data);
    known.replace(offset, data.size(), QByteArray(data.size(), '\1'));
}

void CardImage::forget(int offset, int count)
{
    bytes.replace(offset, count, QByteArray(count, '\0'));
    known.replace(offset, count, QByteArray(count, '\0'));
}

std::optional<QByteArray> CardImage::keyA(int sector) const
{
    const int trailer = firstBlockOf(sector) + (sector < SmallSectors ? 3 : 15);
    const int at = trailer * 16;
    const QByteArray mask = known.mid(at, KeyLength);
    if (mask != QByteArray(KeyLength, '\1'))
        return std::nullopt;
    return bytes.mid(at, KeyLength);
}

std::optional<QByteArray> CardImage::keyB(int sector) const
{
    const int trailer = firstBlockOf(sector) + (sector < SmallSectors ? 3 : 15);
    const int at = trailer * 16 + KeyBAt;
    if (known.mid(at, KeyLength) != QByteArray(KeyLength, '\1'))
        return std::nullopt;
    return bytes.mid(at, KeyLength);
}

int CardImage::knownUnits() const
{
    int count = 0;
    for (int i = 0; i < units(); ++i)
        count += unitKnown(i) ? 1 : 0;
    return count;
}

bool wellFormed(const CardImage &image)
{
    const int size = memorySize(image.kind);
    if (size == 0 || image.bytes.size() != size || image.known.size() != size)
        return false;
    for (int i = 0; i < size; ++i) {
        const char k = image.known.at(i);
        if (k != 0 && k != 1)
            return false;
        if (k == 0 && image.bytes.at(i) != 0)
            return false;
    }
    const auto u = image.uid.size();
    return u == 0 || u == 4 || u == 7 || u == 10;
}

std::optional<Block0Fields> block0Fields(const QByteArray &block0)
{
    if (block0.size() < 8)
        return std::nullopt;
    const auto b = [&](int i) { return std::uint8_t(block0.at(i)); };
    if ((b(0) ^ b(1) ^ b(2) ^ b(3)) != b(4))
        return std::nullopt;
    return Block0Fields{block0.left(4), b(5), std::uint16_t(b(6) | (b(7) << 8))};
}

QByteArray ntagUid(const QByteArray &page0, const QByteArray &page1)
{
    return page0.left(3) + page1.left(4);
}

std::uint8_t defaultSak(CardKind kind)
{
    switch (kind) {
    case CardKind::Mifare1K:
        return 0x08;
    case CardKind::Mifare4K:
        return 0x18;
    case CardKind::Ntag203:
        return 0x00;
    }
    return 0;
}

std::uint16_t defaultAtqa(CardKind kind, int uidSize)
{
    const std::uint16_t doubleSize = uidSize == 7 ? 0x0040 : 0x0000;
    switch (kind) {
    case CardKind::Mifare1K:
        return 0x0004 | doubleSize;
    case CardKind::Mifare4K:
        return 0x0002 | doubleSize;
    case CardKind::Ntag203:
        return 0x0044;
    }
    return 0;
}

}  // namespace kv350::cards
