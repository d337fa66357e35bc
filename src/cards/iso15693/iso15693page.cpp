#include "iso15693page.h"

#include "cards/iso15693/isoframes.h"
#include "link/frame.h"
#include "pages/controls.h"
#include "pages/pagecommands.h"
#include "pages/pagewidgets.h"
#include "settings/readersettings.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QStackedLayout>
#include <QVBoxLayout>

namespace kv350::cards {

using namespace widgets;

Iso15693Page::Iso15693Page(PageContext &context, QWidget *parent) : Page(context, parent)
{
    setObjectName(QStringLiteral("tsISO15693"));

    m_gbICRW = group(this, "gbICRW");
    QWidget *g = m_gbICRW;
    const Bar block = scrollBar(g, "sbICBlock", "pnICBlock", 0, 15, 0, 2);
    const Bar num = scrollBar(g, "sbICNum", "pnICNum", 1, 6, 1, 5);
    m_sbICBlock = block.bar;
    m_sbICNum = num.bar;
    m_lblICBlock = label(g, "lblICBlock");
    m_lblICNum = label(g, "lblICNum");
    m_lblICWrite = label(g, "lblICWrite");
    // Room for six blocks of four bytes, the most a write takes.
    m_edICWrite = upperEdit(g, "edICWrite", QStringLiteral("FFFFFFFF"), 2 * IsoBlockSize * IsoMaxBlocks);
    m_btnICWrite = button(g, "btnICWrite");
    m_lblICRead = label(g, "lblICRead");
    m_edICRead = edit(g, "edICRead", {}, 0, true);
    m_btnICRead = button(g, "btnICRead");
    auto *rw = compact(new QGridLayout(g));
    addBarRow(rw, 0, m_lblICBlock, block);
    addBarRow(rw, 1, m_lblICNum, num);
    rw->addWidget(m_lblICWrite, 2, 0, 1, 3);
    rw->addWidget(m_edICWrite, 3, 0, 1, 3);
    rw->addWidget(m_btnICWrite, 3, 3);
    rw->addWidget(m_lblICRead, 4, 0, 1, 3);
    rw->addWidget(m_edICRead, 5, 0, 1, 3);
    rw->addWidget(m_btnICRead, 5, 3);
    rw->setColumnStretch(1, 1);

    m_gbICCommand = group(this, "gbICCommand");
    g = m_gbICCommand;
    m_btnInventory = button(g, "btnInventory", QStringLiteral("Inventory"));
    m_btnInformation = button(g, "btnInformation", QStringLiteral("Information"));
    m_edInventory = upperEdit(g, "edInventory", {}, 0, true);
    m_edInformation = upperEdit(g, "edInformation", {}, 0, true);
    auto *cmd = compact(new QGridLayout(g));
    cmd->addWidget(m_btnInventory, 0, 0);
    cmd->addWidget(m_edInventory, 0, 1);
    cmd->addWidget(m_btnInformation, 1, 0);
    cmd->addWidget(m_edInformation, 1, 1);
    cmd->setColumnStretch(1, 1);

    m_gbICIDBlock = group(this, "gbICIDBlock");
    g = m_gbICIDBlock;
    auto *id = compact(new QGridLayout(g));
    barRows(g, id,
            {{&m_lblICIDBlock, "lblICIDBlock", &m_sbICIDBlock, "sbICIDBlock", "pnICIDBlock", 0, 63, 0, 2},
             {&m_lblICIDStart, "lblICIDStart", &m_sbICIDStart, "sbICIDStart", "pnICIDStart", 0, 3, 0, 5},
             {&m_lblICIDByte, "lblICIDByte", &m_sbICIDByte, "sbICIDByte", "pnICIDByte", 0, 8, 4, 5}});
    m_btnICIDBlock = button(g, "btnICIDBlock");
    m_btnGetICIDBlock = button(g, "btnGetICIDBlock");
    addRowAcross(id, 3, {m_btnICIDBlock, m_btnGetICIDBlock});

    m_gbMICType = group(this, "gbMICType");
    g = m_gbMICType;
    m_chkHF15693 = checkBox(g, "chkHF15693", QStringLiteral("ISO 15693"), true);
    m_chkHF14443A = checkBox(g, "chkHF14443A", QStringLiteral("ISO 14443A"), true);
    m_chkHF14443B = checkBox(g, "chkHF14443B", QStringLiteral("ISO 14443B"));
    m_chkHF14443B->hide();
    m_btnSetMICType = button(g, "btnSetMICType");
    m_btnGetMICType = button(g, "btnGetMICType");
    auto *mic = compact(new QGridLayout(g));
    mic->addWidget(m_chkHF15693, 0, 0);
    mic->addWidget(m_chkHF14443A, 0, 1);
    mic->addWidget(m_chkHF14443B, 1, 0);
    mic->addWidget(m_btnSetMICType, 2, 0);
    mic->addWidget(m_btnGetMICType, 2, 1);

    // AFI / DSFID has no command behind it: it stays covered by the card types.
    m_gbAFI = group(this, "gbAFI", QStringLiteral("AFI / DSFID"));
    g = m_gbAFI;
    const Bar afi = scrollBar(g, "sbAFI", "pnAFI", 0, 255, 0, 10);
    const Bar dsfid = scrollBar(g, "sbDSFID", "pnDSFID", 0, 255, 0, 10);
    m_sbAFI = afi.bar;
    m_sbDSFID = dsfid.bar;
    m_btnWriteAFI = button(g, "btnWriteAFI");
    m_btnLockAFI = button(g, "btnLockAFI");
    m_btnWriteDSFID = button(g, "btnWriteDSFID");
    m_btnLockDSFID = button(g, "btnLockDSFID");
    auto *af = compact(new QGridLayout(g));
    addBarRow(af, 0, label(g, "lblAFI", QStringLiteral("AFI:")), afi);
    af->addWidget(m_btnWriteAFI, 0, 3);
    af->addWidget(m_btnLockAFI, 0, 4);
    addBarRow(af, 1, label(g, "lblDSFID", QStringLiteral("DSFID:")), dsfid);
    af->addWidget(m_btnWriteDSFID, 1, 3);
    af->addWidget(m_btnLockDSFID, 1, 4);
    af->setColumnStretch(1, 1);

    auto *stack = new QStackedLayout;
    stack->addWidget(m_gbMICType);
    stack->addWidget(m_gbAFI);
    stack->setCurrentWidget(m_gbMICType);

    auto *page = compact(new QGridLayout(this));
    page->setContentsMargins(4, 4, 4, 4);
    page->addWidget(m_gbICRW, 0, 0);
    page->addWidget(m_gbICCommand, 1, 0);
    page->addWidget(m_gbICIDBlock, 0, 1);
    page->addLayout(stack, 1, 1);
    page->setRowStretch(2, 1);
    page->setColumnStretch(0, 3);
    page->setColumnStretch(1, 2);

    connect(m_btnInventory, &QPushButton::clicked, this, &Iso15693Page::btnInventoryClick);
    connect(m_btnInformation, &QPushButton::clicked, this, &Iso15693Page::btnInformationClick);
    connect(m_btnICRead, &QPushButton::clicked, this, &Iso15693Page::btnICReadClick);
    connect(m_btnICWrite, &QPushButton::clicked, this, &Iso15693Page::btnICWriteClick);
    connect(m_btnICIDBlock, &QPushButton::clicked, this, &Iso15693Page::btnICIDBlockClick);
    connect(m_btnGetICIDBlock, &QPushButton::clicked, this, &Iso15693Page::btnGetICIDBlockClick);
    connect(m_btnSetMICType, &QPushButton::clicked, this, &Iso15693Page::btnSetMICTypeClick);
    connect(m_btnGetMICType, &QPushButton::clicked, this, &Iso15693Page::btnGetMICTypeClick);

    applyLanguage();
    keepOwnFont({"chkHF15693", "chkHF14443A", "chkHF14443B"});
}

void Iso15693Page::applyLanguage()
{
    const std::pair<QWidget *, const char *> captions[] = {
        {m_gbMICType, "MIC Available Card Type"},
        {m_gbICIDBlock, "Card ID Block/Byte"},
        {m_lblICIDBlock, "Block:"},
        {m_lblICBlock, "Block:"},
        {m_lblICIDStart, "Start:"},
        {m_lblICIDByte, "Byte:"},
        {m_gbICRW, "Card Data Read/Write Test"},
        {m_lblICNum, "Blocks:"},
        {m_lblICRead, "Read Block Data:"},
        {m_btnICRead, "Read Block Data"},
        {m_lblICWrite, "Write Block Data:"},
        {m_btnICWrite, "Write Block Data"},
        {m_gbICCommand, "ISO15693 Command"},
        {m_btnICIDBlock, "Set"},
        {m_btnSetMICType, "Set"},
        {m_btnGetICIDBlock, "Get Current Setting"},
        {m_btnGetMICType, "Get Current Setting"},
        {m_btnWriteAFI, "Write"},
        {m_btnWriteDSFID, "Write"},
        {m_btnLockAFI, "Lock"},
        {m_btnLockDSFID, "Lock"},
    };
    for (const auto &[control, english] : captions)
        setCaption(control, m_context.text(english));
}

void Iso15693Page::resetToFactory()
{
    m_sbICIDBlock->setValue(0);
    m_sbICIDStart->setValue(0);
    m_sbICIDByte->setValue(4);
    m_chkHF15693->setChecked(true);
    m_chkHF14443A->setChecked(true);
    m_chkHF14443B->setChecked(false);
}

void Iso15693Page::btnInventoryClick()
{
    if (cardCommand(m_context, isoInventoryFrame(), ReaderLink::DefaultResponseLimit) != CardResult::Done) {
        m_context.reporter.ShowCommandError();
        return;
    }
    m_edInventory->setText(BytesToHex(m_context.link.responseData()));
    m_context.reporter.ShowCommandDone();
}

std::optional<QByteArray> Iso15693Page::findTag()
{
    // No tag answered, or the reply holds no UID: an addressed request with
    // whatever bytes lay in the buffer would go to no tag, or the wrong one.
    std::optional<QByteArray> uid;
    if (cardCommand(m_context, isoInventoryFrame(), ReaderLink::DefaultResponseLimit) == CardResult::Done)
        uid = inventoryUid(m_context.link.responseData());
    if (!uid)
        m_context.reporter.ShowCommandError();
    return uid;
}

void Iso15693Page::btnInformationClick()
{
    const auto uid = findTag();
    if (!uid)
        return;
    if (cardCommand(m_context, isoInformationFrame(*uid), ReaderLink::DefaultResponseLimit) != CardResult::Done) {
        m_context.reporter.ShowCommandError();
        return;
    }
    m_edInformation->setText(BytesToHex(m_context.link.responseData()));
    m_context.reporter.ShowCommandDone();
}

void Iso15693Page::btnICReadClick()
{
    const auto uid = findTag();
    if (!uid)
        return;
    const int count = m_sbICNum->value();
    std::optional<QByteArray> blocks;
    if (cardCommand(m_context, isoReadFrame(*uid, m_sbICBlock->value(), count), ReaderLink::DefaultResponseLimit) ==
        CardResult::Done)
        blocks = isoBlocks(m_context.link.responseData(), count);
    if (!blocks) {
        m_context.reporter.ShowCommandError();
        return;
    }
    m_edICRead->setText(BytesToHex(*blocks));
    m_context.reporter.ShowCommandDone();
}

void Iso15693Page::btnICWriteClick()
{
    const int count = m_sbICNum->value();
    // Only the user's own bytes are written: a text that does not convert (or
    // is too short for the blocks) goes back to its default and nothing is sent.
    const HexField data = ParseHexField(m_edICWrite, IsoBlockSize * count, QStringLiteral("FFFFFFFF"));
    if (!data.ok) {
        m_context.reporter.ShowCommandError();
        return;
    }
    const auto uid = findTag();
    if (!uid)
        return;
    std::optional<QByteArray> blocks;
    if (cardCommand(m_context, isoWriteFrame(*uid, m_sbICBlock->value(), count, data.bytes),
                    ReaderLink::DefaultResponseLimit) == CardResult::Done)
        blocks = isoBlocks(m_context.link.responseData(), count);
    if (!blocks) {
        m_context.reporter.ShowCommandError();
        return;
    }
    m_edICRead->setText(BytesToHex(*blocks));
    m_context.reporter.ShowCommandDone();
}

void Iso15693Page::showIdLocation(const IsoIdLocation &l)
{
    m_sbICIDBlock->setValue(l.block);
    m_sbICIDStart->setValue(l.start);
    m_sbICIDByte->setValue(l.byte);
}

void Iso15693Page::btnICIDBlockClick()
{
    applySetting(m_context, parameterInfo(proto::ParIso15693IdBlock),
                 IsoIdLocation{m_sbICIDBlock->value(), m_sbICIDStart->value(), m_sbICIDByte->value()},
                 [this](const ParameterValue &held) { showIdLocation(std::get<IsoIdLocation>(held)); });
}

void Iso15693Page::btnGetICIDBlockClick()
{
    applySetting(m_context, parameterInfo(proto::ParIso15693IdBlock), std::nullopt,
                 [this](const ParameterValue &held) { showIdLocation(std::get<IsoIdLocation>(held)); });
}

void Iso15693Page::showMicTypes(std::uint8_t bits)
{
    m_chkHF15693->setChecked(bits & HfIso15693);
    m_chkHF14443A->setChecked(bits & HfIso14443A);
    m_chkHF14443B->setChecked(bits & HfIso14443B);
}

void Iso15693Page::btnSetMICTypeClick()
{
    const std::uint8_t bits = (m_chkHF15693->isChecked() ? HfIso15693 : 0) |
                              (m_chkHF14443A->isChecked() ? HfIso14443A : 0) |
                              (m_chkHF14443B->isChecked() ? HfIso14443B : 0);
    applySetting(m_context, parameterInfo(proto::ParMicCardType), CardTypes{bits},
                 [this](const ParameterValue &held) { showMicTypes(std::get<CardTypes>(held).bits); });
}

void Iso15693Page::btnGetMICTypeClick()
{
    applySetting(m_context, parameterInfo(proto::ParMicCardType), std::nullopt,
                 [this](const ParameterValue &held) { showMicTypes(std::get<CardTypes>(held).bits); });
}

}  // namespace kv350::cards
