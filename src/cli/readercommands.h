#pragma once
// kv350ctl's commands that talk to a reader (identify, raw) or look for one (ports).

#include "commandtable.h"

namespace kv350::cli {

// Connect and print model, version and serial number (or one JSON object).
int identify(Session &session);
// Send one frame and print the request and the reply as the Command page shows them.
int raw(Session &session);
// The serial ports of this machine, with their description and USB ids.
int ports(Session &session);

// "/dev/ttyUSB0", "the virtual KV350-MIC", "USB 0E6A:0317": where the reader was looked for.
QString whereText(const Options &options);
// "no reader identified on /dev/ttyUSB0: no such serial port ...": the link's
// messages about a port start with its path, which is said once.
QString failureText(const QString &what, const Options &options, const QString &why);

}  // namespace kv350::cli
