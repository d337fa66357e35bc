#pragma once
// kv350ctl's firmware commands: build a KFW file, show what one holds, and
// upgrade a reader with one through the same procedure as the Firmware page.

#include "link/clock.h"
#include "link/hidbackend.h"
#include "link/pause.h"
#include "link/readerlink.h"
#include "options.h"

#include <QTextStream>

namespace kv350::cli {

// firmware pack: 0 written, 1 the payload or the output file failed.
int firmwarePack(const Options &o, QTextStream &out, QTextStream &err);
// firmware info: 0 read, 1 the file is missing or no firmware file.
int firmwareInfo(const Options &o, QTextStream &out, QTextStream &err);

struct UpgradeRig {
    ReaderLink &link;
    HidBackend &hid;  // the download client's device: the link's own
    Clock &clock;
    Pause &pause;
};
// firmware upgrade: 0 when the reader took the firmware and identified again
// afterwards, 1 otherwise. terminal: redraw one progress line instead of
// printing a line per step.
int firmwareUpgrade(UpgradeRig rig, const Options &o, QTextStream &out, QTextStream &err, bool terminal);

}  // namespace kv350::cli
