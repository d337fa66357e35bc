#pragma once
// kv350ctl list: every reader this machine has attached, on USB HID and on
// its serial ports, each with the path that picks it.

#include "commandtable.h"

namespace kv350::cli {

int list(Session &session);

}  // namespace kv350::cli
