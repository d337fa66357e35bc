#pragma once
// The one check every path runs before it writes a MIFARE Classic sector
// trailer (the block write, issuing a card, and later a dump restore or the
// command line): is the block a trailer, are its access bytes a valid encoding,
// and what would the card never let anyone change again. The answer is data;
// trailerRefusal() and trailerQuestion() phrase it in the caller's language.

#include "i18n/textlookup.h"

#include <QByteArray>
#include <QString>
#include <array>
#include <cstdint>
#include <vector>

namespace kv350::cards {

// Data blocks that one group of access bits governs: a single block in the
// 4-block sectors, five blocks (0-4, 5-9, 10-14) in the 16-block sectors 32-39.
struct BlockRange {
    int first = 0;
    int last = 0;
    bool operator==(const BlockRange &) const = default;
};

struct TrailerCheck {
    enum class Verdict {
        NotTrailer,     // another block, or no such sector: the guard has nothing to say
        InvalidAccess,  // must not be sent: the card would block the sector for good
        Valid,
    };
    Verdict verdict = Verdict::NotTrailer;
    int sector = 0;
    QByteArray accessBytes;  // bytes 6-8 as they would be written

    // InvalidAccess: the groups (bits 0-2 data, bit 3 trailer) whose C1, C2
    // or C3 is not stored once plain and once inverted.
    std::uint8_t invalidGroups = 0;

    // Valid: the rows (C1 C2 C3 as a number) of the three data groups and of the trailer.
    std::array<int, 4> rows{};
    // Valid: no key may ever write the access bits again (trailer rows 000, 010, 100, 110, 111).
    bool accessConditionsPermanent = false;
    // Valid: neither key may ever be written again (trailer rows 010, 101, 110, 111).
    bool keysPermanent = false;
    // Valid, with the access conditions permanent: data blocks that no usable
    // key may ever write again, and those that no usable key may read either.
    std::vector<BlockRange> neverWritable;
    std::vector<BlockRange> neverReadable;

    // The write needs the user's Yes first.
    bool permanent() const { return verdict == Verdict::Valid && (accessConditionsPermanent || keysPermanent); }
};

// `block` within `sector`; `data16` the 16 bytes that would be written.
TrailerCheck checkTrailer(int sector, int block, const QByteArray &data16);

// The same check for a frame as typed (the Command page, kv350ctl raw): a
// block write (0x16, either form) is checked as the block and data it names;
// any other frame is NotTrailer.
TrailerCheck checkTrailerFrame(const QByteArray &frame);

// Why an InvalidAccess trailer was not written, in the language of `text`.
QString trailerRefusal(const TrailerCheck &check, const TextLookup &text);
// The question before a permanent trailer: the sector, then one line for each
// thing that becomes permanent.
QString trailerQuestion(const TrailerCheck &check, const TextLookup &text);

}  // namespace kv350::cards
