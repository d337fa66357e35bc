#pragma once
// The reader's side of the model table: what each model's hardware has, the
// card families its front end reads and the modules fitted. The program keeps
// its own table (link/models.h); a test holds the two to the same models.

#include <QByteArray>
#include <span>

namespace kv350::sim {

struct ModelHardware {
    const char *model;
    bool iso14443a;  // MIFARE Classic and NTAG203 / Ultralight
    bool iso15693;
    bool lf;
    bool uhfModule;  // the UHF radio module: EPC tags and the radio's test modes
    // The ID output format the model leaves the factory with (parameter 03), in hex.
    const char *factoryIdFormat;
};

std::span<const ModelHardware> modelHardware();
// The row of a model text as a reply would carry it (blanks and zero bytes
// behind it do not count; case does). Nothing for a model no reader is.
const ModelHardware *findHardware(const QByteArray &model);

}  // namespace kv350::sim
