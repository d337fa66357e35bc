#pragma once
// What the card pages share: hex boxes read as bytes, the one retry after a
// failed transaction, and the MIFARE key type byte.

#include "app/pagecontext.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <optional>

class QLabel;
class QLineEdit;
class QWidget;

namespace kv350::cards {

// n bytes from hex text, two characters to a byte from the start; a last
// single digit counts as one byte ("F" is 0F). Empty when a character is not
// a hex digit or the text runs out before n bytes.
std::optional<QByteArray> parseHexBytes(const QString &text, int n);

// A hex box read as n bytes. When the text does not convert, the box goes
// back to its default text and the bytes are all FF; `ok` tells which.
struct HexField {
    QByteArray bytes;
    bool ok = true;
};
HexField ParseHexField(QLineEdit *box, int n, const QString &defaultText);

// The text a 16-byte block box goes back to when it does not convert.
inline const QString AllF = QString(32, QLatin1Char('F'));

// ExecuteCommand, and once more after 200 ms when it failed.
inline constexpr int RetryWaitMs = 200;
bool ExecuteWithRetry(PageContext &context, const QByteArray &request, int responseLimit);

// One card command and how it went: Failed when no reply was accepted (or
// the accepted one is too short to hold `minData` bytes of DATA), NoCard when
// the reader answered with a non-zero STA (no card, key refused).
enum class CardResult { Failed, NoCard, Done };
CardResult cardCommand(PageContext &context, const QByteArray &request, int responseLimit, int minData = 0);
// "Command Error!", "No Card or Key Error!" or "Command Done.".
void report(PageContext &context, CardResult result);

// One step of a long run (Read All, the dump, the loop test): the command with
// its one retry, and the line's result text: "Error", "No Card", or the first
// 16 DATA bytes in hex.
CardResult runStep(PageContext &context, const QByteArray &request, int responseLimit);
QString runStepText(PageContext &context, CardResult result);
// The end of a run: the last step decides; a run of no step checked nothing.
void reportRun(PageContext &context, int steps, bool lastStepDone);

// MIFARE key A or key B, as the reader's commands name them.
inline constexpr std::uint8_t KeyA = 0x60;
inline constexpr std::uint8_t KeyB = 0x61;
inline std::uint8_t KeyTypeByte(bool keyA)
{
    return keyA ? KeyA : KeyB;
}

// The trailer guard as the pages apply it before a MIFARE block goes out.
// True: the write may be sent (not a trailer, a trailer that makes nothing
// permanent, or the user said Yes). False: nothing may be sent, and the page
// has said why: an invalid trailer is "Command Error!" with the reason shown
// in `problem`; a No leaves the panel saying that nothing was sent.
bool trailerWriteAllowed(PageContext &context, int sector, int block, const QByteArray &data16, QLabel *problem);

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
