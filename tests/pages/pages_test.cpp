// The pages of the main window as the window builds them: every control of
// the design under its name and kind, with its start value and limits.
#include "pages/controls.h"
#include "windowrig.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTabWidget>
#include <QTest>
#include <gtest/gtest.h>
#include <set>

using namespace kv350;

namespace {

// The window against a virtual reader, shown: the pages as a user first sees them.
struct Rig : kv350::testing::WindowRig {
    explicit Rig(const char *model = "KV350-MIC-X") : WindowRig(model) { show(); }
};

enum Kind { Button, Check, Radio, Combo, Edit, Bar, Panel, Label, List, Memo, Progress, Group };

const QMetaObject *metaOf(Kind kind)
{
    switch (kind) {
    case Button:
        return &QPushButton::staticMetaObject;
    case Check:
        return &QCheckBox::staticMetaObject;
    case Radio:
        return &QRadioButton::staticMetaObject;
    case Combo:
        return &QComboBox::staticMetaObject;
    case Edit:
        return &QLineEdit::staticMetaObject;
    case Bar:
        return &QScrollBar::staticMetaObject;
    case Panel:
    case Label:
        return &QLabel::staticMetaObject;
    case List:
        return &QListWidget::staticMetaObject;
    case Memo:
        return &QPlainTextEdit::staticMetaObject;
    case Progress:
        return &QProgressBar::staticMetaObject;
    case Group:
        return &QGroupBox::staticMetaObject;
    }
    return nullptr;
}

struct Control {
    const char *page;
    const char *name;
    Kind kind;
};

// Every named control of the ten pages, page by page.
// clang-format off
const Control Controls[] = {
    {"tsCommon", "gbIdFormat", Group}, {"tsCommon", "cmbFormat", Combo}, {"tsCommon", "chkReverse", Check},
    {"tsCommon", "chkReverseBit", Check}, {"tsCommon", "chkDecZero", Check}, {"tsCommon", "chkAddEnter", Check},
    {"tsCommon", "chkAddLF", Check}, {"tsCommon", "chkAddTab", Check}, {"tsCommon", "chkAddDown", Check},
    {"tsCommon", "chkAddSpace", Check}, {"tsCommon", "chkAddComma", Check}, {"tsCommon", "chkAddBrackets", Check},
    {"tsCommon", "chkAddQuotation", Check}, {"tsCommon", "lblFormat", Label}, {"tsCommon", "btnIdFormat", Button},
    {"tsCommon", "btnGetIdFormat", Button}, {"tsCommon", "gbUsbMode", Group}, {"tsCommon", "lblUsbMode", Label},
    {"tsCommon", "cmbUsbMode", Combo}, {"tsCommon", "btnUsbMode", Button}, {"tsCommon", "btnGetUsbMode", Button},
    {"tsCommon", "gbReadMode", Group}, {"tsCommon", "chkReadAuto", Check}, {"tsCommon", "chkReadBeep", Check},
    {"tsCommon", "chkReadLED", Check}, {"tsCommon", "chkReadSameCard", Check}, {"tsCommon", "chkReadGreen", Check},
    {"tsCommon", "chkSTX", Check}, {"tsCommon", "chkETag", Check}, {"tsCommon", "btnReadMode", Button},
    {"tsCommon", "btnGetReadMode", Button}, {"tsCommon", "gbScanTime", Group}, {"tsCommon", "sbScanTime", Bar},
    {"tsCommon", "pnScanTime", Panel}, {"tsCommon", "lblScanTime", Label}, {"tsCommon", "btnScanTime", Button},
    {"tsCommon", "btnGetScanTime", Button}, {"tsCommon", "gbSameCard", Group}, {"tsCommon", "sbSameCard", Bar},
    {"tsCommon", "pnSameCard", Panel}, {"tsCommon", "lblSameCard", Label}, {"tsCommon", "btnSameCard", Button},
    {"tsCommon", "btnGetSameCard", Button}, {"tsCommon", "gbDelayTime", Group}, {"tsCommon", "sbDelayTime", Bar},
    {"tsCommon", "pnDelayTime", Panel}, {"tsCommon", "lblms", Label}, {"tsCommon", "btnSetDelayTime", Button},
    {"tsCommon", "btnGetDelayTime", Button}, {"tsCommon", "gbLayout", Group}, {"tsCommon", "cmbLayout", Combo},
    {"tsCommon", "btnSetLayout", Button}, {"tsCommon", "btnGetLayout", Button}, {"tsCommon", "gbUtility", Group},
    {"tsCommon", "btnReboot", Button}, {"tsCommon", "btnFactory", Button},

    {"tsAuto", "gbM1IDSector", Group}, {"tsAuto", "sbM1IDSector", Bar}, {"tsAuto", "pnM1IDSector", Panel},
    {"tsAuto", "sbM1IDBlock", Bar}, {"tsAuto", "pnM1IDBlock", Panel}, {"tsAuto", "sbM1IDByte", Bar},
    {"tsAuto", "pnM1IDByte", Panel}, {"tsAuto", "sbM1IDStart", Bar}, {"tsAuto", "pnM1IDStart", Panel},
    {"tsAuto", "lblM1IDSector", Label}, {"tsAuto", "lblM1IDBlock", Label}, {"tsAuto", "lblM1IDStart", Label},
    {"tsAuto", "lblM1IDByte", Label}, {"tsAuto", "lblM1IDErr", Label}, {"tsAuto", "rbM1IDKeyA", Radio},
    {"tsAuto", "rbM1IDKeyB", Radio}, {"tsAuto", "cmbM1IDKeyErr", Combo}, {"tsAuto", "btnM1IDSector", Button},
    {"tsAuto", "btnGetM1IDSector", Button}, {"tsAuto", "gbM1E2", Group}, {"tsAuto", "edM1Key", Edit},
    {"tsAuto", "lblM1E2Key", Label}, {"tsAuto", "lblM1E2Sector", Label}, {"tsAuto", "sbM1E2Sector", Bar},
    {"tsAuto", "pnM1E2Sector", Panel}, {"tsAuto", "rbM1KeyA", Radio}, {"tsAuto", "rbM1KeyB", Radio},
    {"tsAuto", "btnM1Key", Button}, {"tsAuto", "gbNIDSector", Group}, {"tsAuto", "sbNIDBlock", Bar},
    {"tsAuto", "pnNIDBlock", Panel}, {"tsAuto", "sbNIDByte", Bar}, {"tsAuto", "pnNIDByte", Panel},
    {"tsAuto", "sbNIDStart", Bar}, {"tsAuto", "pnNIDStart", Panel}, {"tsAuto", "lblNIDBlock", Label},
    {"tsAuto", "lblNIDStart", Label}, {"tsAuto", "lblNIDByte", Label}, {"tsAuto", "btnNIDSector", Button},
    {"tsAuto", "btnGetNIDSector", Button}, {"tsAuto", "gbAutoType", Group}, {"tsAuto", "rbUltralight", Radio},
    {"tsAuto", "rbM1Classic", Radio},

    {"tsNTAG", "gbNRW", Group}, {"tsNTAG", "sbNBlock", Bar}, {"tsNTAG", "pnNBlock", Panel},
    {"tsNTAG", "lblNBlock", Label}, {"tsNTAG", "lblNWrite", Label}, {"tsNTAG", "lblNRead", Label},
    {"tsNTAG", "edNWrite", Edit}, {"tsNTAG", "edNWAscii", Edit}, {"tsNTAG", "edNRead", Edit},
    {"tsNTAG", "edNRAscii", Edit}, {"tsNTAG", "edNUID", Edit}, {"tsNTAG", "rbNHex", Radio},
    {"tsNTAG", "rbNAscii", Radio}, {"tsNTAG", "btnNWrite", Button}, {"tsNTAG", "btnNRead", Button},
    {"tsNTAG", "btnNUID", Button}, {"tsNTAG", "lblNUID", Label}, {"tsNTAG", "lblNHex", Label},
    {"tsNTAG", "lblNAscii", Label}, {"tsNTAG", "gbNReadAll", Group}, {"tsNTAG", "edNAll", Edit},
    {"tsNTAG", "lstNAll", List}, {"tsNTAG", "moNAllAscii", Memo}, {"tsNTAG", "btnNReadAll", Button},
    {"tsNTAG", "Label5", Label}, {"tsNTAG", "gbNURL", Group}, {"tsNTAG", "edNURL1", Edit},
    {"tsNTAG", "edNURL2", Edit}, {"tsNTAG", "edNURL3", Edit}, {"tsNTAG", "btnNURLWrite", Button},
    {"tsNTAG", "btnNURLRead", Button}, {"tsNTAG", "btnNSample", Button},

    {"tsMifare", "gbM1RW", Group}, {"tsMifare", "sbM1Sector", Bar}, {"tsMifare", "pnM1Sector", Panel},
    {"tsMifare", "sbM1Block", Bar}, {"tsMifare", "pnM1Block", Panel}, {"tsMifare", "lblM1Sector", Label},
    {"tsMifare", "lblM1Block", Label}, {"tsMifare", "edM1RWKey", Edit}, {"tsMifare", "rbM1RWKeyA", Radio},
    {"tsMifare", "rbM1RWKeyB", Radio}, {"tsMifare", "chkEEPROM", Check}, {"tsMifare", "edM1Write", Edit},
    {"tsMifare", "edM1WAscii", Edit}, {"tsMifare", "edM1Read", Edit}, {"tsMifare", "edM1RAscii", Edit},
    {"tsMifare", "btnM1Write", Button}, {"tsMifare", "btnM1Read", Button}, {"tsMifare", "btnM1UID", Button},
    {"tsMifare", "lblM1RWKey", Label}, {"tsMifare", "lblM1Write", Label}, {"tsMifare", "lblM1Read", Label},
    {"tsMifare", "Label1", Label}, {"tsMifare", "Label4", Label}, {"tsMifare", "gbM1ReadAll", Group},
    {"tsMifare", "edM1All", Edit}, {"tsMifare", "edM1Num", Edit}, {"tsMifare", "lstM1", List},
    {"tsMifare", "btnM1ReadAll", Button}, {"tsMifare", "btnM1WR", Button}, {"tsMifare", "lblM1All", Label},
    {"tsMifare", "Label3", Label}, {"tsMifare", "rbM1Hex", Radio}, {"tsMifare", "rbM1Ascii", Radio},

    {"tsMifareKey", "gbM1Key", Group}, {"tsMifareKey", "sbM1CardSector", Bar},
    {"tsMifareKey", "pnM1CardSector", Panel}, {"tsMifareKey", "lblM1CardSector", Label},
    {"tsMifareKey", "gbCardKeyOld", Group}, {"tsMifareKey", "lblM1CardOldKey", Label},
    {"tsMifareKey", "edM1CardOldKey", Edit}, {"tsMifareKey", "rbM1CardKeyA", Radio},
    {"tsMifareKey", "rbM1CardKeyB", Radio}, {"tsMifareKey", "gbM1NewCardKey", Group},
    {"tsMifareKey", "lblM1CardKeyA", Label}, {"tsMifareKey", "lblM1CardKeyB", Label},
    {"tsMifareKey", "Label2", Label}, {"tsMifareKey", "edM1CardKeyA", Edit}, {"tsMifareKey", "edM1CardKeyB", Edit},
    {"tsMifareKey", "edM1CardKeyAccess", Edit}, {"tsMifareKey", "btnM1CardKey", Button},
    {"tsMifareKey", "gbM1Access", Group}, {"tsMifareKey", "gbblock0", Group}, {"tsMifareKey", "gbblock1", Group},
    {"tsMifareKey", "gbblock2", Group}, {"tsMifareKey", "gbAccKeyA", Group}, {"tsMifareKey", "gbAccBits", Group},
    {"tsMifareKey", "gbAccKeyB", Group},

    {"tsISO15693", "gbICRW", Group}, {"tsISO15693", "sbICBlock", Bar}, {"tsISO15693", "pnICBlock", Panel},
    {"tsISO15693", "sbICNum", Bar}, {"tsISO15693", "pnICNum", Panel}, {"tsISO15693", "lblICBlock", Label},
    {"tsISO15693", "lblICNum", Label}, {"tsISO15693", "lblICRead", Label}, {"tsISO15693", "lblICWrite", Label},
    {"tsISO15693", "edICWrite", Edit}, {"tsISO15693", "edICRead", Edit}, {"tsISO15693", "btnICWrite", Button},
    {"tsISO15693", "btnICRead", Button}, {"tsISO15693", "gbICIDBlock", Group}, {"tsISO15693", "sbICIDBlock", Bar},
    {"tsISO15693", "pnICIDBlock", Panel}, {"tsISO15693", "sbICIDByte", Bar}, {"tsISO15693", "pnICIDByte", Panel},
    {"tsISO15693", "sbICIDStart", Bar}, {"tsISO15693", "pnICIDStart", Panel},
    {"tsISO15693", "lblICIDBlock", Label}, {"tsISO15693", "lblICIDStart", Label},
    {"tsISO15693", "lblICIDByte", Label}, {"tsISO15693", "btnICIDBlock", Button},
    {"tsISO15693", "btnGetICIDBlock", Button}, {"tsISO15693", "gbAFI", Group}, {"tsISO15693", "sbAFI", Bar},
    {"tsISO15693", "lblAFI", Label}, {"tsISO15693", "sbDSFID", Bar}, {"tsISO15693", "lblDSFID", Label},
    {"tsISO15693", "btnWriteAFI", Button}, {"tsISO15693", "btnLockAFI", Button},
    {"tsISO15693", "btnWriteDSFID", Button}, {"tsISO15693", "btnLockDSFID", Button},
    {"tsISO15693", "gbICCommand", Group}, {"tsISO15693", "btnInventory", Button},
    {"tsISO15693", "btnInformation", Button}, {"tsISO15693", "edInventory", Edit},
    {"tsISO15693", "edInformation", Edit}, {"tsISO15693", "gbMICType", Group},
    {"tsISO15693", "chkHF15693", Check}, {"tsISO15693", "chkHF14443A", Check},
    {"tsISO15693", "chkHF14443B", Check}, {"tsISO15693", "btnSetMICType", Button},
    {"tsISO15693", "btnGetMICType", Button},

    {"tsLF", "gbLFCardType", Group}, {"tsLF", "chkLFCardTypeEM", Check}, {"tsLF", "chkLFCardTypeVANTO", Check},
    {"tsLF", "chkLFCardTypeSECURITY", Check}, {"tsLF", "chkLFCardTypeFDXB", Check},
    {"tsLF", "chkLFCardTypeTITAN", Check}, {"tsLF", "chkLFCardTypeHID", Check},
    {"tsLF", "btnSetLFCardType", Button}, {"tsLF", "btnGetLFCardType", Button},

    {"tsOvtra", "gbOvtraSet", Group}, {"tsOvtra", "sbChannel", Bar}, {"tsOvtra", "pnChannel", Panel},
    {"tsOvtra", "sbPA", Bar}, {"tsOvtra", "pnPA", Panel}, {"tsOvtra", "btnSetModulation", Button},
    {"tsOvtra", "btnSetNoModulation", Button}, {"tsOvtra", "btnSetChannel", Button},
    {"tsOvtra", "btnSetPA", Button}, {"tsOvtra", "btnChLow", Button}, {"tsOvtra", "btnChMid", Button},
    {"tsOvtra", "btnChHigh", Button}, {"tsOvtra", "btnSetTX", Button}, {"tsOvtra", "btnSetRX", Button},
    {"tsOvtra", "btnOvtraReboot", Button}, {"tsOvtra", "btnOvtraInitial", Button},
    {"tsOvtra", "gbOvtraTest", Group}, {"tsOvtra", "btnOvtraTest", Button}, {"tsOvtra", "lstOvtra", List},

    {"tsK7704", "gbETAG", Group}, {"tsK7704", "edWriteETAG", Edit}, {"tsK7704", "edReadETAG", Edit},
    {"tsK7704", "lblWriteETAG", Label}, {"tsK7704", "lblReadETAG", Label}, {"tsK7704", "chkETAGAutoRead", Check},
    {"tsK7704", "chkETAGAutoInc", Check}, {"tsK7704", "btnWriteETAG", Button}, {"tsK7704", "btnReadETAG", Button},
    {"tsK7704", "gbEPC", Group}, {"tsK7704", "edWriteEPC", Edit}, {"tsK7704", "edReadEPC", Edit},
    {"tsK7704", "lblWriteEPC", Label}, {"tsK7704", "lblReadEPC", Label}, {"tsK7704", "lblReadEpcCmd", Label},
    {"tsK7704", "lblWriteEpcCmd", Label}, {"tsK7704", "gbEpcBank", Group}, {"tsK7704", "rbBankEpc", Radio},
    {"tsK7704", "rbBankTID", Radio}, {"tsK7704", "rbBankUser", Radio}, {"tsK7704", "gbEpcAddress", Group},
    {"tsK7704", "sbEpcAddr", Bar}, {"tsK7704", "pnEpcAddr", Panel}, {"tsK7704", "gbEpcLength", Group},
    {"tsK7704", "sbEpcLen", Bar}, {"tsK7704", "pnEpcLen", Panel}, {"tsK7704", "btnWriteEPC", Button},
    {"tsK7704", "btnReadEPC", Button}, {"tsK7704", "gbAutoEPC", Group}, {"tsK7704", "gbAutoEpcBank", Group},
    {"tsK7704", "rbAutoBankEpc", Radio}, {"tsK7704", "rbAutoBankTID", Radio}, {"tsK7704", "rbAutoBankUser", Radio},
    {"tsK7704", "gbAutoEpcAddress", Group}, {"tsK7704", "sbAutoEpcAddr", Bar},
    {"tsK7704", "pnAutoEpcAddr", Panel}, {"tsK7704", "gbAutoEpcLength", Group}, {"tsK7704", "sbAutoEpcLen", Bar},
    {"tsK7704", "pnAutoEpcLen", Panel}, {"tsK7704", "btnSetAutoEPC", Button}, {"tsK7704", "btnGetAutoEPC", Button},

    {"tsFirmware", "gbUSBID", Group}, {"tsFirmware", "edVID", Edit}, {"tsFirmware", "lblVID", Label},
    {"tsFirmware", "edPID", Edit}, {"tsFirmware", "lblPID", Label}, {"tsFirmware", "gbFirmwareFile", Group},
    {"tsFirmware", "edCodeSize", Edit}, {"tsFirmware", "edCodeChecksum", Edit}, {"tsFirmware", "edCodeType", Edit},
    {"tsFirmware", "edCodeVersion", Edit}, {"tsFirmware", "lblCodeSize", Label},
    {"tsFirmware", "lblCodeChecksum", Label}, {"tsFirmware", "lblCodeType", Label},
    {"tsFirmware", "lblCodeVersion", Label}, {"tsFirmware", "gbFirmwareUpgrade", Group},
    {"tsFirmware", "edFile", Edit}, {"tsFirmware", "lblFile", Label}, {"tsFirmware", "pbProc", Progress},
    {"tsFirmware", "lblProc", Label}, {"tsFirmware", "btnFile", Button}, {"tsFirmware", "btnUpgrade", Button},
    {"tsFirmware", "btnSEC", Button}, {"tsFirmware", "btnFIL", Button}, {"tsFirmware", "btnUPG", Button},
    {"tsFirmware", "edFIL", Edit},
};
// clang-format on

// The access-condition editor's buttons, by group; * marks the start choice.
struct AccessButton {
    int number;
    const char *group;
    const char *caption;
    bool checked;
};
const AccessButton AccessButtons[] = {
    {1, "gbblock0", "A/B", true},      {2, "gbblock0", "B", false},       {3, "gbblock0", "never", false},
    {31, "gbblock0", "A/B", true},     {32, "gbblock0", "B", false},      {33, "gbblock0", "never", false},
    {7, "gbblock0", "A/B", true},      {11, "gbblock0", "B", false},      {9, "gbblock0", "never", false},
    {8, "gbblock0", "A/B", true},      {10, "gbblock0", "never", false},  {4, "gbblock1", "A/B", true},
    {5, "gbblock1", "B", false},       {6, "gbblock1", "never", false},   {19, "gbblock1", "A/B", true},
    {20, "gbblock1", "B", false},      {21, "gbblock1", "never", false},  {13, "gbblock1", "A/B", true},
    {15, "gbblock1", "B", false},      {14, "gbblock1", "never", false},  {16, "gbblock1", "A/B", true},
    {17, "gbblock1", "never", false},  {22, "gbblock2", "A/B", true},     {23, "gbblock2", "B", false},
    {24, "gbblock2", "never", false},  {34, "gbblock2", "A/B", true},     {35, "gbblock2", "B", false},
    {36, "gbblock2", "never", false},  {25, "gbblock2", "A/B", true},     {27, "gbblock2", "B", false},
    {26, "gbblock2", "never", false},  {28, "gbblock2", "A/B", true},     {29, "gbblock2", "never", false},
    {38, "gbAccKeyA", "never", true},  {46, "gbAccKeyA", "A", true},      {47, "gbAccKeyA", "B", false},
    {12, "gbAccKeyA", "never", false}, {42, "gbAccBits", "A", true},      {49, "gbAccBits", "A/B", false},
    {43, "gbAccBits", "A", true},      {44, "gbAccBits", "B", false},     {45, "gbAccBits", "never", false},
    {37, "gbAccKeyB", "never", false}, {48, "gbAccKeyB", "A", true},      {39, "gbAccKeyB", "A", true},
    {40, "gbAccKeyB", "B", false},     {41, "gbAccKeyB", "never", false},
};

}  // namespace

