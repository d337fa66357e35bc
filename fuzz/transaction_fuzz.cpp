// The transaction engine: ReaderLink over a scripted serial port or USB HID
// device in virtual time, request after request, each answered by a list of
// length-prefixed replies that may be late, cut, doubled, flooded, wrong or
// never come, and a device that may go away or refuse to open.
//
// Input: a transport byte (bit 0: USB), then transactions. Each: an op byte
// (bit 0: ReadResponse instead of ExecuteCommand; bit 1: the next open fails),
// CMD, request DATA (length-prefixed), the reply limit, the gap before the call
// (ms), a count of pieces and the pieces: arrival (4 ms units after the request
// was written), a kind byte (bit 0: the device goes away; bit 1: the payload is
// framed as 02 LEN (CMD ^ next byte) payload), the payload (length-prefixed).
// Properties:
// - success only for a reply of 4 bytes or more, 02 first, the request's CMD
//   echoed, STA other than 10, within ResponseBuffer (and, on USB, the limit);
// - never a byte of an earlier request's reply: every byte (report) the link
//   reads after writing a request belongs to that request;
// - on the serial port the accepted reply is the first frame of the pieces
//   that came within the 500 ms window, as FrameCollector finds it, and none
//   is accepted when a second frame follows while a missed reply may come;
// - a call on an open link whose device stays ends within 500 ms; nothing is
//   polled in a loop (the fake devices fail the property);
// - a device that went away leaves the link disconnected.
#include "fakedevices.h"
#include "fuzztarget.h"
#include "link/frame.h"
#include "link/readerlink.h"

#include <algorithm>
#include <optional>

using namespace kv350;
using namespace kv350::fuzz;

namespace {

struct Transaction {
    bool readOnly = false;
    bool openFails = false;
    QByteArray request;
    int limit = 0;
    int gapMs = 0;
    std::vector<Piece> pieces;  // atMs relative to the write
};

Transaction readTransaction(ByteReader &in, int tag)
{
    Transaction t;
    const std::uint8_t op = in.u8();
    t.readOnly = op & 1;
    t.openFails = op & 2;
    const std::uint8_t cmd = in.u8();
    t.request = buildRequest(cmd, in.prefixed().left(40));
    t.limit = in.u8() + (op & 4 ? 1 : 0);  // 0..256
    t.gapMs = in.u8();
    const int count = in.u8() % 6;
    for (int i = 0; i < count && !in.atEnd(); ++i) {
        Piece p;
        p.atMs = qint64(in.u8()) * 4;
        const std::uint8_t kind = in.u8();
        p.breaksDevice = kind & 1;
        p.tag = tag;
        if (kind & 2) {
            const std::uint8_t echo = cmd ^ in.u8();
            const QByteArray payload = in.prefixed();
            p.bytes = QByteArray(1, char(proto::Stx)) + char(payload.size() + 1) + char(echo) + payload;
        } else {
            p.bytes = in.prefixed();
        }
        t.pieces.push_back(p);
    }
    return t;
}

// The first frame FrameCollector finds in the pieces that arrive within the
// window, read together when they arrive together; a read of more than 256
// waiting bytes is discarded. `second`: another frame came after it within the
// window (the rest of the first frame's read is dropped).
struct WindowFrames {
    QByteArray first;
    bool second = false;
};

WindowFrames expectedSerialFrames(std::vector<Piece> pieces)
{
    std::stable_sort(pieces.begin(), pieces.end(), [](const Piece &a, const Piece &b) { return a.atMs < b.atMs; });
    WindowFrames frames;
    FrameCollector collector;
    for (std::size_t i = 0; i < pieces.size();) {
        if (pieces[i].atMs > SerialTransport::ReplyWindowMs)
            break;
        QByteArray read;
        bool gone = false;
        const qint64 at = pieces[i].atMs;
        for (; i < pieces.size() && pieces[i].atMs == at; ++i) {
            gone = gone || pieces[i].breaksDevice;
            if (!gone)
                read += pieces[i].bytes;
        }
        if (read.size() <= SerialTransport::MaxWaiting) {
            for (char c : read) {
                if (!collector.push(std::uint8_t(c)))
                    continue;
                if (!frames.first.isEmpty()) {
                    frames.second = true;
                    return frames;
                }
                frames.first = QByteArray(reinterpret_cast<const char *>(collector.data()), collector.stored());
                collector.reset();
                break;
            }
        }
        if (gone)
            break;
    }
    return frames;
}

bool anyBreak(const std::vector<Piece> &pieces)
{
    for (const Piece &p : pieces)
        if (p.breaksDevice)
            return true;
    return false;
}

struct Harness {
    explicit Harness(bool overUsb) : usb(overUsb)
    {
        if (usb)
            link.useUsb();
        else
            link.useSerialPort(QStringLiteral("/dev/fuzz"));
        // A fresh connection identifies first (serial: a probe, then both identity
        // requests): those get the identity; every other frame the current request's pieces.
        auto respond = [this](const QByteArray &frame) {
            const bool probe = frame.startsWith(QByteArray::fromHex("02010D")) ||
                               frame.startsWith(QByteArray::fromHex("02010E"));
            const int opens = usb ? hid.opens() : serial.opens();
            if (opens != opensSeen) {
                opensSeen = opens;
                probesAnswered = 0;
            }
            // The connection's probes: on USB the two identity requests, on a
            // serial port a serial-number probe before them.
            if (probe && probesAnswered < (usb ? 2 : 3)) {
                ++probesAnswered;
                add({time.nowMs(), identityReply(std::uint8_t(frame[2])), tag, false});
                return;
            }
            for (Piece p : current->pieces) {
                p.atMs += time.nowMs();
                if (usb && !p.bytes.isEmpty()) {
                    for (const QByteArray &report : toReports(p.bytes))
                        add({p.atMs, report, p.tag, false});
                    if (p.breaksDevice)
                        add({p.atMs, {}, p.tag, true});
                } else {
                    add(p);
                }
            }
        };
        serial.onWrite = respond;
        hid.onWrite = respond;
    }

