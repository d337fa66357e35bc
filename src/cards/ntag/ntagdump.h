#pragma once
// An NTAG203 read into a CardImage: its 42 pages, four at a time; pages the
// reader does not return stay unknown.

#include "cards/dump/cardexchange.h"
#include "cards/dump/cardimage.h"

namespace kv350::cards {

struct NtagDump {
    CardImage image = CardImage::blank(CardKind::Ntag203);
    bool noCard = false;
    bool readerLost = false;
    int pagesRead() const { return image.knownUnits(); }
};

NtagDump dumpNtag(const CardExchange &exchange);

// The image of the pages a dump list holds (page, 16 bytes from it), for the
// NFC page's Save Dump; the UID from pages 0-1 when both are there.
CardImage ntagImage(const QList<std::pair<int, QByteArray>> &reads);

}  // namespace kv350::cards