TEST(Pages, EveryControlOfTheDesignIsThereUnderItsNameOnItsPage)
{
    Rig rig;
    for (const Control &c : Controls) {
        const QList<QWidget *> found = rig.window->findChildren<QWidget *>(QLatin1String(c.name));
        ASSERT_EQ(found.size(), 1) << c.name << " must exist exactly once";
        QWidget *w = found.front();
        EXPECT_TRUE(w->metaObject()->inherits(metaOf(c.kind))) << c.name << " is a " << w->metaObject()->className();
        QWidget *page = rig.find(c.page);
        ASSERT_NE(page, nullptr) << c.page;
        EXPECT_TRUE(page->isAncestorOf(w)) << c.name << " belongs on " << c.page;
    }
}

TEST(Pages, PagesAreTheWindowsTabsInOrder)
{
    Rig rig;
    auto *tabs = rig.find<QTabWidget>("pcMain");
    const char *order[] = {"tsCommon", "tsAuto",  "tsNTAG",  "tsMifare",  "tsMifareKey", "tsISO15693",
                           "tsLF",     "tsOvtra", "tsK7704", "tsCommand", "tsFirmware"};
    ASSERT_EQ(tabs->count(), 11);
    for (int i = 0; i < 11; ++i)
        EXPECT_EQ(tabs->widget(i)->objectName(), QLatin1String(order[i]));
}

