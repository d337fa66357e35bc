#pragma once
// kv350ctl's commands, one row each: the words that name it, what it takes,
// and what it does. A new command is a new row; the parser, the help and the
// manual page's test read the table.

#include "options.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QList>
#include <QTextStream>
#include <functional>
#include <vector>

namespace kv350 {
class Clock;
class HidBackend;
class Pause;
class ReaderLink;
}  // namespace kv350

namespace kv350::cli {

// What a command is given when it runs.
struct Session {
    const Options &options;
    QTextStream &out;
    QTextStream &err;
    // For a command that needs a reader: the link over the transport the
    // global options chose, and its USB device (the download client's too).
    ReaderLink *link;
    HidBackend *hid;
    Clock &clock;
    Pause &pause;
    bool terminal;  // stdout is a terminal: progress redrawn in place
    // The person at the bench is asked to take the reader at this path out
    // (the provisioning station); the virtual line hears it too.
    std::function<void(const QString &path)> removalAsked = {};
};

struct CommandSpec {
    QStringList words;                  // "firmware", "pack"
    QString arguments;                  // after the words: "--model NAME --version TEXT PAYLOAD OUT.KFW"
    QString summary;                    // one line of the program's help
    bool json = false;                  // takes --json (before the command or after it)
    bool reader = false;                // needs a link to a reader
    QList<QCommandLineOption> options;  // its own
    // Checks what its parser found beyond the options and keeps it in
    // Options; an error text (exit status 2), or nothing. Without it the
    // command takes no arguments.
    std::function<QString(const QCommandLineParser &, Options &)> take;
    std::function<int(Session &)> run;
    // Finds its USB readers itself (list, provision): --path and --serial
    // are its to read, and no reader is picked before it runs.
    bool findsReaders = false;
};

const std::vector<CommandSpec> &commandTable();
// The row of a command by its words ("firmware pack"); nothing for none.
const CommandSpec *findCommand(const QString &words);
// A command's help: its usage line, what it does and its options.
QString commandHelp(const CommandSpec &command);

}  // namespace kv350::cli
