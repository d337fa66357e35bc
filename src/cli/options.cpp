#include "options.h"

#include "commandtable.h"
#include "exitstatus.h"
#include "link/frame.h"
#include "link/models.h"
#include "sim/core/cardkinds.h"
#include "sim/transports/simline.h"

#include <QCommandLineParser>
#include <algorithm>

namespace kv350::cli {
namespace {

// The ids' one rule (plain hex digits), after a "0x" written in front, as
// command lines often have it.
std::optional<std::uint16_t> parseId(const QString &text)
{
    const bool prefixed = text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive);
    return parseHexId(prefixed ? text.mid(2) : text);
}

ParseResult error(const QString &text)
{
    return {std::nullopt, text};
}

// The global options, the one place they are named.
struct GlobalOptions {
    QCommandLineOption port{"port", "the reader on this serial port (or kv350-sim's pty)", "PATH"};
    QCommandLineOption usb{"usb", "the reader on USB HID (the default)"};
    QCommandLineOption vid{"vid", "with --usb: the reader's USB vendor id (default 0E6A)", "HEX"};
    QCommandLineOption pid{"pid", "with --usb: the reader's USB product id (default 0317)", "HEX"};
    QCommandLineOption path{"path", "with --usb: the reader at this USB device path (kv350ctl list shows them)",
                            "HIDPATH"};
    QCommandLineOption serial{"serial", "with --usb: the USB reader with this serial number", "SN"};
    QCommandLineOption simulate{"simulate", "a virtual reader of this model inside this program", "MODEL"};
    QCommandLineOption card{"card", "with --simulate: put a card of this kind on it (repeatable)", "KIND"};
    QCommandLineOption readers{"readers", "with --simulate: this many virtual readers on USB at once (1 to 16)", "N"};
    QCommandLineOption line{
        "line", "with --simulate: virtual readers that come one after another (docs/virtual-reader.md)", "UNITS"};
    QCommandLineOption json{"json", "print the result as JSON (the commands that say so)"};
    QCommandLineOption verbose{QStringList{"v"}, "print every frame sent and received on stderr"};
    QCommandLineOption log{"log", "append the session log (every frame, keys masked) to this file", "FILE"};
    QCommandLineOption logKeys{"log-keys", "with --log: write the keys in the log in clear"};
    QCommandLineOption help{QStringList{"h", "help"}, "print this help (after a command: the command's)"};
    QCommandLineOption version{"version", "print the program's version"};

    QList<QCommandLineOption> all() const
    {
        return {port,    usb,  vid,  pid,     path, serial,  simulate, card,
                readers, line, json, verbose, log,  logKeys, help,     version};
    }
};

const GlobalOptions &globalOptions()
{
    static const GlobalOptions options;
    return options;
}

QString optionSynopsis(const QCommandLineOption &o)
{
    QStringList names;
    for (const QString &n : o.names())
        names.append((n.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + n);
    QString text = names.join(QStringLiteral(", "));
    if (!o.valueName().isEmpty())
        text += QLatin1Char(' ') + o.valueName();
    return text;
}

// "  name      description", the description in its column or on the next line.
QString helpLine(const QString &name, const QString &description)
{
    constexpr int Column = 22;
    const QString head = QStringLiteral("  ") + name;
    if (head.size() < Column - 1)
        return head.leftJustified(Column) + description + QLatin1Char('\n');
    return head + QLatin1Char('\n') + QString(Column, QLatin1Char(' ')) + description + QLatin1Char('\n');
}

QStringList commandsWithJson()
{
    QStringList names;
    for (const CommandSpec &c : commandTable())
        if (c.json)
            names.append(c.words.join(QLatin1Char(' ')));
    return names;
}

// The rows whose words begin with these.
std::vector<const CommandSpec *> commandsUnder(const QString &first)
{
    std::vector<const CommandSpec *> rows;
    for (const CommandSpec &c : commandTable())
        if (c.words.value(0) == first)
            rows.push_back(&c);
    return rows;
}

QString groupHelp(const QString &group, const std::vector<const CommandSpec *> &rows)
{
    QString text =
        QStringLiteral("usage: kv350ctl [global options] %1 COMMAND [options] [arguments]\n\ncommands:\n").arg(group);
    for (const CommandSpec *c : rows)
        text += helpLine(c->words.join(QLatin1Char(' ')) + QLatin1Char(' ') + c->arguments, c->summary);
    return text;
}

}  // namespace

QString usageText()
{
    QString text = QStringLiteral("usage: kv350ctl [global options] COMMAND [options] [arguments]\n"
                                  "\n"
                                  "Talks to one KV350 reader over a serial port, over USB HID (the default), or\n"
                                  "to a virtual reader inside this program.\n"
                                  "\n"
                                  "global options:\n");
    for (const QCommandLineOption &o : globalOptions().all())
        text += helpLine(optionSynopsis(o), o.description());
    text += QStringLiteral("\ncommands:\n");
    for (const CommandSpec &c : commandTable())
        text += helpLine((c.words + QStringList{c.arguments}).join(QLatin1Char(' ')).trimmed(), c.summary);
    text += QStringLiteral("\n\"kv350ctl COMMAND --help\" says more of one command.\n"
                           "models for --simulate: %1\n"
                           "card kinds for --card: %2\n")
                .arg(knownModels().join(QStringLiteral(", ")), sim::cardKindNames().join(QStringLiteral(", ")));
    return text + exitStatusHelp();
}

QString versionText()
{
    return QStringLiteral("kv350ctl %1\n").arg(QStringLiteral(KV350_VERSION));
}

std::optional<QByteArray> parseHexWords(const QStringList &words)
{
    QByteArray out;
    for (const QString &word : words) {
        QString digits = word;
        digits.remove(QLatin1Char(' '));
        if (digits.isEmpty() || digits.size() % 2 != 0)
            return std::nullopt;
        // Not isxdigit(c.toLatin1()): a Latin-1 letter is a negative char there,
        // which the C library need not take (the debug runtime on Windows asserts).
        if (std::any_of(digits.cbegin(), digits.cend(), [](QChar c) { return hexDigitValue(c) < 0; }))
            return std::nullopt;
        out.append(QByteArray::fromHex(digits.toLatin1()));
    }
    if (out.isEmpty())
        return std::nullopt;
    return out;
}

ParseResult parseArguments(const QStringList &arguments)
{
    const GlobalOptions &g = globalOptions();
    QCommandLineParser global;
    global.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsPositionalArguments);
    global.addOptions(g.all());
    if (!global.parse(QStringList{QStringLiteral("kv350ctl")} + arguments))
        return error(global.errorText());