struct BarRow {
    const char *bar;
    int min, max, value, pageStep;
    const char *panel;
};
const BarRow Bars[] = {
    {"sbScanTime", 0, 255, 5, 10, "pnScanTime"},
    {"sbSameCard", 0, 255, 15, 10, "pnSameCard"},
    {"sbDelayTime", 0, 255, 10, 10, "pnDelayTime"},
    {"sbM1IDSector", 0, 39, 0, 10, "pnM1IDSector"},
    {"sbM1IDBlock", 0, 15, 0, 2, "pnM1IDBlock"},
    {"sbM1IDStart", 0, 11, 0, 5, "pnM1IDStart"},
    {"sbM1IDByte", 0, 16, 4, 5, "pnM1IDByte"},
    {"sbM1E2Sector", 0, 39, 1, 10, "pnM1E2Sector"},
    {"sbNIDBlock", 0, 41, 0, 2, "pnNIDBlock"},
    {"sbNIDStart", 0, 11, 0, 5, "pnNIDStart"},
    {"sbNIDByte", 0, 16, 4, 5, "pnNIDByte"},
    {"sbNBlock", 0, 41, 7, 2, "pnNBlock"},
    {"sbM1Sector", 0, 39, 1, 10, "pnM1Sector"},
    {"sbM1Block", 0, 3, 0, 2, "pnM1Block"},
    {"sbM1CardSector", 0, 39, 1, 10, "pnM1CardSector"},
    {"sbICBlock", 0, 15, 0, 2, "pnICBlock"},
    {"sbICNum", 1, 6, 1, 5, "pnICNum"},
    {"sbICIDBlock", 0, 63, 0, 2, "pnICIDBlock"},
    {"sbICIDStart", 0, 3, 0, 5, "pnICIDStart"},
    {"sbICIDByte", 0, 8, 4, 5, "pnICIDByte"},
    {"sbAFI", 0, 255, 0, 10, "pnAFI"},
    {"sbDSFID", 0, 255, 0, 10, "pnDSFID"},
    {"sbChannel", 1, 512, 248, 10, "pnChannel"},
    {"sbPA", 0, 255, 255, 10, "pnPA"},
    {"sbEpcAddr", 0, 1023, 2, 10, "pnEpcAddr"},
    {"sbEpcLen", 1, 32, 4, 10, "pnEpcLen"},
    {"sbAutoEpcAddr", 0, 255, 2, 10, "pnAutoEpcAddr"},
    {"sbAutoEpcLen", 1, 32, 6, 10, "pnAutoEpcLen"},
};

