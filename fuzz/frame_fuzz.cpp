// The serial frame recogniser: a byte stream cut into arbitrary pieces.
//
// Input: a count of cuts, that many piece lengths (1..256), then the stream.
// Properties:
// - FrameCollector, fed the stream byte by byte and reset after every frame,
//   finds exactly the frames of the reference below;
// - ReadSerialFrame finds the same first frame however the stream is cut
//   (the fuzzer's cut, one piece, single bytes), except that a piece of more
//   than 256 waiting bytes is discarded whole (a flood, not a reply);
// - what it returns is a complete frame with a 0 behind it inside the 256-byte
//   buffer, and it never waits past its 500 ms window.
#include "fakedevices.h"
#include "fuzztarget.h"
#include "link/frame.h"
#include "link/serialtransport.h"

#include <memory>
#include <vector>

using namespace kv350;
using namespace kv350::fuzz;

namespace {

constexpr int Lap = proto::BufferSize;

// The recogniser stated another way: from the first 02 on, bytes are stored in
// laps of 256; after c bytes the current lap started at c / 256 * 256, holds
// m = c % 256 bytes, and is a frame once m > 2 and its second byte is m - 2.
// The frame is that lap's bytes. After a frame the search starts afresh.
std::vector<QByteArray> referenceFrames(const QByteArray &stream)
{
    std::vector<QByteArray> frames;
    qsizetype from = 0;
    while (from < stream.size()) {
        const qsizetype start = stream.indexOf(char(proto::Stx), from);
        if (start < 0)
            break;
        qsizetype end = -1;
        for (qsizetype t = start; t < stream.size(); ++t) {
            const qsizetype count = t - start + 1;
            const qsizetype lapStart = start + count / Lap * Lap;
            const qsizetype m = count % Lap;
            if (m > 2 && quint8(stream[lapStart + 1]) == m - 2) {
                frames.push_back(stream.mid(lapStart, m));
                end = t;
                break;
            }
        }
        if (end < 0)
            break;
        from = end + 1;
    }
    return frames;
}

QByteArray firstFrame(const QByteArray &stream)
{
    const std::vector<QByteArray> frames = referenceFrames(stream);
    return frames.empty() ? QByteArray() : frames.front();
}

// One ReadSerialFrame over pieces arriving 1 ms apart.
QByteArray readOnce(const std::vector<QByteArray> &pieces)
{
    VirtualTime time;
    ScriptedSerial port(time);
    port.open(QStringLiteral("fuzz"));
    for (std::size_t i = 0; i < pieces.size(); ++i)
        port.add({qint64(i + 1), pieces[i]});
    SerialTransport transport(port, time);
    // Exactly the size of ResponseBuffer, on the heap, so that a write past it is caught.
    const auto buffer = std::make_unique<std::uint8_t[]>(proto::BufferSize);
    const int n = transport.ReadSerialFrame(buffer.get());
    KV350_FUZZ_CHECK(time.nowMs() <= SerialTransport::ReplyWindowMs, "read past its window");
    if (n == 0)
        return {};
    KV350_FUZZ_CHECK(n >= 3 && n < proto::BufferSize, "frame of " + std::to_string(n) + " bytes");
    KV350_FUZZ_CHECK(buffer[1] == n - 2, "LEN does not match the count");
    KV350_FUZZ_CHECK(buffer[n] == 0, "no 0 behind the frame");
    return QByteArray(reinterpret_cast<const char *>(buffer.get()), n);
}

QByteArray joinedReplies(const std::vector<QByteArray> &pieces)
{
    QByteArray kept;
    for (const QByteArray &p : pieces)
        if (p.size() <= SerialTransport::MaxWaiting)
            kept += p;
    return kept;
}

}  // namespace

KV350_FUZZ_TARGET(frame)(const std::uint8_t *data, std::size_t size)
{
    ByteReader in(data, size);
    std::vector<int> lengths(in.u8() % 33);
    for (int &length : lengths)
        length = in.u8() + 1;
    const QByteArray stream = in.rest().left(4096);

    const std::vector<QByteArray> expected = referenceFrames(stream);
    std::vector<QByteArray> found;
    FrameCollector collector;
    for (char c : stream) {
        if (collector.push(std::uint8_t(c))) {
            found.emplace_back(reinterpret_cast<const char *>(collector.data()), collector.stored());
            collector.reset();
        }
        KV350_FUZZ_CHECK(collector.stored() >= 0 && collector.stored() < Lap, "store index out of the buffer");
    }
    KV350_FUZZ_CHECK(found == expected, "FrameCollector differs from the reference");

    // The fuzzer's cut; the rest of the stream is the last piece.
    std::vector<QByteArray> pieces;
    qsizetype at = 0;
    for (int length : lengths) {
        if (at >= stream.size())
            break;
        pieces.push_back(stream.mid(at, length));
        at += length;
    }
    if (at < stream.size())
        pieces.push_back(stream.mid(at));
    KV350_FUZZ_CHECK(readOnce(pieces) == firstFrame(joinedReplies(pieces)), "the fuzzer's cut");

    if (!stream.isEmpty() && stream.size() <= SerialTransport::MaxWaiting)
        KV350_FUZZ_CHECK(readOnce({stream}) == firstFrame(stream), "one piece");
    if (stream.size() < SerialTransport::ReplyWindowMs) {
        std::vector<QByteArray> single;
        for (char c : stream)
            single.emplace_back(1, c);
        KV350_FUZZ_CHECK(readOnce(single) == firstFrame(stream), "single bytes");
    }
    return 0;
}
