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
    // Bad input: arguments, a value out of range, data that can never be
    // written (a trailer whose access bytes are no valid encoding).
    ExitBadArguments = 2,
    // Card commands: no card (or tag) answered in the reader's field.
    ExitNoCard = 3,
    // A card answered but refused: the key was not accepted, or the block or
    // page may not be read or written that way.
    ExitCardRefused = 4,
    // A write that cannot be undone, not made: it needs --force.
    ExitNeedsForce = 5,
};

// The status of a command that failed on the link, by the link's error.
ExitStatus exitStatusFor(LinkError error);

// "exit status: ..." for the help text.
QString exitStatusHelp();

}  // namespace kv350::cli
