#pragma once
#include "hexbytes.h"
#include "faultplan.h"
#include "virtualreader.h"

#include <QByteArray>
#include <gtest/gtest.h>
#include <ostream>
#include <vector>

inline void PrintTo(const QByteArray &bytes, std::ostream *os)
{
    *os << '[' << bytes.toHex(' ').toUpper().constData() << ']';
}

namespace kv350::sim {

// The reader's answer to "02 01 0D" (serial number 12345678).
inline const QByteArray serialReply = hex("02 0A 0D 00 31 32 33 34 35 36 37 38");

// A request frame: STX, LEN, CMD, DATA.
inline QByteArray frame(std::uint8_t cmd, const QByteArray &data = {})
{
    return QByteArray(1, char(0x02)) + char(1 + data.size()) + char(cmd) + data;
}

// The one reply the reader gives to `request`.
inline QByteArray one(VirtualReader &reader, const QByteArray &request)
{
    const std::vector<QByteArray> replies = reader.handle(request);
    EXPECT_EQ(replies.size(), 1u) << request.toHex(' ').constData();
    return replies.empty() ? QByteArray() : replies.front();
}

inline void PrintTo(const Chunk &chunk, std::ostream *os)
{
    *os << "{+" << chunk.delayMs << "ms" << (chunk.continues ? " cont " : " ") << '['
        << chunk.bytes.toHex(' ').toUpper().constData() << "]}";
}

inline void PrintTo(const Fault &fault, std::ostream *os)
{
    *os << faultKindName(fault.kind);
}

}  // namespace kv350::sim
