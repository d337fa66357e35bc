#pragma once
// Hex text typed into a card page's boxes, read as bytes. No widgets: the
// pages, kv350ctl and the tests share it.

#include <QByteArray>
#include <QString>
#include <optional>

namespace kv350::cards {

// n bytes from hex text, two characters to a byte from the start; a last
// single digit counts as one byte ("F" is 0F). Empty when a character is not
// a hex digit or the text runs out before n bytes.
std::optional<QByteArray> parseHexBytes(const QString &text, int n);

}  // namespace kv350::cards
