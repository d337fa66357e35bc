#pragma once
// The reader's side of the model table: what each model's hardware has, the
// card families its front end reads and the modules fitted. The program keeps
// its own table (link/models.h); a test holds the two to the same models.

#include <QByteArray>
#include <cstdint>
#include <span>

namespace kv350::sim {

struct ModelHardware {
    const char *model;
    bool iso14443a;  // MIFARE Classic and NTAG203 / Ultralight
    bool iso15693;
    bool lf;
    bool uhfTags;    // the UHF module's tag commands: EPC and eTag memory, automatic EPC reading
    bool radioTest;  // the UHF radio module's test modes: channel, power, transmit, automatic test
    // The ID output format the model leaves the factory with (parameter 03), in hex.
    const char *factoryIdFormat;
};

std::span<const ModelHardware> modelHardware();
// The row of a model text as a reply would carry it (blanks and zero bytes
// behind it do not count; case does). Nothing for a model no reader is.
const ModelHardware *findHardware(const QByteArray &model);

// The command set of the model's firmware: what every reader answers (its
// identity, settings, system commands, user data, the card in the field) and
// the commands of the card families and modules it has. A command it lacks
// gets the reply of an unknown command. A model no reader is (nullptr) has
// the common commands only.
bool hasCommand(const ModelHardware *model, std::uint8_t cmd);
// The parameter codes of command 0x03 it keeps; one it lacks is answered as
// an unknown code.
bool hasParameter(const ModelHardware *model, std::uint8_t code);
// The UHF module's two sets of texts (command 0x00).
bool hasUhfTags(const ModelHardware *model);
bool hasRadioTest(const ModelHardware *model);

}  // namespace kv350::sim
