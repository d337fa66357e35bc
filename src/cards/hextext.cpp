#include "hextext.h"

#include "link/frame.h"

namespace kv350::cards {

std::optional<QByteArray> parseHexBytes(const QString &text, int n)
{
    QByteArray bytes;
    bytes.reserve(n);
    for (int i = 0; i < n; ++i) {
        const QString pair = text.mid(2 * i, 2);
        if (pair.isEmpty())
            return std::nullopt;
        int value = 0;
        for (QChar c : pair) {
            const int digit = hexDigitValue(c);
            if (digit < 0)
                return std::nullopt;
            value = value * 16 + digit;
        }
        bytes.append(char(value));
    }
    return bytes;
}

}  // namespace kv350::cards
