#include "ndef.h"

#include <algorithm>

namespace kv350::cards {
namespace {

// The NFC Forum URI record type's identifier codes 0x00-0x23.
// clang-format off
const char *const UriPrefixes[] = {
    "",           "http://www.", "https://www.", "http://",     "https://",    "tel:",
    "mailto:",    "ftp://anonymous:anonymous@", "ftp://ftp.", "ftps://",     "sftp://",     "smb://",
    "nfs://",     "ftp://",      "dav://",      "news:",       "telnet://",   "imap:",
    "rtsp://",    "urn:",        "pop:",        "sip:",        "sips:",       "tftp:",
    "btspp://",   "btl2cap://",  "btgoep://",   "tcpobex://",  "irdaobex://", "file://",
    "urn:epc:id:", "urn:epc:tag:", "urn:epc:pat:", "urn:epc:raw:", "urn:epc:", "urn:nfc:",
};
// clang-format on

// The prefixes the writer abbreviates, longest first where one begins another.
constexpr std::uint8_t Abbreviated[] = {0x02, 0x01, 0x04, 0x03};

constexpr std::uint8_t CcMagic = 0xE1;
constexpr std::uint8_t TlvNull = 0x00, TlvNdefMessage = 0x03, TlvTerminator = 0xFE;
constexpr std::uint8_t RecordShortWellKnown = 0xD1;  // MB, ME, SR, TNF 1
constexpr int TlvLengthAt = 10;                      // the NDEF Message TLV's length byte in the image

const QByteArray CapabilityContainer = QByteArray::fromHex("E1101200");
const QByteArray LockControlTlv = QByteArray::fromHex("0103A01044");

// "scheme:" as RFC 3986 spells it; a dot before the colon reads as a host
// name with a port ("example.com:8080/"), not a scheme.
bool startsWithScheme(const QString &url)
{
    const int colon = int(url.indexOf(QLatin1Char(':')));
    if (colon < 1 || !url.at(0).isLetter() || url.at(0).unicode() > 0x7F)
        return false;
    for (int i = 1; i < colon; ++i) {
        const QChar c = url.at(i);
        const bool ascii = c.unicode() < 0x80;
        if (!ascii || !(c.isLetterOrNumber() || c == QLatin1Char('+') || c == QLatin1Char('-')))
            return false;
    }
    return true;
}

}  // namespace

QString uriPrefix(std::uint8_t code)
{
    return code < std::size(UriPrefixes) ? QLatin1String(UriPrefixes[code]) : QString();
}

UriPrefix uriPrefixOf(const QString &url)
{
    for (std::uint8_t code : Abbreviated) {
        const QString prefix = uriPrefix(code);
        if (url.startsWith(prefix))
            return {code, int(prefix.size())};
    }
    if (startsWithScheme(url))
        return {0x00, 0};
    return {0x01, 0};
}

UrlBuild buildUrlRecord(const QString &url)
{
    UrlBuild build;
    if (url.isEmpty()) {
        build.problem = UrlProblem::Empty;
        return build;
    }
    if (std::any_of(url.begin(), url.end(), [](QChar c) { return c.unicode() < 0x20 || c.unicode() == 0x7F; })) {
        build.problem = UrlProblem::ControlCharacter;
        return build;
    }
    const UriPrefix prefix = uriPrefixOf(url);
    const QByteArray uri = url.mid(prefix.length).toUtf8();
    if (uri.size() > MaxUriBytes) {
        build.problem = UrlProblem::TooLong;
        // Whole characters only: one outside ASCII takes two to four bytes.
        int bytes = 0, fits = prefix.length;
        for (int i = prefix.length; i < url.size();) {
            const int units = url.at(i).isHighSurrogate() && i + 1 < url.size() ? 2 : 1;
            bytes += int(url.mid(i, units).toUtf8().size());
            if (bytes > MaxUriBytes)
                break;
            i += units;
            fits = i;
        }
        build.fits = fits;
        return build;
    }
    UrlRecord &r = build.record;
    r.code = prefix.code;
    r.uri = uri;
    const int payload = 1 + int(uri.size());
    r.image = CapabilityContainer + LockControlTlv;
    r.image += char(TlvNdefMessage);
    r.image += char(4 + payload);  // record header, type length, payload length, type
    r.image += char(RecordShortWellKnown);
    r.image += char(1);
    r.image += char(payload);
    r.image += 'U';
    r.image += char(r.code);
    r.image += uri;
    r.image += char(TlvTerminator);
    return build;
}

std::vector<PageWrite> urlWrites(const UrlRecord &record)
{
    constexpr int Chunk = 16, PagesPerChunk = 4;
    constexpr int LastStart = NdefLastPage - PagesPerChunk + 1;  // 36: pages 36-39
    QByteArray image = record.image;
    const int chunks = (int(image.size()) + Chunk - 1) / Chunk;
    image.append(QByteArray(chunks * Chunk - image.size(), '\0'));
    std::vector<PageWrite> writes;
    for (int k = 0; k < chunks; ++k) {
        const int page = std::min(NdefFirstPage + k * PagesPerChunk, LastStart);
        const int offset = (page - NdefFirstPage) * 4;
        QByteArray data = image.mid(offset, Chunk);
        data.append(QByteArray(Chunk - data.size(), '\0'));
        writes.push_back({page, data});
    }
    // An empty message first; the record's length only once the record is all there.
    PageWrite empty = writes.front();
    empty.data[TlvLengthAt] = '\0';
    writes.insert(writes.begin(), empty);
    if (writes.size() > 2)
        std::rotate(writes.begin() + 1, writes.begin() + 2, writes.end());
    return writes;
}

UrlReading readUrlRecord(const QByteArray &b)
{
    UrlReading r;
    const auto at = [&b](int i) { return std::uint8_t(b.at(i)); };
    const int size = int(b.size());
    if (size < 4)
        return r;  // NeedMore
    if (at(0) != CcMagic || (at(1) >> 4) != 1) {
        r.status = UrlReadStatus::NoCapabilityContainer;
        return r;
    }
    const int end = 4 + at(2) * 8;  // the data area, as the tag announces it
    const auto damaged = [&r](int byte) {
        r.status = UrlReadStatus::Damaged;
        r.damagedAt = byte;
        return r;
    };
    // Byte k is needed: false when it is still to be read (NeedMore) or lies
    // beyond the data area (Damaged, at the TLV or record that wants it).
    int where = 4;
    const auto have = [&](int k) {
        if (k < size && k < end)
            return true;
        if (k >= end)
            damaged(where);
        return false;
    };
    int i = 4;
    while (i < end) {
        where = i;
        if (!have(i))
            return r;
        const std::uint8_t tag = at(i);
        if (tag == TlvNull) {
            ++i;
            continue;
        }
        if (tag == TlvTerminator)
            break;
        // The length: one byte, or FF and two more.
        if (!have(i + 1))
            return r;
        int length = at(i + 1), value = i + 2;
        if (length == 0xFF) {
            if (!have(i + 3))
                return r;
            length = at(i + 2) << 8 | at(i + 3);
            value = i + 4;
        }
        if (value + length > end)
            return damaged(i);
        if (tag != TlvNdefMessage) {  // Lock Control, Memory Control, proprietary
            i = value + length;
            continue;
        }
        if (length == 0)
            break;
        const int messageEnd = value + length;
        if (messageEnd > size || (messageEnd < end && messageEnd >= size))
            return r;  // the message, and the byte after it, are still to be read
        for (int p = value; p < messageEnd;) {
            const std::uint8_t header = at(p);
            const bool shortRecord = header & 0x10, hasId = header & 0x08, chunked = header & 0x20;
            int q = p + 1;
            const int lengthsEnd = q + 1 + (shortRecord ? 1 : 4) + (hasId ? 1 : 0);
            if (lengthsEnd > messageEnd)
                return damaged(p);
            const int typeLength = at(q++);
            qint64 payloadLength = 0;
            for (int n = 0; n < (shortRecord ? 1 : 4); ++n)
                payloadLength = payloadLength << 8 | at(q++);
            const int idLength = hasId ? at(q++) : 0;
            const qint64 recordEnd = qint64(q) + typeLength + idLength + payloadLength;
            if (recordEnd > messageEnd)
                return damaged(p);
            const QByteArray type = b.mid(q, typeLength);
            const int payload = q + typeLength + idLength;
            if ((header & 0x07) == 1 && type == "U" && !chunked) {
                if (payloadLength < 1)
                    return damaged(p);
                r.status = UrlReadStatus::Url;
                r.code = at(payload);
                r.header = b.left(payload + 1);
                r.recordBytes = b.mid(payload + 1, int(payloadLength) - 1);
                // The terminator belongs to the bytes shown when it follows the record directly.
                if (recordEnd == messageEnd && messageEnd < size && at(messageEnd) == TlvTerminator)
                    r.recordBytes += char(TlvTerminator);
                r.url = uriPrefix(r.code) + QString::fromUtf8(r.recordBytes.left(int(payloadLength) - 1));
                return r;
            }
            if (header & 0x40)  // the message's last record
                break;
            p = int(recordEnd);
        }
        r.status = UrlReadStatus::NoUriRecord;
        return r;
    }
    r.status = UrlReadStatus::NoMessage;
    return r;
}

QString urlProblemText(const UrlBuild &build, const QString &url, const TextLookup &text)
{
    switch (build.problem) {
    case UrlProblem::None:
        break;
    case UrlProblem::Empty:
        return text(QStringLiteral("Type a URL first. Nothing was written."));
    case UrlProblem::ControlCharacter:
        return text(QStringLiteral("A URL cannot hold control characters (such as CR, LF or NUL). Nothing was "
                                   "written."));
    case UrlProblem::TooLong:
        return text(QStringLiteral("The URL is too long for the tag: %1 of its %2 characters fit. Nothing was "
                                   "written."))
            .arg(build.fits)
            .arg(url.size());
    }
    return {};
}

std::optional<UrlReading> readUrlFromTag(const std::function<std::optional<QByteArray>(int page)> &read16)
{
    QByteArray bytes;  // from page 3 on
    UrlReading reading;
    // The capability container bounds the reads; a page number that no longer fits its byte ends them.
    for (int page = NdefFirstPage; reading.status == UrlReadStatus::NeedMore; page += 4) {
        if (page > 0xFF) {
            reading.status = UrlReadStatus::Damaged;
            reading.damagedAt = int(bytes.size());
            reading.header = bytes.left(UrlHeaderSize);
            break;
        }
        const std::optional<QByteArray> more = read16(page);
        if (!more)
            return std::nullopt;
        bytes += more->left(16);
        reading = readUrlRecord(bytes);
    }
    if (reading.status != UrlReadStatus::Url)
        reading.header = bytes.left(UrlHeaderSize);  // what is there, shown as bytes
    return reading;
}

QString urlReadingText(const UrlReading &reading, const TextLookup &text)
{
    switch (reading.status) {
    case UrlReadStatus::Url:
    case UrlReadStatus::NeedMore:
        break;
    case UrlReadStatus::NoCapabilityContainer:
        return text(QStringLiteral("The tag holds no URL record: page 3 holds no NDEF capability container."));
    case UrlReadStatus::NoMessage:
        return text(QStringLiteral("The tag holds no URL record: it holds no NDEF message."));
    case UrlReadStatus::NoUriRecord:
        return text(QStringLiteral("The tag holds no URL record: its NDEF message holds no URI record."));
    case UrlReadStatus::Damaged:
        return text(QStringLiteral("The tag holds no readable URL record: its NDEF data is damaged at page %1."))
            .arg(NdefFirstPage + reading.damagedAt / 4);
    }
    return {};
}

}  // namespace kv350::cards
