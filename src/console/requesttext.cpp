#include "requesttext.h"

#include "link/frame.h"

#include <QStringList>

namespace kv350::console {

RebuiltRequest RebuildRequestText(const QString &stx, const QString &cmd, const QString &dataText)
{
    const QByteArray data = parseFrameText(dataText);
    RebuiltRequest r;
    const auto len = std::uint8_t(data.size() + 1);
    r.len = BytesToHex(&len, 1);
    r.whole = stx + QLatin1Char(' ') + r.len + QLatin1Char(' ') + cmd + QLatin1Char(' ') + frameText(data);
    return r;
}

QString sampleRequestText(const QString &stx, const QString &len, const QString &cmd, const QString &data)
{
    return QStringList{stx, len, cmd, data}.join(QLatin1Char(' '));
}

QString asciiRequestData(const QString &ascii)
{
    QByteArray bytes;
    bytes.append('\x01');
    std::uint8_t check = 0x01;
    for (QChar c : ascii.left(MaxAsciiRequest)) {
        const char b = c.unicode() <= 0xFF ? char(c.unicode()) : '?';
        bytes.append(b);
        check ^= std::uint8_t(b);
    }
    constexpr char Digits[] = "0123456789ABCDEF";
    bytes.append(Digits[check >> 4]);
    bytes.append(Digits[check & 0x0F]);
    bytes.append('\x0D');
    return frameText(bytes);
}

QString asciiToHexText(const QString &ascii)
{
    return frameText(ascii.toUtf8());
}

}  // namespace kv350::console
