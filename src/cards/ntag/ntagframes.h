#pragma once
// NTAG203 / Ultralight requests of the NTAG page, without widgets.

#include <QByteArray>
#include <QString>

namespace kv350::cards {

// The reader moves 16 bytes (four pages) at a time; the two zero bytes stand
// where a MIFARE request has its key type and sector.
QByteArray ntagReadFrame(int page);
QByteArray ntagWriteFrame(int page, const QByteArray &data16);
inline constexpr int NtagReadReplyLimit = 20;

// The URL header box's start text: pages 3-6 as a URI record of 13 bytes
// ("http://www." prefix) has them. After a write or a read it shows the
// header actually there (see ndef.h).
inline constexpr const char *UrlHeaderHex = "E11012000103A010440312D1010E5501";

// A dump line's prefix, "%02d:".
QString dumpPrefix(int page);

}  // namespace kv350::cards
