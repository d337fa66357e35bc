// The proxmark3 client's JSON dump of a MIFARE Classic card ("FileType": "mfc v2").
#include "cards/dump/dumpformats.h"
#include "cards/mifare/accessbits.h"
#include "cards/mifare/mifareframes.h"
#include "link/frame.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <algorithm>

namespace kv350::cards {
namespace {

// The line of `"key"` inside the object that `"parent"` opens, for a message
// about its value; the parent's line when the key is not found.
int lineOfKey(const QByteArray &content, const QByteArray &parent, const QByteArray &key)
{
    qsizetype at = content.indexOf('"' + parent + '"');
    if (at < 0)
        return 1;
    if (!key.isEmpty()) {
        const qsizetype inner = content.indexOf('"' + key + '"', at);
        if (inner >= 0)
            at = inner;
    }
    return int(content.left(at).count('\n')) + 1;
}

ImportResult jsonRefused(const QByteArray &content, const QByteArray &parent, const QByteArray &key, const char *reason,
                         const QString &argument = {})
{
    return {std::nullopt, {lineOfKey(content, parent, key), -1, QString::fromLatin1(reason), argument}};
}

std::optional<QByteArray> hexValue(const QJsonValue &value, int size)
{
    if (!value.isString())
        return std::nullopt;
    const QString text = value.toString();
    if (text.size() != 2 * size)
        return std::nullopt;
    for (QChar c : text)
        if (hexDigitValue(c) < 0)
            return std::nullopt;
    return QByteArray::fromHex(text.toLatin1());
}

// Who may do what, the way the proxmark3 client words it in its dumps.
QString dataWords(int row)
{
    static const char *const words[8] = {
        "read AB; write AB; increment AB; decrement transfer restore AB",
        "read AB; decrement transfer restore AB",
        "read AB",
        "read B; write B",
        "read AB; write B",
        "read B",
        "read AB; write B; increment B; decrement transfer restore AB",
        "none",
    };
    return QString::fromLatin1(words[row & 7]);
}

QString trailerWords(int row)
{
    static const char *const words[8] = {
        "read A by A; read ACCESS by A; read/write B by A",
        "write A by A; read/write ACCESS by A; read/write B by A",
        "read ACCESS by A; read B by A",
        "write A by B; read ACCESS by AB; write ACCESS by B; write B by B",
        "write A by B; read ACCESS by AB; write B by B",
        "read ACCESS by AB; write ACCESS by B",
        "read ACCESS by AB",
        "read ACCESS by AB",
    };
    return QString::fromLatin1(words[row & 7]);
}

}  // namespace

ImportResult importJson(const QByteArray &content)
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(content, &parseError);
    if (parseError.error != QJsonParseError::NoError)
        // Qt counts a file cut inside a text one byte past its end.
        return {std::nullopt,
                {0, std::min<qint64>(parseError.offset, content.size()), QStringLiteral("not JSON: %1"),
                 parseError.errorString()}};
    if (!document.isObject())
        return jsonRefused(content, {}, {}, "the file holds no JSON object");
    const QJsonObject root = document.object();
    const QString fileType = root.value(QLatin1String("FileType")).toString();
    if (fileType != QLatin1String("mfc v2") && fileType != QLatin1String("mfcard") &&
        fileType != QLatin1String("mfc v3"))
        return jsonRefused(content, "FileType", {}, "\"FileType\" is not a MIFARE Classic dump (\"mfc v2\")");

