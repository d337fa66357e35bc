#pragma once
// An NDEF reading of a Type 2 tag's bytes from page 3 on, written for the
// tests from the NFC Forum layout and kept apart from the program's own
// parser: capability container, then TLVs; the first NDEF message must be one
// short well-known "U" record whose lengths match the message exactly, with a
// terminator TLV behind it. Returns the URI, or a text saying what is wrong.

#include <QByteArray>
#include <QString>
#include <cstdint>

namespace kv350::testing {

inline QString readUri(const QByteArray &pages3on)
{
    const auto b = [&](int i) { return i < pages3on.size() ? int(std::uint8_t(pages3on[i])) : -1; };
    if (b(0) != 0xE1)
        return "no NDEF magic number";
    if ((b(1) >> 4) != 1)
        return "unknown major version";
    const int dataSize = b(2) * 8;
    int i = 4;
    while (i < 4 + dataSize && i < pages3on.size()) {
        const int tag = b(i);
        if (tag == 0x00) {  // NULL TLV
            ++i;
            continue;
        }
        if (tag == 0xFE)
            return "terminator before any message";
        const int len = b(i + 1);
        if (tag != 0x03) {  // lock/memory control and others: skip
            i += 2 + len;
            continue;
        }
        if (len == 0)
            return "empty NDEF message";
        if (i + 2 + len > 4 + dataSize)
            return "message longer than the data area";
        const int r = i + 2;
        const int header = b(r);
        if (!(header & 0x80) || !(header & 0x40) || !(header & 0x10) || (header & 0x07) != 1)
            return "not one short well-known record";
        const int typeLength = b(r + 1), payloadLength = b(r + 2);
        if (typeLength != 1 || b(r + 3) != 'U')
            return "not a URI record";
        if (3 + typeLength + payloadLength != len)
            return "record and message lengths differ";
        if (b(r + len) != 0xFE)
            return "no terminator after the message";
        const QByteArray payload = pages3on.mid(r + 4, payloadLength);
        if (payload.size() != payloadLength || payloadLength < 1)
            return "payload cut short";
        const char *const prefixes[] = {"", "http://www.", "https://www.", "http://", "https://", "tel:", "mailto:"};
        const int code = std::uint8_t(payload.at(0));
        if (code >= int(std::size(prefixes)))
            return "identifier code outside the test's table";
        return QString::fromLatin1(prefixes[code]) + QString::fromUtf8(payload.mid(1));
    }
    return "no NDEF message";
}

}  // namespace kv350::testing
