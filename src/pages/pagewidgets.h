#pragma once
// The widget helpers every page shares: a hex box read as bytes, and the
// window held still during a long run.

#include "cards/hextext.h"

#include <QByteArray>
#include <QString>

class QLineEdit;
class QWidget;

namespace kv350 {

// A hex box read as n bytes. When the text does not convert, the box goes
// back to its default text and the bytes are all FF; `ok` tells which.
struct HexField {
    QByteArray bytes;
    bool ok = true;
};
HexField ParseHexField(QLineEdit *box, int n, const QString &defaultText);

// The text a 16-byte block box goes back to when it does not convert.
inline const QString AllF = QString(32, QLatin1Char('F'));

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

}  // namespace kv350
