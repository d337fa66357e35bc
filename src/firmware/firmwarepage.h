#pragma once
// The Firmware page: pick a KFW file, see what its header says, and replace
// the reader's firmware with it.

#include "app/pagecontext.h"

#include <QWidget>

class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

namespace kv350::firmware {

class FirmwarePage final : public QWidget {
    Q_OBJECT
public:
    FirmwarePage(PageContext &context, QWidget *parent = nullptr);

    void applyLanguage();

private:
    PageContext &m_context;
    QGroupBox *m_gbUSBID, *m_gbFirmwareFile, *m_gbFirmwareUpgrade;
    QLineEdit *m_edVID, *m_edPID, *m_edCodeSize, *m_edCodeChecksum, *m_edCodeType, *m_edCodeVersion, *m_edFile,
        *m_edFIL;
    QLabel *m_lblCodeSize, *m_lblCodeChecksum, *m_lblCodeType, *m_lblCodeVersion, *m_lblFile, *m_lblProc;
    QProgressBar *m_pbProc;
    QPushButton *m_btnFile, *m_btnUpgrade, *m_btnSEC, *m_btnFIL, *m_btnUPG;
};

}  // namespace kv350::firmware
