#pragma once
// A dump written back to a MIFARE Classic card: first a plan that reads the
// card and says, block by block, what would be written, what is equal
// already and what is refused (and why); then the writes, data blocks first
// and trailers last, so that data goes in with the keys that open the sector
// now; then every written block read back and compared.

#include "cards/dump/cardexchange.h"
#include "cards/dump/cardimage.h"
#include "cards/mifare/mifaredump.h"
#include "cards/mifare/mifareframes.h"
#include "cards/mifare/trailerguard.h"
#include "i18n/textlookup.h"

#include <QList>
#include <QStringList>

namespace kv350::cards {

struct RestoreStep {
    enum class Action {
        Write,
        Equal,     // the card holds these bytes already
        Refused,   // not written: `reason` says why
        NotInFile  // the file does not know this block whole
    };
    int block = 0;  // absolute
    int sector = 0;
    int blockInSector = 0;
    bool trailer = false;
    Action action = Action::Write;
    QByteArray data;              // what would be written (a trailer with the keys filled in)
    std::uint8_t keyType = KeyA;  // the key that writes it
    QByteArray key;
    QString reason;      // Refused, in the caller's language
    TrailerCheck check;  // trailers: the guard's verdict on `data`
};

struct RestorePlan {
    QString refusal;  // the whole restore refused (no card, another size); nothing is written
    bool noCard = false;
    bool readerLost = false;
    CardKind cardKind = CardKind::Mifare1K;
    QList<RestoreStep> steps;
    MifareDump card;  // what the card held

    bool permanent() const;  // a trailer to write makes something permanent
    int count(RestoreStep::Action action) const;
};

// `extraKeys` are tried on every sector after the file's own keys of that
// sector; the transport key is tried last.
RestorePlan planRestore(const CardImage &image, const CardExchange &exchange, const QList<QByteArray> &extraKeys,
                        const TextLookup &text);

// The report: a summary line, one line per block that is not equal, and for
// each trailer to write its access conditions in words (and what becomes
// permanent).
QStringList restoreReport(const RestorePlan &plan, const TextLookup &text);

// "block 5 (1/1)".
QString blockLabel(int block, const TextLookup &text);
// The access conditions of a trailer's access bytes in words, one line per
// group of blocks and one for the trailer.
QStringList accessWords(int sector, const std::array<int, 4> &rows, const TextLookup &text);

struct RestoreResult {
    QStringList lines;      // one per block written or meant to be written
    QList<int> written;     // blocks the card accepted
    QList<int> verified;    // blocks read back equal
    bool stopped = false;   // a write failed and the rest was not sent
    bool cardGone = false;  // ... because the card left the field
    bool readerLost = false;
    bool complete() const { return !stopped && verified.size() == written.size(); }
};
// Writes the plan's Write steps and reads them back.
RestoreResult runRestore(const RestorePlan &plan, const CardExchange &exchange, const TextLookup &text);

}  // namespace kv350::cards
