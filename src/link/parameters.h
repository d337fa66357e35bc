#pragma once
// The reader's settings of command 0x03, one row per parameter code: its name,
// the width of its value on the wire, and the value both as the reader's bytes
// and as a typed value that the pages show and a file or kv350ctl names.
//
//   Set  02 LEN 03 code value...      Get  02 02 03 code
//   reply 02 LEN 03 STA code value... (the code in the reply is not examined)

#include "common/protocol.h"
#include "models.h"

#include <QByteArray>
#include <QJsonValue>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>
#include <span>
#include <variant>

namespace kv350 {

// 0x01: the USB mode, 1 to 3 (their names depend on the transport), 0 for none.
struct UsbMode {
    int mode = 1;
    bool operator==(const UsbMode &) const = default;
};

// 0x02: the read-mode flags; bit 6 has no meaning: written as 0, ignored when read.
struct ReadMode {
    bool autoRead = false, beep = false, led = false, sameCard = false, stxAscii = false, eTag = false,
         energySaving = false;
    bool operator==(const ReadMode &) const = default;
};

// 0x03: the ID output format: format item (position in the list, -1 for
// none), option flags and key flags.
struct IdFormat {
    int formatIndex = -1;
    bool reverseByte = false, reverseBit = false, decZeroRemove = false;
    bool addComma = false, addBrackets = false, addQuotation = false, addSpace = false, addTab = false, addDown = false,
         addLF = false, addEnter = false;
    bool operator==(const IdFormat &) const = default;
};

// 0x04, 0x05, 0x06: a time in the reader's steps (the row gives the step in ms).
struct Interval {
    int steps = 0;
    bool operator==(const Interval &) const = default;
};

// 0x07: the keyboard layout, a position in the layout list (-1 for none).
struct KeyboardLayout {
    int index = 0;
    bool operator==(const KeyboardLayout &) const = default;
};

// 0x11: where the automatic read takes the ID from on a MIFARE Classic or
// NTAG203 / Ultralight card.
struct IdLocation {
    int sector = 0, block = 0, start = 0, byte = 4;
    bool keyA = true;
    int keyError = 1;   // 0 None, 1 LED, 2 BEEP, 3 BEEP+LED (as the reader holds it)
    bool ntag = false;  // card type: NTAG203 / Ultralight (any non-zero byte), else MIFARE Classic
    bool operator==(const IdLocation &) const = default;
};

// 0x21: where the automatic read takes the ID from on an ISO 15693 card.
struct IsoIdLocation {
    int block = 0, start = 0, byte = 4;
    bool operator==(const IsoIdLocation &) const = default;
};

// 0x23 and 0x31: card types as bits; the row names each bit.
struct CardTypes {
    std::uint8_t bits = 0;
    bool operator==(const CardTypes &) const = default;
};

// 0x41: where the automatic EPC read takes the tag ID from. The tag memory
// commands number the banks 1, 2, 3; this parameter 0, 1, 2.
enum class EpcBank { Epc = 0, Tid = 1, User = 2 };
struct AutoEpcSetting {
    EpcBank bank = EpcBank::Epc;
    int address = 0;  // one byte on the wire
    int words = 0;
    bool operator==(const AutoEpcSetting &) const = default;
};

using ParameterValue = std::variant<UsbMode, ReadMode, IdFormat, Interval, KeyboardLayout, IdLocation, IsoIdLocation,
                                    CardTypes, AutoEpcSetting>;

// A named bit of a flag set.
struct FlagName {
    std::uint8_t bit;
    const char *name;
};

struct ParameterInfo {
    std::uint8_t code;
    const char *name;                 // the setting's name in files and on the command line
    int width;                        // value bytes on the wire (the keyboard layout carries a 00 behind its byte)
    int replyLimit;                   // the largest reply taken
    bool exactReply;                  // the reply must be 02 LEN 03 STA code and the value, nothing more
    int stepMs;                       // intervals: one step in ms; else 0
    std::span<const FlagName> flags;  // read mode and card types: the bits by name
    unsigned capability;              // the hardware a model needs for it (models.h); 0: every model has it
};

// Value bytes a reply must carry for the value to be shown: the keyboard
// layout's reply is read for its layout byte alone, so that a reader that
// leaves out the 00 behind it (02 04 03 00 07 01) is understood.
int parameterReplyWidth(const ParameterInfo &info);

// Whether a model (by its row; nothing for an unknown model) has the setting.
bool modelHasParameter(const ModelInfo *model, const ParameterInfo &info);

std::span<const ParameterInfo> parameters();
const ParameterInfo *findParameter(std::uint8_t code);
const ParameterInfo *findParameter(const QString &name);
// The row of a code this program knows (the codes of protocol.h).
const ParameterInfo &parameterInfo(std::uint8_t code);

// The width bytes the reader is sent.
QByteArray encodeParameter(const ParameterInfo &info, const ParameterValue &value);
// The value from the reader's bytes; bytes holds at least info.width of them.
ParameterValue decodeParameter(const ParameterInfo &info, const QByteArray &bytes);
// Any JSON value on one line, as a file would hold it (a bare number or text too).
QString jsonText(const QJsonValue &value);
// The value as a file names it: numbers in their units, flags and choices by name.
QJsonValue parameterToJson(const ParameterInfo &info, const ParameterValue &value);
// A value a file gives, checked against what the setting allows; nothing, and
// why (naming the setting and what it takes), when it is not one.
std::optional<ParameterValue> parameterFromJson(const ParameterInfo &info, const QJsonValue &json, QString *why);

// The frames and the reply: 02 02 03 code; 02 LEN 03 code value...; the value
// behind the echoed code, nothing when the reply is too short to hold it.
QByteArray parameterGetFrame(std::uint8_t code);
QByteArray parameterSetFrame(std::uint8_t code, const QByteArray &value);
std::optional<QByteArray> parameterReplyValue(const QByteArray &replyData, int width);

// The lists the values index.
const QStringList &formatItemNames();  // the 17 ID format items, "14H" ... "24H"
const QStringList &layoutNames();      // "ENGLISH", "CZECH", "FRENCH"
const QStringList &keyErrorNames();    // "None", "LED", "BEEP", "BEEP+LED"

// The three ID-format bytes and the read-mode byte, as the Common page sends them.
// Option bit 0 is always written as 1; bits 3, 5, 6 and 7 as 0.
QByteArray encodeIdFormat(const IdFormat &format);
// A format code of 0 or above 17 selects no item; option bit 0 is not read.
IdFormat decodeIdFormat(std::uint8_t code, std::uint8_t options, std::uint8_t keys);
std::uint8_t encodeReadMode(const ReadMode &mode);
ReadMode decodeReadMode(std::uint8_t flags);

}  // namespace kv350
