#pragma once

#include <QByteArray>

namespace kv350::sim {

// `bytes` cut or padded with zeros to exactly `size` bytes: how the cards and
// the parameter store take a value of the wrong length.
inline QByteArray fitted(QByteArray bytes, int size)
{
    bytes.resize(size, '\0');
    return bytes;
}

}  // namespace kv350::sim
