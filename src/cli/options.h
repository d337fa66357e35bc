#pragma once
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>

namespace kv350::cli {

enum class Command { Identify, Raw, Ports, Help, FirmwarePack, FirmwareInfo, FirmwareUpgrade };
enum class Via { Usb, Serial, Simulated };

struct Options {
    Command command = Command::Help;
    Via via = Via::Usb;
    QString port;   // --port
    QString model;  // --simulate
    std::uint16_t vid = 0x0E6A;
    std::uint16_t pid = 0x0317;
    bool json = false;
    QByteArray frame;     // raw
    QString codeType;     // firmware pack --model
    QString codeVersion;  // firmware pack --version
    QStringList files;    // firmware pack: PAYLOAD OUT.KFW; info, upgrade: FILE
};

struct ParseResult {
    std::optional<Options> options;
    QString error;  // set when options is empty
};

// arguments without the program name.
ParseResult parseArguments(const QStringList &arguments);
// "02 01 0D", "02010D" or several such words; nullopt unless every word is whole hex bytes.
std::optional<QByteArray> parseHexWords(const QStringList &words);
QString usageText();

}  // namespace kv350::cli
