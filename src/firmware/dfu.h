#pragma once
// The firmware download client: the three calls the upgrade procedure makes,
// spoken to the reader's boot loader over USB HID as docs/boot-loader-protocol.md
// describes. No widgets; the window and kv350ctl both use it.

#include "link/clock.h"
#include "link/hidbackend.h"
#include "link/hidtransport.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <optional>

namespace kv350::firmware {

class Dfu {
public:
    static constexpr int ReplyTimeoutMs = 500;
    // A reader restarting into its boot loader leaves the bus and comes back.
    static constexpr int ReturnTimeoutMs = 5000;
    static constexpr int ReopenIntervalMs = 100;
    // A chunk whose acknowledgement is lost is sent again, this often in all.
    static constexpr int ChunkTries = 3;

    // Results of DFU_Reset_To_ISP; only InBootLoader is success.
    static constexpr int InBootLoader = 1;
    static constexpr int NoDevice = 0;
    static constexpr int Refused = -1;
    static constexpr int NotBack = -2;

    // hid may be the device the reader link uses: the link must be closed, or
    // it finds its handle taken and reopens it on its next command.
    Dfu(HidBackend &hid, Clock &clock) : m_usb(hid, clock), m_clock(clock) {}
    ~Dfu() { close(); }
    Dfu(const Dfu &) = delete;
    Dfu &operator=(const Dfu &) = delete;

    // Finds the reader by its ids and brings it into its boot loader (it may be
    // there already). 1 when the boot loader answers; anything else is a failure.
    int DFU_Reset_To_ISP(std::uint16_t vendorId, std::uint16_t productId);
    // Sends length bytes of image to the boot loader, which programs them at
    // address (an offset in its application area) and checks length and
    // checksum. Non-zero when it verified the image; 0 on any failure, after
    // which the reader stays in its boot loader and a new download may follow.
    int DFU_Download(const std::uint8_t *image, std::uint32_t address, std::uint16_t length, std::uint16_t checksum);
    // The boot loader starts the application it verified, and the handle is
    // closed. True when the reader acknowledged the start, or (its reply lost)
    // came back as its application; false when it stays in its boot loader.
    bool DFU_Reset_To_AP();

    // Lets go of the device without starting anything.
    void close();
    // Why the last call failed, in words a user can act on.
    const QString &lastError() const { return m_error; }

private:
    struct Reply {
        std::uint8_t status;
        QByteArray data;
    };
    // One request, its reply; nullopt when none came or the device is gone.
    std::optional<Reply> exchange(std::uint8_t cmd, const QByteArray &data = {});
    // The device with the ids is open.
    bool openDevice();
    // The device is open and its boot loader answers STATUS.
    bool openBootLoader();
    bool bootLoaderAnswers();
    // After a lost RUN: waits for the reader to show up again and asks which
    // program answers. BootLoader leaves the device open.
    enum class Comeback { Application, BootLoader, Absent };
    Comeback comeBack();
    void fail(const QString &why);
    int failed(const QString &why);  // a download's 0

    HidTransport m_usb;
    Clock &m_clock;
    bool m_opened = false;   // this client opened the device (and closes it)
    bool m_session = false;  // DFU_Reset_To_ISP found the boot loader
    int m_chunkSize = 0;
    QString m_error;
};

}  // namespace kv350::firmware
