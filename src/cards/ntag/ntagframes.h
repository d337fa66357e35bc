#pragma once
// NTAG203 / Ultralight requests and the URL record of the NTAG page, without widgets.

#include <QByteArray>
#include <QString>

namespace kv350::cards {

// The reader moves 16 bytes (four pages) at a time; the two zero bytes stand
// where a MIFARE request has its key type and sector.
QByteArray ntagReadFrame(int page);
QByteArray ntagWriteFrame(int page, const QByteArray &data16);
inline constexpr int NtagReadReplyLimit = 20;

// Pages 3-6 of the URL record: capability container, lock control TLV, NDEF
// message TLV and the header of a URI record ("http://www." prefix) with 13
// bytes of URI in pages 7-10.
inline constexpr const char *UrlHeaderHex = "E11012000103A010440312D1010E5501";
inline constexpr int UrlHeaderPage = 3;
inline constexpr int UrlTextPage = 7;
// Pages 7-10: the text's first 16 characters, CR and LF as far as they fit, zeros.
QByteArray urlBlock(const QString &text);

// A dump line's prefix, "%02d:".
QString dumpPrefix(int page);

}  // namespace kv350::cards