TEST(Pages, ScrollBarsStartWithTheirRangeAndPanelsFollowThem)
{
    for (const BarRow &b : Bars) {
        // A window of its own for each bar: some bars move others (mirrored groups, block ranges).
        Rig rig;
        auto *bar = rig.find<QScrollBar>(b.bar);
        auto *panel = rig.find<QLabel>(b.panel);
        ASSERT_TRUE(bar && panel) << b.bar;
        EXPECT_EQ(bar->orientation(), Qt::Horizontal) << b.bar;
        EXPECT_EQ(bar->minimum(), b.min) << b.bar;
        EXPECT_EQ(bar->maximum(), b.max) << b.bar;
        EXPECT_EQ(bar->value(), b.value) << b.bar;
        EXPECT_EQ(bar->pageStep(), b.pageStep) << b.bar;
        EXPECT_EQ(bar->singleStep(), 1) << b.bar;
        EXPECT_EQ(panel->text(), QString::number(b.value)) << b.panel;

        // The MIFARE ID bars follow the NTAG page, which ends at 41 (the Auto Read tests check them).
        if (!qstrcmp(b.bar, "sbM1IDSector") || !qstrcmp(b.bar, "sbM1IDBlock"))
            continue;
        bar->setValue(b.max);
        EXPECT_EQ(panel->text(), QString::number(b.max)) << b.panel << " follows a programmatic change";
        bar->triggerAction(QAbstractSlider::SliderPageStepSub);
        EXPECT_EQ(panel->text(), QString::number(std::max(b.min, b.max - b.pageStep))) << b.panel;
        bar->setValue(b.max + 1);
        EXPECT_EQ(panel->text(), QString::number(b.max)) << b.bar << " clamps";
    }
}

