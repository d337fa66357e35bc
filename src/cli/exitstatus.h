#pragma once
// kv350ctl's exit status: one value per kind of outcome, the same for every
// command, and the lines that document them in --help and the README.

#include "link/linkerror.h"

#include <QString>

namespace kv350::cli {

enum ExitStatus : int {
    ExitDone = 0,
    // The reader could not be reached or did not answer as asked, or a file
    // could not be read or written; the message on stderr says which.
    ExitFailed = 1,
    // Bad arguments, a damaged input file, or a write that needs --force.
    ExitBadArguments = 2,
    // Card outcomes: the reader saw no card; the card refused every key given.
    ExitNoCard = 3,
    ExitKeyRefused = 4,
};

// The status of a command that failed on the link, by the link's error.
ExitStatus exitStatusFor(LinkError error);

// "exit status: ..." for the help text.
QString exitStatusHelp();

}  // namespace kv350::cli
