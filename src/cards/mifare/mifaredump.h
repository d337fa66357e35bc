#pragma once
// A MIFARE Classic card read into a CardImage with a list of keys: every
// sector, each key tried as key A and then as key B; blocks that no key
// found could read stay unknown. The restore reads the card it writes to the
// same way.

#include "cards/dump/cardexchange.h"
#include "cards/dump/cardimage.h"
#include "cards/mifare/mifareframes.h"
#include "i18n/textlookup.h"

#include <QList>
#include <QStringList>
#include <functional>

namespace kv350::cards {

// What the dump learned of one sector's keys on the card.
struct SectorAccess {
    std::optional<QByteArray> keyA, keyB;    // the keys that opened it
    bool keyBReadable = false;               // its trailer lets key A read key B (and key B opens nothing)
    std::optional<std::array<int, 4>> rows;  // the access rows of its trailer, when read and valid
    bool opened() const { return keyA || (keyB && !keyBReadable); }
};

struct MifareDump {
    CardImage image;
    QList<SectorAccess> sectors;
    bool noCard = false;      // the reader found no card
    bool readerLost = false;  // the reader went away: the image is partial
    QStringList lines;        // one per sector: its keys and the blocks read
    int sectorsOpened() const;
};

// The keys to try on a sector, in order.
using KeysFor = std::function<QList<QByteArray>(int sector)>;

// The card's size comes from the SAK in block 0 (when sector 0 opens and its
// check byte holds), else from whether any key opens sector 16.
MifareDump dumpMifare(const CardExchange &exchange, const KeysFor &keysFor, const TextLookup &text);

// The image of what the MIFARE page's Read All read: block i of its linear
// numbering (sector i / 4, block i % 4) with its 16 bytes, all read with `key`.
// A trailer holds the typed key that opened it (key A reads as zeros), key B
// where the access bits let it be read; the reader's own key stays unknown.
CardImage readAllImage(const QList<std::pair<int, QByteArray>> &reads, const MifareKey &key);

// "FFFFFFFFFFFF", or the words for an unknown key.
QString keyText(const std::optional<QByteArray> &key, const TextLookup &text);

}  // namespace kv350::cards
