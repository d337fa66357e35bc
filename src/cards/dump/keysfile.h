#pragma once
// A keys file for a MIFARE Classic dump: one key of 12 hex digits per line,
// "#" starts a comment, blank lines are skipped (the dictionaries of MIFARE
// Classic Tool and Flipper Zero read as they are).

#include "cards/dump/dumpformats.h"

#include <QByteArray>
#include <QList>

namespace kv350::cards {

struct KeysFile {
    QList<QByteArray> keys;  // six bytes each, in the file's order, each once
    ImportError error;       // reason empty when the file was read whole
    bool ok() const { return error.reason.isEmpty(); }
};
KeysFile parseKeysFile(const QByteArray &content);

// The key every new card holds (the transport configuration).
QByteArray transportKey();

}  // namespace kv350::cards
