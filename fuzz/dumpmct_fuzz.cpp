// The importer of MIFARE Classic Tool's text dump on any bytes; the properties are those of
// dumpchecks.h. Input: the file's bytes.
#include "dumpchecks.h"

KV350_FUZZ_TARGET(dumpmct)(const std::uint8_t *data, std::size_t size)
{
    kv350::fuzz::ensureQtApplication();
    kv350::fuzz::dumps::checkImporter(kv350::cards::importMct, data, size);
    return 0;
}
