// The UHF module's ASCII command parser, behind command 0x00 of the virtual
// reader, given texts plain, wrapped as the Command page wraps them, or as raw
// DATA.
//
// Input: a model byte, a tags byte (bits 0-1: tags in the field, bit 2: the
// first tag's EPC bank locked, bit 3: its USER bank locked), then texts: a
// form byte (0 plain, 1 wrapped by the Command page, 2 raw DATA), the text
// (length-prefixed).
// Properties:
// - a reader without the module refuses with STA 10; with it, STA 00 comes
//   with "<letter>:OK" CR or R and four hex digits per word read, STA 01 with
//   "<letter>:<reason>" CR;
// - a text sent wrapped by the Command page is answered exactly as the same
//   text sent plain (two readers, one given each form);
// - words written read back (the EPC bank's word 0 is the tag's own CRC);
//   radio registers written hold the bytes.
#include "common/protocol.h"
#include "console/requesttext.h"
#include "fuzztarget.h"
#include "link/frame.h"
#include "sim/core/virtualreader.h"
#include "sim/modules/uhfmodule.h"

#include <QList>

using namespace kv350;
using namespace kv350::fuzz;
using namespace kv350::sim;

namespace {

QByteArray moduleRequest(const QByteArray &text)
{
    return QByteArray(1, char(proto::Stx)) + char(text.size() + 1) + char(proto::CmdModule) + text;
}

// DATA of the Command page's wrapped module text.
QByteArray wrapped(const QByteArray &text)
{
    return parseFrameText(console::asciiRequestData(QString::fromLatin1(text)).value_or(QString()));
}

bool isUpperHex(const QByteArray &text)
{
    for (char c : text)
        if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F')))
            return false;
    return true;
}

struct Answer {
    std::uint8_t sta = 0xFF;
    QByteArray data;
    bool operator==(const Answer &) const = default;
};

Answer ask(VirtualReader &reader, const QByteArray &moduleData)
{
    const QByteArray request = moduleRequest(moduleData);
    const std::vector<QByteArray> replies = reader.handle(request);
    KV350_FUZZ_CHECK(replies.size() == 1, "one reply per request");
    const QByteArray &r = replies.front();
    KV350_FUZZ_CHECK(r.size() >= 4 && quint8(r[0]) == proto::Stx && quint8(r[1]) == r.size() - 2 &&
                         quint8(r[2]) == proto::CmdModule,
                     "a reply that is not a frame of command 00");
    return {quint8(r[proto::OffSta]), r.mid(proto::OffRespData)};
}

void checkAnswer(const Answer &a, bool fitted)
{
    if (!fitted) {
        KV350_FUZZ_CHECK(a.sta == proto::StaRejected && a.data.isEmpty(), "a reader without the module answered");
        return;
    }
    if (a.sta == proto::StaOk) {
        const bool done = a.data.size() == 5 && a.data.mid(1) == ":OK\r" && QByteArray("WxZA").contains(a.data[0]);
        const bool words = a.data.startsWith('R') && (a.data.size() - 1) % 4 == 0 && a.data.size() > 1 &&
                           isUpperHex(a.data.mid(1));
        KV350_FUZZ_CHECK(done || words, "STA 00 without an OK or words");
        return;
    }
    KV350_FUZZ_CHECK(a.sta == proto::StaFailed, "STA " + std::to_string(a.sta));
    static const QList<QByteArray> reasons = {"SYNTAX", "CHECK", "BANK", "ADDR", "LEN", "DATA", "LOCKED", "NOTAG"};
    KV350_FUZZ_CHECK(a.data.size() >= 4 && a.data[1] == ':' && a.data.endsWith('\r') &&
                         reasons.contains(a.data.mid(2, a.data.size() - 3)),
                     "a refusal without its letter, reason and CR");
}

void setUp(VirtualReader &reader, std::uint8_t tags)
{
    for (int i = 0; i < (tags & 3); ++i)
        reader.uhf().placeTag(EpcTag::numbered(i + 1));
    if (reader.uhf().tagCount() > 0) {
        reader.uhf().tag(0).setLocked(TagBank::Epc, tags & 4);
        reader.uhf().tag(0).setLocked(TagBank::User, tags & 8);
    }
}

}  // namespace

KV350_FUZZ_TARGET(uhf)(const std::uint8_t *data, std::size_t size)
{
    ByteReader in(data, size);
    static const QByteArray models[] = {"KV350-U1", "KV350-MIC-X", "KV350-LF-X", "KV350-MIC"};
    Identity identity;
    identity.model = models[in.u8() % 4];
    const bool fitted = UhfModule::tagsIn(identity.model) || UhfModule::radioTestIn(identity.model);
    const std::uint8_t tags = in.u8();
    // Twins: one is sent each text plain, the other wrapped, where a text can go both ways.
    VirtualReader plain(identity), twin(identity);
    setUp(plain, tags);
    setUp(twin, tags);

    for (int i = 0; i < 32 && !in.atEnd(); ++i) {
        const int form = in.u8() % 3;
        const QByteArray text = in.prefixed().left(250);  // a frame's DATA holds 254 bytes
        const bool bothWays = form != 2 && text.size() <= console::MaxAsciiRequest && !text.startsWith('\x01') &&
                              !text.endsWith('\r');
        Answer a;
        if (bothWays) {
            a = ask(plain, text);
            const Answer b = ask(twin, wrapped(text));
            KV350_FUZZ_CHECK(a == b, "a wrapped text is answered otherwise than the plain one");
        } else {
            const QByteArray moduleData = form == 1 ? wrapped(text) : text;
            a = ask(plain, moduleData);
            KV350_FUZZ_CHECK(ask(twin, moduleData) == a, "twins answer differently");
        }
        checkAnswer(a, fitted);
        if (!fitted || a.sta != proto::StaOk || !bothWays || !text.startsWith('W'))
            continue;

        const QList<QByteArray> parts = text.mid(1).split(',');
        if (parts.size() == 4) {
            const QByteArray read = "R" + parts[0] + ',' + parts[1] + ',' + parts[2];
            const Answer back = ask(plain, read);
            KV350_FUZZ_CHECK(ask(twin, read) == back, "twins read differently");
            const bool crcWord = parts[0] == "1" && parts[1].toInt() == 0;
            if (!crcWord)
                KV350_FUZZ_CHECK(back.sta == proto::StaOk && back.data == "R" + parts[3].toUpper(),
                                 "written words do not read back");
        } else if (parts.size() == 1) {
            const int first = text.mid(1, 2).toInt(nullptr, 16);
            const QByteArray bytes = QByteArray::fromHex(text.mid(5));
            for (int r = 0; r < bytes.size(); ++r)
                KV350_FUZZ_CHECK(plain.uhf().radio().reg(first + r) == quint8(bytes[r]), "radio register");
        }
    }
    return 0;
}
