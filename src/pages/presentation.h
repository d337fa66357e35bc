#pragma once
// The colours of the window's panels, as platform colour values in
// 0x00BBGGRR order; texts come in the current language through a TextLookup.

#include "i18n/textlookup.h"

#include <cstdint>

namespace kv350 {

using ColourValue = std::uint32_t;
inline constexpr ColourValue ColourYellow = 0x00FFFF;        // success, connected
inline constexpr ColourValue ColourRed = 0x0000FF;           // error, disconnected
inline constexpr ColourValue ColourGrey = 0x808080;          // connecting
inline constexpr ColourValue ColourButtonFace = 0x8000000F;  // the system's button-face colour

}  // namespace kv350
