#pragma once
// Why an operation of the reader link failed: one value a caller decides by,
// one table of the words for it, and the detail that goes with it (the port,
// what the system said, what came back).

#include <QString>
#include <functional>

namespace kv350 {

enum class LinkError {
    None,
    Busy,               // another command is in progress on the link
    BadRequest,         // a request frame of fewer than 3 or more than 256 bytes
    OpenFailed,         // the port or the USB device did not open
    NoUsbDevice,        // no USB device with the reader's ids is plugged in
    UsbNoAccess,        // a USB device with the ids is there, but this user may not open it
    NoReader,           // the port opened, but no reader answered the probe
    NoSerialNumber,     // identification: no serial-number reply of 12 bytes
    EmptySerialNumber,  // identification: the serial number is empty
    NoModel,            // identification: no model-and-version reply of 20 bytes
    WriteFailed,        // the request did not go out, also not on a new connection
    NotTaken,           // the port took only part of the request
    NoReply,            // nothing within the reply window
    Cut,                // a reply began but its end never came
    NotAFrame,          // what came is shorter than a reply or does not start with 02
    TwoReplies,         // two frames in one window while a missed reply could still come
    WrongEcho,          // the reply answers another command
    Rejected,           // the reader answered STA 10
    DeviceGone,         // the USB device went away under the open link
    PortGone,           // the serial port hung up or failed under the open link
};

struct LinkFailure {
    LinkError error = LinkError::None;
    QString where;   // the port's path, or "USB" and the ids
    QString detail;  // what the system said, or what came back
};

// The message, in words a user can act on.
QString linkErrorText(const LinkFailure &failure);
// The same in another language: `translate` takes the table's English words
// (with their {where}, {detail} and {rule}) to the words of the language,
// which are then filled in alike.
QString linkErrorText(const LinkFailure &failure, const std::function<QString(const QString &)> &translate);
// A short name for scripts and logs: "no-reply", "device-gone", ...
QString linkErrorName(LinkError error);
// The link lost the reader or never reached it: it is closed, and every
// command fails until a reader is reachable again.
bool readerOutOfReach(LinkError error);
// Where the udev rule that gives the user at the seat access to the reader's
// hidraw node is installed (empty where there is no such rule).
QString udevRulePath();

}  // namespace kv350
