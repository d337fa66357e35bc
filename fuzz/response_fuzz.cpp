// Response acceptance: one request over USB HID, answered by arbitrary input
// reports at arbitrary times.
//
// Input: CMD, the reply limit (any int the pages could pass), request DATA
// (length-prefixed), then reports: a delay byte (ms after the one before),
// a length byte (0 = the device goes away, else 1..64 bytes).
// Properties:
// - the link's result is the reference's: the first report that starts with 02
//   among the first 64 read, the reports after it up to LEN + 2 bytes, cut to
//   the limit; accepted when it has 4 bytes or more, 02 first, the request's
//   CMD echoed and STA other than 10; a frame whose rest is not there 500 ms
//   after the read began is no reply;
// - ResponseBuffer, ResponseLength and responseData() say the same;
// - checkResponse() judges the bytes as the reference does;
// - the call ends within its 500 ms (and the short grace in which a missed
//   reply is listened for, to be dropped).
#include "fakedevices.h"
#include "fuzztarget.h"
#include "link/frame.h"
#include "link/readerlink.h"

using namespace kv350;
using namespace kv350::fuzz;

namespace {

struct Report {
    qint64 delayMs;
    QByteArray bytes;  // empty: the device goes away
};

constexpr int MaxReportsRead = 64;
constexpr int ReadTimeoutMs = 500;

// What ReadData is meant to deliver from the reports, all sent at or after the read began.
QByteArray referenceReply(const std::vector<Report> &reports, int limit)
{
    qint64 at = 0;
    std::size_t next = 0;
    // The next report, or nothing when it is late or the device is gone.
    auto take = [&]() -> std::optional<QByteArray> {
        if (next >= reports.size())
            return std::nullopt;
        at += reports[next].delayMs;
        if (at > ReadTimeoutMs || reports[next].bytes.isEmpty())
            return std::nullopt;
        return reports[next++].bytes;
    };
    QByteArray frame;
    for (int i = 0; i < MaxReportsRead && frame.isEmpty(); ++i) {
        const auto r = take();
        if (!r)
            return {};
        if (quint8(r->at(0)) == proto::Stx)
            frame = *r;
    }
    if (frame.isEmpty())
        return {};
    const int total = frame.size() >= 2 ? quint8(frame[1]) + 2 : int(frame.size());
    while (frame.size() < total) {
        const auto r = take();
        if (!r)
            return {};  // the frame's rest never came: no reply
        frame += *r;
    }
    return frame.left(qMin(total, limit));
}

ResponseCheck referenceCheck(std::uint8_t cmd, const QByteArray &reply)
{
    if (reply.size() < 4)
        return ResponseCheck::TooShort;
    if (quint8(reply[0]) != proto::Stx)
        return ResponseCheck::NoStx;
    if (quint8(reply[2]) != cmd)
        return ResponseCheck::WrongCmd;
    return ResponseCheck::Accepted;
}

}  // namespace

KV350_FUZZ_TARGET(response)(const std::uint8_t *data, std::size_t size)
{
    ByteReader in(data, size);
    const std::uint8_t cmd = in.u8();
    const int limit = int(in.u16() % 320) - 32;
    const QByteArray request = buildRequest(cmd, in.prefixed().left(58));
    std::vector<Report> reports;
    while (!in.atEnd() && reports.size() < 80) {
        const qint64 delay = in.u8();
        const int length = in.u8() % 65;
        reports.push_back({delay, length ? in.bytes(std::size_t(length)) : QByteArray()});
        if (reports.back().bytes.isEmpty() && length)
            reports.pop_back();  // the input ran out
    }
    // Reports the device never got to queue (hidraw keeps 64) are not part of the reference.
    if (reports.size() > std::size_t(ScriptedHid::QueueCapacity))
        reports.resize(ScriptedHid::QueueCapacity);

    VirtualTime time;
    ScriptedHid hid(time);
    ScriptedSerial unusedSerial(time);
    ReaderLink link(hid, unusedSerial, time, time);
    bool requestSent = false;
    hid.onWrite = [&](const QByteArray &report) {
        if (!requestSent && report.startsWith(QByteArray::fromHex("02010D")))
            return hid.add({time.nowMs(), identityReply(0x0D)});
        if (!requestSent && report.startsWith(QByteArray::fromHex("02010E")))
            return hid.add({time.nowMs(), identityReply(0x0E)});
        qint64 at = time.nowMs();
        for (const Report &r : reports) {
            at += r.delayMs;
            hid.add({at, r.bytes, 1, r.bytes.isEmpty()});
        }
    };
    KV350_FUZZ_CHECK(link.ConnectReader(), "the scripted identification failed");
    requestSent = true;

    const qint64 start = time.nowMs();
    const bool accepted = link.ExecuteCommand(request, limit);
    // After a missed reply the link listens a little longer for a late one, to drop it.
    KV350_FUZZ_CHECK(time.nowMs() - start <= ReadTimeoutMs + ReaderLink::LateReplyGraceMs,
                     "the call outlasted its read time-out");

    const QByteArray reply = referenceReply(reports, qBound(0, limit, proto::BufferSize));
    const ResponseCheck check = referenceCheck(cmd, reply);
    const bool expected = check == ResponseCheck::Accepted && quint8(reply[3]) != proto::StaRejected;
    KV350_FUZZ_CHECK(accepted == expected, accepted ? "accepted a reply the reference refuses" : "refused a reply");
    KV350_FUZZ_CHECK(checkResponse(cmd, reinterpret_cast<const std::uint8_t *>(reply.constData()), int(reply.size())) ==
                         check,
                     "checkResponse");
    if (check == ResponseCheck::Accepted || check == ResponseCheck::WrongCmd) {
        // Taken into ResponseBuffer; its CMD and STA are then judged.
        KV350_FUZZ_CHECK(link.ResponseLength() == reply.size(), "ResponseLength");
        const QByteArray buffer(reinterpret_cast<const char *>(link.ResponseBuffer().data()), reply.size());
        KV350_FUZZ_CHECK(buffer == reply, "ResponseBuffer holds other bytes");
        KV350_FUZZ_CHECK(link.responseData() == reply.mid(proto::OffRespData), "responseData");
    }
    if (accepted)
        KV350_FUZZ_CHECK(link.ResponseBuffer()[proto::OffCmd] == cmd, "success with another CMD");
    return 0;
}
