#pragma once
#include <QString>
#include <functional>

namespace kv350 {

// English text in, the text of the current language out.
using TextLookup = std::function<QString(const QString &english)>;
inline QString englishText(const QString &english)
{
    return english;
}

}  // namespace kv350
