#pragma once
// kv350ctl provision: the provisioning station. It waits for a reader,
// identifies it, brings its firmware to the file's version when a firmware
// file is given, applies the profile with a read-back of every setting it
// writes, records the unit, asks for the reader to be taken out, and waits
// for the next. Stopped with Ctrl-C between steps, never inside a write.

#include "commandtable.h"
#include "provisionrecord.h"
#include "settings/profile.h"

#include <QString>
#include <atomic>
#include <functional>

namespace kv350::cli {

// Between two looks for a reader coming or going.
inline constexpr int StationLookIntervalMs = 1000;

struct StationSetup {
    settings::Profile profile;
    QString profileSha256;
    QString firmwarePath;     // empty: no firmware step
    QString firmwareVersion;  // the file's header version
    QString firmwareSha256;
    int count = 0;  // units to record, 0: until stopped
    bool again = false;
};

// A reader the station sees attached: where the link opens it, and the
// serial number it is known by there (empty when the bench cannot tell
// without asking).
struct SeenReader {
    QString path;
    QString serial;
    bool operator==(const SeenReader &) const = default;
};

// Where the station finds readers: a USB bus or one serial port.
struct StationBench {
    std::function<QList<SeenReader>()> look;
    std::function<void(ReaderLink &, const QString &path)> use;
    std::function<void(const QString &path)> removalAsked;  // may be empty
};

struct StationRig {
    ReaderLink &link;
    HidBackend &hid;  // the firmware download client's device
    Clock &clock;
    Pause &pause;
    QTextStream &out;
    const std::atomic<bool> *stop = nullptr;  // set by Ctrl-C; read between steps
};

struct StationSummary {
    int ok = 0;
    int failed = 0;
    int skipped = 0;
    qint64 unitMs = 0;  // the recorded units' time from the reader seen to its record written
    bool stopped = false;
    QString error;  // the record could not be written: the station stopped
};

// The station's loop over an open record; the caller has checked the profile,
// the firmware file and the record before any reader is touched.
StationSummary runStation(StationRig rig, const StationSetup &setup, RecordFile &record, const StationBench &bench);

// The command: reads and checks its files, opens the record, and runs the station.
int provision(Session &session);
// Its options and arguments.
QString takeProvision(const QCommandLineParser &parser, Options &options);

}  // namespace kv350::cli
