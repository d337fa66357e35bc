#include "radiotexts.h"

#include "link/frame.h"

#include <cstring>

namespace kv350::rftest {

QByteArray radioRequest(const QByteArray &text)
{
    return buildRequest(proto::CmdModule, text);
}

QByteArray registerText(std::uint8_t reg, const QByteArray &bytes)
{
    const std::uint8_t head[] = {reg, std::uint8_t(bytes.size())};
    return 'W' + BytesToHex(head, 2).toLatin1() + BytesToHex(bytes).toLatin1() + '\r';
}

QByteArray paText(int position)
{
    return registerText(0x30, QByteArray(1, char(position & 0xFF)));
}

ChannelTexts channelTexts(int channel)
{
    const bool lower = channel <= 256;
    const QByteArray half = QByteArray::fromHex(lower ? "5BC494" : "5E3B13");
    const int inHalf = lower ? channel - 1 : channel - 257;
    return {registerText(0x0E, half), registerText(0x0B, QByteArray(1, char(inHalf & 0xFF)))};
}

std::optional<QString> testLine(const std::uint8_t *frame, int length)
{
    if (length < TestResultMinSize || frame[proto::OffSta] != proto::StaOk)
        return std::nullopt;
    const std::uint8_t *data = frame + proto::OffRespData;
    const void *zero = memchr(data, 0, TestLineChars);
    const int n = zero ? int(static_cast<const std::uint8_t *>(zero) - data) : TestLineChars;
    return BytesToText(data, n);
}

}  // namespace kv350::rftest
