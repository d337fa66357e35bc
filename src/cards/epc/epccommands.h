#pragma once
// The EPC/eTag page's requests, reply checks and texts, as free functions.
// Tag memory commands are ASCII texts for the UHF module in command 0x00
// (no CR); the automatic read is reader parameter 0x41.

#include "link/parameters.h"
#include "link/pause.h"
#include "link/readerlink.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <optional>

namespace kv350::cards {

// The tag memory commands number the banks 1, 2, 3; the automatic read 0, 1, 2.
using kv350::EpcBank;

inline constexpr int TagAttempts = 3;
inline constexpr int TagRetryMs = 200;
inline constexpr int EtagChars = 16;  // EPC bank, word 2, 4 words
inline constexpr int EtagReadResponseSize = 21;
inline constexpr int TagWriteResponseSize = 9;
inline constexpr int AutoEpcResponseSize = 8;
// The write box is filled with at most this many zeros when the length changes.
inline constexpr int WriteFillLimit = 80;
// The automatic-read parameter has one byte for the address.
inline constexpr int AutoEpcMaxAddress = 255;

// "1,2,4": bank digit, word address and word count in decimal.
QString EpcCommandText(EpcBank bank, int address, int words);
QString readEpcLabel(const QString &commandText);   // "R1,2,4"
QString writeEpcLabel(const QString &commandText);  // "W1,2,4,..."

// 02, LEN, 00 and the text as its character codes.
QByteArray moduleRequest(const QByteArray &text);
// The text padded on the right with "0" and cut to chars characters.
QString paddedData(const QString &text, int chars);
// What the write box holds after the length changes: min(4 * words, 80) zeros.
QString writeBoxFill(int words);

QByteArray readEtagRequest();                           // "R1,2,4"
QByteArray writeEtagRequest(const QString &boxText);    // "W1,2,4," and 16 characters
QByteArray readEpcRequest(const QString &commandText);  // "R" and the command text
// "W", the command text, a comma and 4 * words characters of the box.
QByteArray writeEpcRequest(const QString &commandText, const QString &boxText, int words);
inline int epcDataChars(int words)
{
    return 4 * words;
}
inline int readEpcResponseSize(int words)
{
    return epcDataChars(words) + 5;
}

// What a tag memory reply must be: exactly this long, STA 0 and, for a write,
// "OK" in DATA bytes 2 and 3.
struct TagReply {
    int length;
    bool ok;
};
inline constexpr TagReply EtagReadReply{EtagReadResponseSize, false};
inline constexpr TagReply TagWriteReply{TagWriteResponseSize, true};
bool tagReplyAccepted(const std::uint8_t *response, int length, const TagReply &want);
// The characters read: DATA from byte 1 on, one character per byte.
QString tagReadText(const std::uint8_t *response, int chars);

// Send, and while the reply is not accepted wait 200 ms and send again, three
// attempts in all (the last one's wait included). True once a reply was accepted.
bool ExecuteTagCommand(ReaderLink &link, Pause &pause, const QByteArray &request, int responseLimit,
                       const TagReply &want);

// The box after "Auto INC": characters 1..8 as they are, then characters 9..16
// read as a hexadecimal number, plus 1 modulo 2^32, as "%08X". Nothing when
// those characters are missing or not hexadecimal.
std::optional<QString> incrementedEtag(const QString &text);

using kv350::AutoEpcSetting;
QByteArray setAutoEpcRequest(const AutoEpcSetting &setting);  // 02 05 03 41 bank address length
QByteArray getAutoEpcRequest();                               // 02 02 03 41
// The reader's setting from DATA bytes 1..3 of an 8-byte reply with STA 0; a
// bank other than 1 or 2 reads as EPC.
std::optional<AutoEpcSetting> autoEpcReply(const std::uint8_t *response, int length);

}  // namespace kv350::cards
