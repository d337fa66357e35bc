#pragma once
// The Command page's texts, as free functions: the request rebuilt from the
// typed fields, a sample loaded, the radio module's ASCII wrapper and the
// text-to-hex converter. The page only moves texts between these and its edits.

#include <QString>

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

// DATA of a module command: SOH, the text, two hex digit characters of the XOR
// of SOH and every character, CR, each byte as "%02X ". The text is cut to
// MaxAsciiRequest characters; a character outside Latin-1 goes as '?'.
QString asciiRequestData(const QString &ascii);

// Every byte of the text (UTF-8) as "%02X ".
QString asciiToHexText(const QString &ascii);

}  // namespace kv350::console
