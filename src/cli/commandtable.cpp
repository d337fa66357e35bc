#include "commandtable.h"

#include "cardcommands.h"
#include "dumpcommands.h"
#include "firmwarecommands.h"
#include "listcommand.h"
#include "profilecommands.h"
#include "provision.h"
#include "readercommands.h"
#include "settingscommands.h"

#include <algorithm>

namespace kv350::cli {
namespace {

// What a firmware file's header can hold: printable ASCII of at most width characters.
bool headerText(const QString &text, int width)
{
    return !text.isEmpty() && text.size() <= width &&
           std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() >= 0x20 && c.unicode() < 0x7F; });
}

QString takeFrame(const QCommandLineParser &, Options &o)
{
    const auto frame = parseHexWords(o.arguments);
    if (!frame)
        return QStringLiteral("raw needs the frame as hex bytes, e.g. raw 02 01 0D");
    if (frame->size() < 3 || frame->size() > 256)
        return QStringLiteral("a frame has 3 to 256 bytes: 02, LEN, CMD, DATA");
    o.frame = *frame;
    return {};
}

// FILE, or PAYLOAD OUT.KFW for pack, and nothing more.
QString takeFiles(Options &o, int count)
{
    if (o.arguments.size() < count)
        return count == 2 ? QStringLiteral("firmware pack needs PAYLOAD and OUT.KFW")
                          : QStringLiteral("%1 needs FILE").arg(o.command);
    if (o.arguments.size() > count)
        return QStringLiteral("unexpected %1").arg(o.arguments.mid(count).join(QLatin1Char(' ')));
    o.files = o.arguments;
    return {};
}

QString takePack(const QCommandLineParser &parser, Options &o)
{
    if (const QString problem = takeFiles(o, 2); !problem.isEmpty())
        return problem;
    o.codeType = parser.value(QStringLiteral("model"));
    o.codeVersion = parser.value(QStringLiteral("version"));
    if (!headerText(o.codeType, 12))
        return QStringLiteral("--model needs the model name, 1 to 12 ASCII characters");
    if (!headerText(o.codeVersion, 4))
        return QStringLiteral("--version needs the version, 1 to 4 ASCII characters");
    return {};
}

std::vector<CommandSpec> makeTable()
{
    std::vector<CommandSpec> table;
    table.push_back(
        {{"identify"}, "[--json]", "connect and print model, version and serial number", true, true, {}, {}, identify});
    table.push_back({{"raw"},
                     "HEX... [--force]",
                     "send one frame (e.g. raw 02 01 0D) and print the reply field by field; a MIFARE "
                     "trailer write is checked first",
                     false,
                     true,
                     {QCommandLineOption(QStringLiteral("force"),
                                         QStringLiteral("send a sector trailer whose conditions are permanent"))},
                     takeFrame,
                     raw});
    table.push_back({{"ports"}, "", "list the serial ports this machine has", false, false, {}, {}, ports});
    table.push_back({{"list"},
                     "[--probe] [--json]",
                     "list the readers attached: USB readers (by --vid/--pid) and serial ports, with their paths",
                     true,
                     true,
                     {QCommandLineOption(QStringLiteral("probe"),
                                         QStringLiteral("ask each for its serial number, model and version"))},
                     {},
                     list,
                     true});
    table.push_back({{"settings", "get"},
                     "[NAME] [--json]",
                     "read the reader's settings (every one its model has, or NAME) by name",
                     true,
                     true,
                     {},
                     takeSettingName,
                     settingsGet});
    addProfileCommands(table);
    table.push_back(
        {{"provision"},
         "--profile P.json --record units.csv [--firmware F.KFW] [--count N] [--again]",
         "provisioning station: each reader that comes gets the profile (and the firmware), verified and recorded",
         false,
         true,
         {QCommandLineOption(QStringLiteral("profile"), QStringLiteral("the profile every reader gets"),
                             QStringLiteral("FILE")),
          QCommandLineOption(QStringLiteral("record"),
                             QStringLiteral("append a line per unit here (CSV; .jsonl: JSON lines)"),
                             QStringLiteral("FILE")),
          QCommandLineOption(QStringLiteral("firmware"),
                             QStringLiteral("upgrade a reader whose version differs from this file's first"),
                             QStringLiteral("FILE")),
          QCommandLineOption(QStringLiteral("count"), QStringLiteral("stop after N units recorded"),
                             QStringLiteral("N")),
          QCommandLineOption(QStringLiteral("again"),
                             QStringLiteral("provision a reader the record already holds as ok again"))},
         takeProvision,
         provision,
         true});
    table.push_back(
        {{"firmware", "pack"},
         "--model NAME --version TEXT PAYLOAD OUT.KFW",
         "build a firmware file from a program image of at most 13312 bytes",
         false,
         false,
         {QCommandLineOption(QStringLiteral("model"),
                             QStringLiteral("the model name in the file's header, 1 to 12 ASCII characters"),
                             QStringLiteral("NAME")),
          QCommandLineOption(QStringLiteral("version"),
                             QStringLiteral("the version in the file's header, 1 to 4 ASCII characters"),
                             QStringLiteral("TEXT"))},
         takePack,
         [](Session &s) { return firmwarePack(s.options, s.out, s.err); }});
    table.push_back({{"firmware", "info"},
                     "FILE",
                     "print a firmware file's code size and checksum (hex), type and version",
                     false,
                     false,
                     {},
                     [](const QCommandLineParser &, Options &o) { return takeFiles(o, 1); },
                     [](Session &s) { return firmwareInfo(s.options, s.out, s.err); }});
    table.push_back(
        {{"firmware", "upgrade"},
         "FILE",
         "replace the reader's firmware with FILE through its boot loader",
         false,
         true,
         {},
         [](const QCommandLineParser &, Options &o) { return takeFiles(o, 1); },
         [](Session &s) {
             return firmwareUpgrade({*s.link, *s.hid, s.clock, s.pause}, s.options, s.out, s.err, s.terminal);
         }});
    addCardCommands(table);
    for (CommandSpec &dump : dumpCommands())
        table.push_back(std::move(dump));
    return table;
}

}  // namespace

const std::vector<CommandSpec> &commandTable()
{
    static const std::vector<CommandSpec> table = makeTable();
    return table;
}

const CommandSpec *findCommand(const QString &words)
{
    for (const CommandSpec &c : commandTable())
        if (c.words.join(QLatin1Char(' ')) == words)
            return &c;
    return nullptr;
}

QString commandHelp(const CommandSpec &command)
{
    QString text = QStringLiteral("usage: kv350ctl [global options] %1 %2\n\n%3\n")
                       .arg(command.words.join(QLatin1Char(' ')), command.arguments, command.summary);
    QList<QCommandLineOption> options = command.options;
    if (command.json)
        options.prepend(QCommandLineOption(QStringLiteral("json"), QStringLiteral("print the result as JSON")));
    options.append(
        QCommandLineOption({QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("print this help")));
    text += QStringLiteral("\noptions:\n");
    for (const QCommandLineOption &o : options) {
        QStringList names;
        for (const QString &n : o.names())
            names.append((n.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + n);
        QString name = names.join(QStringLiteral(", "));
        if (!o.valueName().isEmpty())
            name += QLatin1Char(' ') + o.valueName();
        text += QStringLiteral("  %1  %2\n").arg(name.leftJustified(16), o.description());
    }
    text += QStringLiteral("\n\"kv350ctl --help\" lists the global options (--port, --usb, --simulate, -v ...).\n");
    return text;
}

}  // namespace kv350::cli
