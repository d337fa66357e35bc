#include "firmwarepage.h"

#include "firmware/upgradereport.h"
#include "pages/controls.h"

#include <QApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace kv350::firmware {

using namespace widgets;

FirmwarePage::FirmwarePage(PageContext &context, Services services, QWidget *parent)
    : Page(context, parent),
      m_services(services),
      m_dfu(services.hid, services.clock),
      m_upgrade(context.link, context.pause, m_dfu, *this,
                [this, shown = upgradeReporter(context.reporter, context.language.textLookup())](UpgradeMessage message,
                                                                                                 int dots) {
                    // Each step once for the session log, then as the panel shows it.
                    if (message != m_lastStep)
                        emit upgradeStep(QLatin1String(upgradeMessageText(message)));
                    m_lastStep = message;
                    shown(message, dots);
                })
{
    setObjectName(QStringLiteral("tsFirmware"));

    m_gbUSBID = group(this, "gbUSBID", QStringLiteral("USB ID"));
    QWidget *g = m_gbUSBID;
    m_edVID = edit(g, "edVID", QStringLiteral("0E6A"), 4);
    m_edPID = edit(g, "edPID", QStringLiteral("0317"), 4);
    for (QLineEdit *e : {m_edVID, m_edPID})
        fitHexDigits(e, 4, true);
    auto *ids = compact(new QHBoxLayout(g));
    ids->addWidget(label(g, "lblVID", QStringLiteral("VID (Hex):")));
    ids->addWidget(m_edVID);
    ids->addSpacing(12);
    ids->addWidget(label(g, "lblPID", QStringLiteral("PID (Hex):")));
    ids->addWidget(m_edPID);
    ids->addStretch();

    m_gbFirmwareFile = group(this, "gbFirmwareFile");
    g = m_gbFirmwareFile;
    m_lblCodeSize = label(g, "lblCodeSize");
    m_edCodeSize = edit(g, "edCodeSize", QStringLiteral("0000"), 0, true);
    m_lblCodeChecksum = label(g, "lblCodeChecksum");
    m_edCodeChecksum = edit(g, "edCodeChecksum", QStringLiteral("0000"), 0, true);
    m_lblCodeType = label(g, "lblCodeType");
    m_edCodeType = edit(g, "edCodeType", {}, 0, true);
    m_lblCodeVersion = label(g, "lblCodeVersion");
    m_edCodeVersion = edit(g, "edCodeVersion", {}, 0, true);
    auto *file = compact(new QGridLayout(g));
    file->addWidget(m_lblCodeSize, 0, 0);
    file->addWidget(m_edCodeSize, 0, 1);
    file->addWidget(m_lblCodeChecksum, 0, 2);
    file->addWidget(m_edCodeChecksum, 0, 3);
    file->addWidget(m_lblCodeType, 1, 0);
    file->addWidget(m_edCodeType, 1, 1);
    file->addWidget(m_lblCodeVersion, 1, 2);
    file->addWidget(m_edCodeVersion, 1, 3);
    file->setColumnStretch(1, 1);
    file->setColumnStretch(3, 1);

    m_gbFirmwareUpgrade = group(this, "gbFirmwareUpgrade", QStringLiteral("Firmware upgrade"));
    g = m_gbFirmwareUpgrade;
    m_lblFile = label(g, "lblFile");
    m_edFile = edit(g, "edFile", {}, 0, true);
    m_btnFile = button(g, "btnFile");
    // The hidden path: checked against a typed model name, shown by ">>".
    m_edFIL = edit(g, "edFIL", QStringLiteral("KV350-M1"));
    m_btnFIL = button(g, "btnFIL");
    m_lblProc = label(g, "lblProc");
    m_pbProc = progress(g, "pbProc");
    m_btnUpgrade = button(g, "btnUpgrade");
    m_btnUPG = button(g, "btnUPG");
    m_btnSEC = button(g, "btnSEC", QStringLiteral(">>"));
    m_btnSEC->setFixedWidth(m_btnSEC->fontMetrics().horizontalAdvance(QStringLiteral(">>>>")) + 10);
    for (QWidget *hidden :
         {static_cast<QWidget *>(m_edFIL), static_cast<QWidget *>(m_btnFIL), static_cast<QWidget *>(m_btnUPG)})
        hidden->hide();
    auto *up = compact(new QGridLayout(g));
    up->addWidget(m_lblFile, 0, 0, 1, 2);
    up->addWidget(m_edFile, 1, 0, 1, 2);
    up->addWidget(m_btnFile, 1, 2);
    up->addWidget(m_edFIL, 2, 0, 1, 2);
    up->addWidget(m_btnFIL, 2, 2);
    up->addWidget(m_lblProc, 3, 0, 1, 2);
    up->addWidget(m_pbProc, 4, 0, 1, 2);
    up->addWidget(m_btnUpgrade, 4, 2);
    auto *secret = new QHBoxLayout;
    secret->addStretch();
    secret->addWidget(m_btnUPG);
    secret->addWidget(m_btnSEC);
    up->addLayout(secret, 5, 0, 1, 3);
    up->setColumnStretch(0, 1);

    auto *page = compact(new QVBoxLayout(this));
    page->setContentsMargins(4, 4, 4, 4);
    page->addWidget(m_gbUSBID);
    page->addWidget(m_gbFirmwareFile);
    page->addWidget(m_gbFirmwareUpgrade);
    page->addStretch();

    connect(m_btnFile, &QPushButton::clicked, this, &FirmwarePage::btnFileClick);
    connect(m_btnFIL, &QPushButton::clicked, this, &FirmwarePage::btnFILClick);
    connect(m_btnSEC, &QPushButton::clicked, this, &FirmwarePage::btnSECClick);
    connect(m_btnUpgrade, &QPushButton::clicked, this, &FirmwarePage::btnUpgradeClick);
    connect(m_btnUPG, &QPushButton::clicked, this, &FirmwarePage::btnUPGClick);

    applyLanguage();
    keepOwnFont({"lblVID", "edVID", "lblPID", "edPID"});
}

