#pragma once
// The Command page's texts, as free functions: the request rebuilt from the
// typed fields, a sample loaded, the radio module's ASCII wrapper and the
// text-to-hex converter. The page only moves texts between these and its edits.

#include <QByteArray>
#include <QString>
#include <optional>

namespace kv350::console {

// The most DATA a typed request carries (the DATA field holds 180 characters,
// three to a byte), and the longest ASCII module text whose wrapped DATA (SOH,
// text, two check digits, CR) still fits that field whole: a longer text would
// lose its check digits and CR to the field's limit.
inline constexpr int MaxRequestDataBytes = 60;
inline constexpr int MaxRequestDataChars = 3 * MaxRequestDataBytes;
inline constexpr int MaxAsciiRequest = MaxRequestDataBytes - 4;

struct RebuiltRequest {
    QString len;    // "%02X" of DATA bytes + 1
    QString whole;  // STX LEN CMD and DATA bytes, "%02X " each
};

// STX and CMD as typed, DATA parsed three characters to a byte.
RebuiltRequest RebuildRequestText(const QString &stx, const QString &cmd, const QString &dataText);

// A sample row goes in as it stands: its LEN is not recomputed.
QString sampleRequestText(const QString &stx, const QString &len, const QString &cmd, const QString &data);

// One byte per character, the character's Latin-1 code: what the module
// texts and the converter send. nullopt when a character has no such byte.
std::optional<QByteArray> oneByteCodes(const QString &text);
// The text without the characters that have no one-byte code.
QString withOneByteCodesOnly(const QString &text);

// DATA of a module command: SOH, the text, two hex digit characters of the XOR
// of SOH and every character, CR, each byte as "%02X ". The text is cut to
// MaxAsciiRequest characters; nullopt when one of those has no one-byte code
// (it is not sent as something else).
std::optional<QString> asciiRequestData(const QString &ascii);

// Every character of the text as its one-byte code, "%02X "; nullopt when one has none.
std::optional<QString> asciiToHexText(const QString &ascii);

}  // namespace kv350::console
