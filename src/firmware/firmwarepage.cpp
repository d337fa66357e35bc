#include "firmwarepage.h"

#include "widgets/controls.h"

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

FirmwarePage::FirmwarePage(PageContext &context, QWidget *parent) : QWidget(parent), m_context(context)
{
    setObjectName(QStringLiteral("tsFirmware"));

    m_gbUSBID = group(this, "gbUSBID", QStringLiteral("USB ID"));
    QWidget *g = m_gbUSBID;
    m_edVID = edit(g, "edVID", QStringLiteral("0E6A"), 4);
    m_edPID = edit(g, "edPID", QStringLiteral("0317"), 4);
    for (QLineEdit *e : {m_edVID, m_edPID})
        e->setFixedWidth(e->fontMetrics().horizontalAdvance(QStringLiteral("0E6A")) + 16);
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
    for (QWidget *hidden : {static_cast<QWidget *>(m_edFIL), static_cast<QWidget *>(m_btnFIL),
                            static_cast<QWidget *>(m_btnUPG)})
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

    applyLanguage();
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

}  // namespace kv350::firmware
