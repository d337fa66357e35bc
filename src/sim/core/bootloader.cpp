#include "bootloader.h"

#include "common/bootloader.h"
#include "common/protocol.h"

#include <cstring>

namespace kv350::sim {
namespace {

QByteArray word(unsigned value)
{
    QByteArray bytes;
    bytes.append(char(value & 0xFF));
    bytes.append(char((value >> 8) & 0xFF));
    return bytes;
}

unsigned wordAt(const QByteArray &bytes, int index)
{
    return unsigned(byteAt(bytes, index)) | unsigned(byteAt(bytes, index + 1)) << 8;
}

QByteArray padded(const QByteArray &text, int width, char pad)
{
    QByteArray out = text.left(width);
    return out + QByteArray(width - out.size(), pad);
}

QByteArray upToNul(const QByteArray &bytes)
{
    const qsizetype nul = bytes.indexOf('\0');
    return nul < 0 ? bytes : bytes.left(nul);
}

}  // namespace

void BootLoader::enter()
{
    m_active = true;
    m_download.reset();
    ++m_entries;
}

bool BootLoader::takeRestart()
{
    const bool restart = m_restart;
    m_restart = false;
    return restart;
}

void BootLoader::restart(bool intoApplication)
{
    m_active = !intoApplication;
    m_download.reset();
    m_restart = true;
}

std::vector<QByteArray> BootLoader::handle(const Request &request, const Identity &identity)
{
    switch (request.cmd) {
    case proto::CmdSerialNumber:
        return {makeReply(request.cmd, proto::StaOk, padded(identity.serial, proto::SerialWidth, '\0'))};
    case proto::CmdModelVersion:
        return {makeReply(request.cmd, proto::StaOk,
                          padded(identity.model, proto::ModelNameWidth, ' ') + QByteArray(boot::BootVersion))};
    case proto::CmdSystem:
        if (request.data == QByteArray(1, char(proto::SysBootLoader)))
            return {makeReply(request.cmd, proto::StaOk)};  // here already
        if (request.data == QByteArray(1, char(proto::SysReboot))) {
            restart(m_applicationValid);
            return {makeReply(request.cmd, proto::StaOk)};
        }
        break;
    case boot::CmdStatus:
        return {makeReply(request.cmd, boot::StaOk, status())};
    case boot::CmdBegin:
        return {begin(request)};
    case boot::CmdData:
        return {data(request)};
    case boot::CmdEnd:
        return {end(request)};
    case boot::CmdRun:
        return {run(request)};
    default:
        break;
    }
    return {makeReply(request.cmd, boot::StaUnknown)};
}

QByteArray BootLoader::status() const
{
    return QByteArray(boot::Magic, sizeof boot::Magic) + char(boot::ProtocolVersion) + word(unsigned(m_area.size())) +
           char(boot::ChunkSize) + char(m_applicationValid ? boot::FlagApplicationValid : 0);
}

QByteArray BootLoader::begin(const Request &request)
{
    if (request.data.size() != 6)
        return makeReply(request.cmd, boot::StaBadRange);
    Download d;
    d.offset = int(wordAt(request.data, 0));
    d.length = int(wordAt(request.data, 2));
    d.checksum = std::uint16_t(wordAt(request.data, 4));
    if (d.length == 0 || d.offset + d.length > m_area.size())
        return makeReply(request.cmd, boot::StaBadRange);
    // The whole area goes: what stays of an old image could never be started anyway.
    m_area.fill(char(0xFF));
    m_applicationValid = false;
    m_download = d;
    ++m_begun;
    return makeReply(request.cmd, boot::StaOk);
}

QByteArray BootLoader::data(const Request &request)
{
    if (!m_download)
        return makeReply(request.cmd, boot::StaNoDownload);
    Download &d = *m_download;
    if (request.data.size() < 3)
        return makeReply(request.cmd, boot::StaBadRange);
    const unsigned sequence = wordAt(request.data, 0);
    if (sequence == std::uint16_t(d.nextSequence - 1) && d.nextSequence > 0)
        return makeReply(request.cmd, boot::StaOk, word(d.nextSequence));  // its acknowledgement was lost
    if (sequence != d.nextSequence)
        return makeReply(request.cmd, boot::StaSequence, word(d.nextSequence));
    const QByteArray bytes = request.data.mid(2);
    if (d.received + bytes.size() > d.length)
        return makeReply(request.cmd, boot::StaBadRange);
    memcpy(m_area.data() + d.offset + d.received, bytes.constData(), size_t(bytes.size()));
    for (char b : bytes)
        d.sum = std::uint16_t(d.sum + quint8(b));
    d.received += int(bytes.size());
    ++d.nextSequence;
    return makeReply(request.cmd, boot::StaOk, word(d.nextSequence));
}

QByteArray BootLoader::end(const Request &request)
{
    if (!m_download)
        return makeReply(request.cmd, boot::StaNoDownload);
    const Download d = *m_download;
    m_download.reset();
    const QByteArray counts = word(unsigned(d.received)) + word(d.sum);
    if (d.received != d.length)
        return makeReply(request.cmd, boot::StaLengthMismatch, counts);
    if (d.sum != d.checksum)
        return makeReply(request.cmd, boot::StaChecksumMismatch, counts);
    if (m_rejectChecksums > 0) {
        --m_rejectChecksums;
        return makeReply(request.cmd, boot::StaChecksumMismatch, counts);
    }
    if (m_failDownloads > 0) {
        --m_failDownloads;
        return makeReply(request.cmd, boot::StaProgramFailed, counts);
    }
    m_applicationValid = true;
    m_lastOffset = d.offset;
    m_lastLength = d.length;
    ++m_verified;
    return makeReply(request.cmd, boot::StaOk, counts);
}

QByteArray BootLoader::run(const Request &request)
{
    if (!m_applicationValid)
        return makeReply(request.cmd, boot::StaNoApplication);
    ++m_runs;
    restart(true);
    return makeReply(request.cmd, boot::StaOk);
}

std::optional<std::pair<QByteArray, QByteArray>> BootLoader::downloadedIdentity() const
{
    if (!m_applicationValid || m_lastOffset != 0 || m_lastLength < boot::IdentityRecordSize)
        return std::nullopt;
    return std::pair{upToNul(m_area.left(proto::ModelNameWidth)),
                     upToNul(m_area.mid(proto::ModelNameWidth, proto::VersionWidth))};
}

}  // namespace kv350::sim
