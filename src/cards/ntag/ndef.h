#pragma once
// A URL as an NDEF URI record on an NFC Forum Type 2 tag (NTAG203), written
// and read back: free functions without widgets, for the NTAG page and the
// command line alike. The layout from page 3 on:
//   capability container  E1 10 12 00            (NDEF, version 1.0, 144 data bytes, read/write)
//   Lock Control TLV      01 03 A0 10 44
//   NDEF Message TLV      03 L
//   URI record            D1 01 PL 55 code URI   (short well-known record "U")
//   Terminator TLV        FE
// L = 5 + URI bytes, PL = 1 + URI bytes; `code` abbreviates the URL's prefix.

#include "i18n/textlookup.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace kv350::cards {

// The URL's prefix for an identifier code of the NFC Forum URI record type
// table (0x00-0x23); empty for 0x00 and for codes the table does not define.
QString uriPrefix(std::uint8_t code);
// The identifier code and the prefix it stands for, taken from the start of
// `url`: "http://www." 0x01, "https://www." 0x02, "http://" 0x03, "https://"
// 0x04 (compared exactly, lower case); another scheme ("tel:", "mailto:",
// "HTTP://") 0x00 with the text whole; no scheme at all 0x01, as a host name
// ("example.com/" means http://www.example.com/).
struct UriPrefix {
    std::uint8_t code = 0;
    int length = 0;  // characters of `url` the code stands for
};
UriPrefix uriPrefixOf(const QString &url);

inline constexpr int NdefFirstPage = 3;       // the capability container
inline constexpr int NdefLastPage = 39;       // the last page of the NTAG203's data area
inline constexpr int NdefDataAreaSize = 144;  // pages 4-39, as the capability container says (0x12 x 8)
inline constexpr int UrlHeaderSize = 16;      // pages 3-6: CC, Lock Control TLV, TLV and record headers, code
inline constexpr int MaxUriBytes = NdefDataAreaSize - (UrlHeaderSize - 4) - 1;  // 131: the terminator fits too

struct UrlRecord {
    std::uint8_t code = 0;
    QByteArray uri;    // the URI field: the text after its prefix, UTF-8
    QByteArray image;  // from page 3 on, up to and including the terminator TLV
    QByteArray header() const { return image.left(UrlHeaderSize); }
    // The URI field and the terminator: what follows the header.
    QByteArray recordBytes() const { return image.mid(UrlHeaderSize); }
};

enum class UrlProblem {
    None,
    Empty,             // nothing typed
    ControlCharacter,  // CR, LF, NUL or another control character: never part of a URI
    TooLong,           // more than the data area holds
};
struct UrlBuild {
    UrlProblem problem = UrlProblem::None;
    UrlRecord record;  // when there is no problem
    int fits = 0;      // TooLong: how many characters of this URL the tag holds
};
UrlBuild buildUrlRecord(const QString &url);
// Why `url` was not written, in the language of `text`; empty without a problem.
QString urlProblemText(const UrlBuild &build, const QString &url, const TextLookup &text);

// One reader write: 16 bytes into the four pages from `page`.
struct PageWrite {
    int page = 0;
    QByteArray data;
    bool operator==(const PageWrite &) const = default;
};
// The writes that put a record on the tag, 16 bytes at a time from page 3,
// never past page 39 (the last may overlap the one before), zero-padded.
// Pages 3-6 go first with an empty NDEF message and again last with the
// record's length: a write that fails part way leaves an empty message on the
// tag, never a URL cut short.
std::vector<PageWrite> urlWrites(const UrlRecord &record);

enum class UrlReadStatus {
    Url,                    // found: `url`
    NeedMore,               // the record goes on beyond the bytes given: read the next pages
    NoCapabilityContainer,  // page 3 does not announce NDEF data (E1, version 1.x)
    NoMessage,              // no NDEF message, or an empty one
    NoUriRecord,            // a message without a URI record
    Damaged,                // a length runs past its message or the data area
};
struct UrlReading {
    UrlReadStatus status = UrlReadStatus::NeedMore;
    QString url;  // the prefix expanded
    std::uint8_t code = 0;
    QByteArray header;       // from page 3 to the identifier code
    QByteArray recordBytes;  // the URI field, and the terminator when it follows the record directly
    int damagedAt = -1;      // Damaged: the byte, counted from page 3, whose length does not fit
};
// Reads the bytes of a tag from page 3 on: the capability container, the
// TLVs, the first NDEF message's records; the first URI record wins.
UrlReading readUrlRecord(const QByteArray &fromPage3);
// Reads from page 3 on through `read16(page)` (16 bytes from that page, or
// nothing when the read failed) as far as the record goes. Nothing when a read
// failed; Damaged when the record would run past the pages a read can name.
std::optional<UrlReading> readUrlFromTag(const std::function<std::optional<QByteArray>(int page)> &read16);
// What a tag without a (readable) URI record holds instead, in the language
// of `text`; empty when the reading found a URL.
QString urlReadingText(const UrlReading &reading, const TextLookup &text);

}  // namespace kv350::cards
