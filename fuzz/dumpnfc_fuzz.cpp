// The importer of Flipper Zero's .nfc file on any bytes; the properties are those of
// dumpchecks.h. Input: the file's bytes.
#include "dumpchecks.h"

KV350_FUZZ_TARGET(dumpnfc)(const std::uint8_t *data, std::size_t size)
{
    kv350::fuzz::ensureQtApplication();
    kv350::fuzz::dumps::checkImporter(kv350::cards::importNfc, data, size);
    return 0;
}
