// The virtual reader's request handling: every command with arbitrary DATA,
// and arbitrary frames, against readers of every model with and without cards.
//
// Input: a model byte, a cards byte (bit 0/1: MIFARE Classic 1K/4K, bits 2-3:
// EPC tags), then requests: a form byte (bit 0: the bytes are the whole frame
// as they stand), CMD, DATA (length-prefixed).
// Properties:
// - a frame that is not a request (02, LEN counting the rest, a CMD) gets no
//   reply; a request gets exactly one, a well-formed frame (02, LEN counting
//   the rest, the request's CMD, a STA); a command no module has gets STA 10;
// - identification answers with its fixed sizes, also in the boot loader;
// - a parameter written with its width reads back as the reply to the write
//   said; user data written reads back; a user data read has the length asked;
// - the reader's memory and logs keep their sizes;
// - the serial side's frame cutter finds the same frames however the bytes
//   on the wire are cut.
#include "common/protocol.h"
#include "fuzztarget.h"
#include "sim/core/cardkinds.h"
#include "sim/core/hardware.h"
#include "sim/core/identity.h"
#include "sim/core/simframe.h"
#include "sim/core/virtualreader.h"
#include "sim/modules/uhfmodule.h"

using namespace kv350;
using namespace kv350::fuzz;
using namespace kv350::sim;

namespace {

QByteArray modelFor(std::uint8_t b)
{
    const auto &models = sim::knownModels();
    if (b < 240)
        return models[b % models.size()];
    // Model texts no real reader has.
    static const QByteArray odd[] = {"", "kv350-mic", "KV350-U1    ", QByteArray("KV350-LF-X\0\0", 12), "X"};
    return odd[b % std::size(odd)];
}

QByteArray requestFrame(std::uint8_t cmd, const QByteArray &data)
{
    return QByteArray(1, char(proto::Stx)) + char(data.size() + 1) + char(cmd) + data;
}

bool wellFormed(const QByteArray &frame)
{
    return frame.size() >= 3 && quint8(frame[0]) == proto::Stx && quint8(frame[1]) == frame.size() - 2;
}

void checkReply(const QByteArray &request, const std::vector<QByteArray> &replies)
{
    if (!wellFormed(request)) {
        KV350_FUZZ_CHECK(replies.empty(), "a reply to a frame that is not a request");
        return;
    }
    KV350_FUZZ_CHECK(replies.size() == 1, std::to_string(replies.size()) + " replies to one request");
    const QByteArray &reply = replies.front();
    KV350_FUZZ_CHECK(reply.size() >= 4 && wellFormed(reply), "a reply that is not a frame");
    KV350_FUZZ_CHECK(reply[2] == request[2], "the reply echoes another CMD");
}

std::uint8_t statusOf(const std::vector<QByteArray> &replies)
{
    return replies.empty() ? 0xFF : quint8(replies.front()[proto::OffSta]);
}

QByteArray dataOf(const std::vector<QByteArray> &replies)
{
    return replies.empty() ? QByteArray() : replies.front().mid(proto::OffRespData);
}

}  // namespace

KV350_FUZZ_TARGET(reader)(const std::uint8_t *data, std::size_t size)
{
    ByteReader in(data, size);
    Identity identity;
    identity.model = modelFor(in.u8());
    VirtualReader reader(identity);
    const std::uint8_t cards = in.u8();
    if (cards & 1)
        placeCardKind(reader, QStringLiteral("mifare1k"), nullptr);
    if (cards & 2)
        placeCardKind(reader, QStringLiteral("mifare4k"), nullptr);
    for (int i = 0; i < (cards >> 2 & 3); ++i)
        placeCardKind(reader, QStringLiteral("epc"), nullptr);

    QByteArray wire;
    std::vector<QByteArray> sent;
    for (int i = 0; i < 64 && !in.atEnd(); ++i) {
        const bool raw = in.flag();
        const std::uint8_t cmd = in.u8();
        const QByteArray body = in.prefixed();
        const QByteArray request = raw ? QByteArray(1, char(cmd)) + body : requestFrame(cmd, body);
        wire += request;
        sent.push_back(request);

        const bool inBootLoader = reader.bootLoader().active();
        const std::vector<QByteArray> replies = reader.handle(request);
        checkReply(request, replies);
        if (!wellFormed(request))
            continue;
        const QByteArray requestData = request.mid(proto::OffReqData);
        const std::uint8_t sta = statusOf(replies);
        if (cmd >= 0x80)
            KV350_FUZZ_CHECK(sta == proto::StaRejected, "an unknown command was not refused");
        if (cmd == proto::CmdSerialNumber)
            KV350_FUZZ_CHECK(replies.front().size() == proto::SerialReplySize, "serial number reply size");
        if (cmd == proto::CmdModelVersion)
            KV350_FUZZ_CHECK(replies.front().size() == proto::ModelReplySize, "model reply size");
        if (!inBootLoader && !hasCommand(findHardware(reader.identity().model), cmd))
            KV350_FUZZ_CHECK(sta == proto::StaRejected, "a command the model lacks was not refused");

        if (inBootLoader || reader.bootLoader().active())
            continue;
        if (cmd == proto::CmdParameter && sta == proto::StaOk && requestData.size() > 1) {
            // A write: the reply carries the value held, and a read now says the same.
            const auto again = reader.handle(requestFrame(cmd, requestData.left(1)));
            KV350_FUZZ_CHECK(dataOf(again) == dataOf(replies), "a parameter read differs from the write's reply");
        }
        if (cmd == proto::CmdUserData && sta == proto::StaOk && requestData.size() == 3)
            KV350_FUZZ_CHECK(dataOf(replies).size() == quint8(requestData[2]), "a user data read of another length");
        if (cmd == proto::CmdUserData && sta == proto::StaOk && requestData.size() > 3) {
            const auto again = reader.handle(requestFrame(cmd, requestData.left(3)));
            KV350_FUZZ_CHECK(statusOf(again) == proto::StaOk && dataOf(again) == requestData.mid(3),
                             "user data does not read back");
        }
    }

    KV350_FUZZ_CHECK(reader.userMemory().size() == VirtualReader::UserMemorySize, "user memory changed size");
    for (const ParameterDef &def : ParameterStore::table())
        KV350_FUZZ_CHECK(reader.parameters().value(def.code).size() == def.width, "a parameter changed width");
    KV350_FUZZ_CHECK(reader.requests().size() <= VirtualReader::MaxLoggedRequests, "request log");
    KV350_FUZZ_CHECK(reader.uhf().texts().size() <= UhfModule::MaxLoggedTexts, "module text log");

    // The serial side cuts the same frames from the wire whole or byte by byte,
    // and finds exactly the requests when every one was well formed.
    StreamAssembler whole, bytewise;
    const std::vector<QByteArray> fromWhole = whole.feed(wire, 0);
    std::vector<QByteArray> fromBytes;
    for (char c : wire)
        for (const QByteArray &f : bytewise.feed(QByteArray(1, c), 0))
            fromBytes.push_back(f);
    KV350_FUZZ_CHECK(fromWhole == fromBytes, "the frame cutter depends on the cut");
    KV350_FUZZ_CHECK(whole.pendingBytes() == bytewise.pendingBytes(), "pending bytes depend on the cut");
    bool allWellFormed = true;
    for (const QByteArray &r : sent)
        allWellFormed = allWellFormed && wellFormed(r);
    if (allWellFormed)
        KV350_FUZZ_CHECK(fromWhole == sent, "the frame cutter lost or changed a request");
    return 0;
}