struct EditRow {
    const char *name;
    const char *text;
    int maxLength;  // 0: not limited
    bool readOnly;
    bool upper;
};
const EditRow Edits[] = {
    {"edM1Key", "FFFFFFFFFFFF", 12, false, true},
    {"edNWrite", "FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF", 32, false, true},
    {"edNWAscii", "www.example.com/", 32, false, false},
    {"edNRead", "", 0, true, true},
    {"edNRAscii", "", 0, true, false},
    {"edNUID", "", 0, true, true},
    {"edNAll", "16", 2, false, false},
    {"edNURL1", "E11012000103A010440312D1010E5501", 0, true, false},
    {"edNURL2", "", 0, false, false},
    {"edNURL3", "", 0, true, false},
    {"edM1RWKey", "FFFFFFFFFFFF", 12, false, true},
    {"edM1Write", "FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF", 32, false, true},
    {"edM1WAscii", "", 0, false, false},
    {"edM1Read", "", 0, true, true},
    {"edM1RAscii", "", 0, true, false},
    {"edM1All", "16", 2, false, false},
    {"edM1Num", "3", 3, false, false},
    {"edM1CardOldKey", "FFFFFFFFFFFF", 12, false, true},
    {"edM1CardKeyA", "FFFFFFFFFFFF", 12, false, true},
    {"edM1CardKeyB", "FFFFFFFFFFFF", 12, false, true},
    {"edM1CardKeyAccess", "FF078069", 12, false, true},
    {"edICWrite", "FFFFFFFF", 48, false, true},
    {"edICRead", "", 0, true, false},
    {"edInventory", "", 0, true, true},
    {"edInformation", "", 0, true, true},
    {"edWriteETAG", "0000000000000000", 16, false, true},
    {"edReadETAG", "", 16, true, false},
    {"edWriteEPC", "0000000000000000", 16, false, true},
    {"edReadEPC", "", 0, true, false},
    {"edVID", "0E6A", 4, false, false},
    {"edPID", "0317", 4, false, false},
    {"edCodeSize", "0000", 0, true, false},
    {"edCodeChecksum", "0000", 0, true, false},
    {"edCodeType", "", 0, true, false},
    {"edCodeVersion", "", 0, true, false},
    {"edFile", "", 0, true, false},
    {"edFIL", "KV350-M1", 0, false, false},
};

