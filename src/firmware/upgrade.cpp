#include "upgrade.h"

#include "common/protocol.h"
#include "link/frame.h"

#include <algorithm>
#include <optional>

namespace kv350::firmware {
namespace {

constexpr int ProgressMaximum = 100;

class Busy {
public:
    explicit Busy(UpgradeView &view) : m_view(view) { m_view.setBusy(true); }
    ~Busy() { m_view.setBusy(false); }
    Busy(const Busy &) = delete;
    Busy &operator=(const Busy &) = delete;

private:
    UpgradeView &m_view;
};

}  // namespace

const char *upgradeMessageText(UpgradeMessage message)
{
    switch (message) {
    case UpgradeMessage::Clear:
        return "";
    case UpgradeMessage::Updating:
        return "Update Firmware";
    case UpgradeMessage::FileLoaded:
        return "Firmware file loaded.";
    case UpgradeMessage::Complete:
        return "KV350 firmware update complete.";
    case UpgradeMessage::SelectFile:
        return "Please select firmware file!";
    case UpgradeMessage::LoadFailed:
        return "Failed to load firmware.";
    case UpgradeMessage::NoProgram:
        return "The firmware file holds no program code.";
    case UpgradeMessage::TypeError:
        return "Firmware type error!";
    case UpgradeMessage::Disconnected:
        return "Disconnected";
    case UpgradeMessage::DeviceError:
        return "KV350 device error.";
    }
    return "";
}

bool isUpgradeFailure(UpgradeMessage message)
{
    return message >= UpgradeMessage::SelectFile;
}

bool isUpgradeOutcome(UpgradeMessage message)
{
    return message == UpgradeMessage::Complete || isUpgradeFailure(message);
}

std::uint16_t parseUsbId(const QString &text, std::uint16_t fallback)
{
    return parseHexId(text).value_or(fallback);
}

QByteArray bootLoaderRequest()
{
    return buildRequest(proto::CmdSystem, QByteArray(1, char(proto::SysBootLoader)));
}

FirmwareUpgrade::FirmwareUpgrade(ReaderLink &link, Pause &pause, Dfu &dfu, UpgradeView &view, UpgradeMessages messages)
    : m_link(link),
      m_pause(pause),
      m_dfu(dfu),
      m_view(view),
      m_messages(std::move(messages)),
      m_state(std::make_unique<FirmwareState>())
{
}

void FirmwareUpgrade::progress(int position, int dots)
{
    m_view.setProgress(position);
    if (dots >= 0)
        say(UpgradeMessage::Updating, dots);
    m_pause.processPending();
}

void FirmwareUpgrade::begin()
{
    say(UpgradeMessage::Clear);
    m_view.setProgressMaximum(ProgressMaximum);
    m_view.setProgress(0);
    m_pause.processPending();
}

bool FirmwareUpgrade::LoadFirmwareFile(const QString &fileText)
{
    const Busy busy(m_view);
    if (fileText.trimmed().isEmpty()) {
        say(UpgradeMessage::SelectFile);
        return false;
    }
    const KfwReadResult read = readKfwFile(fileText, *m_state);
    if (read.status != KfwRead::Loaded) {
        say(UpgradeMessage::LoadFailed);
        return false;
    }
    m_view.showFileHeader(hexWord(m_state->FirmwareLength), hexWord(m_state->FirmwareChecksum), read.header.codeType,
                          read.header.codeVersion);
    say(UpgradeMessage::FileLoaded);
    if (m_link.ModelName() != read.header.codeType.trimmed()) {
        say(UpgradeMessage::TypeError);
        return false;
    }
    // A file that ends with its header: the boot loader would wait for a
    // download that cannot start. (Payload beyond the image's 0x3400 bytes is
    // not part of it and is left out, as the file format has it.)
    if (m_state->FirmwareLength == 0) {
        say(UpgradeMessage::NoProgram);
        return false;
    }
    return true;
}

bool FirmwareUpgrade::upgradeConnectedReader(const QString &fileText, const UsbIdTexts &ids)
{
    std::optional<Busy> busy(std::in_place, m_view);
    begin();
    if (m_link.Connected()) {
        m_link.DisconnectReader();
        m_pause.wait(StepWaitMs);
    }
    progress(10);
    if (!m_link.ConnectReader()) {
        busy.reset();
        say(UpgradeMessage::Disconnected);
        return false;
    }
    // The file is read and checked against the model just identified before the
    // reader is asked into its boot loader: with no file, an unreadable one or
    // one for another model, the reader goes on running its application.
    if (!LoadFirmwareFile(fileText))
        return false;

    m_pause.wait(StepWaitMs);
    if (m_link.Transport() == TransportKind::Serial) {
        // No reply confirms it, so it goes twice.
        const QByteArray request = bootLoaderRequest();
        m_link.WriteSerialRequest(request);
        m_pause.wait(SerialRequestGapMs);
        m_link.WriteSerialRequest(request);
        m_pause.wait(SerialRequestGapMs);
        m_link.DisconnectReader();
        m_pause.wait(SerialRestartMs);
    } else {
        // On USB the download client asks the reader itself.
        m_link.DisconnectReader();
    }
    m_pause.wait(StepWaitMs);
    progress(20);
    return DownloadLoadedFirmware(ids);
}

bool FirmwareUpgrade::upgradeWithoutLink(const QString &fileText, const UsbIdTexts &ids)
{
    const Busy busy(m_view);
    begin();
    progress(20);
    if (!LoadFirmwareFile(fileText))
        return false;
    return DownloadLoadedFirmware(ids);
}

bool FirmwareUpgrade::DownloadLoadedFirmware(const UsbIdTexts &ids)
{
    progress(30);
    const std::uint16_t vid = parseUsbId(ids.vid, proto::DefaultVid);
    const std::uint16_t pid = parseUsbId(ids.pid, proto::DefaultPid);
    m_pause.wait(StepWaitMs);
    progress(40);
    if (m_dfu.DFU_Reset_To_ISP(vid, pid) != Dfu::InBootLoader) {
        m_dfu.close();
        say(UpgradeMessage::DeviceError);
        return false;
    }

    struct Step {
        int position;
        int dots;
    };
    static constexpr Step before[] = {{43, 0}, {45, 1}, {47, 2}, {60, 3}};
    for (const Step &step : before) {
        progress(step.position, step.dots);
        m_pause.wait(StepWaitMs);
    }

    const FirmwareState &s = *m_state;
    auto download = [&] {
        return m_dfu.DFU_Download(s.FirmwareImage.data(), 0, s.FirmwareLength, s.FirmwareChecksum) != 0;
    };
    struct Retry {
        int waitMs;
        Step step;
    };
    static constexpr Retry retries[] = {{500, {65, 4}}, {1000, {70, 5}}, {2000, {75, 5}}};
    bool written = download();
    for (const Retry &retry : retries) {
        if (written)
            break;
        m_pause.wait(retry.waitMs);
        progress(retry.step.position, retry.step.dots);
        m_pause.wait(retry.waitMs);
        written = download();
    }
    if (!written) {
        // Not started: the boot loader erased the old application and holds no
        // verified image, so it stays ready for the next try rather than run a
        // broken program.
        m_dfu.close();
        say(UpgradeMessage::DeviceError);
        return false;
    }

    progress(80, 6);
    m_pause.wait(StepWaitMs);
    progress(90, 7);
    m_pause.wait(StepWaitMs);
    if (!m_dfu.DFU_Reset_To_AP()) {
        // The image is verified but the reader did not take the order to
        // start it: it waits in its boot loader, and a new upgrade finds it there.
        say(UpgradeMessage::DeviceError);
        return false;
    }
    m_pause.wait(ApplicationStartMs);
    m_view.setProgress(ProgressMaximum);
    say(UpgradeMessage::Complete);
    m_link.useUsb();
    m_view.reconnect();
    return true;
}

}  // namespace kv350::firmware
