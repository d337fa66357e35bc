#pragma once
#include "hexbytes.h"
#include "sim/core/faultplan.h"
#include "sim/core/virtualreader.h"

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

// A reader identity with this model and the default serial number and version.
inline Identity model(const char *name)
{
    Identity id;
    id.model = name;
    return id;
}

// A text for the UHF module (command 0x00), and the module's reply.
inline QByteArray moduleFrame(const QByteArray &text)
{
    return QByteArray(1, '\x02') + char(1 + text.size()) + '\0' + text;
}

inline QByteArray moduleReply(std::uint8_t sta, const QByteArray &data)
{
    return QByteArray(1, '\x02') + char(2 + data.size()) + '\0' + char(sta) + data;
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
