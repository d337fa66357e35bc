#pragma once
// Loading a firmware file for the connected reader and replacing the reader's
// firmware with it, step by step with the waits and progress values the
// Firmware page shows. No widgets: the page and kv350ctl each give a view.

#include "dfu.h"
#include "kfwfile.h"
#include "link/pause.h"
#include "link/presentation.h"
#include "link/readerlink.h"
#include "link/reporting.h"

#include <QString>
#include <cstdint>
#include <memory>

namespace kv350::firmware {

// What the procedure shows beyond the message panel.
class UpgradeView {
public:
    virtual ~UpgradeView() = default;
    // No input (and the hourglass) while busy; calls nest.
    virtual void setBusy(bool busy) = 0;
    virtual void setProgressMaximum(int maximum) = 0;
    virtual void setProgress(int position) = 0;
    // The file's header boxes, after a file was read.
    virtual void showFileHeader(const QString &size, const QString &checksum, const QString &type,
                                const QString &version) = 0;
    // After a completed upgrade (the link is set to USB): the window's show
    // sequence, which reconnects and identifies the reader.
    virtual void reconnect() = 0;
};

// The ids of the reader on USB, as typed ("0E6A"); the text is read as
// hexadecimal digits, and anything else (empty, "G1") gives the fallback.
std::uint16_t parseUsbId(const QString &text, std::uint16_t fallback);

struct UsbIdTexts {
    QString vid;
    QString pid;
};

// The request that makes a reader on a serial port restart into its boot loader.
QByteArray bootLoaderRequest();

// A firmware message in the error style: red, the low tone.
Outcome firmwareError(const char *english);

class FirmwareUpgrade {
public:
    static constexpr int StepWaitMs = 200;
    static constexpr int SerialRequestGapMs = 50;
    static constexpr int SerialRestartMs = 5000;
    static constexpr int ApplicationStartMs = 3000;

    FirmwareUpgrade(ReaderLink &link, Reporter &reporter, Pause &pause, Dfu &dfu, UpgradeView &view,
                    TextLookup text = englishText);
    FirmwareUpgrade(const FirmwareUpgrade &) = delete;
    FirmwareUpgrade &operator=(const FirmwareUpgrade &) = delete;

    FirmwareState &state() { return *m_state; }

    // Reads the file named by fileText into the image, shows its header and
    // checks its type against the link's model name. True only when both hold.
    bool LoadFirmwareFile(const QString &fileText);
    // Identifies the reader, checks the file against it, asks the reader into
    // its boot loader (over a serial link with the request written twice) and
    // downloads. True when the upgrade completed.
    bool upgradeConnectedReader(const QString &fileText, const UsbIdTexts &ids);
    // The same without touching the link: the file is checked against whatever
    // model name the link holds, and the download finds the reader by its ids.
    bool upgradeWithoutLink(const QString &fileText, const UsbIdTexts &ids);
    // From the ids to the completion message and the reconnect. True when the
    // boot loader verified the image and was told to start it.
    bool DownloadLoadedFirmware(const UsbIdTexts &ids);

private:
    void begin();
    void progress(int position, int dots = -1);
    void error(const char *english);

    ReaderLink &m_link;
    Reporter &m_reporter;
    Pause &m_pause;
    Dfu &m_dfu;
    UpgradeView &m_view;
    TextLookup m_text;
    std::unique_ptr<FirmwareState> m_state;
};

}  // namespace kv350::firmware
