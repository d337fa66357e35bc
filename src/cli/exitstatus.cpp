#include "exitstatus.h"

namespace kv350::cli {

ExitStatus exitStatusFor(LinkError error)
{
    // Every failure of the link is one status: a script tells a reader that
    // is missing from one that refused by the message. Outcomes of card
    // commands (no card, key refused) have statuses of their own beside these.
    switch (error) {
    case LinkError::None:
        return ExitDone;
    case LinkError::BadRequest:
    case LinkError::Busy:
    case LinkError::OpenFailed:
    case LinkError::NoReader:
    case LinkError::NoSerialNumber:
    case LinkError::EmptySerialNumber:
    case LinkError::NoModel:
    case LinkError::WriteFailed:
    case LinkError::NotTaken:
    case LinkError::NoReply:
    case LinkError::Cut:
    case LinkError::NotAFrame:
    case LinkError::TwoReplies:
    case LinkError::WrongEcho:
    case LinkError::Rejected:
    case LinkError::DeviceGone:
    case LinkError::PortGone:
        break;
    }
    return ExitFailed;
}

QString exitStatusHelp()
{
    return QStringLiteral("exit status: 0 done, 1 the reader was not reached or did not answer as asked (or a file\n"
                          "  failed, or the card holds nothing of what was asked), 2 bad arguments or data,\n"
                          "  3 no card in the field, 4 the card refused (key, access), 5 not written: needs --force\n");
}

}  // namespace kv350::cli
