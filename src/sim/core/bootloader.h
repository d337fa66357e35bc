#pragma once
#include "sim/core/identity.h"
#include "sim/core/simframe.h"

#include <QByteArray>
#include <optional>
#include <vector>

namespace kv350::sim {

// The reader's boot loader (docs/boot-loader-protocol.md). It holds the
// application area: BEGIN erases it, DATA fills it chunk by chunk, END checks
// length and checksum and only then marks the image as one to start; RUN
// starts it. An erased or unverified area is never started, so a failed
// download leaves the reader here for another try.
class BootLoader {
public:
    static constexpr int DefaultCapacity = 0x3400;

    BootLoader() : m_area(DefaultCapacity, char(0xFF)) {}

    // Test controls: END of the next count downloads that pass the length and
    // checksum checks reports that the flash did not take them.
    void failDownloads(int count) { m_failDownloads = count; }
    // END of the next count downloads answers that the checksum differs (06),
    // whatever came: a boot loader that sums differently, or a bad transfer.
    void rejectChecksums(int count) { m_rejectChecksums = count; }
    // The application answers the boot-loader request with STA 01 and stays.
    void setRefuseEntry(bool refuse) { m_refuseEntry = refuse; }
    bool refusesEntry() const { return m_refuseEntry; }

    bool active() const { return m_active; }
    // The application area as the flash holds it: 0xFF where nothing was written.
    const QByteArray &applicationArea() const { return m_area; }
    bool applicationValid() const { return m_applicationValid; }
    int entries() const { return m_entries; }
    int downloadsBegun() const { return m_begun; }
    int downloadsVerified() const { return m_verified; }
    int runs() const { return m_runs; }

    // The application restarts into the boot loader.
    void enter();
    // A request while active; identification still answers, with "BOOT" as the version.
    std::vector<QByteArray> handle(const Request &request, const Identity &identity);
    // True once after a request made the reader restart; active() then tells into what.
    bool takeRestart();
    // Model and version of the identity record at the start of the last
    // verified image (whatever its first 16 bytes hold); none when nothing was
    // downloaded or it was too short.
    std::optional<std::pair<QByteArray, QByteArray>> downloadedIdentity() const;

private:
    struct Download {
        int offset = 0;
        int length = 0;
        std::uint16_t checksum = 0;
        std::uint16_t nextSequence = 0;
        int received = 0;
        std::uint16_t sum = 0;
    };

    QByteArray status() const;
    QByteArray begin(const Request &request);
    QByteArray data(const Request &request);
    QByteArray end(const Request &request);
    QByteArray run(const Request &request);
    void restart(bool intoApplication);

    QByteArray m_area;
    bool m_active = false;
    bool m_applicationValid = true;  // the factory's application
    std::optional<Download> m_download;
    int m_lastOffset = -1;  // of the last verified image
    int m_lastLength = 0;
    bool m_restart = false;
    bool m_refuseEntry = false;
    int m_failDownloads = 0;
    int m_rejectChecksums = 0;
    int m_entries = 0;
    int m_begun = 0;
    int m_verified = 0;
    int m_runs = 0;
};

}  // namespace kv350::sim
