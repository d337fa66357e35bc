#pragma once
// What the card pages share beyond the page layer's command helpers: hex
// boxes read as bytes, the MIFARE key type byte, the window held still.

#include "pages/pagecommands.h"
#include "cards/hextext.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <optional>

class QLineEdit;
class QWidget;

namespace kv350::cards {

// A hex box read as n bytes. When the text does not convert, the box goes
// back to its default text and the bytes are all FF; `ok` tells which.
struct HexField {
    QByteArray bytes;
    bool ok = true;
};
HexField ParseHexField(QLineEdit *box, int n, const QString &defaultText);

// The text a 16-byte block box goes back to when it does not convert.
inline const QString AllF = QString(32, QLatin1Char('F'));

// MIFARE key A or key B, as the reader's commands name them.
inline constexpr std::uint8_t KeyA = 0x60;
inline constexpr std::uint8_t KeyB = 0x61;
inline std::uint8_t KeyTypeByte(bool keyA)
{
    return keyA ? KeyA : KeyB;
}

// Keeps the main window disabled for a long run and enables it again on
// every way out, exceptions included.
class WindowDisabled {
public:
    explicit WindowDisabled(QWidget *anyWidget);
    ~WindowDisabled();
    WindowDisabled(const WindowDisabled &) = delete;
    WindowDisabled &operator=(const WindowDisabled &) = delete;

private:
    QWidget *m_window;
};

}  // namespace kv350::cards
