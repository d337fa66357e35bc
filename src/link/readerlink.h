#pragma once
// The link to one reader: the buffers and connection state the whole program
// shares, the one transaction every page uses, and connection with
// identification. It knows nothing of widgets, words or colours: it tells a
// LinkObserver what happens, and the window shows it.

#include "clock.h"
#include "common/protocol.h"
#include "frame.h"
#include "hidtransport.h"
#include "linkerror.h"
#include "models.h"
#include "pause.h"
#include "serialtransport.h"

#include <array>
#include <cstdint>

namespace kv350 {

// One ExecuteCommand as it happened, for a log of the session.
struct TransactionRecord {
    QByteArray request;
    bool sent = false;      // the request went out (whole)
    QByteArray reply;       // the frame taken as the reply, as far as it came; empty: none
    bool accepted = false;  // ExecuteCommand's result
    LinkFailure error;      // why not, when not accepted
};

// Where the link stands with the reader.
enum class LinkState {
    Connecting,    // a connection is being made
    Open,          // the transport opened; the reader is being identified
    Identified,    // the reader gave its serial number, model and version
    Disconnected,  // no reader: the connection or identification failed, or the reader went away
};

// What identification found.
struct ReaderIdentity {
    QString serialNumber;
    QString modelName;     // trimmed
    QString modelVersion;  // the model padded to 12 characters, then the version
};

class LinkObserver {
public:
    virtual ~LinkObserver() = default;
    virtual void messageCleared() {}
    virtual void requestShown(const RequestFields &) {}
    // Also called with clearedResponseFields() when a transaction starts.
    virtual void responseShown(const ResponseFields &) {}
    // The reader's identity is what identification found so far (all of it
    // once Identified).
    virtual void stateChanged(LinkState, const ReaderIdentity &) {}
    // Once per ExecuteCommand, however it ended: what was sent (nothing when
    // no connection could be made) and what came back.
    virtual void transactionEnded(const TransactionRecord &) {}
    // The open transport was closed on purpose (a new connection, another
    // transport, the end of the program); a reader lost says so through stateChanged.
    virtual void closed() {}
};

enum class TransportKind { Usb = 1, Serial = 2 };

class ReaderLink {
public:
    static constexpr int UsbSettleMs = HidTransport::SettleMs;  // between write and read while identifying
    static constexpr int DefaultResponseLimit = 64;
    // After a reply window closed empty, what arrives this much longer is
    // thrown away as the late reply it is, so the next request cannot take it.
    static constexpr int LateReplyGraceMs = 50;
    // How long a missed reply is still expected after its window closed.
    static constexpr int StrayReplyLifeMs = 2000;

    ReaderLink(HidBackend &hid, SerialDevice &serial, Clock &clock, Pause &pause);
    ~ReaderLink();
    ReaderLink(const ReaderLink &) = delete;
    ReaderLink &operator=(const ReaderLink &) = delete;

    void setObserver(LinkObserver *observer) { m_observer = observer ? observer : &m_silent; }
    // A second observer beside the one that shows the exchange: the session
    // log. It hears the connection (stateChanged, closed) and every
    // transaction (transactionEnded), whoever shows them.
    void setLogObserver(LinkObserver *observer) { m_logObserver = observer ? observer : &m_silent; }

    // One request, one reply. Connects first when needed. True when a reply was
    // accepted (02 first, CMD echoed) and its STA is not 0x10; callers judge STA.
    bool ExecuteCommand(int requestLength, const std::uint8_t *request, int responseLimit);
    bool ExecuteCommand(const QByteArray &request, int responseLimit = DefaultResponseLimit);
    // One more reply to the last request, without sending anything.
    bool ReadResponse();
    // Opens the chosen transport and identifies the reader; true when identified.
    // Connected can be true when this returns false (open, not identified).
    bool ConnectReader();
    void DisconnectReader();
    // The Connect button: always a fresh connection (close, 100 ms, connect).
    bool Reconnect();

    // Writes a frame on the open serial link and waits for no reply (the
    // boot-loader request, after which the reader answers nothing more there).
    // False when no serial link is open.
    bool WriteSerialRequest(const QByteArray &frame);
    // A model name typed by the user stands in for the identified one until the
    // next identification (the firmware page's check against another model).
    void setModelName(const QString &name) { m_modelName = name; }

