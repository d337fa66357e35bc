#pragma once
// ISO 15693 requests of the ISO 15693 page, without widgets.

#include <QByteArray>
#include <optional>

namespace kv350::cards {

inline constexpr int IsoUidSize = 8;
inline constexpr int IsoBlockSize = 4;
inline constexpr int IsoMaxBlocks = 6;

QByteArray isoInventoryFrame();
QByteArray isoInformationFrame(const QByteArray &uid8);
QByteArray isoReadFrame(const QByteArray &uid8, int block, int count);
QByteArray isoWriteFrame(const QByteArray &uid8, int block, int count, const QByteArray &data);

// The UID in an inventory reply's DATA (bytes 2-9, behind the response flags
// and the DSFID); empty when the reply is too short to hold one.
std::optional<QByteArray> inventoryUid(const QByteArray &replyData);
// The blocks in a read or write reply's DATA (from byte 1 on); empty when the
// reply is too short to hold `count` blocks.
std::optional<QByteArray> isoBlocks(const QByteArray &replyData, int count);

// Card types a MIC reader polls (parameter 0x23).
inline constexpr std::uint8_t HfIso15693 = 0x01, HfIso14443A = 0x02, HfIso14443B = 0x04;

}  // namespace kv350::cards
