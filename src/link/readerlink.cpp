#include "readerlink.h"

#include <QLoggingCategory>
#include <QScopeGuard>
#include <cstring>

Q_LOGGING_CATEGORY(lcLink, "kv350.link", QtWarningMsg)

namespace kv350 {
namespace {

// Marks the link busy for one operation. Waits inside a transaction process
// paints and timers; should anything still call in meanwhile, it is refused
// rather than interleaving a second frame with the first.
class BusyScope {
public:
    explicit BusyScope(bool &flag) : m_flag(flag), m_entered(!flag) { m_flag = true; }
    ~BusyScope()
    {
        if (m_entered)
            m_flag = false;
    }
    bool entered() const { return m_entered; }

private:
    bool &m_flag;
    bool m_entered;
};

QString textUpToZero(const std::uint8_t *bytes, int count)
{
    const void *zero = memchr(bytes, 0, size_t(count));
    const int n = zero ? int(static_cast<const std::uint8_t *>(zero) - bytes) : count;
    return QString::fromLatin1(reinterpret_cast<const char *>(bytes), n);
}

QString hexByte(std::uint8_t b)
{
    return BytesToHex(&b, 1);
}

}  // namespace

ReaderLink::ReaderLink(HidBackend &hid, SerialDevice &serial, Clock &clock, Pause &pause)
    : m_clock(clock), m_pause(pause), m_hid(hid), m_serial(serial, clock)
{
    m_pod.backend = &m_hid;
    m_pod.clock = &m_clock;
    m_serial.setHangUpHandler([this] {
        // An operation under way finds the port gone itself.
        if (!m_busy)
            closeIfPortGone();
    });
}

ReaderLink::~ReaderLink()
{
    m_serial.setHangUpHandler({});
}

QByteArray ReaderLink::responseData() const
{
    if (m_responseLength <= proto::OffRespData)
        return {};
    return QByteArray(reinterpret_cast<const char *>(m_response.data()) + proto::OffRespData,
                      m_responseLength - proto::OffRespData);
}

bool ReaderLink::ExecuteCommand(const QByteArray &request, int responseLimit)
{
    return ExecuteCommand(int(request.size()), reinterpret_cast<const std::uint8_t *>(request.constData()),
                          responseLimit);
}

bool ReaderLink::ExecuteCommand(int requestLength, const std::uint8_t *request, int responseLimit)
{
    BusyScope busy(m_busy);
    if (!busy.entered()) {
        fail(QStringLiteral("the link is busy with another command"));
        return false;
    }
    const auto settle = qScopeGuard([this] { closeIfPortGone(); });
    if (requestLength < 3 || requestLength > proto::BufferSize) {
        fail(QStringLiteral("a request frame has 3 to 256 bytes"));
        return false;
    }
    responseLimit = qBound(0, responseLimit, proto::BufferSize);

    m_observer->messageCleared();
    m_observer->responseShown(clearedResponseFields());
    m_pause.processPending();

    if (!m_connected) {
        connect();
        if (!m_connected)
            return false;
    }

    m_observer->requestShown(requestFields(request, requestLength));
    memcpy(m_request.data(), request, size_t(requestLength));

    const int window = m_transport == TransportKind::Usb ? int(m_pod.ReadTimeout) : SerialTransport::ReplyWindowMs;
    if (m_transport == TransportKind::Usb) {
        if (!usbWrite(requestLength)) {
            // The reader may have been unplugged and plugged back: one new
            // connection and one resend, no more.
            qCDebug(lcLink) << "USB write failed; reconnecting";
            DisconnectPOD(m_pod);
            m_connected = false;
            connect();
            if (!m_connected)
                return false;
            // Identification wrote its own probes into RequestBuffer: put the request back.
            memcpy(m_request.data(), request, size_t(requestLength));
            if (!usbWrite(requestLength)) {
                lose(QStringLiteral("the USB write failed again after reconnecting: %1").arg(m_hid.errorText()));
                return false;
            }
        }
    } else if (!m_serial.WriteSerialPort(m_request.data(), requestLength)) {
        if (m_serial.broken()) {
            lose(QStringLiteral("%1: the serial port went away").arg(m_portPath));
            return false;
        }
        // Part of the frame went out. Whatever the reader makes of it is no
        // answer to this request: the window is waited out with nothing taken,
        // so that the reader drops the piece before the next request comes.
        m_serial.DrainInput(window);
        if (m_serial.broken()) {
            lose(QStringLiteral("%1: the serial port went away").arg(m_portPath));
            return false;
        }
        fail(QStringLiteral("%1: the port did not take the whole request").arg(m_portPath));
        return false;
    }

    const qint64 start = m_clock.nowMs();
    std::array<std::uint8_t, proto::BufferSize + 1> reply{};
    const ReadResult read = readReply(reply.data(), responseLimit, window);
    const auto gone = [this] {
        return m_transport == TransportKind::Usb ? QStringLiteral("the USB reader went away: %1").arg(m_hid.errorText())
                                                 : QStringLiteral("%1: the serial port went away").arg(m_portPath);
    };
    if (read.gone) {
        lose(gone());
        return false;
    }
    const int received = read.length;
    if (received < 4 || reply[proto::OffStx] != proto::Stx || read.cut) {
        // The reply may still be on its way: it must not pass for the next one.
        if (!drainLateReply()) {
            lose(gone());
            return false;
        }
        expectStrayReply();
        if (read.cut)
            fail(QStringLiteral("the reply was cut short (%1 bytes came)").arg(received));
        else
            fail(received == 0 ? QStringLiteral("no reply from the reader")
                               : QStringLiteral("the reply was not a frame (%1 bytes)").arg(received));
        return false;
    }
    if (expectingStrayReply()) {
        // An earlier reply never came and may come now. Without a sequence
        // number the two cannot be told apart: a reply is taken only when it
        // is the one frame of this request's whole window.
        const Listen more = listenForAnotherFrame(int(window - (m_clock.nowMs() - start)));
        if (more == Listen::Gone) {
            lose(QStringLiteral("the reader went away"));
            return false;
        }
        if (more == Listen::Frame) {
            fail(QStringLiteral("two replies came, one of them late to an earlier request"));
            return false;
        }
        m_strayReplyOwed = false;
    }
    memcpy(m_response.data(), reply.data(), size_t(received));
    if (received < proto::BufferSize)
        m_response[received] = 0;  // DATA can be read as a zero-terminated text
    m_responseLength = received;
    if (m_response[proto::OffCmd] != request[proto::OffCmd]) {
        expectStrayReply();  // a stray frame: this request's own reply may still come
        fail(QStringLiteral("the reply answers command %1, not %2")
                 .arg(hexByte(m_response[proto::OffCmd]), hexByte(request[proto::OffCmd])));
        return false;
    }
    m_observer->responseShown(responseFields(m_response.data(), received));
    if (m_response[proto::OffSta] == proto::StaRejected) {
        fail(QStringLiteral("the reader rejected the command (status 10)"));
        return false;
    }
    m_lastError.clear();
    return true;
}

ReaderLink::ReadResult ReaderLink::readReply(std::uint8_t *into, int limit, int windowMs)
{
    ReadResult r;
    if (m_transport == TransportKind::Usb) {
        const int result = ReadDataWithin(m_pod, into, limit, &r.length, windowMs);
        r.gone = result < 0;
        r.cut = result > 0 && r.length > 0;
    } else {
        r.length = m_serial.ReadSerialFrame(into, windowMs);
        r.gone = m_serial.broken();
    }
    return r;
}

ReaderLink::Listen ReaderLink::listenForAnotherFrame(int ms)
{
    std::array<std::uint8_t, proto::BufferSize + 1> scratch{};
    const qint64 deadline = m_clock.nowMs() + ms;
    for (qint64 left = ms; left > 0; left = deadline - m_clock.nowMs()) {
        const ReadResult more = readReply(scratch.data(), proto::BufferSize, int(left));
        if (more.gone)
            return Listen::Gone;
        if (more.length > 0)
            return Listen::Frame;
        if (m_transport == TransportKind::Serial)
            break;  // the serial read waits its whole window; HID may end early on a run of stray reports
    }
    return Listen::Nothing;
}

bool ReaderLink::drainLateReply()
{
    if (m_transport == TransportKind::Usb)
        return DrainPOD(m_pod, LateReplyGraceMs) >= 0;
    m_serial.DrainInput(LateReplyGraceMs);
    return !m_serial.broken();
}

void ReaderLink::expectStrayReply()
{
    m_strayReplyOwed = true;
    m_strayReplyUntilMs = m_clock.nowMs() + StrayReplyLifeMs;
}

void ReaderLink::lose(const QString &why)
{
    // Close the dead handle so that the next command opens the device afresh.
    DisconnectReader();
    fail(why);
    showDisconnected();
}

void ReaderLink::closeIfPortGone()
{
    if (m_transport == TransportKind::Serial && m_connected && m_serial.broken())
        lose(QStringLiteral("%1: the serial port went away").arg(m_portPath));
}

bool ReaderLink::ReadResponse()
{
    BusyScope busy(m_busy);
    if (!busy.entered()) {
        fail(QStringLiteral("the link is busy with another command"));
        return false;
    }
    const auto settle = qScopeGuard([this] { closeIfPortGone(); });
    if (!m_connected) {
        connect();
        if (!m_connected)
            return false;
    }
    int received = 0;
    if (m_transport == TransportKind::Usb)
        ReadData(m_pod, m_response.data(), DefaultResponseLimit, &received);
    else
        received = m_serial.ReadSerialFrame(m_response.data());
    if (received < 4 || m_response[proto::OffStx] != proto::Stx) {
        fail(QStringLiteral("no reply from the reader"));
        return false;
    }
    m_responseLength = received;
    return true;
}

bool ReaderLink::ConnectReader()
{
    BusyScope busy(m_busy);
    if (!busy.entered()) {
        fail(QStringLiteral("the link is busy with another command"));
        return false;
    }
    // A port that hangs up while the reader is identified is closed rather
    // than kept open as an unidentified link is.
    const auto settle = qScopeGuard([this] { closeIfPortGone(); });
    return connect();
}

bool ReaderLink::connect()
{
    if (m_connected) {
        showDisconnected();
        return false;
    }
    showStatus(QString(), ColourGrey);
    m_serialNumber.clear();
    m_modelName.clear();
    m_modelVersion.clear();
    m_pause.processPending();

    m_connected = openTransport();
    if (!m_connected) {
        showDisconnected();
        return false;
    }
    showStatus(QStringLiteral("Connected"), ColourYellow);
    m_pause.processPending();

    if (!identify()) {
        showDisconnected();
        return false;
    }
    m_lastError.clear();
    m_statusText = QStringLiteral("[%1] (%2) (SN:%3)")
                       .arg(m_text(QStringLiteral("Connected")), visibleText(m_modelVersion),
                            visibleText(m_serialNumber));
    m_observer->statusChanged(m_statusText, m_statusColour);
    m_observer->modelApplied(applyModelRules(m_modelName));
    return true;
}

bool ReaderLink::openTransport()
{
    if (m_transport == TransportKind::Usb) {
        if (ConnectPOD(m_pod, 1) == 0)
            return true;
        fail(m_hid.errorText());
        return false;
    }
    if (!m_serial.OpenSerialPort(m_portPath)) {
        fail(m_serial.errorText());
        return false;
    }
    // The port opening proves nothing; a reader must answer the serial-number query.
    putProbe(proto::CmdSerialNumber);
    m_serial.WriteSerialPort(m_request.data(), 3);
    m_responseLength = m_serial.ReadSerialFrame(m_response.data());
    if (m_responseLength == proto::SerialReplySize && m_response[proto::OffCmd] == proto::CmdSerialNumber &&
        m_response[proto::OffSta] == proto::StaOk)
        return true;
    // Close again: the port is opened exclusively and would stay held.
    m_serial.CloseSerialPort();
    fail(QStringLiteral("%1: the port opened but no reader answered").arg(m_portPath));
    return false;
}

bool ReaderLink::identify()
{
    if (!exchangeFixed(proto::CmdSerialNumber, proto::SerialReplySize)) {
        fail(QStringLiteral("the reader did not send its serial number"));
        return false;
    }
    const QString serial = textUpToZero(m_response.data() + proto::OffRespData, proto::SerialWidth);
    if (serial == m_serialNumber) {  // cleared above, so: an empty serial number
        fail(QStringLiteral("the reader sent an empty serial number"));
        return false;
    }
    m_serialNumber = serial;

    if (!exchangeFixed(proto::CmdModelVersion, proto::ModelReplySize)) {
        fail(QStringLiteral("the reader did not send its model and version"));
        return false;
    }
    m_modelVersion = textUpToZero(m_response.data() + proto::OffRespData, proto::ModelNameWidth + proto::VersionWidth);
    m_response[proto::OffRespData + proto::ModelNameWidth] = 0;
    m_modelName = textUpToZero(m_response.data() + proto::OffRespData, proto::ModelNameWidth).trimmed();
    return true;
}

bool ReaderLink::exchangeFixed(std::uint8_t cmd, int expectedLength)
{
    putProbe(cmd);
    int received = 0;
    if (m_transport == TransportKind::Usb) {
        if (!usbWrite(3))
            return false;
        m_pause.wait(UsbSettleMs);
        ReadData(m_pod, m_response.data(), expectedLength, &received);
    } else {
        m_serial.WriteSerialPort(m_request.data(), 3);
        received = m_serial.ReadSerialFrame(m_response.data());
    }
    m_response[expectedLength] = 0;
    if (received > 0)
        m_responseLength = received;
    return received == expectedLength;
}

bool ReaderLink::usbWrite(int length)
{
    ClearPODBuffer(m_pod);
    int written = 0;
    return WriteData(m_pod, m_request.data(), length, &written) == 0;
}

void ReaderLink::putProbe(std::uint8_t cmd)
{
    m_request[0] = proto::Stx;
    m_request[1] = 0x01;
    m_request[2] = cmd;
}

bool ReaderLink::WriteSerialRequest(const QByteArray &frame)
{
    if (m_transport != TransportKind::Serial || !m_connected || frame.isEmpty() || frame.size() > proto::BufferSize)
        return false;
    memcpy(m_request.data(), frame.constData(), size_t(frame.size()));
    return m_serial.WriteSerialPort(m_request.data(), int(frame.size()));
}

void ReaderLink::DisconnectReader()
{
    if (m_transport == TransportKind::Usb)
        DisconnectPOD(m_pod);
    else
        m_serial.CloseSerialPort();
    m_connected = false;
}

bool ReaderLink::Reconnect()
{
    if (m_busy) {
        fail(QStringLiteral("the link is busy with another command"));
        return false;
    }
    if (m_connected) {
        DisconnectReader();
        m_pause.wait(UsbSettleMs);
    }
    m_pause.processPending();
    return ConnectReader();
}

void ReaderLink::useUsb()
{
    if (m_connected)
        DisconnectReader();
    m_transport = TransportKind::Usb;
}

void ReaderLink::useSerialPort(const QString &portPath)
{
    if (m_connected)
        DisconnectReader();
    m_transport = TransportKind::Serial;
    m_portSettings = QStringLiteral("115200,n,8,1");
    m_portPath = portPath;
}

void ReaderLink::showStatus(const QString &english, ColourValue colour)
{
    if (!english.isEmpty())
        m_statusText = m_text(english);
    m_statusColour = colour;
    m_observer->statusChanged(m_statusText, m_statusColour);
}

void ReaderLink::showDisconnected()
{
    showStatus(QStringLiteral("Disconnected"), ColourRed);
}

QString serialPortPath(const QString &portName)
{
#ifdef Q_OS_WIN
    return portName.startsWith(QLatin1String("\\\\.\\")) ? portName : QStringLiteral("\\\\.\\") + portName;
#else
    return portName.startsWith(QLatin1Char('/')) ? portName : QStringLiteral("/dev/") + portName;
#endif
}

}  // namespace kv350
