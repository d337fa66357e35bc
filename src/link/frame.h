#pragma once
// The command frame as the program builds and checks it:
//   request  02 LEN CMD DATA...      (LEN = count of CMD + DATA)
//   response 02 LEN CMD STA DATA...  (LEN = count of CMD + STA + DATA)
// and the hex texts in which frames and data are shown.

#include "common/protocol.h"

#include <QByteArray>
#include <QString>
#include <array>
#include <cstdint>
#include <optional>

namespace kv350 {

// 02, LEN, CMD, DATA. DATA of more than 254 bytes cannot be framed: the result is empty.
QByteArray buildRequest(std::uint8_t cmd, const QByteArray &data = {});

// Recognises one response frame on a byte stream: bytes before an 02 are
// dropped; from the 02 on they are stored; the frame is complete once more than
// two bytes are stored and their count equals stored byte 1 plus 2. The store
// index wraps at 256, so a LEN of 254 or 255 never completes.
class FrameCollector {
public:
    void reset();
    // Takes one byte; true when it completed the frame.
    bool push(std::uint8_t byte);
    bool collecting() const { return m_collecting; }
    int stored() const { return m_stored; }
    const std::uint8_t *data() const { return m_buffer.data(); }

private:
    std::array<std::uint8_t, proto::BufferSize> m_buffer{};
    int m_stored = 0;
    bool m_collecting = false;
};

enum class ResponseCheck { Accepted, TooShort, NoStx, WrongCmd };

// At least 4 bytes, 02 first, the request's CMD echoed. STA is the caller's business.
ResponseCheck checkResponse(std::uint8_t requestCmd, const std::uint8_t *response, int length);

// "%02X " per byte, the last one followed by a space too.
QString frameText(const std::uint8_t *bytes, int count);
QString frameText(const QByteArray &bytes);

// Reads frame text back: every byte occupies three characters, its two hex
// digits at positions 1-2, 4-5, 7-8, ... (the third character is not looked
// at; either case of digit is taken). A trailing single character is ignored.
// A pair that is not hex becomes 0x00, as the console shows it; allHex, when
// given, tells whether every pair was hex.
QByteArray parseFrameText(const QString &text, bool *allHex = nullptr);

// The value of one hex digit of either case, -1 for any other character.
int hexDigitValue(QChar c);

// A USB vendor or product id as typed: one to four plain hexadecimal digits
// of either case and nothing else (no blank, sign or "0x"); nullopt otherwise.
std::optional<std::uint16_t> parseHexId(const QString &text);

// USB ids as messages show them: four upper-case hex digits each, "0E6A:0317".
QString usbIdText(std::uint16_t vid, std::uint16_t pid);

// "%02X" per byte, no separator.
QString BytesToHex(const std::uint8_t *bytes, int count);
QString BytesToHex(const QByteArray &bytes);
// One character per byte, taken as it is.
QString BytesToText(const std::uint8_t *bytes, int count);
QString BytesToText(const QByteArray &bytes);
// A byte 32..126 as itself, any other as '.'.
QString printableText(const std::uint8_t *bytes, int count);
// Text from a device or a file as people are shown it: each control
// character (0x00-0x1F, 0x7F, 0x80-0x9F) as \xHH, so that none can move the
// cursor, clear or retitle a terminal, or break a line. Everything else as it is.
QString visibleText(const QString &text);

// What the request and response fields of the window show for one exchange.
struct RequestFields {
    QString stx, len, cmd, data;  // characters 1-2, 4-5, 7-8, and from 10 on
    QString whole;                // frame text
    QString tx;                   // "TX : " + whole
};
RequestFields requestFields(const std::uint8_t *frame, int length);

struct ResponseFields {
    QString stx, len, cmd, sta;  // "%02X" of bytes 0..3
    QString data;                // bytes 4.. as frame text
    QString ascii;               // bytes 4.. as printable text
    QString whole;               // STX LEN CMD STA DATA joined by single spaces
    QString rx;                  // "RX : " + whole
};
ResponseFields responseFields(const std::uint8_t *frame, int length);
// What the response fields show before a reply has been accepted.
ResponseFields clearedResponseFields();

}  // namespace kv350
