#pragma once
// What the link asks the window to show, in the window's own terms: colours as
// platform colour values in 0x00BBGGRR order, and texts looked up by their
// English wording in the current language.

#include <QString>
#include <cstdint>
#include <functional>

namespace kv350 {

using ColourValue = std::uint32_t;
inline constexpr ColourValue ColourYellow = 0x00FFFF;        // success, connected
inline constexpr ColourValue ColourRed = 0x0000FF;           // error, disconnected
inline constexpr ColourValue ColourGrey = 0x808080;          // connecting
inline constexpr ColourValue ColourButtonFace = 0x8000000F;  // the system's button-face colour

// English text in, the text of the current language out.
using TextLookup = std::function<QString(const QString &english)>;
inline QString englishText(const QString &english)
{
    return english;
}

}  // namespace kv350
