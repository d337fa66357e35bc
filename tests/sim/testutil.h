#pragma once
#include "faultplan.h"

#include <QByteArray>
#include <ostream>
#include <vector>

// Hex with any spacing: "02 01 0D".
inline QByteArray hex(const char *text)
{
    return QByteArray::fromHex(QByteArray(text));
}

inline void PrintTo(const QByteArray &bytes, std::ostream *os)
{
    *os << '[' << bytes.toHex(' ').toUpper().constData() << ']';
}

namespace kv350::sim {

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
