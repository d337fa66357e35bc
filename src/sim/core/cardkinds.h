#pragma once
#include <QString>
#include <QStringList>

namespace kv350::sim {

class VirtualReader;

// The kinds of card that kv350-sim --card and the window's --simulate mode can
// put on the reader: "mifare1k", "mifare4k", "ntag203", "iso15693" (28 blocks),
// and last "epc" (one more EPC tag for the UHF module of the models that have one).
QStringList cardKindNames();

// Places a new card of this kind, with its default UID, in the reader's field
// (replacing a card of the same technology). An unknown kind places nothing,
// returns false and says why in *error (when given).
bool placeCardKind(VirtualReader &reader, const QString &kind, QString *error);

}  // namespace kv350::sim