    const QJsonObject blocks = root.value(QLatin1String("blocks")).toObject();
    const QJsonObject keys = root.value(QLatin1String("SectorKeys")).toObject();
    // Empty "blocks" is a dump that read nothing whole; none at all is no dump.
    if (!root.value(QLatin1String("blocks")).isObject())
        return jsonRefused(content, "FileType", {}, "the file holds no \"blocks\"");
    int highest = 0;
    for (auto it = blocks.begin(); it != blocks.end(); ++it) {
        bool ok = false;
        const int n = it.key().toInt(&ok);
        if (!ok || n < 0 || n > 255 || QString::number(n) != it.key())
            return jsonRefused(content, "blocks", it.key().toLatin1(), "\"%1\" is no block number 0 to 255", it.key());
        highest = std::max(highest, n);
    }
    int highestSector = 0;
    for (auto it = keys.begin(); it != keys.end(); ++it) {
        bool ok = false;
        const int n = it.key().toInt(&ok);
        if (!ok || n < 0 || n > 39 || QString::number(n) != it.key())
            return jsonRefused(content, "SectorKeys", it.key().toLatin1(), "\"%1\" is no sector number 0 to 39",
                               it.key());
        highestSector = std::max(highestSector, n);
    }
    CardImage image = CardImage::blank(highest < 64 && highestSector < 16 ? CardKind::Mifare1K : CardKind::Mifare4K);
    for (auto it = blocks.begin(); it != blocks.end(); ++it) {
        const auto bytes = hexValue(it.value(), 16);
        if (!bytes)
            return jsonRefused(content, "blocks", it.key().toLatin1(), "block %1 is not 32 hex digits", it.key());
        image.setUnit(it.key().toInt(), *bytes);
    }
    // "SectorKeys" holds the keys that opened each sector.
    for (auto it = keys.begin(); it != keys.end(); ++it) {
        const int sector = it.key().toInt();
        const int trailerAt = (firstBlockOf(sector) + trailerBlock(sector)) * 16;
        const QJsonObject entry = it.value().toObject();
        const struct {
            const char *name;
            int offset, size;
        } fields[] = {{"KeyA", 0, 6}, {"AccessConditions", 6, 4}, {"KeyB", 10, 6}};
        for (const auto &field : fields) {
            const QJsonValue value = entry.value(QLatin1String(field.name));
            if (value.isUndefined())
                continue;
            const auto bytes = hexValue(value, field.size);
            if (!bytes)
                return jsonRefused(content, "SectorKeys", it.key().toLatin1(),
                                   "sector %1: a key or the access "
                                   "conditions are not hex bytes of their length",
                                   it.key());
            // The keys found win over a trailer as the card showed it (key A reads as zeros).
            image.setBytes(trailerAt + field.offset, *bytes);
        }
    }
    const QJsonObject card = root.value(QLatin1String("Card")).toObject();
    const QString uid = card.value(QLatin1String("UID")).toString();
    if (!uid.isEmpty()) {
        const auto bytes = hexValue(uid, int(uid.size() / 2));
        if (!bytes || (bytes->size() != 4 && bytes->size() != 7 && bytes->size() != 10))
            return jsonRefused(content, "Card", "UID", "the UID is not 4, 7 or 10 hex bytes");
        image.uid = *bytes;
    }
    if (const auto atqa = hexValue(card.value(QLatin1String("ATQA")), 2))
        image.atqa = std::uint16_t(std::uint8_t(atqa->at(0)) | (std::uint8_t(atqa->at(1)) << 8));
    if (const auto sak = hexValue(card.value(QLatin1String("SAK")), 1))
        image.sak = std::uint8_t(sak->at(0));
    return {image, {}};
}

QByteArray exportJson(const CardImage &image)
{
    // Written by hand, not through QJsonObject, to keep the proxmark3
    // client's order of keys (Created, FileType, Card, blocks, SectorKeys).
    QByteArray out = "{\n  \"Created\": \"kv350tools\",\n  \"FileType\": \"mfc v2\",\n  \"Card\": {\n";
    const std::uint16_t atqa = image.atqa.value_or(defaultAtqa(image.kind, int(image.uid.size())));
    QByteArray atqaBytes;  // as the card sends it, low byte first
    atqaBytes.append(char(atqa & 0xFF)).append(char(atqa >> 8));
    out += "    \"UID\": \"" + BytesToHex(image.uid).toLatin1() + "\",\n";
    out += "    \"ATQA\": \"" + BytesToHex(atqaBytes).toLatin1() + "\",\n";
    out += "    \"SAK\": \"" + BytesToHex(QByteArray(1, char(image.sak.value_or(defaultSak(image.kind))))).toLatin1() +
           "\"\n  },\n  \"blocks\": {";
    // A block that was not read whole is left out: the format has no mark for unknown bytes.
    QByteArray separator = "\n";
    for (int block = 0; block < image.units(); ++block) {
        if (!image.unitKnown(block))
            continue;
        out += separator + "    \"" + QByteArray::number(block) + "\": \"" + BytesToHex(image.unit(block)).toLatin1() +
               '"';
        separator = ",\n";
    }
    out += "\n  },\n  \"SectorKeys\": {";
    separator = "\n";
    for (int sector = 0; sector < sectorCount(image.kind); ++sector) {
        const int trailerAt = (firstBlockOf(sector) + trailerBlock(sector)) * 16;
        QList<QByteArray> fields;
        if (const auto a = image.keyA(sector))
            fields.append("      \"KeyA\": \"" + BytesToHex(*a).toLatin1() + '"');
        if (const auto b = image.keyB(sector))
            fields.append("      \"KeyB\": \"" + BytesToHex(*b).toLatin1() + '"');
        if (image.known.mid(trailerAt + 6, 4) == QByteArray(4, '\1')) {
            const QByteArray access = image.bytes.mid(trailerAt + 6, 4);
            fields.append("      \"AccessConditions\": \"" + BytesToHex(access).toLatin1() + '"');
            if (const auto rows = accessRows(access.left(3))) {
                const int first = firstBlockOf(sector);
                const int last = first + trailerBlock(sector);
                QByteArray text = "      \"AccessConditionsText\": {\n";
                const int groups[4] = {first, first + (last - first) / 3, first + 2 * (last - first) / 3, last};
                for (int g = 0; g < 4; ++g) {
                    const QString words = g == 3 ? trailerWords((*rows)[3]) : dataWords((*rows)[g]);
                    text += "        \"block" + QByteArray::number(groups[g]) + "\": \"" + words.toLatin1() + "\",\n";
                }
                text += "        \"UserData\": \"" + BytesToHex(access.mid(3, 1)).toLatin1() + "\"\n      }";
                fields.append(text);
            }
        }
        if (fields.isEmpty())
            continue;
        out += separator + "    \"" + QByteArray::number(sector) + "\": {\n" + fields.join(",\n") + "\n    }";
        separator = ",\n";
    }
    out += "\n  }\n}\n";
    return out;
}

}  // namespace kv350::cards
