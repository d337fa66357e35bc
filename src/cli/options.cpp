#include "options.h"

#include "link/frame.h"
#include "link/models.h"

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

// What a firmware file's header can hold: printable ASCII of at most width characters.
bool headerText(const QString &text, int width)
{
    return !text.isEmpty() && text.size() <= width &&
           std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() >= 0x20 && c.unicode() < 0x7F; });
}

}  // namespace

QString usageText()
{
    return QStringLiteral(
               "usage: kv350ctl [--port PATH | --usb [--vid HEX] [--pid HEX] | --simulate MODEL] COMMAND\n"
               "\n"
               "Talks to one KV350 reader over a serial port, over USB HID (the default), or\n"
               "to a virtual reader inside this program.\n"
               "\n"
               "commands:\n"
               "  identify [--json]   connect and print model, version and serial number\n"
               "  raw HEX...          send one frame (e.g. raw 02 01 0D) and print the reply field by field\n"
               "  ports               list the serial ports this machine has\n"
               "  firmware pack --model NAME --version TEXT PAYLOAD OUT.KFW\n"
               "                      build a firmware file from a program image of at most 13312 bytes\n"
               "  firmware info FILE  print a firmware file's code size and checksum (hex), type and version\n"
               "  firmware upgrade FILE\n"
               "                      replace the reader's firmware with FILE through its boot loader\n"
               "\n"
               "models for --simulate: %1\n"
               "exit status: 0 done, 1 the reader did not answer as asked, 2 bad arguments\n")
        .arg(knownModels().join(QStringLiteral(", ")));
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
    Options o;
    bool usb = false, vidOrPid = false, packOption = false;
    int vias = 0;
    QStringList rest;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString &a = arguments[i];
        auto value = [&]() -> std::optional<QString> {
            if (i + 1 >= arguments.size())
                return std::nullopt;
            return arguments[++i];
        };
        if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            o.command = Command::Help;
            return {o, {}};
        } else if (a == QLatin1String("--port")) {
            auto v = value();
            if (!v || v->isEmpty())
                return error(QStringLiteral("--port needs a device path"));
            o.via = Via::Serial;
            o.port = *v;
            ++vias;
        } else if (a == QLatin1String("--usb")) {
            usb = true;
            o.via = Via::Usb;
            ++vias;
        } else if (a == QLatin1String("--vid") || a == QLatin1String("--pid")) {
            auto v = value();
            auto id = v ? parseId(*v) : std::nullopt;
            if (!id)
                return error(QStringLiteral("%1 needs a hexadecimal id of up to 4 digits").arg(a));
            (a == QLatin1String("--vid") ? o.vid : o.pid) = *id;
            vidOrPid = true;
        } else if (a == QLatin1String("--simulate")) {
            auto v = value();
            if (!v || !knownModels().contains(*v))
                return error(QStringLiteral("--simulate needs one of the models: %1")
                                 .arg(knownModels().join(QStringLiteral(", "))));
            o.via = Via::Simulated;
            o.model = *v;
            ++vias;
        } else if (a == QLatin1String("--model") || a == QLatin1String("--version")) {
            auto v = value();
            if (!v)
                return error(QStringLiteral("%1 needs a value").arg(a));
            (a == QLatin1String("--model") ? o.codeType : o.codeVersion) = *v;
            packOption = true;
        } else if (a == QLatin1String("--json")) {
            o.json = true;
        } else if (a.startsWith(QLatin1String("--"))) {
            return error(QStringLiteral("unknown option %1").arg(a));
        } else {
            rest.append(a);
        }
    }
    if (vias > 1)
        return error(QStringLiteral("choose one of --port, --usb and --simulate"));
    if (vidOrPid && !usb && o.via != Via::Usb)
        return error(QStringLiteral("--vid and --pid go with --usb"));
    if (rest.isEmpty())
        return error(QStringLiteral("no command given"));

    const QString command = rest.takeFirst();
    if (command == QLatin1String("identify")) {
        o.command = Command::Identify;
    } else if (command == QLatin1String("ports")) {
        o.command = Command::Ports;
    } else if (command == QLatin1String("raw")) {
        auto frame = parseHexWords(rest);
        if (!frame)
            return error(QStringLiteral("raw needs the frame as hex bytes, e.g. raw 02 01 0D"));
        if (frame->size() < 3 || frame->size() > 256)
            return error(QStringLiteral("a frame has 3 to 256 bytes: 02, LEN, CMD, DATA"));
        o.command = Command::Raw;
        o.frame = *frame;
        rest.clear();
    } else if (command == QLatin1String("firmware")) {
        const QString action = rest.isEmpty() ? QString() : rest.takeFirst();
        const qsizetype files = action == QLatin1String("pack") ? 2 : 1;
        if (action == QLatin1String("pack"))
            o.command = Command::FirmwarePack;
        else if (action == QLatin1String("info"))
            o.command = Command::FirmwareInfo;
        else if (action == QLatin1String("upgrade"))
            o.command = Command::FirmwareUpgrade;
        else
            return error(QStringLiteral("firmware needs pack, info or upgrade"));
        if (rest.size() < files)
            return error(files == 2 ? QStringLiteral("firmware pack needs PAYLOAD and OUT.KFW")
                                    : QStringLiteral("firmware %1 needs FILE").arg(action));
        o.files = rest.mid(0, files);
        rest = rest.mid(files);
        if (o.command == Command::FirmwarePack) {
            if (!headerText(o.codeType, 12))
                return error(QStringLiteral("--model needs the model name, 1 to 12 ASCII characters"));
            if (!headerText(o.codeVersion, 4))
                return error(QStringLiteral("--version needs the version, 1 to 4 ASCII characters"));
        }
    } else {
        return error(QStringLiteral("unknown command %1").arg(command));
    }
    if (packOption && o.command != Command::FirmwarePack)
        return error(QStringLiteral("--model and --version go with firmware pack"));
    if (!rest.isEmpty())
        return error(QStringLiteral("unexpected %1").arg(rest.join(QLatin1Char(' '))));
    if (o.json && o.command != Command::Identify)
        return error(QStringLiteral("--json goes with identify"));
    return {o, {}};
}

}  // namespace kv350::cli
