#include "dumpformats.h"

#include "cards/mifare/mifareframes.h"
#include "link/frame.h"

#include <QFileInfo>
#include <QList>
#include <algorithm>

namespace kv350::cards {
namespace {

ImportResult refusedAt(int line, const char *reason, const QString &argument = {})
{
    return {std::nullopt, {line, -1, QString::fromLatin1(reason), argument}};
}

// Two characters of a text dump: a byte, unknown (both "-" or "?"), or neither.
enum class Pair { Byte, Unknown, Bad };
Pair readPair(QChar hi, QChar lo, char unknownMark, std::uint8_t &value)
{
    if (hi == QLatin1Char(unknownMark) && lo == QLatin1Char(unknownMark))
        return Pair::Unknown;
    const int h = hexDigitValue(hi), l = hexDigitValue(lo);
    if (h < 0 || l < 0)
        return Pair::Bad;
    value = std::uint8_t(h * 16 + l);
    return Pair::Byte;
}

QList<QByteArray> textLines(const QByteArray &content)
{
    QList<QByteArray> lines = content.split('\n');
    for (QByteArray &line : lines)
        if (line.endsWith('\r'))
            line.chop(1);
    return lines;
}

}  // namespace

QString formatName(DumpFormat format)
{
    switch (format) {
    case DumpFormat::Mct:
        return QStringLiteral("mct");
    case DumpFormat::Bin:
        return QStringLiteral("bin");
    case DumpFormat::Json:
        return QStringLiteral("json");
    case DumpFormat::Nfc:
        return QStringLiteral("nfc");
    }
    return {};
}

std::optional<DumpFormat> formatFromName(const QString &name)
{
    for (DumpFormat f : {DumpFormat::Mct, DumpFormat::Bin, DumpFormat::Json, DumpFormat::Nfc})
        if (formatName(f) == name.toLower())
            return f;
    return std::nullopt;
}

std::optional<DumpFormat> formatFromFileName(const QString &fileName)
{
    const QString suffix = QFileInfo(fileName).suffix().toLower();
    if (suffix == QLatin1String("mct"))
        return DumpFormat::Mct;
    if (suffix == QLatin1String("bin") || suffix == QLatin1String("mfd") || suffix == QLatin1String("dump"))
        return DumpFormat::Bin;
    if (suffix == QLatin1String("json"))
        return DumpFormat::Json;
    if (suffix == QLatin1String("nfc"))
        return DumpFormat::Nfc;
    return std::nullopt;
}

DumpFormat sniffFormat(const QByteArray &content)
{
    const QByteArray head = content.left(64).trimmed();
    if (head.startsWith('{'))
        return DumpFormat::Json;
    if (head.startsWith("Filetype:"))
        return DumpFormat::Nfc;
    if (head.startsWith("+Sector:"))
        return DumpFormat::Mct;
    return DumpFormat::Bin;
}

bool formatHolds(DumpFormat format, CardKind kind)
{
    return isMifare(kind) || format == DumpFormat::Bin || format == DumpFormat::Nfc;
}

QString importErrorText(const ImportError &error, const TextLookup &text)
{
    QString reason = text(error.reason);
    if (reason.contains(QLatin1String("%1")))
        reason = reason.arg(error.argument);
    if (error.line > 0)
        return text(QStringLiteral("line %1: %2")).arg(error.line).arg(reason);
    if (error.offset >= 0)
        return text(QStringLiteral("offset %1: %2")).arg(error.offset).arg(reason);
    return reason;
}

ImportResult importDump(const QByteArray &content)
{
    switch (sniffFormat(content)) {
    case DumpFormat::Mct:
        return importMct(content);
    case DumpFormat::Json:
        return importJson(content);
    case DumpFormat::Nfc:
        return importNfc(content);
    case DumpFormat::Bin:
        break;
    }
    return importBin(content);
}

// --- MIFARE Classic Tool ---------------------------------------------------

ImportResult importMct(const QByteArray &content)
{
    struct Sector {
        int number;
        int headerLine;
        QList<std::pair<int, QByteArray>> lines;  // line number, text
        bool dead = false;
    };
    QList<Sector> sectors;
    const QList<QByteArray> lines = textLines(content);
    for (int i = 0; i < lines.size(); ++i) {
        const int lineNo = i + 1;
        const QByteArray line = lines.at(i).trimmed();
        if (line.isEmpty())
            continue;
        if (line.startsWith("+Sector:")) {
            bool ok = false;
            const int number = line.mid(8).trimmed().toInt(&ok);
            if (!ok || number < 0 || number > 39)
                return refusedAt(lineNo, "the sector number is not 0 to 39");
            if (!sectors.isEmpty() && !sectors.last().dead &&
                sectors.last().lines.size() != blocksInSector(sectors.last().number))
                return refusedAt(lineNo, "sector %1 holds too few blocks", QString::number(sectors.last().number));
            for (const Sector &s : sectors)
                if (s.number == number)
                    return refusedAt(lineNo, "sector %1 appears twice", QString::number(number));
            sectors.append({number, lineNo, {}, false});
            continue;
        }
        if (sectors.isEmpty())
            return refusedAt(lineNo, "a block comes before the first \"+Sector:\" line");
        Sector &s = sectors.last();
        if (line.startsWith('*')) {
            // "*No keys found or dead sector": the sector was not read.
            if (!s.lines.isEmpty())
                return refusedAt(lineNo, "sector %1 holds too few blocks", QString::number(s.number));
            s.dead = true;
            continue;
        }
        if (s.dead || s.lines.size() == blocksInSector(s.number))
            return refusedAt(lineNo, "sector %1 holds too many blocks", QString::number(s.number));
        if (line.size() != 32)
            return refusedAt(lineNo, "a block is 32 hex digits or \"-\" characters");
        s.lines.append({lineNo, line});
    }
    if (sectors.isEmpty())
        return refusedAt(std::max<int>(1, int(lines.size())), "the file holds no \"+Sector:\" line");

    int highest = 0;
    for (const Sector &s : sectors) {
        highest = std::max(highest, s.number);
        if (!s.dead && s.lines.size() != blocksInSector(s.number)) {
            const int at = s.lines.isEmpty() ? s.headerLine : s.lines.last().first;
            return refusedAt(at, "sector %1 holds too few blocks", QString::number(s.number));
        }
    }
    CardImage image = CardImage::blank(highest < 16 ? CardKind::Mifare1K : CardKind::Mifare4K);
    for (const Sector &s : sectors) {
        int block = firstBlockOf(s.number);
        for (const auto &[lineNo, text] : s.lines) {
            for (int b = 0; b < 16; ++b) {
                std::uint8_t value = 0;
                switch (readPair(QLatin1Char(text.at(2 * b)), QLatin1Char(text.at(2 * b + 1)), '-', value)) {
                case Pair::Byte:
                    image.setBytes(block * 16 + b, QByteArray(1, char(value)));
                    break;
                case Pair::Unknown:
                    break;
                case Pair::Bad:
                    return refusedAt(lineNo, "a block is 32 hex digits or \"-\" characters");
                }
            }
            ++block;
        }
    }
    if (image.unitKnown(0)) {
        if (const auto fields = block0Fields(image.unit(0))) {
            image.uid = fields->uid;
            image.sak = fields->sak;
            image.atqa = fields->atqa;
        }
    }
    return {image, {}};
}

QByteArray exportMct(const CardImage &image)
{
    QByteArray out;
    for (int sector = 0; sector < sectorCount(image.kind); ++sector) {
        out += "+Sector: " + QByteArray::number(sector) + '\n';
        const int first = firstBlockOf(sector);
        for (int block = first; block < first + blocksInSector(sector); ++block) {
            for (int b = 0; b < 16; ++b) {
                const int at = block * 16 + b;
                out += image.byteKnown(at) ? BytesToHex(image.bytes.mid(at, 1)).toLatin1() : QByteArray("--");
            }
            out += '\n';
        }
    }
    return out;
}

// --- raw binary -------------------------------------------------------------

ImportResult importBin(const QByteArray &content)
{
    CardKind kind;
    if (content.size() == memorySize(CardKind::Mifare1K))
        kind = CardKind::Mifare1K;
    else if (content.size() == memorySize(CardKind::Mifare4K))
        kind = CardKind::Mifare4K;
    else if (content.size() == memorySize(CardKind::Ntag203))
        kind = CardKind::Ntag203;
    else
        return {std::nullopt,
                {0, content.size(),
                 QStringLiteral("a raw dump has 1024 or 4096 bytes (MIFARE Classic) or 168 (NTAG203), not %1"),
                 QString::number(content.size())}};
    CardImage image = CardImage::blank(kind);
    image.setBytes(0, content);
    if (kind == CardKind::Ntag203) {
        image.uid = ntagUid(image.unit(0), image.unit(1));
    } else if (const auto fields = block0Fields(image.unit(0))) {
        image.uid = fields->uid;
        image.sak = fields->sak;
        image.atqa = fields->atqa;
    }
    return {image, {}};
}

ExportResult exportDump(const CardImage &image, DumpFormat format)
{
    if (!formatHolds(format, image.kind))
        return {{},
                QStringLiteral("The %1 format holds MIFARE Classic cards only; choose bin or nfc."),
                formatName(format)};
    switch (format) {
    case DumpFormat::Mct:
        return {exportMct(image), {}, {}};
    case DumpFormat::Json:
        return {exportJson(image), {}, {}};
    case DumpFormat::Nfc:
        return {exportNfc(image), {}, {}};
    case DumpFormat::Bin:
        break;
    }
    const int unknown = image.units() - image.knownUnits();
    if (unknown > 0)
        return {{},
                QStringLiteral("%1 block(s) or page(s) were not read whole, and the raw format cannot mark unknown "
                               "bytes; choose mct, json or nfc."),
                QString::number(unknown)};
    return {image.bytes, {}, {}};
}

}  // namespace kv350::cards
