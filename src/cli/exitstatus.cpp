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
    case LinkError::NoUsbDevice:
    case LinkError::UsbNoAccess:
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
                          "  failed, the card holds nothing of what was asked, or a provisioned unit failed),\n"
                          "  2 bad arguments or data (or several USB readers match and none is picked with --path\n"
                          "  or --serial), 3 no card in the field, 4 the card refused (key, access), 5 not written:\n"
                          "  needs --force, 6 the reader's settings differ from the profile (settings diff) or a\n"
                          "  setting read back differs from what was written (settings set, settings apply)\n");
}

}  // namespace kv350::cli