TEST(Pages, EditsStartWithTheirTextLimitAndCase)
{
    Rig rig;
    const int unlimited = QLineEdit().maxLength();
    for (const EditRow &e : Edits) {
        auto *edit = rig.find<QLineEdit>(e.name);
        ASSERT_NE(edit, nullptr) << e.name;
        EXPECT_EQ(edit->text(), QLatin1String(e.text)) << e.name;
        EXPECT_EQ(edit->maxLength(), e.maxLength ? e.maxLength : unlimited) << e.name;
        EXPECT_EQ(edit->isReadOnly(), e.readOnly) << e.name;
        // What a handler writes shows as the field's case rules say.
        edit->setText(QStringLiteral("a1"));
        EXPECT_EQ(edit->text(), e.upper ? QStringLiteral("A1") : QStringLiteral("a1")) << e.name;
    }
}

TEST(Pages, UpperCaseFieldKeepsTheCursorWhereTheUserTypes)
{
    QLineEdit edit;
    widgets::makeUpperCase(&edit);
    edit.setText(QStringLiteral("FFFF"));
    edit.setCursorPosition(2);
    QTest::keyClicks(&edit, QStringLiteral("ab"));
    EXPECT_EQ(edit.text(), QStringLiteral("FFABFF"));
    EXPECT_EQ(edit.cursorPosition(), 4);

    QLineEdit preset(QStringLiteral("a0b"));
    widgets::makeUpperCase(&preset);
    EXPECT_EQ(preset.text(), QStringLiteral("A0B")) << "text already there is converted too";
}

TEST(Pages, ListsHoldTheirItemsAndStartSelection)
{
    Rig rig("KV350-A1");  // matches no model rule, so the format keeps its start item
    auto *format = rig.find<QComboBox>("cmbFormat");
    const QStringList formats = {"14H",       "4H->5D",   "6H",       "6H->8D",   "8H",          "8H->10D",
                                 "10H",       "10H->13D", "16H",      "8H->4D",   "ASCII/FDX-B", "32H",
                                 "8H->5D+5D", "12H->15D", "14H->17D", "16H->20D", "24H"};
    ASSERT_EQ(format->count(), 17);
    for (int i = 0; i < 17; ++i)
        EXPECT_EQ(format->itemText(i), formats[i]) << "code " << i + 1;
    EXPECT_EQ(format->currentText(), "8H");
    EXPECT_EQ(format->currentIndex() + 1, 5) << "format code of 8H";

    auto *layout = rig.find<QComboBox>("cmbLayout");
    ASSERT_EQ(layout->count(), 3);
    EXPECT_EQ(layout->itemText(0), "ENGLISH");
    EXPECT_EQ(layout->itemText(1), "CZECH");
    EXPECT_EQ(layout->itemText(2), "FRENCH");
    EXPECT_EQ(layout->currentIndex(), 0);

    auto *keyErr = rig.find<QComboBox>("cmbM1IDKeyErr");
    ASSERT_EQ(keyErr->count(), 4);
    EXPECT_EQ(keyErr->itemText(3), "BEEP+LED");
    EXPECT_EQ(keyErr->currentText(), "LED");

    for (const char *name : {"cmbFormat", "cmbLayout", "cmbM1IDKeyErr", "cmbUsbMode"})
        EXPECT_FALSE(rig.find<QComboBox>(name)->isEditable()) << name;
}

TEST(Pages, UsbModeNamesFollowTheTransport)
{
    Rig rig;
    auto *modes = rig.find<QComboBox>("cmbUsbMode");
    ASSERT_EQ(modes->count(), 3) << "the show fills the USB names";
    EXPECT_EQ(modes->itemText(0), "USB Keyboard Emulation");
    EXPECT_EQ(modes->itemText(2), "USB HID-Compliant Device Auto Send");
    EXPECT_EQ(modes->currentIndex(), 0);

    auto *ports = rig.find<QComboBox>("chkPort");
    modes->setCurrentIndex(2);
    rig.window->chkPortCloseUp(1);
    ASSERT_EQ(modes->count(), 2);
    EXPECT_EQ(modes->itemText(0), "USB Serial Port Auto Send");
    EXPECT_EQ(modes->itemText(1), "USB Serial Port");
    EXPECT_EQ(modes->currentIndex(), 0);

    modes->setCurrentIndex(1);
    rig.window->chkPortCloseUp(0);
    ASSERT_EQ(modes->count(), 3);
    EXPECT_EQ(modes->currentIndex(), 0);
    EXPECT_GT(ports->count(), 1);

    rig.window->mnuSimplifiedClick();
    EXPECT_EQ(modes->itemText(0), QString::fromUtf8("USB键盘模拟"));
    rig.window->chkPortCloseUp(1);
    EXPECT_EQ(modes->itemText(1), QString::fromUtf8("USB 串口"));
}

