#pragma once
// The Firmware page: pick a KFW file, see what its header says, and replace
// the reader's firmware with it.

#include "firmware/dfu.h"
#include "firmware/upgrade.h"
#include "pages/page.h"
#include "pages/services.h"

#include <QWidget>
#include <optional>

class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

namespace kv350::firmware {

class FirmwarePage final : public Page, private UpgradeView {
    Q_OBJECT
public:
    // What the page needs beyond the context: the file dialog, and the USB
    // device and clock of the download client.
    struct Services {
        Dialogs &dialogs;
        HidBackend &hid;
        Clock &clock;
    };
    // The open dialog's filter; upper and lower case alike on every platform.
    static constexpr const char *FileFilter = "Firmware files (*.KFW *.kfw)";

    FirmwarePage(PageContext &context, Services services, QWidget *parent = nullptr);

    void applyLanguage() override;
    FirmwareState &firmwareState() { return m_upgrade.state(); }

    bool LoadFirmwareFile();
    bool DownloadLoadedFirmware();

public slots:
    void btnFileClick();
    void btnFILClick();
    void btnSECClick();
    void btnUpgradeClick();
    void btnUPGClick();

signals:
    // An upgrade completed: the window runs its show sequence, which reconnects.
    void reconnectRequested();
    // A step of the upgrade, or its outcome, in English (for the session log).
    void upgradeStep(const QString &step);

private:
    // UpgradeView
    void setBusy(bool busy) override;
    void setProgressMaximum(int maximum) override;
    void setProgress(int position) override;
    void showFileHeader(const QString &size, const QString &checksum, const QString &type,
                        const QString &version) override;
    void reconnect() override { emit reconnectRequested(); }

    bool chooseFile();
    UsbIdTexts ids() const;

    Services m_services;
    Dfu m_dfu;
    FirmwareUpgrade m_upgrade;
    int m_busy = 0;
    std::optional<UpgradeMessage> m_lastStep;
    QGroupBox *m_gbUSBID, *m_gbFirmwareFile, *m_gbFirmwareUpgrade;
    QLineEdit *m_edVID, *m_edPID, *m_edCodeSize, *m_edCodeChecksum, *m_edCodeType, *m_edCodeVersion, *m_edFile,
        *m_edFIL;
    QLabel *m_lblCodeSize, *m_lblCodeChecksum, *m_lblCodeType, *m_lblCodeVersion, *m_lblFile, *m_lblProc;
    QProgressBar *m_pbProc;
    QPushButton *m_btnFile, *m_btnUpgrade, *m_btnSEC, *m_btnFIL, *m_btnUPG;
};

}  // namespace kv350::firmware
