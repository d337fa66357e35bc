#include "frame.h"

#include <QStringList>

namespace kv350 {

QByteArray buildRequest(std::uint8_t cmd, const QByteArray &data)
{
    if (data.size() > 254)
        return {};
    QByteArray frame;
    frame.reserve(data.size() + 3);
    frame.append(char(proto::Stx));
    frame.append(char(1 + data.size()));
    frame.append(char(cmd));
    frame.append(data);
    return frame;
}

void FrameCollector::reset()
{
    m_stored = 0;
    m_collecting = false;
}

bool FrameCollector::push(std::uint8_t byte)
{
    if (!m_collecting) {
        if (byte != proto::Stx)
            return false;
        m_collecting = true;
    }
    m_buffer[m_stored] = byte;
    m_stored = (m_stored + 1) % proto::BufferSize;
    return m_stored > 2 && m_buffer[1] == m_stored - 2;
}

ResponseCheck checkResponse(std::uint8_t requestCmd, const std::uint8_t *response, int length)
{
    if (length < 4)
        return ResponseCheck::TooShort;
    if (response[proto::OffStx] != proto::Stx)
        return ResponseCheck::NoStx;
    if (response[proto::OffCmd] != requestCmd)
        return ResponseCheck::WrongCmd;
    return ResponseCheck::Accepted;
}

namespace {
constexpr char HexDigits[] = "0123456789ABCDEF";

void appendHex(QString &out, std::uint8_t b)
{
    out.append(QLatin1Char(HexDigits[b >> 4]));
    out.append(QLatin1Char(HexDigits[b & 0x0F]));
}

}  // namespace

int hexDigitValue(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    return -1;
}

std::optional<std::uint16_t> parseHexId(const QString &text)
{
    if (text.isEmpty() || text.size() > 4)
        return std::nullopt;
    std::uint16_t value = 0;
    for (QChar c : text) {
        const int digit = hexDigitValue(c);
        if (digit < 0)
            return std::nullopt;
        value = std::uint16_t(value << 4 | digit);
    }
    return value;
}

QString frameText(const std::uint8_t *bytes, int count)
{
    QString out;
    out.reserve(count * 3);
    for (int i = 0; i < count; ++i) {
        appendHex(out, bytes[i]);
        out.append(QLatin1Char(' '));
    }
    return out;
}

QString frameText(const QByteArray &bytes)
{
    return frameText(reinterpret_cast<const std::uint8_t *>(bytes.constData()), int(bytes.size()));
}

QByteArray parseFrameText(const QString &text, bool *allHex)
{
    QByteArray out;
    out.reserve(text.size() / 3 + 1);
    bool valid = true;
    for (qsizetype i = 0; i + 1 < text.size(); i += 3) {
        const int hi = hexDigitValue(text[i]);
        const int lo = hexDigitValue(text[i + 1]);
        if (hi < 0 || lo < 0) {
            valid = false;
            out.append('\0');
        } else {
            out.append(char(hi << 4 | lo));
        }
    }
    if (allHex)
        *allHex = valid;
    return out;
}

QString BytesToHex(const std::uint8_t *bytes, int count)
{
    QString out;
    out.reserve(count * 2);
    for (int i = 0; i < count; ++i)
        appendHex(out, bytes[i]);
    return out;
}

QString BytesToHex(const QByteArray &bytes)
{
    return BytesToHex(reinterpret_cast<const std::uint8_t *>(bytes.constData()), int(bytes.size()));
}

QString usbIdText(std::uint16_t vid, std::uint16_t pid)
{
    const std::uint8_t ids[] = {std::uint8_t(vid >> 8), std::uint8_t(vid), std::uint8_t(pid >> 8), std::uint8_t(pid)};
    return BytesToHex(ids, 2) + QLatin1Char(':') + BytesToHex(ids + 2, 2);
}

QString BytesToText(const std::uint8_t *bytes, int count)
{
    return QString::fromLatin1(reinterpret_cast<const char *>(bytes), count);
}

QString BytesToText(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes);
}

QString printableText(const std::uint8_t *bytes, int count)
{
    QString out;
    out.reserve(count);
    for (int i = 0; i < count; ++i)
        out.append(bytes[i] >= 32 && bytes[i] <= 126 ? QLatin1Char(char(bytes[i])) : QLatin1Char('.'));
    return out;
}

QString visibleText(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (QChar c : text) {
        const char16_t u = c.unicode();
        if (u < 0x20 || (u >= 0x7F && u <= 0x9F)) {
            out.append(QLatin1String("\\x"));
            appendHex(out, std::uint8_t(u));
        } else {
            out.append(c);
        }
    }
    return out;
}

RequestFields requestFields(const std::uint8_t *frame, int length)
{
    RequestFields f;
    f.whole = frameText(frame, length);
    f.stx = f.whole.mid(0, 2);
    f.len = f.whole.mid(3, 2);
    f.cmd = f.whole.mid(6, 2);
    f.data = f.whole.mid(9);
    f.tx = QStringLiteral("TX : ") + f.whole;
    return f;
}

ResponseFields responseFields(const std::uint8_t *frame, int length)
{
    ResponseFields f;
    f.stx = BytesToHex(frame + 0, 1);
    f.len = BytesToHex(frame + 1, 1);
    f.cmd = BytesToHex(frame + 2, 1);
    f.sta = BytesToHex(frame + 3, 1);
    const int dataCount = length > 4 ? length - 4 : 0;
    f.data = frameText(frame + 4, dataCount);
    f.ascii = printableText(frame + 4, dataCount);
    f.whole = QStringList{f.stx, f.len, f.cmd, f.sta, f.data}.join(QLatin1Char(' '));
    f.rx = QStringLiteral("RX : ") + f.whole;
    return f;
}

ResponseFields clearedResponseFields()
{
    ResponseFields f;
    f.stx = f.len = f.cmd = f.sta = QStringLiteral("__");
    return f;
}

}  // namespace kv350