    Options o;
    if (global.isSet(g.help)) {
        o.command = Command::Help;
        o.helpText = usageText();
        return {o, {}};
    }
    if (global.isSet(g.version)) {
        o.command = Command::Version;
        return {o, {}};
    }

    // The way to the reader.
    const int vias = int(global.isSet(g.port)) + int(global.isSet(g.usb)) + int(global.isSet(g.simulate));
    if (vias > 1)
        return error(QStringLiteral("choose one of --port, --usb and --simulate"));
    if (global.isSet(g.port)) {
        o.via = Via::Serial;
        o.port = global.value(g.port);
        if (o.port.isEmpty())
            return error(QStringLiteral("--port needs a device path"));
    }
    if (global.isSet(g.simulate)) {
        o.via = Via::Simulated;
        o.model = global.value(g.simulate);
        if (!knownModels().contains(o.model))
            return error(
                QStringLiteral("--simulate needs one of the models: %1").arg(knownModels().join(QStringLiteral(", "))));
    }
    o.cards = global.values(g.card);
    if (!o.cards.isEmpty() && o.via != Via::Simulated)
        return error(QStringLiteral("--card goes with --simulate"));
    for (const QString &kind : o.cards)
        if (!sim::cardKindNames().contains(kind))
            return error(QStringLiteral("--card needs one of the kinds: %1")
                             .arg(sim::cardKindNames().join(QStringLiteral(", "))));
    for (const QCommandLineOption *id : {&g.vid, &g.pid}) {
        if (!global.isSet(*id))
            continue;
        if (o.via != Via::Usb)
            return error(QStringLiteral("--vid and --pid go with --usb"));
        const auto value = parseId(global.value(*id));
        if (!value)
            return error(QStringLiteral("--%1 needs a hexadecimal id of up to 4 digits").arg(id->names().first()));
        (id == &g.vid ? o.vid : o.pid) = *value;
    }
    if (global.isSet(g.path) || global.isSet(g.serial)) {
        if (o.via == Via::Serial)
            return error(QStringLiteral("--path and --serial go with --usb (or --simulate)"));
        if (global.isSet(g.path) && global.isSet(g.serial))
            return error(QStringLiteral("choose one of --path and --serial"));
        o.usbPath = global.value(g.path);
        o.usbSerial = global.value(g.serial);
        if (global.isSet(g.path) && o.usbPath.isEmpty())
            return error(QStringLiteral("--path needs a device path (kv350ctl list shows them)"));
        if (global.isSet(g.serial) && o.usbSerial.isEmpty())
            return error(QStringLiteral("--serial needs a serial number"));
    }
    if (global.isSet(g.readers) || global.isSet(g.line)) {
        if (o.via != Via::Simulated)
            return error(QStringLiteral("--readers and --line go with --simulate"));
        if (global.isSet(g.readers) && global.isSet(g.line))
            return error(QStringLiteral("choose one of --readers and --line"));
    }
    if (global.isSet(g.readers)) {
        bool ok = false;
        o.simulatedReaders = global.value(g.readers).toInt(&ok);
        if (!ok || o.simulatedReaders < 1 || o.simulatedReaders > 16)
            return error(QStringLiteral("--readers needs a number from 1 to 16"));
    }
    if (global.isSet(g.line)) {
        QString why;
        const auto units = sim::parseLineUnits(global.value(g.line), &why);
        if (!units)
            return error(QStringLiteral("--line: %1").arg(why));
        o.line = *units;
    }
    o.json = global.isSet(g.json);
    o.verbose = global.isSet(g.verbose);
    if (global.isSet(g.log)) {
        o.logFile = global.value(g.log);
        if (o.logFile.isEmpty())
            return error(QStringLiteral("--log needs a file"));
    }
    o.logKeys = global.isSet(g.logKeys);
    if (o.logKeys && o.logFile.isEmpty())
        return error(QStringLiteral("--log-keys goes with --log"));

