#pragma once
// The radio module page's texts, as free functions. Every module command is an
// ASCII text ending with CR, carried in command 0x00.

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <optional>

namespace kv350::rftest {

inline constexpr int ModuleResponseLimit = 64;
inline constexpr int ChannelLow = 62;
inline constexpr int ChannelMid = 248;
inline constexpr int ChannelHigh = 385;
// The automatic test: pauses around the start and stop texts, and between polls.
inline constexpr int TestTextPauseMs = 100;
inline constexpr int TestPollPauseMs = 5;
// A result frame: at least this long, its line in DATA bytes 0..15.
inline constexpr int TestResultMinSize = 27;
inline constexpr int TestLineChars = 16;

inline const QByteArray TextTx = QByteArrayLiteral("x01\r");
inline const QByteArray TextRx = QByteArrayLiteral("x02\r");
inline const QByteArray TextModulation = QByteArrayLiteral("W090145\r");
inline const QByteArray TextNoModulation = QByteArrayLiteral("W090105\r");
inline const QByteArray TextReboot = QByteArrayLiteral("Zx\r");
inline const QByteArray TextInitial = QByteArrayLiteral("Zi\r");
inline const QByteArray TextTestStart = QByteArrayLiteral("A3\r");
inline const QByteArray TextTestStop = QByteArrayLiteral("A0\r");

// 02, LEN, 00 and the text.
QByteArray radioRequest(const QByteArray &text);
// W, the register and the byte count as two hex digits each, the bytes as
// "%02X" each, CR.
QByteArray registerText(std::uint8_t reg, const QByteArray &bytes);
// W3001 and the PA position as two hex digits.
QByteArray paText(int position);

// Set Channel's two texts: the half (W0E035BC494 for 1..256, W0E035E3B13 for
// 257..512), then W0B01 and the channel within that half.
struct ChannelTexts {
    QByteArray half;
    QByteArray channel;
};
ChannelTexts channelTexts(int channel);

// The line of a result frame: DATA bytes 0..15 up to the first zero byte.
// Nothing for a frame shorter than 27 bytes or with STA other than 0.
std::optional<QString> testLine(const std::uint8_t *frame, int length);

}  // namespace kv350::rftest
