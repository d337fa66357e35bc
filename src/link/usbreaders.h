#pragma once
// Several readers at one machine: which USB readers are attached, what each
// says it is, and which one a command or the window opens when the user names
// one by its device path or serial number, or names none.

#include "hidbackend.h"
#include "linkerror.h"
#include "pause.h"
#include "readerlink.h"

#include <QList>
#include <QString>
#include <functional>
#include <optional>

namespace kv350 {

// What a reader says of itself when it is asked (identification), or why it said nothing.
struct ProbedReader {
    std::optional<ReaderIdentity> identity;
    QString why;  // no identity: the link's words
};

// Identifies the USB reader at path through a link of its own and closes it
// again. Nothing but the identification queries is sent.
ProbedReader probeUsbReader(HidBackend &hid, const QString &path, std::uint16_t vid, std::uint16_t pid, Clock &clock,
                            Pause &pause);
// The same for a serial port.
ProbedReader probeSerialReader(const QString &portPath, Clock &clock, Pause &pause);

// How a USB reader is asked for by the user: by path, by serial number, or not at all.
struct UsbChoice {
    std::uint16_t vid = 0;
    std::uint16_t pid = 0;
    QString path;    // --path
    QString serial;  // --serial
};

// Which device to open. path empty with no refusal: the first with the ids,
// as before there were several (none or one attached, or the backend cannot list).
struct UsbPick {
    QString path;
    QString refusal;  // the words, when no device can be picked
    bool refused() const { return !refusal.isEmpty(); }
};

// Picks the device: the one at the path given, else the one whose serial
// number (the USB descriptor's, else the reader's own when asked) is the one
// given, else the only one attached. Several attached and none named is
// refused: opening "the first" would configure a reader at random.
UsbPick pickUsbReader(HidBackend &hid, const UsbChoice &choice,
                      const std::function<ProbedReader(const QString &path)> &probe);

// What the window's port list shows for the USB readers attached: nothing
// beyond "USB Auto" for none or one; one entry per reader when there are
// several, "USB " and its serial number (its path when it gives none).
struct UsbPortEntry {
    QString text;
    QString path;
};
QList<UsbPortEntry> usbPortEntries(const QList<HidDeviceInfo> &devices);

}  // namespace kv350