void FirmwarePage::applyLanguage()
{
    const std::pair<QWidget *, const char *> captions[] = {
        {m_gbFirmwareFile, "Firmware file"},
        {m_lblFile, "Firmware file path:"},
        {m_lblProc, "Upgrade progress:"},
        {m_btnFile, "Select firmware file"},
        {m_btnFIL, "Select firmware file"},
        {m_lblCodeSize, "Code size (Hex):"},
        {m_lblCodeChecksum, "Code checksum (Hex):"},
        {m_lblCodeType, "Code type:"},
        {m_lblCodeVersion, "Code version:"},
        {m_btnUpgrade, "Update Firmware"},
        {m_btnUPG, "Update Firmware"},
    };
    for (const auto &[control, english] : captions)
        setCaption(control, m_context.text(english));
}

UsbIdTexts FirmwarePage::ids() const
{
    return {m_edVID->text(), m_edPID->text()};
}

bool FirmwarePage::LoadFirmwareFile()
{
    return m_upgrade.LoadFirmwareFile(m_edFile->text());
}

bool FirmwarePage::DownloadLoadedFirmware()
{
    return m_upgrade.DownloadLoadedFirmware(ids());
}

bool FirmwarePage::chooseFile()
{
    m_pbProc->setMaximum(50);
    m_pbProc->setValue(0);
    m_context.reporter.ShowText({});
    const QString path = m_services.dialogs.openFile(m_context.text("Select firmware file"),
                                                     QString::fromLatin1(FileFilter));
    if (path.isEmpty())
        return false;
    m_edFile->setText(path);
    return true;
}

void FirmwarePage::btnFileClick()
{
    if (!m_context.link.Connected() && !m_context.link.ConnectReader()) {
        m_context.reporter.report(firmwareError("Disconnected"));
        return;
    }
    if (chooseFile())
        LoadFirmwareFile();
}

void FirmwarePage::btnFILClick()
{
    m_context.link.setModelName(m_edFIL->text());
    if (chooseFile())
        LoadFirmwareFile();
}

void FirmwarePage::btnSECClick()
{
    m_edFIL->show();
    m_btnFIL->show();
    m_btnUPG->show();
}

void FirmwarePage::btnUpgradeClick()
{
    m_upgrade.upgradeConnectedReader(m_edFile->text(), ids());
}

void FirmwarePage::btnUPGClick()
{
    m_upgrade.upgradeWithoutLink(m_edFile->text(), ids());
}

void FirmwarePage::setBusy(bool busy)
{
    // Nested: loading a file inside an upgrade must not give the window back early.
    if (busy && m_busy++ == 0) {
        window()->setEnabled(false);
        QApplication::setOverrideCursor(Qt::WaitCursor);
    } else if (!busy && m_busy > 0 && --m_busy == 0) {
        window()->setEnabled(true);
        QApplication::restoreOverrideCursor();
    }
}

void FirmwarePage::setProgressMaximum(int maximum)
{
    m_pbProc->setMaximum(maximum);
}

void FirmwarePage::setProgress(int position)
{
    m_pbProc->setValue(position);
}

void FirmwarePage::showFileHeader(const QString &size, const QString &checksum, const QString &type,
                                  const QString &version)
{
    m_edCodeSize->setText(size);
    m_edCodeChecksum->setText(checksum);
    m_edCodeType->setText(type);
    m_edCodeVersion->setText(version);
}

}  // namespace kv350::firmware
