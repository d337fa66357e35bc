#include "readersettings.h"

#include "link/frame.h"
#include "link/models.h"
#include "link/readerlink.h"

namespace kv350::settings {

int parameterWidth(std::uint8_t code)
{
    const ParameterInfo *info = findParameter(code);
    return info ? info->width : 1;
}

std::optional<ParameterValue> exchangeSetting(ReaderLink &link, const ParameterInfo &info,
                                              const std::optional<ParameterValue> &value)
{
    const QByteArray frame = value ? parameterSetFrame(info.code, encodeParameter(info, *value))
                                   : parameterGetFrame(info.code);
    if (!link.ExecuteCommand(frame, info.replyLimit) || link.responseStatus() != proto::StaOk)
        return std::nullopt;
    if (info.exactReply && link.ResponseLength() != proto::OffRespData + 1 + info.width)
        return std::nullopt;
    const std::optional<QByteArray> held = parameterReplyValue(link.responseData(), parameterReplyWidth(info));
    if (!held)
        return std::nullopt;
    return decodeParameter(info, *held);
}

QString exchangeFailure(const ReaderLink &link)
{
    if (link.error() != LinkError::None)
        return link.lastError();
    if (link.responseStatus() != proto::StaOk) {
        const std::uint8_t status = link.responseStatus();
        return QStringLiteral("the reader refused it (status %1)").arg(BytesToHex(&status, 1));
    }
    return QStringLiteral("the reply is too short for the value");
}

int factoryFormatIndex(const QString &modelName)
{
    return factoryFormatItem(modelName);
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
    return value < layoutNames().size() ? value : -1;
}

}  // namespace kv350::settings
