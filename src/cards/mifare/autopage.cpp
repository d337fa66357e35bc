#include "autopage.h"

#include "cards/mifare/mifareframes.h"
#include "pages/controls.h"
#include "pages/pagecommands.h"
#include "pages/pagewidgets.h"
#include "settings/readersettings.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QVBoxLayout>

namespace kv350::cards {

using namespace widgets;

AutoPage::AutoPage(PageContext &context, QWidget *parent) : Page(context, parent)
{
    setObjectName(QStringLiteral("tsAuto"));

    // ID location, MIFARE Classic
    m_gbM1IDSector = group(this, "gbM1IDSector");
    QWidget *g = m_gbM1IDSector;
    auto *m1 = compact(new QGridLayout(g));
    barRows(g, m1,
            {{&m_lblM1IDSector, "lblM1IDSector", &m_sbM1IDSector, "sbM1IDSector", "pnM1IDSector", 0, 39, 0, 10},
             {&m_lblM1IDBlock, "lblM1IDBlock", &m_sbM1IDBlock, "sbM1IDBlock", "pnM1IDBlock", 0, 15, 0, 2},
             {&m_lblM1IDStart, "lblM1IDStart", &m_sbM1IDStart, "sbM1IDStart", "pnM1IDStart", 0, 11, 0, 5},
             {&m_lblM1IDByte, "lblM1IDByte", &m_sbM1IDByte, "sbM1IDByte", "pnM1IDByte", 0, 16, 4, 5}});
    m_rbM1IDKeyA = radio(g, "rbM1IDKeyA", {}, true);
    m_rbM1IDKeyB = radio(g, "rbM1IDKeyB", {});
    exclusive(this, {m_rbM1IDKeyA, m_rbM1IDKeyB});
    m_lblM1IDErr = label(g, "lblM1IDErr");
    m_cmbM1IDKeyErr = dropDown(g, "cmbM1IDKeyErr", keyErrorNames(), 1);
    m_btnM1IDSector = button(g, "btnM1IDSector");
    m_btnGetM1IDSector = button(g, "btnGetM1IDSector");
    addRowAcross(m1, 4, {m_rbM1IDKeyA, m_rbM1IDKeyB}, true);
    auto *err = new QHBoxLayout;
    err->addWidget(m_lblM1IDErr);
    err->addWidget(m_cmbM1IDKeyErr, 1);
    m1->addLayout(err, 5, 0, 1, 3);
    addRowAcross(m1, 6, {m_btnM1IDSector, m_btnGetM1IDSector});

    // ID location, NTAG203 / Ultralight
    m_gbNIDSector = group(this, "gbNIDSector");
    g = m_gbNIDSector;
    auto *nt = compact(new QGridLayout(g));
    barRows(g, nt,
            {{&m_lblNIDBlock, "lblNIDBlock", &m_sbNIDBlock, "sbNIDBlock", "pnNIDBlock", 0, 41, 0, 2},
             {&m_lblNIDStart, "lblNIDStart", &m_sbNIDStart, "sbNIDStart", "pnNIDStart", 0, 11, 0, 5},
             {&m_lblNIDByte, "lblNIDByte", &m_sbNIDByte, "sbNIDByte", "pnNIDByte", 0, 16, 4, 5}});
    m_btnNIDSector = button(g, "btnNIDSector");
    m_btnGetNIDSector = button(g, "btnGetNIDSector");
    addRowAcross(nt, 3, {m_btnNIDSector, m_btnGetNIDSector});

    // Key into the reader's EEPROM
    m_gbM1E2 = group(this, "gbM1E2");
    g = m_gbM1E2;
    m_lblM1E2Key = label(g, "lblM1E2Key");
    m_edM1Key = upperEdit(g, "edM1Key", QStringLiteral("FFFFFFFFFFFF"), 12);
    const Bar e2 = scrollBar(g, "sbM1E2Sector", "pnM1E2Sector", 0, 39, 1, 10);
    m_sbM1E2Sector = e2.bar;
    m_lblM1E2Sector = label(g, "lblM1E2Sector");
    m_rbM1KeyA = radio(g, "rbM1KeyA", QStringLiteral("Key A"), true);
    m_rbM1KeyB = radio(g, "rbM1KeyB", QStringLiteral("Key B"));
    exclusive(this, {m_rbM1KeyA, m_rbM1KeyB});
    m_btnM1Key = button(g, "btnM1Key");
    auto *e2g = compact(new QGridLayout(g));
    e2g->addWidget(m_lblM1E2Key, 0, 0);
    e2g->addWidget(m_edM1Key, 0, 1, 1, 2);
    addBarRow(e2g, 1, m_lblM1E2Sector, e2);
    auto *e2keys = new QHBoxLayout;
    e2keys->addWidget(m_rbM1KeyA);
    e2keys->addWidget(m_rbM1KeyB);
    e2keys->addStretch();
    e2keys->addWidget(m_btnM1Key);
    e2g->addLayout(e2keys, 2, 0, 1, 3);
    e2g->setColumnStretch(1, 1);

    // Shows the card type of the location; the user cannot change it.
    m_gbAutoType = group(this, "gbAutoType", QStringLiteral("Auto Read Type"));
    m_rbUltralight = radio(m_gbAutoType, "rbUltralight", QStringLiteral("MIFARE Ultralight"));
    m_rbM1Classic = radio(m_gbAutoType, "rbM1Classic", QStringLiteral("MIFARE Classic"), true);
    exclusive(this, {m_rbUltralight, m_rbM1Classic});
    auto *at = compact(new QVBoxLayout(m_gbAutoType));
    at->addWidget(m_rbUltralight);
    at->addWidget(m_rbM1Classic);
    m_gbAutoType->setEnabled(false);

    auto *page = compact(new QGridLayout(this));
    page->setContentsMargins(4, 4, 4, 4);
    page->addWidget(m_gbM1IDSector, 0, 0);
    page->addWidget(m_gbNIDSector, 1, 0);
    auto *right = new QVBoxLayout;
    right->setSpacing(3);
    right->addWidget(m_gbM1E2);
    right->addWidget(m_gbAutoType);
    right->addStretch();
    page->addLayout(right, 0, 1, 2, 1);
    page->setColumnStretch(0, 3);
    page->setColumnStretch(1, 2);
    page->setRowStretch(2, 1);

    connect(m_btnM1Key, &QPushButton::clicked, this, &AutoPage::btnM1KeyClick);
    connect(m_btnM1IDSector, &QPushButton::clicked, this, &AutoPage::btnM1IDSectorClick);
    connect(m_btnNIDSector, &QPushButton::clicked, this, &AutoPage::btnNIDSectorClick);
    connect(m_btnGetM1IDSector, &QPushButton::clicked, this, &AutoPage::btnGetM1IDSectorClick);
    connect(m_btnGetNIDSector, &QPushButton::clicked, this, &AutoPage::btnGetM1IDSectorClick);
    // The two groups are two views of one location; QScrollBar clamps and
    // reports only real changes, so the mirroring settles.
    connect(m_sbM1IDSector, &QScrollBar::valueChanged, this, &AutoPage::sbM1IDSectorChange);
    connect(m_sbM1IDBlock, &QScrollBar::valueChanged, this, &AutoPage::sbM1IDBlockChange);
    connect(m_sbM1IDStart, &QScrollBar::valueChanged, this, &AutoPage::sbM1IDStartChange);
    connect(m_sbM1IDByte, &QScrollBar::valueChanged, this, &AutoPage::sbM1IDByteChange);
    connect(m_sbNIDBlock, &QScrollBar::valueChanged, this, &AutoPage::sbNIDBlockChange);
    connect(m_sbNIDStart, &QScrollBar::valueChanged, this, &AutoPage::sbNIDStartChange);
    connect(m_sbNIDByte, &QScrollBar::valueChanged, this, &AutoPage::sbNIDByteChange);

    applyLanguage();
}

void AutoPage::applyLanguage()
{
    const std::pair<QWidget *, const char *> captions[] = {
        {m_gbM1IDSector, "ID Block/Byte (MIFARE Classic)"},
        {m_gbNIDSector, "ID Block/Byte (NFC NTAG203/Ultralight)"},
        {m_gbM1E2, "Write Key To EEPROM (MIFARE Classic)"},
        {m_lblM1IDSector, "Sector:"},
        {m_lblM1E2Sector, "Sector:"},
        {m_lblM1IDBlock, "Block:"},
        {m_lblNIDBlock, "Block:"},
        {m_lblM1IDStart, "Start:"},
        {m_lblNIDStart, "Start:"},
        {m_lblM1IDByte, "Byte:"},
        {m_lblNIDByte, "Byte:"},
        {m_lblM1E2Key, "Key:"},
        {m_lblM1IDErr, "Key Error MSG:"},
        {m_rbM1IDKeyA, "Key A"},
        {m_rbM1IDKeyB, "Key B"},
        {m_btnM1IDSector, "Set Auto Read MIFARE Classic"},
        {m_btnNIDSector, "Set Auto Read NFC NTAG203/Ultralight"},
        {m_btnGetM1IDSector, "Get Current Setting"},
        {m_btnGetNIDSector, "Get Current Setting"},
        {m_btnM1Key, "Write"},
    };
    for (const auto &[control, english] : captions)
        setCaption(control, m_context.text(english));
}

void AutoPage::resetToFactory()
{
    // The NTAG group follows through the mirroring of the two groups.
    m_sbM1IDSector->setValue(0);
    m_sbM1IDBlock->setValue(0);
    m_sbM1IDStart->setValue(0);
    m_sbM1IDByte->setValue(4);
    m_rbM1IDKeyA->setChecked(true);
    m_cmbM1IDKeyErr->setCurrentIndex(1);  // "LED"
}

void AutoPage::btnM1KeyClick()
{
    // The key goes into the reader as typed: a text that does not convert is
    // put back to the transport key and nothing is stored.
    const HexField key = ParseHexField(m_edM1Key, 6, QStringLiteral("FFFFFFFFFFFF"));
    ReaderLink &link = m_context.link;
    if (!key.ok ||
        !link.ExecuteCommand(storeKeyFrame(KeyTypeByte(m_rbM1KeyA->isChecked()), key.bytes, m_sbM1E2Sector->value()),
                             ReaderLink::DefaultResponseLimit) ||
        link.responseStatus() != proto::StaOk)
        m_context.reporter.ShowCommandError();
    else
        m_context.reporter.ShowCommandDone();
}

IdLocation AutoPage::location() const
{
    IdLocation l;
    l.sector = m_sbM1IDSector->value();
    l.block = m_sbM1IDBlock->value();
    l.start = m_sbM1IDStart->value();
    l.byte = m_sbM1IDByte->value();
    l.keyA = m_rbM1IDKeyA->isChecked();
    l.keyError = m_cmbM1IDKeyErr->currentIndex() < 0 ? 0 : m_cmbM1IDKeyErr->currentIndex();
    return l;
}

void AutoPage::setLocation(bool ntag)
{
    IdLocation l = location();
    l.ntag = ntag;
    (ntag ? m_rbUltralight : m_rbM1Classic)->setChecked(true);
    const auto held = exchangeSetting(m_context, parameterInfo(proto::ParMifareIdLocation), l);
    if (!held)
        return;
    showLocation(std::get<IdLocation>(*held), false);
    m_context.reporter.ShowCommandDone();
}

void AutoPage::btnM1IDSectorClick()
{
    setLocation(false);
}

void AutoPage::btnNIDSectorClick()
{
    setLocation(true);
}

void AutoPage::btnGetM1IDSectorClick()
{
    const auto held = exchangeSetting(m_context, parameterInfo(proto::ParMifareIdLocation));
    if (!held)
        return;
    showLocation(std::get<IdLocation>(*held), true);
    m_context.reporter.ShowCommandDone();
}

void AutoPage::showLocation(const IdLocation &l, bool withCardType)
{
    m_sbM1IDSector->setValue(l.sector);
    m_sbM1IDBlock->setValue(l.block);
    m_sbM1IDStart->setValue(l.start);
    m_sbM1IDByte->setValue(l.byte);
    (l.keyA ? m_rbM1IDKeyA : m_rbM1IDKeyB)->setChecked(true);
    m_cmbM1IDKeyErr->setCurrentIndex(l.keyError < m_cmbM1IDKeyErr->count() ? l.keyError : -1);
    if (withCardType)
        (l.ntag ? m_rbUltralight : m_rbM1Classic)->setChecked(true);
}

void AutoPage::sbM1IDSectorChange(int sector)
{
    m_sbM1IDBlock->setMaximum(trailerBlock(sector));
    m_sbNIDBlock->setValue(sector * 4 + m_sbM1IDBlock->value());
}

void AutoPage::sbM1IDBlockChange(int block)
{
    m_sbNIDBlock->setValue(m_sbM1IDSector->value() * 4 + block);
}

void AutoPage::sbM1IDStartChange(int start)
{
    m_sbNIDStart->setValue(start);
}

void AutoPage::sbM1IDByteChange(int byte)
{
    m_sbNIDByte->setValue(byte);
}

void AutoPage::sbNIDBlockChange(int page)
{
    // Mirroring back runs while the block still holds its old value; the page
    // given here is the one to end on.
    m_sbM1IDSector->setValue(page / 4);
    m_sbM1IDBlock->setValue(page % 4);
}

void AutoPage::sbNIDStartChange(int start)
{
    m_sbM1IDStart->setValue(start);
}

void AutoPage::sbNIDByteChange(int byte)
{
    m_sbM1IDByte->setValue(byte);
}

}  // namespace kv350::cards
