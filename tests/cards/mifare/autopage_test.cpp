// The Auto Read page and the access-bit editor through the window, in virtual time.
#include "common/protocol.h"
#include "windowrig.h"

#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QScrollBar>
#include <gtest/gtest.h>

using namespace kv350;
using namespace kv350::testing;

namespace {

struct Location {
    int sector, block, page, start, byte;
};

Location location(WindowRig &rig)
{
    return {rig.find<QScrollBar>("sbM1IDSector")->value(), rig.find<QScrollBar>("sbM1IDBlock")->value(),
            rig.find<QScrollBar>("sbNIDBlock")->value(), rig.find<QScrollBar>("sbM1IDStart")->value(),
            rig.find<QScrollBar>("sbM1IDByte")->value()};
}

void expectLocation(WindowRig &rig, int sector, int block, int page)
{
    const Location l = location(rig);
    EXPECT_EQ(l.sector, sector);
    EXPECT_EQ(l.block, block);
    EXPECT_EQ(l.page, page);
    EXPECT_EQ(rig.find<QLabel>("pnM1IDSector")->text(), QString::number(sector));
    EXPECT_EQ(rig.find<QLabel>("pnM1IDBlock")->text(), QString::number(block));
    EXPECT_EQ(rig.find<QLabel>("pnNIDBlock")->text(), QString::number(page));
}

}  // namespace

TEST(AutoRead, TheTwoGroupsMirrorEachOtherAndSettle)
{
    WindowRig rig("KV350-MIC");
    rig.show();
    auto *page = rig.find<QScrollBar>("sbNIDBlock");
    page->setValue(13);
    expectLocation(rig, 3, 1, 13);
    page->setValue(15);
    page->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    expectLocation(rig, 4, 0, 16);

    rig.find<QScrollBar>("sbM1IDBlock")->setValue(3);
    rig.find<QScrollBar>("sbM1IDSector")->setValue(2);
    expectLocation(rig, 2, 3, 11);

    // A sector beyond page 41 cannot be kept: the MIFARE bars follow the page.
    rig.find<QScrollBar>("sbM1IDBlock")->setValue(0);
    rig.find<QScrollBar>("sbM1IDSector")->setValue(20);
    expectLocation(rig, 10, 1, 41);

    rig.find<QScrollBar>("sbM1IDByte")->setValue(7);
    EXPECT_EQ(rig.find<QScrollBar>("sbNIDByte")->value(), 7);
    rig.find<QScrollBar>("sbNIDByte")->setValue(2);
    EXPECT_EQ(rig.find<QScrollBar>("sbM1IDByte")->value(), 2);
    rig.find<QScrollBar>("sbNIDStart")->setValue(11);
    EXPECT_EQ(rig.find<QScrollBar>("sbM1IDStart")->value(), 11);
    EXPECT_EQ(rig.find<QLabel>("pnNIDStart")->text(), "11");
}

TEST(AutoRead, SectorRangeOfTheBlockBar)
{
    WindowRig rig("KV350-MIC");
    rig.show();
    auto *block = rig.find<QScrollBar>("sbM1IDBlock");
    EXPECT_EQ(block->maximum(), 15) << "until the sector first moves";
    rig.find<QScrollBar>("sbM1IDSector")->setValue(1);
    EXPECT_EQ(block->maximum(), 3);

    // The MIFARE page's own block bar follows its sector the same way.
    auto *sector = rig.find<QScrollBar>("sbM1Sector");
    auto *rwBlock = rig.find<QScrollBar>("sbM1Block");
    sector->setValue(35);
    EXPECT_EQ(rwBlock->maximum(), 15);
    rwBlock->setValue(12);
    sector->setValue(5);
    EXPECT_EQ(rwBlock->maximum(), 3);
    EXPECT_EQ(rwBlock->value(), 3);
    EXPECT_EQ(rig.find<QLabel>("pnM1Block")->text(), "3");
}

