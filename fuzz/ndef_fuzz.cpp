// The NTAG page's URL record: the parser (cards/ntag/ndef) on any bytes a tag
// may hold, and the builder on any text.
//
// Input: a length byte and that many bytes of text (UTF-8), then the bytes of
// a tag from page 3 on.
// Properties:
// - the parser stays inside the bytes it is given: a header and record bytes
//   that are slices of the input, a damaged byte inside the announced data area;
// - read four pages at a time, as the page reads: once an answer is not
//   "read more", more bytes do not change it;
// - a text the builder takes comes back from the parser as its URL, prefix
//   expanded, and every state the writes leave on a tag on the way is an empty
//   message or that URL; nothing is written past page 39;
// - a text the builder refuses as too long has a first part of the length it
//   says fits, which the builder takes, and one character more it does not.
#include "cards/ntag/ndef.h"
#include "fuzztarget.h"

#include <algorithm>

using namespace kv350;
using namespace kv350::fuzz;
using namespace kv350::cards;

namespace {

void checkParser(const QByteArray &tag)
{
    const UrlReading full = readUrlRecord(tag);
    if (full.status == UrlReadStatus::Url) {
        KV350_FUZZ_CHECK(tag.startsWith(full.header), "header not taken from the tag");
        KV350_FUZZ_CHECK(tag.mid(full.header.size()).startsWith(full.recordBytes), "record bytes not the tag's");
        KV350_FUZZ_CHECK(full.url.startsWith(uriPrefix(full.code)), "prefix not expanded");
    }
    if (full.status == UrlReadStatus::Damaged)
        KV350_FUZZ_CHECK(full.damagedAt >= 4 && full.damagedAt < 4 + std::uint8_t(tag.at(2)) * 8,
                         "damaged outside the data area");
    for (int read = 16; read < tag.size(); read += 16) {
        const UrlReading part = readUrlRecord(tag.left(read));
        if (part.status == UrlReadStatus::NeedMore)
            continue;
        KV350_FUZZ_CHECK(part.status == full.status && part.url == full.url && part.damagedAt == full.damagedAt,
                         "an answer changed with more bytes, after " + std::to_string(read));
        break;
    }
}

void checkBuilder(const QString &text)
{
    const UrlBuild b = buildUrlRecord(text);
    const bool control = std::any_of(text.begin(), text.end(),
                                     [](QChar c) { return c.unicode() < 0x20 || c.unicode() == 0x7F; });
    KV350_FUZZ_CHECK((b.problem == UrlProblem::ControlCharacter) == (control && !text.isEmpty()), "control");
    if (b.problem == UrlProblem::TooLong) {
        KV350_FUZZ_CHECK(b.fits < text.size(), "fits all of a text too long");
        KV350_FUZZ_CHECK(buildUrlRecord(text.left(b.fits)).problem != UrlProblem::TooLong || b.fits == 0,
                         "what fits does not");
        const int next = b.fits + (text.at(b.fits).isHighSurrogate() ? 2 : 1);
        KV350_FUZZ_CHECK(buildUrlRecord(text.left(next)).problem == UrlProblem::TooLong, "one character more fits");
        return;
    }
    if (b.problem != UrlProblem::None)
        return;
    const UriPrefix p = uriPrefixOf(text);
    const QString expected = p.code == 0x01 && p.length == 0 ? QStringLiteral("http://www.") + text : text;
    KV350_FUZZ_CHECK(b.record.image.size() <= 4 + NdefDataAreaSize, "record beyond the data area");
    const UrlReading r = readUrlRecord(b.record.image);
    KV350_FUZZ_CHECK(r.status == UrlReadStatus::Url && r.url == expected, "the record does not read back");

    QByteArray tag(37 * 4, '\x5A');  // pages 3-39 holding something else
    tag.replace(0, 4, QByteArray::fromHex("E1101200"));
    const std::vector<PageWrite> writes = urlWrites(b.record);
    for (std::size_t k = 0; k < writes.size(); ++k) {
        const PageWrite &w = writes[k];
        KV350_FUZZ_CHECK(w.page >= NdefFirstPage && w.page + 3 <= NdefLastPage && w.data.size() == 16, "page");
        tag.replace((w.page - NdefFirstPage) * 4, 16, w.data);
        const UrlReading now = readUrlRecord(tag);
        const bool last = k + 1 == writes.size();
        KV350_FUZZ_CHECK(last ? now.url == expected : now.status == UrlReadStatus::NoMessage,
                         "the tag between writes, after write " + std::to_string(k));
    }
}

}  // namespace

KV350_FUZZ_TARGET(ndef)(const std::uint8_t *data, std::size_t size)
{
    ByteReader in(data, size);
    checkBuilder(QString::fromUtf8(in.prefixed()));
    checkParser(in.rest());
    return 0;
}
