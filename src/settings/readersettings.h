#pragma once
// The reader's settings on the wire: one Set or Get of any setting of the
// parameter table (link/parameters.h), and what the Common page's lists mean
// on the wire. No widgets here; the pages move these values between the wire
// and their controls.

#include "link/parameters.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <optional>

namespace kv350 {
class ReaderLink;
}  // namespace kv350

namespace kv350::settings {

using kv350::decodeIdFormat;
using kv350::decodeReadMode;
using kv350::encodeIdFormat;
using kv350::encodeReadMode;
using kv350::IdFormat;
using kv350::parameterGetFrame;
using kv350::parameterReplyValue;
using kv350::parameterSetFrame;
using kv350::ReadMode;

// How long the window waits after a reboot while the reader restarts.
inline constexpr int RebootWaitMs = 3000;

// Value bytes of a parameter on the wire (the keyboard layout carries a 00 behind it).
int parameterWidth(std::uint8_t code);

// One Get (value empty) or Set of a setting: the value the reader holds
// afterwards, or nothing when no reply was accepted, its STA was not 0, or it
// is too short (for some settings: not exactly long enough) to hold the value,
// so that no byte of an earlier reply can pass for it.
std::optional<ParameterValue> exchangeSetting(ReaderLink &link, const ParameterInfo &info,
                                              const std::optional<ParameterValue> &value = {});
// Why the last exchangeSetting gave nothing: the link's words, the reader's
// refusal with its status, or a reply too short for the value.
QString exchangeFailure(const ReaderLink &link);

// The ID format item the factory default selects for a model (the model table's).
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