TEST(AutoRead, SetSendsTheMifareBarsAndShowsWhatTheReaderHolds)
{
    WindowRig rig("KV350-MIC");
    rig.show();
    rig.find<QScrollBar>("sbNIDBlock")->setValue(9);  // sector 2, block 1
    rig.find<QScrollBar>("sbM1IDStart")->setValue(3);
    rig.find<QScrollBar>("sbM1IDByte")->setValue(7);
    rig.find<QRadioButton>("rbM1IDKeyB")->setChecked(true);
    rig.find<QComboBox>("cmbM1IDKeyErr")->setCurrentIndex(2);
    rig.click("btnM1IDSector");
    EXPECT_EQ(rig.lastRequest(), hex("02 09 03 11 02 01 03 07 61 02 00"));
    EXPECT_EQ(rig.message(), "Command Done.");
    EXPECT_TRUE(rig.find<QRadioButton>("rbM1Classic")->isChecked());
    rig.click("btnNIDSector");
    EXPECT_EQ(rig.lastRequest(), hex("02 09 03 11 02 01 03 07 61 02 01"));
    EXPECT_TRUE(rig.find<QRadioButton>("rbUltralight")->isChecked());

    // Get: the reader's record, key error BEEP+LED, and any non-zero type is Ultralight.
    rig.reader->parameters().set(proto::ParMifareIdLocation, hex("01 02 00 08 60 03 05"));
    rig.click("btnGetNIDSector");
    EXPECT_EQ(rig.lastRequest(), hex("02 02 03 11"));
    expectLocation(rig, 1, 2, 6);
    EXPECT_TRUE(rig.find<QRadioButton>("rbM1IDKeyA")->isChecked());
    EXPECT_EQ(rig.find<QComboBox>("cmbM1IDKeyErr")->currentText(), "BEEP+LED");
    EXPECT_TRUE(rig.find<QRadioButton>("rbUltralight")->isChecked());
    rig.reader->parameters().set(proto::ParMifareIdLocation, hex("00 00 00 04 60 01 00"));
    rig.click("btnGetM1IDSector");
    EXPECT_TRUE(rig.find<QRadioButton>("rbM1Classic")->isChecked());

    // A refusal leaves the bars alone, but the type shown follows the button pressed.
    rig.reader->faults().queue(sim::Fault::status(0x01));
    rig.find<QScrollBar>("sbM1IDByte")->setValue(9);
    rig.click("btnNIDSector");
    EXPECT_EQ(rig.message(), "Command Error!");
    EXPECT_EQ(rig.find<QScrollBar>("sbM1IDByte")->value(), 9);
    EXPECT_TRUE(rig.find<QRadioButton>("rbUltralight")->isChecked());
}

TEST(AccessEditor, ClicksSelectWholeRowsAndRecomputeTheText)
{
    WindowRig rig("KV350-MIC");
    rig.show();
    auto *text = rig.find<QLineEdit>("edM1CardKeyAccess");
    auto checked = [&](int n) {
        return rig.find<QRadioButton>(qPrintable(QStringLiteral("RadioButton%1").arg(n)))->isChecked();
    };
    auto click = [&](int n) { rig.click(qPrintable(QStringLiteral("RadioButton%1").arg(n))); };
    EXPECT_EQ(text->text(), "FF078069");

    click(6);  // block 1 Read "never": row 111
    EXPECT_TRUE(checked(21));
    EXPECT_TRUE(checked(14));
    EXPECT_TRUE(checked(17));
    EXPECT_FALSE(checked(4));
    EXPECT_TRUE(checked(1)) << "other blocks keep their rows";
    EXPECT_EQ(text->text(), "DD25A269");

    click(44);  // access bits Write "B": trailer row 011
    EXPECT_EQ(text->text(), "5D25AA69");
    EXPECT_TRUE(checked(47));
    EXPECT_TRUE(checked(49));
    EXPECT_TRUE(checked(37));
    EXPECT_TRUE(checked(40));
    EXPECT_EQ(rig.find<QRadioButton>("RadioButton1")->text(), "A/B");

    click(42);  // access read "A": row 010, key B readable, so "A/B" reads "A"
    for (int n : {1, 31, 7, 8, 4, 19, 13, 16, 22, 34, 25, 28})
        EXPECT_EQ(rig.find<QRadioButton>(qPrintable(QStringLiteral("RadioButton%1").arg(n)))->text(), "A") << n;
    click(41);  // key B write "never": row 110, captions stay
    EXPECT_EQ(rig.find<QRadioButton>("RadioButton1")->text(), "A");
    EXPECT_TRUE(checked(45));
    click(49);
    EXPECT_EQ(rig.find<QRadioButton>("RadioButton1")->text(), "A/B");

    // Back to the transport configuration.
    click(31);
    click(19);
    click(34);
    click(43);
    EXPECT_EQ(text->text(), "FF078069");
}
