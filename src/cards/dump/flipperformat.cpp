// Flipper Zero's .nfc text format: "Key: value" lines, "#" comments.
#include "cards/dump/dumpformats.h"
#include "cards/mifare/mifareframes.h"
#include "link/frame.h"

#include <QList>
#include <QMap>
#include <algorithm>

namespace kv350::cards {
namespace {

struct NfcLine {
    int number;
    QByteArray value;
};

ImportResult nfcRefused(int line, const char *reason, const QString &argument = {})
{
    return {std::nullopt, {line, -1, QString::fromLatin1(reason), argument}};
}

// "04 85 92 9B" into bytes; "??" an unknown byte where `unknownAllowed`.
// Nothing when the count or a pair is wrong.
std::optional<std::pair<QByteArray, QByteArray>> spacedHex(const QByteArray &text, int count, bool unknownAllowed)
{
    const QList<QByteArray> words = text.simplified().split(' ');
    if (words.size() != count)
        return std::nullopt;
    QByteArray bytes, known;
    for (const QByteArray &w : words) {
        if (w == "??" && unknownAllowed) {
            bytes.append('\0');
            known.append('\0');
            continue;
        }
        if (w.size() != 2 || hexDigitValue(QLatin1Char(w.at(0))) < 0 || hexDigitValue(QLatin1Char(w.at(1))) < 0)
            return std::nullopt;
        bytes.append(QByteArray::fromHex(w));
        known.append('\1');
    }
    return std::pair{bytes, known};
}

QByteArray spaced(const CardImage &image, int offset, int count)
{
    QByteArrayList words;
    for (int i = offset; i < offset + count; ++i)
        words.append(image.byteKnown(i) ? BytesToHex(image.bytes.mid(i, 1)).toLatin1() : QByteArray("??"));
    return words.join(' ');
}

}  // namespace

ImportResult importNfc(const QByteArray &content)
{
    QMap<QByteArray, NfcLine> fields;  // by key; blocks and pages too
    QList<QByteArray> lines = content.split('\n');
    for (int i = 0; i < lines.size(); ++i) {
        QByteArray line = lines.at(i);
        if (line.endsWith('\r'))
            line.chop(1);
        line = line.trimmed();
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0)
            return nfcRefused(i + 1, "a line is \"Key: value\"");
        const QByteArray key = line.left(colon).trimmed();
        if (fields.contains(key))
            return nfcRefused(i + 1, "\"%1\" appears twice", QString::fromLatin1(key));
        fields.insert(key, {i + 1, line.mid(colon + 1).trimmed()});
    }
    // A key that is missing is missing at the end of the file.
    const int endLine = std::max(1, int(lines.size()) - (content.endsWith('\n') ? 1 : 0));
    const auto lineOf = [&](const char *key) { return fields.value(key, {endLine, {}}).number; };
    if (fields.value("Filetype").value != "Flipper NFC device")
        return nfcRefused(lineOf("Filetype"), "the file is no \"Flipper NFC device\"");
    bool versionOk = false;
    const int version = fields.value("Version").value.toInt(&versionOk);
    if (!versionOk || version < 2 || version > 4)
        return nfcRefused(lineOf("Version"), "the file's version is not 2, 3 or 4");

    const QByteArray device = fields.value("Device type").value;
    CardKind kind;
    if (device == "Mifare Classic") {
        const QByteArray type = fields.value("Mifare Classic type").value;
        if (type == "1K")
            kind = CardKind::Mifare1K;
        else if (type == "4K")
            kind = CardKind::Mifare4K;
        else
            return nfcRefused(lineOf("Mifare Classic type"), "the MIFARE Classic type is not 1K or 4K");
    } else if (device == "NTAG203" ||
               (device == "NTAG/Ultralight" && fields.value("NTAG/Ultralight type").value == "NTAG203")) {
        kind = CardKind::Ntag203;
    } else {
        return nfcRefused(lineOf("Device type"), "the device type is not Mifare Classic 1K or 4K, or NTAG203");
    }

    CardImage image = CardImage::blank(kind);
    // An empty UID is one the dump did not learn.
    const QByteArray uidText = fields.value("UID").value.simplified();
    if (!uidText.isEmpty()) {
        const auto uid = spacedHex(uidText, int(uidText.count(' ')) + 1, false);
        if (!uid || (uid->first.size() != 4 && uid->first.size() != 7 && uid->first.size() != 10))
            return nfcRefused(lineOf("UID"), "the UID is not 4, 7 or 10 hex bytes");
        image.uid = uid->first;
    }
    if (fields.contains("ATQA")) {
        const auto atqa = spacedHex(fields.value("ATQA").value, 2, false);
        if (!atqa)
            return nfcRefused(lineOf("ATQA"), "ATQA is not two hex bytes");
        // Version 2 wrote the low byte first; later versions the high byte.
        const auto b = [&](int i) { return std::uint8_t(atqa->first.at(i)); };
        image.atqa = version == 2 ? std::uint16_t(b(0) | b(1) << 8) : std::uint16_t(b(0) << 8 | b(1));
    }
    if (fields.contains("SAK")) {
        const auto sak = spacedHex(fields.value("SAK").value, 1, false);
        if (!sak)
            return nfcRefused(lineOf("SAK"), "SAK is not one hex byte");
        image.sak = std::uint8_t(sak->first.at(0));
    }