    void add(Piece p)
    {
        if (usb)
            hid.add(std::move(p));
        else
            serial.add(std::move(p));
    }

    void run(const Transaction &t)
    {
        current = &t;
        time.advance(t.gapMs);
        // What is still on its way from the last request has arrived by now.
        serial.settle();
        hid.settle();
        serial.clearReadLog();
        hid.clearReadLog();
        serial.setOpenFails(t.openFails);
        hid.setOpenFails(t.openFails);
        // On an open link whose device is still there, the call is one write and one read.
        const bool plain = link.Connected() && !(usb ? hid.gone() : serial.broken());
        // A reply missed by an earlier call may come in this one's window.
        const bool strayOwed = link.expectingStrayReply();
        const qint64 start = time.nowMs();

        const bool ok = t.readOnly ? link.ReadResponse() : link.ExecuteCommand(t.request, t.limit);

        const int n = link.ResponseLength();
        if (qEnvironmentVariableIsSet("KV350_FUZZ_TRACE"))
            qInfo("%d: %s %s -> %s %s (%lld ms)%s", tag, t.readOnly ? "read" : "execute",
                  t.request.toHex(' ').constData(), ok ? "ok" : "failed",
                  QByteArray(reinterpret_cast<const char *>(link.ResponseBuffer().data()), n).toHex(' ').constData(),
                  time.nowMs() - start, link.Connected() ? "" : " disconnected");
        KV350_FUZZ_CHECK(n >= 0 && n <= proto::BufferSize, "ResponseLength " + std::to_string(n));
        if (ok) {
            const auto &r = link.ResponseBuffer();
            KV350_FUZZ_CHECK(n >= 4 && r[proto::OffStx] == proto::Stx, "success without a frame");
            if (!t.readOnly) {
                KV350_FUZZ_CHECK(r[proto::OffCmd] == quint8(t.request[proto::OffCmd]), "success with another CMD");
                KV350_FUZZ_CHECK(r[proto::OffSta] != proto::StaRejected, "success with STA 10");
                if (usb)
                    KV350_FUZZ_CHECK(n <= t.limit, "more than the limit");
            }
            KV350_FUZZ_CHECK(link.responseData().size() == n - proto::OffRespData, "responseData");
        }
        if (!t.readOnly) {
            // After the last write nothing of an earlier reply may be read (reading
            // stale reports before the write is how USB clears them). ReadResponse
            // writes nothing: what it reads is whatever came.
            for (int tagRead : usb ? hid.readTags() : serial.readTags())
                KV350_FUZZ_CHECK(tagRead == tag, "read a byte of request " + std::to_string(tagRead) +
                                                     " while waiting for request " + std::to_string(tag));
        }
        const bool deviceStayed = !anyBreak(t.pieces);
        if (plain && deviceStayed && !t.readOnly) {
            // After a missed reply the link listens a little longer for a late one, to drop it.
            KV350_FUZZ_CHECK(time.nowMs() - start <= SerialTransport::ReplyWindowMs + ReaderLink::LateReplyGraceMs,
                             "the call outlasted its window");
            if (!usb) {
                const WindowFrames frames = expectedSerialFrames(t.pieces);
                const QByteArray &expected = frames.first;
                const bool expectOk = expected.size() >= 4 && quint8(expected[proto::OffStx]) == proto::Stx &&
                                      expected[proto::OffCmd] == t.request[proto::OffCmd] &&
                                      quint8(expected[proto::OffSta]) != proto::StaRejected;
                // Two frames in the window while a missed reply may still come:
                // which one answers this request cannot be told, and the link
                // takes none. (Unless the missed reply stopped being expected
                // before the first frame came, which the harness cannot see:
                // then the first frame may be taken, and is checked below.)
                if (strayOwed && frames.second)
                    KV350_FUZZ_CHECK(!ok || expectOk, "accepted what the reference refuses");
                else
                    KV350_FUZZ_CHECK(ok == expectOk, ok ? "accepted what the reference refuses" : "refused a reply");
                if (ok) {
                    const QByteArray got(reinterpret_cast<const char *>(link.ResponseBuffer().data()), n);
                    KV350_FUZZ_CHECK(got == expected, "not the first frame of the window");
                }
            }
        }
        if (!usb && serial.broken())
            KV350_FUZZ_CHECK(!link.Connected() || t.readOnly, "still connected to a port that went away");
        ++tag;
    }

    bool usb;
    VirtualTime time;
    ScriptedSerial serial{time};
    ScriptedHid hid{time};
    ReaderLink link{hid, serial, time, time};
    const Transaction *current = nullptr;
    int opensSeen = 0;  // identification follows every open
    int probesAnswered = 0;
    int tag = 0;
};

}  // namespace

KV350_FUZZ_TARGET(transaction)(const std::uint8_t *data, std::size_t size)
{
    ByteReader in(data, size);
    Harness harness(in.flag());
    for (int i = 0; i < 32 && !in.atEnd(); ++i) {
        const Transaction t = readTransaction(in, harness.tag);
        harness.run(t);
    }
    return 0;
}
