#include "readerlink.h"

#include <QLoggingCategory>
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

    int received = 0;
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
                fail(QStringLiteral("the USB write failed again after reconnecting: %1").arg(m_hid.errorText()));
                return false;
            }
        }
        ReadData(m_pod, m_response.data(), responseLimit, &received);
    } else {
        m_serial.WriteSerialPort(m_request.data(), requestLength);
        received = m_serial.ReadSerialFrame(m_response.data());
        if (m_serial.broken()) {
            // Close the dead handle so that the next command opens the port afresh.
            DisconnectReader();
            fail(QStringLiteral("%1: the serial port went away").arg(m_portPath));
            return false;
        }
    }

    if (received < 4 || m_response[proto::OffStx] != proto::Stx) {
        fail(received == 0 ? QStringLiteral("no reply from the reader")
                           : QStringLiteral("the reply was not a frame (%1 bytes)").arg(received));
        return false;
    }
    m_responseLength = received;
    if (m_response[proto::OffCmd] != request[proto::OffCmd]) {
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

bool ReaderLink::ReadResponse()
{
    BusyScope busy(m_busy);
    if (!busy.entered()) {
        fail(QStringLiteral("the link is busy with another command"));
        return false;
    }
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
    m_statusText = QStringLiteral("[%1] (%2) (SN:%3)").arg(m_text(QStringLiteral("Connected")), m_modelVersion, m_serialNumber);
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
    m_modelVersion =
        textUpToZero(m_response.data() + proto::OffRespData, proto::ModelNameWidth + proto::VersionWidth);
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