    const bool pages = kind == CardKind::Ntag203;
    const QByteArray word = pages ? "Page " : "Block ";
    int pagesRead = image.units();
    if (pages && fields.contains("Pages read")) {
        bool ok = false;
        pagesRead = fields.value("Pages read").value.toInt(&ok);
        if (!ok || pagesRead < 0 || pagesRead > image.units())
            return nfcRefused(lineOf("Pages read"), "\"Pages read\" is not 0 to %1", QString::number(image.units()));
    }
    for (auto it = fields.begin(); it != fields.end(); ++it) {
        if (!it.key().startsWith(word))
            continue;
        bool ok = false;
        const int n = it.key().mid(word.size()).toInt(&ok);
        if (!ok || n < 0 || n >= image.units() || QByteArray::number(n) != it.key().mid(word.size()))
            return nfcRefused(it->number, "\"%1\" is beyond this card's memory", QString::fromLatin1(it.key()));
        const auto bytes = spacedHex(it->value, unitSize(kind), true);
        if (!bytes)
            return nfcRefused(it->number, "a block is 16 hex bytes and a page 4, an unknown byte two question marks");
        // A page beyond "Pages read" is a placeholder, not what the tag holds.
        if (pages && n >= pagesRead)
            continue;
        const int at = n * unitSize(kind);
        for (int i = 0; i < bytes->first.size(); ++i)
            if (bytes->second.at(i))
                image.setBytes(at + i, bytes->first.mid(i, 1));
    }
    return {image, {}};
}

QByteArray exportNfc(const CardImage &image)
{
    const int uidSize = int(image.uid.size());
    const std::uint16_t atqa = image.atqa.value_or(defaultAtqa(image.kind, uidSize));
    const std::uint8_t sak = image.sak.value_or(defaultSak(image.kind));
    const bool pages = image.kind == CardKind::Ntag203;
    QByteArray out = "Filetype: Flipper NFC device\nVersion: 4\n"
                     "# Device type can be ISO14443-3A, ISO14443-3B, ISO14443-4A, NTAG/Ultralight, Mifare Classic\n";
    out += pages ? "Device type: NTAG/Ultralight\n" : "Device type: Mifare Classic\n";
    QByteArrayList uidWords;
    for (char c : image.uid)
        uidWords.append(BytesToHex(QByteArray(1, c)).toLatin1());
    out += "# UID is common for all formats\nUID: " + uidWords.join(' ') + '\n';
    // Versions 3 and 4 write ATQA high byte first.
    QByteArray atqaBytes;
    atqaBytes.append(char(atqa >> 8)).append(char(atqa & 0xFF));
    out += "# ISO14443-3A specific data\nATQA: " + atqaBytes.toHex(' ').toUpper() +
           "\nSAK: " + BytesToHex(QByteArray(1, char(sak))).toLatin1() + '\n';
    if (!pages) {
        out += "# Mifare Classic specific data\nMifare Classic type: ";
        out += image.kind == CardKind::Mifare4K ? "4K" : "1K";
        // "'?" "?'" apart: "'??'" would read as a trigraph.
        out += "\nData format version: 2\n# Mifare Classic blocks, '?"
               "?' means unknown data\n";
        for (int block = 0; block < image.units(); ++block)
            out += "Block " + QByteArray::number(block) + ": " + spaced(image, block * 16, 16) + '\n';
        return out;
    }
    // An NTAG203 answers neither READ_SIG nor GET_VERSION: zeros, as Flipper
    // writes them for one. "Pages read" reaches to the last page with a known
    // byte; an unknown byte before it is "??".
    int pagesRead = image.units();
    while (pagesRead > 0 && image.unitUnknown(pagesRead - 1))
        --pagesRead;
    out += "# NTAG/Ultralight specific data\nData format version: 2\nNTAG/Ultralight type: NTAG203\n";
    out += "Signature: " + QByteArray(32, '\0').toHex(' ').toUpper() + '\n';
    out += "Mifare version: " + QByteArray(8, '\0').toHex(' ').toUpper() + '\n';
    for (int i = 0; i < 3; ++i)
        out += "Counter " + QByteArray::number(i) + ": 0\nTearing " + QByteArray::number(i) + ": 00\n";
    out += "Pages total: " + QByteArray::number(image.units()) + "\nPages read: " + QByteArray::number(pagesRead) +
           '\n';
    for (int page = 0; page < image.units(); ++page)
        out += "Page " + QByteArray::number(page) + ": " + spaced(image, page * 4, 4) + '\n';
    out += "Failed authentication attempts: 0\n";
    return out;
}

}  // namespace kv350::cards
