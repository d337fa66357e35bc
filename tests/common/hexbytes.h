#pragma once
// The tests' one way of writing bytes: hex("02 01 0D"). Spaces, and anything
// else that is not a hex digit, are skipped.

#include <QByteArray>

inline QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}
