#pragma once
// kv350ctl's card dumps: mifare dump, mifare restore, ntag dump.

#include "commandtable.h"

#include <vector>

namespace kv350::cli {

// The rows of the command table for the dump commands.
std::vector<CommandSpec> dumpCommands();

}  // namespace kv350::cli
