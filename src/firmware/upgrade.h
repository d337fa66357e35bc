#pragma once
// Loading a firmware file for the connected reader and replacing the reader's
// firmware with it, step by step with the waits and progress values the
// Firmware page shows. No widgets and no words: the page and kv350ctl each
// give a view and take the messages, which they put in words.

#include "dfu.h"
#include "kfwfile.h"
#include "link/pause.h"
#include "link/readerlink.h"

#include <QString>
#include <cstdint>
#include <functional>
#include <memory>

namespace kv350::firmware {

// What the procedure says as it goes.
enum class UpgradeMessage {
    Clear,         // nothing to say (the message panel emptied)
    Updating,      // "Update Firmware", and a dot more for each step of the download
    FileLoaded,    // "Firmware file loaded."
    Complete,      // "KV350 firmware update complete.": the outcome of success
    SelectFile,    // "Please select firmware file!": the outcomes of failure from here on
    LoadFailed,    // "Failed to load firmware."
    NoProgram,     // "The firmware file holds no program code."
    TypeError,     // "Firmware type error!"
    Disconnected,  // "Disconnected"
    DeviceError,   // "KV350 device error."
};
// Why an upgrade is refused with several readers attached (the text table has it in each language).
inline constexpr char SeveralReadersText[] = "Several readers are attached: take out all but the one to upgrade.";
// Its words in English (the text table has them in each language).
const char *upgradeMessageText(UpgradeMessage message);
// Complete and the failures end the procedure; the others are steps.
bool isUpgradeOutcome(UpgradeMessage message);
bool isUpgradeFailure(UpgradeMessage message);
// Where the messages go: `dots` only with Updating.
using UpgradeMessages = std::function<void(UpgradeMessage message, int dots)>;

// What the procedure shows beyond the messages.
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

class FirmwareUpgrade {
public:
    static constexpr int StepWaitMs = 200;
    static constexpr int SerialRequestGapMs = 50;
    static constexpr int SerialRestartMs = 5000;
    static constexpr int ApplicationStartMs = 3000;

    FirmwareUpgrade(ReaderLink &link, Pause &pause, Dfu &dfu, UpgradeView &view, UpgradeMessages messages);
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
    void say(UpgradeMessage message, int dots = 0) { m_messages(message, dots); }

    ReaderLink &m_link;
    Pause &m_pause;
    Dfu &m_dfu;
    UpgradeView &m_view;
    UpgradeMessages m_messages;
    std::unique_ptr<FirmwareState> m_state;
};

}  // namespace kv350::firmware