    // The command: its words, then its own options and arguments.
    QStringList rest = global.positionalArguments();
    if (rest.isEmpty())
        return error(QStringLiteral("no command given"));
    const QString first = rest.takeFirst();
    const std::vector<const CommandSpec *> group = commandsUnder(first);
    if (group.empty())
        return error(QStringLiteral("unknown command %1").arg(first));
    const CommandSpec *chosen = nullptr;
    if (group.size() == 1 && group.front()->words.size() == 1) {
        chosen = group.front();
    } else {
        const QString action = rest.isEmpty() ? QString() : rest.takeFirst();
        if (action == QLatin1String("--help") || action == QLatin1String("-h")) {
            o.command = Command::Help;
            o.helpText = groupHelp(first, group);
            return {o, {}};
        }
        std::vector<const CommandSpec *> under;
        for (const CommandSpec *c : group)
            if (c->words.value(1) == action)
                under.push_back(c);
        if (under.size() == 1 && under.front()->words.size() == 2) {
            chosen = under.front();
        } else if (!under.empty()) {
            // Three words: "ntag url get".
            const QString group2 = first + QLatin1Char(' ') + action;
            const QString third = rest.isEmpty() ? QString() : rest.takeFirst();
            if (third == QLatin1String("--help") || third == QLatin1String("-h")) {
                o.command = Command::Help;
                o.helpText = groupHelp(group2, under);
                return {o, {}};
            }
            QStringList actions;
            for (const CommandSpec *c : under) {
                actions.append(c->words.value(2));
                if (c->words.value(2) == third)
                    chosen = c;
            }
            if (!chosen) {
                const QString last = actions.takeLast();
                return error(QStringLiteral("%1 needs %2 or %3").arg(group2, actions.join(QStringLiteral(", ")), last));
            }
        }
        if (!chosen) {
            QStringList actions;
            for (const CommandSpec *c : group)
                if (!actions.contains(c->words.value(1)))
                    actions.append(c->words.value(1));
            const QString last = actions.takeLast();
            return error(QStringLiteral("%1 needs %2 or %3").arg(first, actions.join(QStringLiteral(", ")), last));
        }
    }
    o.command = chosen->words.join(QLatin1Char(' '));

    QCommandLineParser own;
    own.addOption(g.help);
    if (chosen->json)
        own.addOption(g.json);
    own.addOptions(chosen->options);
    if (!own.parse(QStringList{QStringLiteral("kv350ctl ") + o.command} + rest))
        return error(QStringLiteral("%1: %2").arg(o.command, own.errorText()));
    if (own.isSet(g.help)) {
        o.command = Command::Help;
        o.helpText = commandHelp(*chosen);
        return {o, {}};
    }
    if (chosen->json && own.isSet(g.json))
        o.json = true;
    if (o.json && !chosen->json)
        return error(QStringLiteral("--json goes with %1").arg(commandsWithJson().join(QStringLiteral(", "))));
    o.arguments = own.positionalArguments();
    for (const QString &name : own.optionNames())
        o.values[name] = own.values(name);
    if (chosen->take) {
        const QString problem = chosen->take(own, o);
        if (!problem.isEmpty())
            return error(problem);
    } else if (!o.arguments.isEmpty()) {
        return error(QStringLiteral("unexpected %1").arg(o.arguments.join(QLatin1Char(' '))));
    }
    return {o, {}};
}

}  // namespace kv350::cli
