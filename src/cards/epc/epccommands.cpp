#include "epccommands.h"

#include "link/frame.h"

namespace kv350::cards {
namespace {

QChar bankDigit(EpcBank bank)
{
    return QChar(u'1' + static_cast<int>(bank));
}

bool isHexDigit(QChar c)
{
    return (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'F') || (c >= u'a' && c <= u'f');
}

}  // namespace

QString EpcCommandText(EpcBank bank, int address, int words)
{
    return QStringLiteral("%1,%2,%3").arg(bankDigit(bank)).arg(address).arg(words);
}

QString readEpcLabel(const QString &commandText)
{
    return QLatin1Char('R') + commandText;
}

QString writeEpcLabel(const QString &commandText)
{
    return QLatin1Char('W') + commandText + QStringLiteral(",...");
}

QByteArray moduleRequest(const QByteArray &text)
{
    return buildRequest(proto::CmdModule, text);
}

QString paddedData(const QString &text, int chars)
{
    return text.leftJustified(chars, QLatin1Char('0'), true);
}

QString writeBoxFill(int words)
{
    return QString(qMin(epcDataChars(words), WriteFillLimit), QLatin1Char('0'));
}

QByteArray readEtagRequest()
{
    return moduleRequest(QByteArrayLiteral("R1,2,4"));
}

QByteArray writeEtagRequest(const QString &boxText)
{
    return moduleRequest(QByteArrayLiteral("W1,2,4,") + paddedData(boxText, EtagChars).toLatin1());
}

QByteArray readEpcRequest(const QString &commandText)
{
    return moduleRequest('R' + commandText.toLatin1());
}

QByteArray writeEpcRequest(const QString &commandText, const QString &boxText, int words)
{
    return moduleRequest('W' + commandText.toLatin1() + ',' + paddedData(boxText, epcDataChars(words)).toLatin1());
}

bool tagReplyAccepted(const std::uint8_t *response, int length, const TagReply &want)
{
    if (length != want.length || response[proto::OffSta] != proto::StaOk)
        return false;
    return !want.ok || (response[proto::OffRespData + 2] == 'O' && response[proto::OffRespData + 3] == 'K');
}

QString tagReadText(const std::uint8_t *response, int chars)
{
    return BytesToText(response + proto::OffRespData + 1, chars);
}

bool ExecuteTagCommand(ReaderLink &link, Pause &pause, const QByteArray &request, int responseLimit,
                       const TagReply &want)
{
    for (int attempt = 0; attempt < TagAttempts; ++attempt) {
        if (link.ExecuteCommand(request, responseLimit) &&
            tagReplyAccepted(link.ResponseBuffer().data(), link.ResponseLength(), want))
            return true;
        pause.wait(TagRetryMs);
    }
    return false;
}

std::optional<QString> incrementedEtag(const QString &text)
{
    const QString number = text.mid(8, 8);
    if (number.isEmpty())
        return std::nullopt;
    for (QChar c : number)
        if (!isHexDigit(c))
            return std::nullopt;
    const std::uint32_t next = number.toUInt(nullptr, 16) + 1u;  // wraps at 2^32
    return text.left(8) + QStringLiteral("%1").arg(next, 8, 16, QLatin1Char('0')).toUpper();
}

QByteArray setAutoEpcRequest(const AutoEpcSetting &setting)
{
    return parameterSetFrame(proto::ParAutoEpc, encodeParameter(parameterInfo(proto::ParAutoEpc), setting));
}

QByteArray getAutoEpcRequest()
{
    return parameterGetFrame(proto::ParAutoEpc);
}

std::optional<AutoEpcSetting> autoEpcReply(const std::uint8_t *response, int length)
{
    if (length != AutoEpcResponseSize || response[proto::OffSta] != proto::StaOk)
        return std::nullopt;
    const QByteArray value(reinterpret_cast<const char *>(response) + proto::OffRespData + 1, 3);
    return std::get<AutoEpcSetting>(decodeParameter(parameterInfo(proto::ParAutoEpc), value));
}

}  // namespace kv350::cards