TEST(Pages, CheckBoxesAndRadioButtonsStartAsDesigned)
{
    Rig rig;
    const char *checked[] = {"chkAddEnter",     "chkReadAuto", "chkReadBeep",  "chkReadLED",  "chkReadSameCard",
                             "chkReadGreen",    "rbM1IDKeyA",  "rbM1KeyA",     "rbM1Classic", "rbNAscii",
                             "rbM1RWKeyA",      "rbM1Hex",     "rbM1CardKeyA", "chkHF15693",  "chkHF14443A",
                             "chkLFCardTypeEM", "rbBankEpc",   "rbAutoBankEpc"};
    const char *unchecked[] = {"chkReverse",
                               "chkReverseBit",
                               "chkDecZero",
                               "chkAddLF",
                               "chkAddTab",
                               "chkAddDown",
                               "chkAddSpace",
                               "chkAddComma",
                               "chkAddBrackets",
                               "chkAddQuotation",
                               "chkSTX",
                               "chkETag",
                               "rbM1IDKeyB",
                               "rbM1KeyB",
                               "rbUltralight",
                               "rbNHex",
                               "rbM1RWKeyB",
                               "rbM1Ascii",
                               "rbM1CardKeyB",
                               "chkEEPROM",
                               "chkHF14443B",
                               "chkLFCardTypeVANTO",
                               "chkLFCardTypeSECURITY",
                               "chkLFCardTypeFDXB",
                               "chkLFCardTypeTITAN",
                               "chkLFCardTypeHID",
                               "rbBankTID",
                               "rbBankUser",
                               "rbAutoBankTID",
                               "rbAutoBankUser",
                               "chkETAGAutoRead",
                               "chkETAGAutoInc"};
    for (const char *name : checked)
        EXPECT_TRUE(rig.find<QAbstractButton>(name)->isChecked()) << name;
    for (const char *name : unchecked)
        EXPECT_FALSE(rig.find<QAbstractButton>(name)->isChecked()) << name;
}

TEST(Pages, RadioSetsExcludeOnlyWithinThemselves)
{
    Rig rig;
    const std::pair<const char *, const char *> pairs[] = {
        {"rbM1IDKeyB", "rbM1IDKeyA"}, {"rbM1KeyB", "rbM1KeyA"},           {"rbNHex", "rbNAscii"},
        {"rbM1RWKeyB", "rbM1RWKeyA"}, {"rbM1Ascii", "rbM1Hex"},           {"rbM1CardKeyB", "rbM1CardKeyA"},
        {"rbBankUser", "rbBankEpc"},  {"rbAutoBankTID", "rbAutoBankEpc"},
    };
    for (const auto &[pick, other] : pairs) {
        rig.find<QRadioButton>(pick)->click();
        EXPECT_TRUE(rig.find<QRadioButton>(pick)->isChecked()) << pick;
        EXPECT_FALSE(rig.find<QRadioButton>(other)->isChecked()) << other;
    }
    // Sets that share a parent do not disturb each other.
    EXPECT_TRUE(rig.find<QRadioButton>("rbAutoBankTID")->isChecked());
    EXPECT_TRUE(rig.find<QRadioButton>("rbBankUser")->isChecked());
    EXPECT_TRUE(rig.find<QRadioButton>("rbM1RWKeyB")->isChecked());
    EXPECT_TRUE(rig.find<QRadioButton>("rbM1Ascii")->isChecked());
}

TEST(Pages, AccessEditorHasItsFortySevenButtonsOnTheirStartRows)
{
    Rig rig;
    std::set<int> numbers;
    for (const AccessButton &a : AccessButtons) {
        numbers.insert(a.number);
        const QString name = QStringLiteral("RadioButton%1").arg(a.number);
        auto *rb = rig.window->findChild<QRadioButton *>(name);
        ASSERT_NE(rb, nullptr) << name.toStdString();
        EXPECT_EQ(rb->text(), QLatin1String(a.caption)) << name.toStdString();
        EXPECT_EQ(rb->isChecked(), a.checked) << name.toStdString();
        EXPECT_EQ(rb->parentWidget(), rig.find(a.group)) << name.toStdString() << " in " << a.group;
    }
    EXPECT_EQ(numbers.size(), 47u);
    EXPECT_EQ(numbers.count(18) + numbers.count(30), 0u);
    EXPECT_EQ(rig.find("tsMifareKey")->findChildren<QRadioButton *>(QRegularExpression("^RadioButton")).size(), 47);

    // Each operation is its own set: checking block 1 Read "never" (without a
    // click, which would select its whole row) leaves its Write choice alone.
    auto *readNever = rig.find<QRadioButton>("RadioButton6");
    readNever->setChecked(true);
    EXPECT_TRUE(readNever->isChecked());
    EXPECT_FALSE(rig.find<QRadioButton>("RadioButton4")->isChecked());
    EXPECT_TRUE(rig.find<QRadioButton>("RadioButton19")->isChecked());
    EXPECT_TRUE(rig.find<QRadioButton>("RadioButton1")->isChecked()) << "block 0 is not touched";
}

