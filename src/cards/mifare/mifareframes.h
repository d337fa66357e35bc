#pragma once
// MIFARE Classic requests and the texts of the MIFARE pages, without widgets.

#include "i18n/textlookup.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <optional>
#include <vector>

namespace kv350::cards {

// MIFARE key A or key B, as the reader's commands name them.
inline constexpr std::uint8_t KeyA = 0x60;
inline constexpr std::uint8_t KeyB = 0x61;
inline std::uint8_t KeyTypeByte(bool keyA)
{
    return keyA ? KeyA : KeyB;
}

// The key a block command authenticates with: typed (six bytes) or, when
// empty, the reader's own key of that type for the sector.
struct MifareKey {
    std::uint8_t type = 0x60;
    std::optional<QByteArray> typed;
};

QByteArray mifareReadFrame(const MifareKey &key, int sector, int block);
QByteArray mifareWriteFrame(const MifareKey &key, int sector, int block, const QByteArray &data16);
QByteArray uidFrame();
QByteArray storeKeyFrame(std::uint8_t keyType, const QByteArray &key6, int sector);

inline constexpr int MifareReadReplyLimit = 20;
inline constexpr int BlockSize = 16;

// The last block of a sector: 3 in the 4-block sectors 0-31, 15 in 32-39.
int blocksInSector(int sector);
int trailerBlock(int sector);

// Where the key bytes sit in a frame: [first, first + 6) each. In a request:
// the typed key of a block read or write (0x15, 0x16) and the key stored in
// the reader (0x12); in a trailer write, also the new keys A and B. In the
// reply to a trailer read or write (given with its request), the keys in the
// block's bytes it carries.
// Every other frame holds no key.
struct KeySpan {
    int first = 0;
    bool operator==(const KeySpan &) const = default;
};
inline constexpr int KeySize = 6;
std::vector<KeySpan> requestKeySpans(const QByteArray &request);
std::vector<KeySpan> replyKeySpans(const QByteArray &request, const QByteArray &reply);

// A block write (0x16) as the reader takes it, either form: the 22-byte one
// that names the reader's stored key, the 28-byte one with a typed key.
struct BlockWrite {
    std::uint8_t keyType = KeyA;
    std::optional<QByteArray> typedKey;
    int sector = 0;
    int block = 0;
    QByteArray data;  // 16 bytes
};
// The block write this frame is; nothing for any other frame.
std::optional<BlockWrite> parseBlockWrite(const QByteArray &frame);

// A UID as the pages show it: eight bytes, a shorter UID followed by zeros.
QString uidText(const QByteArray &uid);
// A block as characters: the bytes up to the first zero.
QString blockText(const QByteArray &data);
// A text to write as 16 bytes: its first 16 characters (Latin-1), zero-padded.
QByteArray textBlock(const QString &text);

// "Read All": block i of the linear numbering, "%02d(%d/%d):".
QString readAllPrefix(int i);
// The count box of "Read All" and the loop test: the number typed, or the default.
int countOr(const QString &text, int fallback);

// The loop test.
struct LoopCounters {
    int commandErrors = 0;  // CMD_ERR: failed twice
    int writeErrors = 0;    // WR_ERR: the write's reply differs from the pattern
    int checkErrors = 0;    // CHK_ERR: the read differs from the pattern
};
// Blocks 4 .. limit-1 that are not sector trailers (limit at least 5).
std::vector<int> loopTestBlocks(int limit);
// Sixteen two-digit decimal numbers k .. k+15 (mod 100), read as hex by the
// writer: 32 characters whatever the pass.
QString loopPattern(int pass);
// "WRITE_NUM=1  CMD_ERR=0  WR_ERR=0  CHK_ERR=0"
QString loopCounterLine(const char *what, int number, const LoopCounters &c);
// "(W:1)-04(1/0):"
QString loopBlockPrefix(char op, int pass, int block);
// The question before a run: how many blocks of which sectors the patterns
// overwrite (blocks as loopTestBlocks() gives them, not empty).
QString loopTestQuestion(const std::vector<int> &blocks, const TextLookup &text);

}  // namespace kv350::cards