    // Choosing the transport closes an open link; the next command connects.
    void useUsb();
    void useSerialPort(const QString &portPath);

    // State the pages read.
    bool Connected() const { return m_connected; }
    TransportKind Transport() const { return m_kind; }
    const QString &PortPath() const { return m_serial.portPath(); }
    const QString &PortSettings() const { return m_portSettings; }
    // The transport in use as messages name it: the port's path, or "USB" and the ids.
    QString transportText() const { return m_transport->describe(); }
    PodRecord &podRecord() { return m_usb.record(); }
    const std::array<std::uint8_t, proto::BufferSize> &RequestBuffer() const { return m_request; }
    const std::array<std::uint8_t, proto::BufferSize> &ResponseBuffer() const { return m_response; }
    int ResponseLength() const { return m_responseLength; }
    // STA and DATA of the last accepted reply.
    std::uint8_t responseStatus() const { return m_response[proto::OffSta]; }
    QByteArray responseData() const;
    const QString &SerialNumberText() const { return m_serialNumber; }
    const QString &ModelName() const { return m_modelName; }
    const QString &ModelVersionText() const { return m_modelVersion; }
    ReaderIdentity identity() const { return {m_serialNumber, m_modelName, m_modelVersion}; }
    // Why the last operation failed: the value callers decide by, and the
    // words a user can act on (empty after a success).
    LinkError error() const { return m_failure.error; }
    const LinkFailure &lastFailure() const { return m_failure; }
    const QString &lastError() const { return m_lastError; }
    bool busy() const { return m_busy; }
    // A reply was missed (the window closed without one) and may still come:
    // the next transaction takes a reply only when nothing else arrives in its window.
    bool expectingStrayReply() const { return m_strayReplyOwed && m_clock.nowMs() < m_strayReplyUntilMs; }

private:
    bool transact(const std::uint8_t *request, int requestLength, int responseLimit, TransactionRecord &record);
    bool connect();
    bool openTransport();
    bool identify();
    bool exchangeFixed(std::uint8_t cmd, int expectedLength);
    // The frame in RequestBuffer out over the transport, logged.
    Sent sendRequest(int length);
    // One reply within windowMs into `into`, logged.
    Received receiveReply(std::uint8_t *into, int limit, int windowMs);
    // Whether another frame starts within ms (read and thrown away).
    enum class Listen { Nothing, Frame, Gone };
    Listen listenForAnotherFrame(int ms);
    // The device went away under an open handle: closed, "Disconnected", and why.
    void lose(LinkError error, const QString &detail = {});
    void loseDevice();
    // A serial port that failed under its open handle is closed: at the end of
    // every operation, and when the port reports it while the link is idle.
    void closeIfPortGone();
    void expectStrayReply();
    void putProbe(std::uint8_t cmd);
    void enter(LinkState state);
    void fail(LinkError error, const QString &detail = {});

    Clock &m_clock;
    Pause &m_pause;
    HidTransport m_usb;
    SerialTransport m_serial;
    kv350::Transport *m_transport = &m_usb;  // the one in use
    LinkObserver m_silent;
    LinkObserver *m_observer = &m_silent;
    LinkObserver *m_logObserver = &m_silent;

    std::array<std::uint8_t, proto::BufferSize> m_request{};
    std::array<std::uint8_t, proto::BufferSize> m_response{};
    int m_responseLength = 0;
    bool m_connected = false;
    TransportKind m_kind = TransportKind::Usb;
    QString m_portSettings = QStringLiteral("115200,n,8,1");
    QString m_serialNumber;
    QString m_modelName;
    QString m_modelVersion;
    LinkFailure m_failure;
    QString m_lastError;  // its words
    bool m_busy = false;
    bool m_strayReplyOwed = false;
    qint64 m_strayReplyUntilMs = 0;
};

// The path a port name opens as: "\\.\COM3" on Windows, "/dev/ttyUSB0" elsewhere
// (a name that already is a path stays as it is).
QString serialPortPath(const QString &portName);

}  // namespace kv350
