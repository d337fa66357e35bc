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
    ExitBadArguments = 2,
    // The reader's settings differ from a profile (settings diff), or a
    // setting read back holds another value than was written (set, apply).
    ExitDiffers = 3,
};

// The status of a command that failed on the link, by the link's error.
ExitStatus exitStatusFor(LinkError error);

// "exit status: ..." for the help text.
QString exitStatusHelp();

}  // namespace kv350::cli
