// The importer of the raw binary dump on any bytes; the properties are those of
// dumpchecks.h. Input: the file's bytes.
#include "dumpchecks.h"

KV350_FUZZ_TARGET(dumpbin)(const std::uint8_t *data, std::size_t size)
{
    kv350::fuzz::ensureQtApplication();
    kv350::fuzz::dumps::checkImporter(kv350::cards::importBin, data, size);
    return 0;
}
