#include "readersettings.h"

#include "link/frame.h"
#include "link/readerlink.h"
#include "link/reporting.h"

#include <QString>

namespace kv350::settings {
namespace {

std::uint8_t bit(bool set, int n)
{
    return set ? std::uint8_t(1u << n) : std::uint8_t(0);
}

bool has(std::uint8_t flags, int n)
{
    return (flags >> n) & 1u;
}

}  // namespace

QByteArray encodeIdFormat(const IdFormat &f)
{
    const std::uint8_t code = f.formatIndex >= 0 && f.formatIndex < FormatItemCount ? f.formatIndex + 1 : 0;
    const std::uint8_t options = 0x01 | bit(f.reverseByte, 1) | bit(f.reverseBit, 2) | bit(f.decZeroRemove, 4);
    const std::uint8_t keys = bit(f.addComma, 0) | bit(f.addBrackets, 1) | bit(f.addQuotation, 2) | bit(f.addSpace, 3) |
                              bit(f.addTab, 4) | bit(f.addDown, 5) | bit(f.addLF, 6) | bit(f.addEnter, 7);
    const char bytes[] = {char(code), char(options), char(keys)};
    return QByteArray(bytes, sizeof bytes);
}

IdFormat decodeIdFormat(std::uint8_t code, std::uint8_t options, std::uint8_t keys)
{
    IdFormat f;
    f.formatIndex = code >= 1 && code <= FormatItemCount ? code - 1 : -1;
    f.reverseByte = has(options, 1);
    f.reverseBit = has(options, 2);
    f.decZeroRemove = has(options, 4);
    f.addComma = has(keys, 0);
    f.addBrackets = has(keys, 1);
    f.addQuotation = has(keys, 2);
    f.addSpace = has(keys, 3);
    f.addTab = has(keys, 4);
    f.addDown = has(keys, 5);
    f.addLF = has(keys, 6);
    f.addEnter = has(keys, 7);
    return f;
}

std::uint8_t encodeReadMode(const ReadMode &m)
{
    return bit(m.autoRead, 0) | bit(m.beep, 1) | bit(m.led, 2) | bit(m.sameCard, 3) | bit(m.stxAscii, 4) |
           bit(m.eTag, 5) | bit(m.energySaving, 7);
}

ReadMode decodeReadMode(std::uint8_t flags)
{
    ReadMode m;
    m.autoRead = has(flags, 0);
    m.beep = has(flags, 1);
    m.led = has(flags, 2);
    m.sameCard = has(flags, 3);
    m.stxAscii = has(flags, 4);
    m.eTag = has(flags, 5);
    m.energySaving = has(flags, 7);
    return m;
}

int parameterWidth(std::uint8_t code)
{
    switch (code) {
    case proto::ParIdFormat:
        return 3;
    case proto::ParKeyboardLayout:
        return 2;
    default:
        return 1;
    }
}

int parameterReplyWidth(std::uint8_t code)
{
    return code == proto::ParKeyboardLayout ? 1 : parameterWidth(code);
}

QByteArray parameterGetFrame(std::uint8_t code)
{
    return buildRequest(proto::CmdParameter, QByteArray(1, char(code)));
}

QByteArray parameterSetFrame(std::uint8_t code, const QByteArray &value)
{
    return buildRequest(proto::CmdParameter, QByteArray(1, char(code)) + value);
}

std::optional<QByteArray> parameterReplyValue(const QByteArray &replyData, int width)
{
    if (width < 0 || replyData.size() < 1 + width)
        return std::nullopt;
    return replyData.mid(1, width);
}

std::optional<QByteArray> exchangeParameter(ReaderLink &link, Reporter &reporter, const QByteArray &frame, int width)
{
    std::optional<QByteArray> value;
    if (link.ExecuteCommand(frame, ReaderLink::DefaultResponseLimit) && link.responseStatus() == proto::StaOk)
        value = parameterReplyValue(link.responseData(), width);
    if (!value)
        reporter.ShowCommandError();
    return value;
}

void applyParameter(ReaderLink &link, Reporter &reporter, const QByteArray &frame, int width,
                    const std::function<void(const QByteArray &)> &show)
{
    if (const auto value = exchangeParameter(link, reporter, frame, width)) {
        show(*value);
        reporter.ShowCommandDone();
    }
}

int factoryFormatIndex(const QString &modelName)
{
    if (modelName == QLatin1String("KV350-IC") || modelName == QLatin1String("KV350-MIC") ||
        modelName == QLatin1String("KV350-MIC-X"))
        return 8;  // "16H"
    if (modelName == QLatin1String("KV350-U1"))
        return 16;  // "24H"
    return 4;       // "8H"
}

std::uint8_t usbModeByte(int listIndex)
{
    return listIndex >= 0 ? std::uint8_t(listIndex + 1) : 0;
}

std::uint8_t layoutByte(int listIndex)
{
    return listIndex >= 0 ? std::uint8_t(listIndex) : 0xFF;
}

std::optional<int> usbModeIndex(std::uint8_t value, int itemCount)
{
    if (value < 1 || value > 3)
        return std::nullopt;
    return value <= itemCount ? value - 1 : -1;
}

int layoutIndex(std::uint8_t value)
{
    return value <= 2 ? value : -1;
}

}  // namespace kv350::settings
