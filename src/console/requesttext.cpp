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

std::optional<QByteArray> oneByteCodes(const QString &text)
{
    QByteArray bytes;
    bytes.reserve(text.size());
    for (QChar c : text) {
        if (c.unicode() > 0xFF)
            return std::nullopt;
        bytes.append(char(c.unicode()));
    }
    return bytes;
}

QString withOneByteCodesOnly(const QString &text)
{
    QString kept;
    kept.reserve(text.size());
    for (QChar c : text) {
        if (c.unicode() <= 0xFF)
            kept.append(c);
    }
    return kept;
}

std::optional<QString> asciiRequestData(const QString &ascii)
{
    const std::optional<QByteArray> text = oneByteCodes(ascii.left(MaxAsciiRequest));
    if (!text)
        return std::nullopt;
    QByteArray bytes;
    bytes.append('\x01');
    std::uint8_t check = 0x01;
    for (char b : *text) {
        bytes.append(b);
        check ^= std::uint8_t(b);
    }
    constexpr char Digits[] = "0123456789ABCDEF";
    bytes.append(Digits[check >> 4]);
    bytes.append(Digits[check & 0x0F]);
    bytes.append('\x0D');
    return frameText(bytes);
}

std::optional<QString> asciiToHexText(const QString &ascii)
{
    const std::optional<QByteArray> bytes = oneByteCodes(ascii);
    if (!bytes)
        return std::nullopt;
    return frameText(*bytes);
}

}  // namespace kv350::console
