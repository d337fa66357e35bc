#pragma once
// The dump files people already use, read into a CardImage and written from
// one: MIFARE Classic Tool's text dump (.mct), the raw binary (.bin/.mfd),
// the proxmark3 client's JSON ("mfc v2") and Flipper Zero's .nfc. A damaged
// file is refused with the line or the byte offset where it fails; docs/
// dump-formats.md describes each format with an example.

#include "cards/dump/cardimage.h"
#include "i18n/textlookup.h"

#include <QByteArray>
#include <QString>
#include <optional>

namespace kv350::cards {

enum class DumpFormat { Mct, Bin, Json, Nfc };

// "mct", "bin", "json", "nfc".
QString formatName(DumpFormat format);
std::optional<DumpFormat> formatFromName(const QString &name);
// By the file's extension (.mct, .bin/.mfd/.dump, .json, .nfc); nothing for another.
std::optional<DumpFormat> formatFromFileName(const QString &fileName);
// By the content: JSON opens with "{", an .nfc with its "Filetype" line, an
// .mct with "+Sector:"; anything else is taken as raw binary.
DumpFormat sniffFormat(const QByteArray &content);
// The formats that can hold this kind of card (NTAG: bin and nfc).
bool formatHolds(DumpFormat format, CardKind kind);

// Where and why a file was refused. `line` counts from 1 in the text formats;
// `offset` is a byte offset (the binary format, or a JSON syntax error).
struct ImportError {
    int line = 0;
    qint64 offset = -1;
    QString reason;  // English, with %1 filled by `argument`
    QString argument;
};
// "line 7: ..." or "offset 1024: ...", in the language of `text`.
QString importErrorText(const ImportError &error, const TextLookup &text);

struct ImportResult {
    std::optional<CardImage> image;
    ImportError error;  // when there is no image
};

ImportResult importMct(const QByteArray &content);
ImportResult importBin(const QByteArray &content);
ImportResult importJson(const QByteArray &content);
ImportResult importNfc(const QByteArray &content);
// The importer of the sniffed format.
ImportResult importDump(const QByteArray &content);

struct ExportResult {
    QByteArray content;
    QString refusal;  // English with %1 filled by `argument`; empty when written
    QString argument;
};
// A format that cannot mark unknown bytes (bin) refuses an image with any,
// rather than invent them; a format that cannot hold the kind refuses too.
ExportResult exportDump(const CardImage &image, DumpFormat format);
QByteArray exportMct(const CardImage &image);
QByteArray exportJson(const CardImage &image);
QByteArray exportNfc(const CardImage &image);

}  // namespace kv350::cards
