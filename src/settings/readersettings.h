#pragma once
// The reader's settings as bytes: what each Set and Get sends, and how the
// value the reader answers with is taken from its reply. No widgets here; the
// Common page moves these values between the wire and its controls.

#include "common/protocol.h"

#include <QByteArray>
#include <QString>
#include <array>
#include <cstdint>
#include <functional>
#include <optional>

namespace kv350 {
class ReaderLink;
class Reporter;
}  // namespace kv350

namespace kv350::settings {

inline constexpr int FormatItemCount = 17;
// How long the window waits after a reboot while the reader restarts.
inline constexpr int RebootWaitMs = 3000;

// The ID output format: format code (item position + 1, 0 for none), option
// flags and key flags.
struct IdFormat {
    int formatIndex = -1;  // position in the format list, -1 for none
    bool reverseByte = false, reverseBit = false, decZeroRemove = false;
    bool addComma = false, addBrackets = false, addQuotation = false, addSpace = false, addTab = false, addDown = false,
         addLF = false, addEnter = false;

    bool operator==(const IdFormat &) const = default;
};
// Option bit 0 is always written as 1; bits 3, 5, 6 and 7 as 0.
QByteArray encodeIdFormat(const IdFormat &format);
// A format code of 0 or above 17 selects no item; option bit 0 is not read.
IdFormat decodeIdFormat(std::uint8_t code, std::uint8_t options, std::uint8_t keys);

// The read-mode flags; bit 6 has no box: written as 0, ignored when read.
struct ReadMode {
    bool autoRead = false, beep = false, led = false, sameCard = false, stxAscii = false, eTag = false,
         energySaving = false;

    bool operator==(const ReadMode &) const = default;
};
std::uint8_t encodeReadMode(const ReadMode &mode);
ReadMode decodeReadMode(std::uint8_t flags);

// Value bytes of each parameter on the wire (the keyboard layout carries a 00 behind it).
int parameterWidth(std::uint8_t code);
// Value bytes a reply must carry for the window to show the value: the
// keyboard layout's reply is read for its layout byte alone, so that a
// reader that leaves out the 00 behind it (02 04 03 00 07 01) is understood.
int parameterReplyWidth(std::uint8_t code);

// 02 02 03 code
QByteArray parameterGetFrame(std::uint8_t code);
// 02 LEN 03 code value...
QByteArray parameterSetFrame(std::uint8_t code, const QByteArray &value);

// The value the reader now holds, from the DATA of its reply: the byte after
// the (unexamined) parameter code and as many as the parameter has. Empty when
// the reply is too short to hold them, so that no byte of an earlier reply can
// pass for the value.
std::optional<QByteArray> parameterReplyValue(const QByteArray &replyData, int width);

// One Set or Get of a reader parameter: the value the reader now holds, or
// nothing after "Command Error!" has been shown (no reply, a non-zero STA, or
// a reply too short for the value).
std::optional<QByteArray> exchangeParameter(ReaderLink &link, Reporter &reporter, const QByteArray &frame, int width);
// The same, then the value shown with `show` and "Command Done.".
void applyParameter(ReaderLink &link, Reporter &reporter, const QByteArray &frame, int width,
                    const std::function<void(const QByteArray &)> &show);

// The ID format item the factory default selects for a model.
int factoryFormatIndex(const QString &modelName);

// What a list position becomes on the wire, and back. The USB mode counts from
// 1 (0: nothing selected); the layout from 0 (0xFF: nothing selected).
std::uint8_t usbModeByte(int listIndex);
std::uint8_t layoutByte(int listIndex);
// The list position a reply value selects; -1: none. std::nullopt: keep the
// selection as it is (a USB mode the reader cannot hold).
std::optional<int> usbModeIndex(std::uint8_t value, int itemCount);
int layoutIndex(std::uint8_t value);

}  // namespace kv350::settings
