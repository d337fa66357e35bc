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
    : m_clock(clock), m_pause(pause), m_usb(hid, clock), m_serial(serial, clock)
{
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
    TransactionRecord record;
    if (request && requestLength > 0)
        record.request = QByteArray(reinterpret_cast<const char *>(request), requestLength);
    record.accepted = transact(request, requestLength, responseLimit, record);
    if (!record.accepted)
        record.error = m_failure;
    m_observer->transactionEnded(record);
    m_logObserver->transactionEnded(record);
    return record.accepted;
}

bool ReaderLink::transact(const std::uint8_t *request, int requestLength, int responseLimit, TransactionRecord &record)
{
    BusyScope busy(m_busy);
    if (!busy.entered()) {
        fail(LinkError::Busy);
        return false;
    }
    const auto settle = qScopeGuard([this] { closeIfPortGone(); });
    if (requestLength < 3 || requestLength > proto::BufferSize) {
        fail(LinkError::BadRequest);
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

    const int window = m_transport->replyWindowMs();
    Sent sent = sendRequest(requestLength);
    if (sent == Sent::Failed) {
        // The reader may have been unplugged and plugged back: one new
        // connection and one resend, no more.
        qCDebug(lcLink) << "write failed; reconnecting";
        DisconnectReader();
        connect();
        if (!m_connected)
            return false;
        // Identification wrote its own probes into RequestBuffer: put the request back.
        memcpy(m_request.data(), request, size_t(requestLength));
        sent = sendRequest(requestLength);
        if (sent != Sent::Whole) {
            lose(LinkError::WriteFailed, m_transport->errorText());
            return false;
        }
    }
    if (sent == Sent::Gone) {
        loseDevice();
        return false;
    }
    if (sent == Sent::Part) {
        // Part of the frame went out. Whatever the reader makes of it is no
        // answer to this request: the window is waited out with nothing taken,
        // so that the reader drops the piece before the next request comes.
        if (!m_transport->drain(window)) {
            loseDevice();
            return false;
        }
        fail(LinkError::NotTaken);
        return false;
    }
    record.sent = true;

    const qint64 start = m_clock.nowMs();
    std::array<std::uint8_t, proto::BufferSize + 1> reply{};
    const Received read = receiveReply(reply.data(), responseLimit, window);
    record.reply = QByteArray(reinterpret_cast<const char *>(reply.data()), read.length);
    if (read.kind == Received::Gone) {
        loseDevice();
        return false;
    }
    const int received = read.length;
    if (received < 4 || reply[proto::OffStx] != proto::Stx || read.kind == Received::Cut) {
        // The reply may still be on its way: it must not pass for the next one.
        if (!m_transport->drain(LateReplyGraceMs)) {
            loseDevice();
            return false;
        }
        expectStrayReply();
        if (read.kind == Received::Cut)
            fail(LinkError::Cut, QString::number(received));
        else if (received == 0)
            fail(LinkError::NoReply);
        else
            fail(LinkError::NotAFrame, QString::number(received));
        return false;
    }
    if (expectingStrayReply()) {
        // An earlier reply never came and may come now. Without a sequence
        // number the two cannot be told apart: a reply is taken only when it
        // is the one frame of this request's whole window.
        const Listen more = listenForAnotherFrame(int(window - (m_clock.nowMs() - start)));
        if (more == Listen::Gone) {
            loseDevice();
            return false;
        }
        if (more == Listen::Frame) {
            fail(LinkError::TwoReplies);
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
        fail(LinkError::WrongEcho,
             QStringLiteral("%1, not %2").arg(hexByte(m_response[proto::OffCmd]), hexByte(request[proto::OffCmd])));
        return false;
    }
    m_observer->responseShown(responseFields(m_response.data(), received));
    if (m_response[proto::OffSta] == proto::StaRejected) {
        fail(LinkError::Rejected);
        return false;
    }
    m_failure = {};
    m_lastError.clear();
    return true;
}

Sent ReaderLink::sendRequest(int length)
{
    qCDebug(lcLink).noquote() << "TX" << m_transport->describe() << frameText(m_request.data(), length);
    const Sent sent = m_transport->send(m_request.data(), length);
    if (sent != Sent::Whole)
        qCDebug(lcLink).noquote() << "write failed:" << m_transport->errorText();
    return sent;
}

Received ReaderLink::receiveReply(std::uint8_t *into, int limit, int windowMs)
{
    const Received r = m_transport->receive(into, limit, windowMs);
    if (r.length > 0)
        qCDebug(lcLink).noquote() << (r.kind == Received::Frame ? "RX" : "RX (incomplete)")
                                  << frameText(into, r.length);
    if (r.kind == Received::Gone)
        qCDebug(lcLink).noquote() << "device gone:" << m_transport->errorText();
    return r;
}

ReaderLink::Listen ReaderLink::listenForAnotherFrame(int ms)
{
    std::array<std::uint8_t, proto::BufferSize + 1> scratch{};
    const qint64 deadline = m_clock.nowMs() + ms;
    for (qint64 left = ms; left > 0; left = deadline - m_clock.nowMs()) {
        const Received more = receiveReply(scratch.data(), proto::BufferSize, int(left));
        if (more.kind == Received::Gone)
            return Listen::Gone;
        if (more.length > 0)
            return Listen::Frame;
        if (more.windowOver)
            break;  // else a run of stray input ended the read early: listen on
    }
    return Listen::Nothing;
}

void ReaderLink::expectStrayReply()
{
    m_strayReplyOwed = true;
    m_strayReplyUntilMs = m_clock.nowMs() + StrayReplyLifeMs;
}

void ReaderLink::fail(LinkError error, const QString &detail)
{
    m_failure = {error, m_transport->describe(), detail};
    m_lastError = linkErrorText(m_failure);
    qCDebug(lcLink).noquote() << linkErrorName(error) << m_lastError;
}

void ReaderLink::lose(LinkError error, const QString &detail)
{
    // Close the dead handle so that the next command opens the device afresh.
    fail(error, detail);
    DisconnectReader();
    enter(LinkState::Disconnected);
}

void ReaderLink::loseDevice()
{
    lose(m_transport->goneError(), m_transport->errorText());
}

void ReaderLink::closeIfPortGone()
{
    if (m_kind == TransportKind::Serial && m_connected && m_serial.broken())
        loseDevice();
}

bool ReaderLink::ReadResponse()
{
    BusyScope busy(m_busy);
    if (!busy.entered()) {
        fail(LinkError::Busy);
        return false;
    }
    const auto settle = qScopeGuard([this] { closeIfPortGone(); });
    if (!m_connected) {
        connect();
        if (!m_connected)
            return false;
    }
    const int received = receiveReply(m_response.data(), DefaultResponseLimit, m_transport->replyWindowMs()).length;
    if (received < 4 || m_response[proto::OffStx] != proto::Stx) {
        fail(LinkError::NoReply);
        return false;
    }
    m_responseLength = received;
    return true;
}

bool ReaderLink::ConnectReader()
{
    BusyScope busy(m_busy);
    if (!busy.entered()) {
        fail(LinkError::Busy);
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
        enter(LinkState::Disconnected);
        return false;
    }
    enter(LinkState::Connecting);
    m_serialNumber.clear();
    m_modelName.clear();
    m_modelVersion.clear();
    m_pause.processPending();

    m_connected = openTransport();
    if (!m_connected) {
        enter(LinkState::Disconnected);
        return false;
    }
    enter(LinkState::Open);
    m_pause.processPending();

    if (!identify()) {
        enter(LinkState::Disconnected);
        return false;
    }
    m_failure = {};
    m_lastError.clear();
    enter(LinkState::Identified);
    return true;
}

bool ReaderLink::openTransport()
{
    if (!m_transport->open()) {
        qCDebug(lcLink).noquote() << "open failed:" << m_transport->errorText();
        fail(LinkError::OpenFailed, m_transport->errorText());
        return false;
    }
    if (m_transport->openProvesReader())
        return true;
    // The port opening proves nothing; a reader must answer the serial-number query.
    putProbe(proto::CmdSerialNumber);
    sendRequest(3);
    m_responseLength = receiveReply(m_response.data(), proto::SerialReplySize, m_transport->replyWindowMs()).length;
    if (m_responseLength == proto::SerialReplySize && m_response[proto::OffCmd] == proto::CmdSerialNumber &&
        m_response[proto::OffSta] == proto::StaOk)
        return true;
    // Close again: the port is opened exclusively and would stay held.
    m_transport->close();
    fail(LinkError::NoReader);
    return false;
}

bool ReaderLink::identify()
{
    if (!exchangeFixed(proto::CmdSerialNumber, proto::SerialReplySize)) {
        fail(LinkError::NoSerialNumber);
        return false;
    }
    const QString serial = textUpToZero(m_response.data() + proto::OffRespData, proto::SerialWidth);
    if (serial == m_serialNumber) {  // cleared above, so: an empty serial number
        fail(LinkError::EmptySerialNumber);
        return false;
    }
    m_serialNumber = serial;

    if (!exchangeFixed(proto::CmdModelVersion, proto::ModelReplySize)) {
        fail(LinkError::NoModel);
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
    // A write the device refused is the end of it; a short one is read after
    // like any other (what comes back tells).
    if (sendRequest(3) == Sent::Failed)
        return false;
    if (const int settle = m_transport->settleMs(); settle > 0)
        m_pause.wait(settle);
    const int received = receiveReply(m_response.data(), expectedLength, m_transport->replyWindowMs()).length;
    m_response[expectedLength] = 0;
    if (received > 0)
        m_responseLength = received;
    return received == expectedLength;
}

void ReaderLink::putProbe(std::uint8_t cmd)
{
    m_request[0] = proto::Stx;
    m_request[1] = 0x01;
    m_request[2] = cmd;
}

bool ReaderLink::WriteSerialRequest(const QByteArray &frame)
{
    if (m_kind != TransportKind::Serial || !m_connected || frame.isEmpty() || frame.size() > proto::BufferSize)
        return false;
    memcpy(m_request.data(), frame.constData(), size_t(frame.size()));
    return sendRequest(int(frame.size())) == Sent::Whole;
}

void ReaderLink::DisconnectReader()
{
    const bool wasConnected = m_connected;
    m_transport->close();
    m_connected = false;
    if (wasConnected) {
        m_observer->closed();
        m_logObserver->closed();
    }
}

bool ReaderLink::Reconnect()
{
    if (m_busy) {
        fail(LinkError::Busy);
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
    m_kind = TransportKind::Usb;
    m_transport = &m_usb;
}

void ReaderLink::useSerialPort(const QString &portPath)
{
    if (m_connected)
        DisconnectReader();
    m_kind = TransportKind::Serial;
    m_transport = &m_serial;
    m_portSettings = QStringLiteral("115200,n,8,1");
    m_serial.setPortPath(portPath);
}

void ReaderLink::enter(LinkState state)
{
    m_observer->stateChanged(state, identity());
    m_logObserver->stateChanged(state, identity());
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
