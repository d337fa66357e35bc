#include "kfwfile.h"

#include <QFile>
#include <cstring>

namespace kv350::firmware {
namespace {

QString textUpToNul(const char *bytes, int width)
{
    const void *nul = memchr(bytes, 0, size_t(width));
    const int n = nul ? int(static_cast<const char *>(nul) - bytes) : width;
    return QString::fromLatin1(bytes, n);
}

}  // namespace

KfwReadResult readKfwFile(const QString &path, FirmwareState &state)
{
    KfwReadResult result;
    state.FirmwareImage.fill(0xFF);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        result.status = KfwRead::CannotOpen;
        return result;
    }
    // A file of any size: only the header and what the image can hold are read.
    const QByteArray bytes = file.read(KfwHeaderSize + MaxFirmwareLength);
    if (bytes.size() < KfwHeaderSize) {
        result.status = KfwRead::TooShort;
        return result;
    }
    const int length = int(bytes.size()) - KfwHeaderSize;
    result.payloadSize = qMax<qint64>(length, file.size() - KfwHeaderSize);
    memcpy(state.FirmwareImage.data(), bytes.constData() + KfwHeaderSize, size_t(length));
    scramble(state.FirmwareImage.data(), length);
    state.FirmwareLength = std::uint16_t(length);
    state.FirmwareChecksum = imageChecksum(state.FirmwareImage.data(), length);
    result.status = KfwRead::Loaded;
    result.header.codeType = textUpToNul(bytes.constData(), CodeTypeWidth);
    result.header.codeVersion = textUpToNul(bytes.constData() + CodeTypeWidth, CodeVersionWidth);
    return result;
}

QByteArray packKfwFile(const QByteArray &codeType, const QByteArray &codeVersion, const QByteArray &payload)
{
    if (codeType.size() > CodeTypeWidth || codeVersion.size() > CodeVersionWidth)
        return {};
    QByteArray file = codeType + QByteArray(CodeTypeWidth - codeType.size(), '\0') + codeVersion +
                      QByteArray(CodeVersionWidth - codeVersion.size(), '\0') + payload;
    scramble(reinterpret_cast<std::uint8_t *>(file.data()) + KfwHeaderSize, int(payload.size()));
    return file;
}

void scramble(std::uint8_t *bytes, int count, int position)
{
    for (int i = 0; i < count; ++i)
        bytes[i] ^= FirmwareKey[std::size_t(position + i) % FirmwareKey.size()];
}

std::uint16_t imageChecksum(const std::uint8_t *bytes, int count)
{
    std::uint16_t sum = 0;
    for (int i = 0; i < count; ++i)
        sum = std::uint16_t(sum + bytes[i]);
    return sum;
}

QString hexWord(std::uint16_t value)
{
    return QStringLiteral("%1").arg(value, 4, 16, QLatin1Char('0')).toUpper();
}

}  // namespace kv350::firmware
