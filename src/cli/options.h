#pragma once
// kv350ctl's command line: [global options] COMMAND [options] [arguments].
// The global options are read once, by one parser; each command is a row of
// the command table (commandtable.h) with its own options and arguments.

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>

namespace kv350::cli {

// The commands this program has, by their words. A command is a row of the
// command table; these are the names the program's own code refers to.
namespace Command {
inline const QString Help = QStringLiteral("help");
inline const QString Version = QStringLiteral("version");
inline const QString Identify = QStringLiteral("identify");
inline const QString Raw = QStringLiteral("raw");
inline const QString Ports = QStringLiteral("ports");
inline const QString SettingsGet = QStringLiteral("settings get");
inline const QString FirmwarePack = QStringLiteral("firmware pack");
inline const QString FirmwareInfo = QStringLiteral("firmware info");
inline const QString FirmwareUpgrade = QStringLiteral("firmware upgrade");
}  // namespace Command

enum class Via { Usb, Serial, Simulated };

struct Options {
    QString command = Command::Help;  // its words; Help and Version ask for a text
    QString helpText;                 // Help: the text asked for (the program's or a command's)

    // Global options.
    Via via = Via::Usb;
    QString port;       // --port
    QString model;      // --simulate
    QStringList cards;  // --card, with --simulate
    std::uint16_t vid = 0x0E6A;
    std::uint16_t pid = 0x0317;
    bool json = false;     // --json, before the command or after it
    bool verbose = false;  // -v: frames on stderr
    QString logFile;       // --log: the session log appended there
    bool logKeys = false;  // --log-keys: keys in the log in clear

    // The command's own: its arguments, the values of its options by name,
    // and what the built-in commands read from them.
    QStringList arguments;
    QMap<QString, QStringList> values;
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
// The program's help: usage, global options, the commands of the table, exit status.
QString usageText();
QString versionText();

}  // namespace kv350::cli
