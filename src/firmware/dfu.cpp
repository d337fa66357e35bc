#include "dfu.h"

#include "common/bootloader.h"
#include "common/protocol.h"
#include "link/frame.h"

#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcDfu, "kv350.firmware.dfu", QtWarningMsg)

namespace kv350::firmware {
namespace {

void appendWord(QByteArray &bytes, unsigned value)
{
    bytes.append(char(value & 0xFF));
    bytes.append(char((value >> 8) & 0xFF));
}

unsigned wordAt(const QByteArray &bytes, int index)
{
    return unsigned(quint8(bytes[index])) | unsigned(quint8(bytes[index + 1])) << 8;
}

QString statusText(std::uint8_t status)
{
    switch (status) {
    case boot::StaBadRange:
        return QStringLiteral("the image does not fit the reader's application area");
    case boot::StaSequence:
        return QStringLiteral("the boot loader lost a chunk of the image");
    case boot::StaNoDownload:
        return QStringLiteral("the boot loader had no download in progress");
    case boot::StaLengthMismatch:
        return QStringLiteral("the boot loader received another length than announced");
    case boot::StaChecksumMismatch:
        return QStringLiteral("the boot loader found another checksum than announced");
    case boot::StaProgramFailed:
        return QStringLiteral("the reader's flash did not take the image");
    case boot::StaNoApplication:
        return QStringLiteral("the boot loader holds no verified application to start");
    default:
        return QStringLiteral("the boot loader answered status %1").arg(BytesToHex(&status, 1));
    }
}

}  // namespace

void Dfu::fail(const QString &why)
{
    m_error = why;
    qCDebug(lcDfu) << why;
}

int Dfu::failed(const QString &why)
{
    fail(why);
    return 0;
}

std::optional<Dfu::Reply> Dfu::exchange(std::uint8_t cmd, const QByteArray &data)
{
    if (!m_usb.isOpen())
        return std::nullopt;
    const QByteArray request = buildRequest(cmd, data);
    qCDebug(lcDfu).noquote() << "TX" << frameText(request);
    // The transport drops the input reports still waiting before it writes.
    if (m_usb.send(reinterpret_cast<const std::uint8_t *>(request.constData()), int(request.size())) != Sent::Whole) {
        fail(QStringLiteral("the reader went away: %1").arg(m_usb.errorText()));
        m_usb.close();
        return std::nullopt;
    }
    const qint64 deadline = m_clock.nowMs() + ReplyTimeoutMs;
    std::array<std::uint8_t, proto::BufferSize + 1> reply{};
    for (;;) {
        const Received r = m_usb.receive(reply.data(), proto::BufferSize,
                                         int(qMax<qint64>(0, deadline - m_clock.nowMs())));
        if (r.kind == Received::Gone) {
            fail(QStringLiteral("the reader went away: %1").arg(m_usb.errorText()));
            m_usb.close();
            return std::nullopt;
        }
        if (r.kind == Received::Nothing && r.windowOver) {
            fail(QStringLiteral("no reply to command %1").arg(BytesToHex(&cmd, 1)));
            return std::nullopt;
        }
        if (r.length > 0)
            qCDebug(lcDfu).noquote() << "RX" << frameText(reply.data(), r.length);
        if (r.kind == Received::Frame && checkResponse(cmd, reply.data(), r.length) == ResponseCheck::Accepted)
            return Reply{reply[proto::OffSta],
                         QByteArray(reinterpret_cast<const char *>(reply.data()) + proto::OffRespData,
                                    r.length - proto::OffRespData)};
        if (r.length > 0)
            qCDebug(lcDfu) << "dropped a frame that answers something else";
    }
}

bool Dfu::bootLoaderAnswers()
{
    const std::optional<Reply> reply = exchange(boot::CmdStatus);
    if (!reply || reply->status != boot::StaOk || reply->data.size() < 9 ||
        !reply->data.startsWith(QByteArray(boot::Magic, sizeof boot::Magic)))
        return false;
    m_chunkSize = qBound(1, int(quint8(reply->data[7])), boot::ChunkSize);
    return true;
}

bool Dfu::openDevice()
{
    return m_usb.open();
}

bool Dfu::openBootLoader()
{
    if (!openDevice())
        return false;
    if (bootLoaderAnswers())
        return true;
    m_usb.close();
    return false;
}

int Dfu::DFU_Reset_To_ISP(std::uint16_t vendorId, std::uint16_t productId)
{
    close();
    m_usb.setIds(vendorId, productId);
    m_error.clear();
    m_opened = true;

    bool seen = false;
    if (openDevice()) {
        seen = true;
        if (bootLoaderAnswers()) {
            m_session = true;
            return InBootLoader;
        }
        // The application: it restarts into its boot loader once its reply is out.
        const std::optional<Reply> reply = exchange(proto::CmdSystem, QByteArray(1, char(proto::SysBootLoader)));
        if (reply && reply->status != proto::StaOk) {
            m_usb.close();
            fail(QStringLiteral("the reader refused to enter its boot loader"));
            return Refused;
        }
        m_usb.close();
    }
    // Wait for the boot loader to appear: after the request above, or because the
    // reader was asked on another way (its serial port) and is still restarting.
    const qint64 deadline = m_clock.nowMs() + ReturnTimeoutMs;
    while (m_clock.nowMs() < deadline) {
        m_clock.blockFor(int(qMin<qint64>(ReopenIntervalMs, deadline - m_clock.nowMs())));
        if (openDevice()) {
            seen = true;
            if (bootLoaderAnswers()) {
                m_session = true;
                m_error.clear();
                return InBootLoader;
            }
            m_usb.close();
        }
    }
    if (!seen) {
        fail(QStringLiteral("no USB HID device %1").arg(usbIdText(m_usb.record().VID, m_usb.record().PID)));
        return NoDevice;
    }
    fail(QStringLiteral("the reader did not come back in its boot loader"));
    return NotBack;
}

int Dfu::DFU_Download(const std::uint8_t *image, std::uint32_t address, std::uint16_t length, std::uint16_t checksum)
{
    if (!m_session)
        return failed(QStringLiteral("the reader is not in its boot loader"));
    if (address > 0xFFFF)
        return failed(QStringLiteral("the address %1 is beyond the boot loader's reach").arg(address));
    // A restart between attempts (a reader unplugged and plugged back) is survived.
    if (!m_usb.isOpen() && !openBootLoader())
        return failed(QStringLiteral("the boot loader is gone"));

    QByteArray begin;
    appendWord(begin, address);
    appendWord(begin, length);
    appendWord(begin, checksum);
    std::optional<Reply> reply = exchange(boot::CmdBegin, begin);
    if (!reply)
        return 0;
    if (reply->status != boot::StaOk)
        return failed(statusText(reply->status));

    unsigned sequence = 0;
    for (int offset = 0; offset < length; offset += m_chunkSize, ++sequence) {
        QByteArray chunk;
        appendWord(chunk, sequence);
        chunk.append(reinterpret_cast<const char *>(image) + offset, qMin(m_chunkSize, length - offset));
        reply.reset();
        // The boot loader acknowledges a repeated chunk without storing it again,
        // so a chunk whose acknowledgement was lost can simply be sent once more.
        for (int attempt = 0; attempt < ChunkTries && !reply && m_usb.isOpen(); ++attempt)
            reply = exchange(boot::CmdData, chunk);
        if (!reply)
            return 0;
        if (reply->status != boot::StaOk)
            return failed(statusText(reply->status));
        if (reply->data.size() < 2 || wordAt(reply->data, 0) != ((sequence + 1) & 0xFFFF))
            return failed(QStringLiteral("the boot loader acknowledged chunk %1 out of turn").arg(sequence));
    }

    reply = exchange(boot::CmdEnd);
    if (!reply)
        return 0;
    if (reply->status != boot::StaOk)
        return failed(statusText(reply->status));
    m_error.clear();
    return 1;
}

bool Dfu::DFU_Reset_To_AP()
{
    bool started = false;
    for (int attempt = 0; m_session && attempt < ChunkTries; ++attempt) {
        if (m_usb.isOpen()) {
            const std::optional<Reply> reply = exchange(boot::CmdRun);
            if (reply) {
                started = reply->status == boot::StaOk;
                if (!started)
                    fail(statusText(reply->status));
                break;
            }
            // No reply: the order may or may not have been carried out.
            m_usb.close();
        }
        // The reader answers the next look as whichever program it runs.
        const Comeback back = comeBack();
        if (back != Comeback::BootLoader) {
            started = back == Comeback::Application;
            break;
        }
    }
    if (started)
        m_error.clear();
    else if (m_error.isEmpty())
        fail(QStringLiteral("the reader did not start its new firmware"));
    close();
    return started;
}

Dfu::Comeback Dfu::comeBack()
{
    const qint64 deadline = m_clock.nowMs() + ReturnTimeoutMs;
    for (;;) {
        if (openDevice()) {
            const std::optional<Reply> reply = exchange(boot::CmdStatus);
            if (reply)
                // The application does not know STATUS.
                return reply->status == proto::StaRejected ? Comeback::Application : Comeback::BootLoader;
            m_usb.close();
        }
        const qint64 left = deadline - m_clock.nowMs();
        if (left <= 0)
            break;
        m_clock.blockFor(int(qMin<qint64>(ReopenIntervalMs, left)));
    }
    fail(QStringLiteral("the reader did not come back after the order to start its firmware"));
    return Comeback::Absent;
}

void Dfu::close()
{
    // The device may be the link's: leave it alone unless this client opened it.
    if (m_opened)
        m_usb.close();
    m_opened = false;
    m_session = false;
}

}  // namespace kv350::firmware