TEST(Pages, HiddenAndDisabledControls)
{
    Rig rig;
    for (const char *name : {"chkHF14443B", "chkLFCardTypeTITAN", "chkLFCardTypeHID", "btnFIL", "btnUPG", "edFIL"})
        EXPECT_TRUE(rig.find(name)->isHidden()) << name;
    for (const char *name : {"chkHF15693", "chkLFCardTypeFDXB", "btnSEC", "btnFile", "edFile", "gbMICType"})
        EXPECT_FALSE(rig.find(name)->isHidden()) << name;
    EXPECT_FALSE(rig.find("gbAutoType")->isEnabled());
    EXPECT_FALSE(rig.find("rbM1Classic")->isEnabled());
    EXPECT_TRUE(rig.find("gbM1IDSector")->isEnabled());

    auto *progress = rig.find<QProgressBar>("pbProc");
    EXPECT_EQ(progress->minimum(), 0);
    EXPECT_EQ(progress->maximum(), 100);
    EXPECT_EQ(progress->value(), 0);
}

TEST(Pages, FixedCaptionsAreTheDesigns)
{
    Rig rig;
    const std::pair<const char *, const char *> captions[] = {
        {"chkSTX", "STX ASCII Format"},
        {"chkETag", "eTag"},
        {"lblScanTime", "x 10 ms"},
        {"lblSameCard", "x 100 ms"},
        {"lblms", "ms"},
        {"btnNUID", "&UID"},
        {"btnM1UID", "&UID"},
        {"btnNSample", "<<"},
        {"btnSEC", ">>"},
        {"lblM1All", "NO"},
        {"Label3", "NUM"},
        {"Label5", "NO:"},
        {"lblReadEpcCmd", "R1,2,4"},
        {"lblWriteEpcCmd", "W1,2,4,..."},
        {"btnChMid", "Mid"},
        {"chkLFCardTypeFDXB", "FDX-B (ISO11784) - 134.2 kHz"},
        {"Label2", "Access bits:"},
    };
    rig.window->mnuTraditionalClick();
    for (const auto &[name, caption] : captions) {
        QWidget *w = rig.find(name);
        const QString text = qobject_cast<QAbstractButton *>(w) ? static_cast<QAbstractButton *>(w)->text()
                                                                : static_cast<QLabel *>(w)->text();
        EXPECT_EQ(text, QLatin1String(caption)) << name << " keeps its caption in every language";
    }
    EXPECT_EQ(rig.find<QGroupBox>("gbAutoType")->title(), "Auto Read Type");
    EXPECT_EQ(rig.find<QGroupBox>("gbM1Access")->title(), "Access bits (key)");
}

TEST(Pages, CaptionsFollowTheLanguage)
{
    Rig rig;
    auto *set = rig.find<QPushButton>("btnIdFormat");
    auto *get = rig.find<QPushButton>("btnGetIdFormat");
    auto *reboot = rig.find<QPushButton>("btnReboot");
    auto *format = rig.find<QLabel>("lblFormat");
    auto *autoRead = rig.find<QCheckBox>("chkETAGAutoRead");
    EXPECT_EQ(set->text(), "Set");
    EXPECT_EQ(get->text(), "Get Current Setting");
    EXPECT_EQ(reboot->text(), "Reboot Reader");
    EXPECT_EQ(format->text(), "ID Format:");
    EXPECT_EQ(autoRead->text(), "Auto Read");
    EXPECT_EQ(rig.find<QPushButton>("btnGetLayout")->text(), "Get");

    rig.window->mnuTraditionalClick();
    EXPECT_EQ(set->text(), QString::fromUtf8("設定"));
    EXPECT_EQ(get->text(), QString::fromUtf8("讀回設定值"));
    EXPECT_EQ(reboot->text(), QString::fromUtf8("讀卡機重新開機"));
    EXPECT_EQ(format->text(), QString::fromUtf8("ID格式:"));
    EXPECT_EQ(rig.find<QLabel>("lblUsbMode")->text(), QString::fromUtf8("USB模式:"));
    EXPECT_EQ(rig.find<QGroupBox>("gbUtility")->title(), QString::fromUtf8("系統指令"));
    // The eTag check box reads differently from the Auto Read tab.
    EXPECT_EQ(autoRead->text(), QString::fromUtf8("自動讀取"));
    auto *tabs = rig.find<QTabWidget>("pcMain");
    EXPECT_EQ(tabs->tabText(1), QString::fromUtf8("自動讀卡"));
    EXPECT_EQ(rig.find<QPushButton>("btnM1CardKey")->text(), QString::fromUtf8("MIFARE 卡片發卡"));
    EXPECT_EQ(rig.find<QGroupBox>("gbEpcBank")->title(), QString::fromUtf8("區塊"));
    EXPECT_EQ(rig.find<QPushButton>("btnUpgrade")->text(), QString::fromUtf8("韌體更新"));
    EXPECT_EQ(rig.find<QGroupBox>("gbLFCardType")->title(), QString::fromUtf8("讀取卡片類別"));
    EXPECT_EQ(rig.find<QGroupBox>("gbOvtraSet")->title(), QString::fromUtf8("Ovtra設定"));
    EXPECT_EQ(rig.find<QGroupBox>("gbICRW")->title(), QString::fromUtf8("卡片資料讀寫測試"));

    rig.window->mnuEnglishClick();
    EXPECT_EQ(set->text(), "Set");
    EXPECT_EQ(autoRead->text(), "Auto Read");
}

TEST(Pages, FixedPitchListsKeepTheirFontAcrossLanguages)
{
    Rig rig;
    auto *list = rig.find<QListWidget>("lstNAll");
    EXPECT_TRUE(QFontInfo(list->font()).fixedPitch());
    const QString family = list->font().family();
    rig.window->mnuSimplifiedClick();
    EXPECT_EQ(list->font().family(), family);
}
