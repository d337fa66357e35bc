#pragma once
// Our own USB HID layer with the five calls the reader link is written
// against. A frame travels in 64-byte reports (report ID 0, zero-padded); a
// frame longer than 64 bytes continues in the following reports. The receiver
// knows the total from LEN in byte 1 of the first report. docs/usb-framing.md
// describes it for firmware developers.

#include "clock.h"
#include "common/protocol.h"
#include "hidbackend.h"

#include <cstdint>

namespace kv350 {

struct PodRecord {
    std::uint32_t VID = proto::DefaultVid;
    std::uint32_t PID = proto::DefaultPid;
    std::uint32_t WriteTimeout = 500;  // ms; hidraw writes do not block for long, kept for the record
    std::uint32_t ReadTimeout = 500;   // ms a ReadData waits for a whole frame
    // One device of several with these ids, by its path (HidBackend::enumerate);
    // empty: the first the system finds.
    QString path;
    // The layer's own part of the record: where reports go and how time passes.
    HidBackend *backend = nullptr;
    Clock *clock = nullptr;
};

// 0 = the device with VID/PID (at the record's path, when it names one) is
// open; anything else = failure. index selects the first matching device (the
// only value used is 1).
int ConnectPOD(PodRecord &pod, int index);
void DisconnectPOD(PodRecord &pod);
// Drops input reports that arrived before the next request.
int ClearPODBuffer(PodRecord &pod);
// Drops every input report that arrives within ms (a reply come too late); how
// many, or -1 when reading failed (the device is gone).
int DrainPOD(PodRecord &pod, int ms);
// 0 = every report of the frame was sent; non-zero = failure (device gone).
int WriteData(PodRecord &pod, const std::uint8_t *data, int count, int *written);
// Waits up to ReadTimeout for one frame; stores LEN + 2 bytes (capped by
// maxWanted) and their count in *read. Reports that do not start a frame are
// dropped. The result is 0 when a frame arrived, non-zero on time-out or error.
int ReadData(PodRecord &pod, std::uint8_t *dest, int maxWanted, int *read);
// The same within timeoutMs instead of the record's ReadTimeout. The result
// tells the three ways a read ends apart: 0 a whole frame, 1 time-out (with
// *read > 0 the frame came only in part: its last reports never came), -1 the
// device is gone.
int ReadDataWithin(PodRecord &pod, std::uint8_t *dest, int maxWanted, int *read, int timeoutMs);

}  // namespace kv350
