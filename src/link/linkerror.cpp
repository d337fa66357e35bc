#include "linkerror.h"

#include <iterator>

namespace kv350 {
namespace {

struct ErrorRow {
    LinkError error;
    const char *name;
    // {where}: the transport; {detail}: what goes with the failure. Without a
    // detail, ": {detail}" is left out.
    const char *text;
    bool outOfReach;  // the link is closed afterwards
};

const ErrorRow ErrorRows[] = {
    {LinkError::None, "none", "", false},
    {LinkError::Busy, "busy", "the link is busy with another command", false},
    {LinkError::BadRequest, "bad-request", "a request frame has 3 to 256 bytes", false},
    // The system's account names the port (and what to do) itself.
    {LinkError::OpenFailed, "open-failed", "{detail}", true},
    {LinkError::NoUsbDevice, "no-usb-device",
     "{where}: no such USB device is plugged in (is the reader plugged in, and are VID and PID its ids?)", true},
    // {detail}: the device node; {rule}: the installed udev rule.
    {LinkError::UsbNoAccess, "usb-no-access",
     "{where}: the reader is plugged in ({detail}) but this user may not open it: the udev rule {rule} gives "
     "access (install it, or the package, then plug the reader in again)",
     true},
    {LinkError::NoReader, "no-reader", "{where}: the port opened but no reader answered", true},
    {LinkError::NoSerialNumber, "no-serial-number", "the reader did not send its serial number", false},
    {LinkError::EmptySerialNumber, "empty-serial-number", "the reader sent an empty serial number", false},
    {LinkError::NoModel, "no-model", "the reader did not send its model and version", false},
    {LinkError::WriteFailed, "write-failed", "{where}: the write failed again after reconnecting: {detail}", true},
    {LinkError::NotTaken, "not-taken", "{where}: the port did not take the whole request", false},
    {LinkError::NoReply, "no-reply", "no reply from the reader", false},
    {LinkError::Cut, "cut", "the reply was cut short ({detail} bytes came)", false},
    {LinkError::NotAFrame, "not-a-frame", "the reply was not a frame ({detail} bytes)", false},
    {LinkError::TwoReplies, "two-replies", "two replies came, one of them late to an earlier request", false},
    {LinkError::WrongEcho, "wrong-echo", "the reply answers command {detail}", false},
    {LinkError::Rejected, "rejected", "the reader rejected the command (status 10)", false},
    {LinkError::DeviceGone, "device-gone", "{where}: the reader went away: {detail}", true},
    // What the system says of a port that hung up is no news (the last errno).
    {LinkError::PortGone, "port-gone", "{where}: the serial port went away", true},
};

const ErrorRow &errorRow(LinkError error)
{
    for (const ErrorRow &r : ErrorRows)
        if (r.error == error)
            return r;
    return ErrorRows[0];
}

}  // namespace

QString linkErrorText(const LinkFailure &failure)
{
    return linkErrorText(failure, {});
}

QString linkErrorText(const LinkFailure &failure, const std::function<QString(const QString &)> &translate)
{
    QString text = QString::fromLatin1(errorRow(failure.error).text);
    if (translate && !text.isEmpty())
        text = translate(text);
    if (failure.detail.isEmpty()) {
        text.remove(QLatin1String(": {detail}"));
        text.remove(QString::fromUtf8("：{detail}"));
    }
    text.replace(QLatin1String("{where}"), failure.where);
    text.replace(QLatin1String("{rule}"), udevRulePath());
    text.replace(QLatin1String("{detail}"), failure.detail);
    if (text.isEmpty() && failure.error == LinkError::OpenFailed)
        text = failure.where + QLatin1String(": could not be opened");
    return text;
}

QString linkErrorName(LinkError error)
{
    return QString::fromLatin1(errorRow(error).name);
}

QString udevRulePath()
{
#ifdef KV350_UDEV_RULE_PATH
    return QStringLiteral(KV350_UDEV_RULE_PATH);
#else
    return {};
#endif
}

bool readerOutOfReach(LinkError error)
{
    return errorRow(error).outOfReach;
}

}  // namespace kv350
