// The LF card types and the ISO 15693 reader settings through the window.
#include "common/protocol.h"
#include "windowrig.h"

#include <QCheckBox>
#include <QScrollBar>
#include <gtest/gtest.h>

using namespace kv350;
using namespace kv350::testing;

namespace {

struct LfBoxes {
    bool em, vanto, security, fdxb, titan, hid;
    bool operator==(const LfBoxes &) const = default;
};

LfBoxes lfBoxes(WindowRig &rig)
{
    auto on = [&](const char *name) { return rig.find<QCheckBox>(name)->isChecked(); };
    return {on("chkLFCardTypeEM"),   on("chkLFCardTypeVANTO"), on("chkLFCardTypeSECURITY"),
            on("chkLFCardTypeFDXB"), on("chkLFCardTypeTITAN"), on("chkLFCardTypeHID")};
}

}  // namespace

TEST(LfCardTypes, ThreeFamiliesExcludeEachOtherWhoeverSetsThem)
{
    WindowRig rig("KV350-LF");
    rig.show();
    rig.click("chkLFCardTypeVANTO");
    EXPECT_EQ(lfBoxes(rig), (LfBoxes{false, true, false, false, false, false}));
    rig.click("chkLFCardTypeVANTO");
    EXPECT_EQ(lfBoxes(rig), (LfBoxes{}));
    rig.find<QCheckBox>("chkLFCardTypeSECURITY")->setChecked(true);
    rig.find<QCheckBox>("chkLFCardTypeEM")->setChecked(true);
    rig.click("chkLFCardTypeFDXB");
    EXPECT_EQ(lfBoxes(rig), (LfBoxes{true, false, false, true, false, false}));

    rig.click("btnSetLFCardType");
    EXPECT_EQ(rig.lastRequest(), hex("02 03 03 31 09"));
    EXPECT_EQ(rig.message(), "Command Done.");

    // Several family bits in one answer: the last in list order stays.
    rig.reader->parameters().set(proto::ParLfCardType, hex("0F"));
    rig.click("btnGetLFCardType");
    EXPECT_EQ(lfBoxes(rig), (LfBoxes{false, false, true, true, false, false}));

    // The hidden families come and go back with the reader's value.
    rig.reader->parameters().set(proto::ParLfCardType, hex("30"));
    rig.click("btnGetLFCardType");
    EXPECT_EQ(lfBoxes(rig), (LfBoxes{false, false, false, false, true, true}));
    rig.click("btnSetLFCardType");
    EXPECT_EQ(rig.lastRequest(), hex("02 03 03 31 30"));

    rig.reader->faults().queue(sim::Fault::noReply());
    rig.click("btnGetLFCardType");
    EXPECT_EQ(rig.message(), "Command Error!");
    EXPECT_EQ(lfBoxes(rig), (LfBoxes{false, false, false, false, true, true}));
}

TEST(Iso15693Settings, IdLocationAndMicCardTypes)
{
    WindowRig rig("KV350-MIC");
    rig.show();
    rig.find<QScrollBar>("sbICIDBlock")->setValue(63);
    rig.find<QScrollBar>("sbICIDStart")->setValue(3);
    rig.find<QScrollBar>("sbICIDByte")->setValue(8);
    rig.click("btnICIDBlock");
    EXPECT_EQ(rig.lastRequest(), hex("02 05 03 21 3F 03 08"));
    EXPECT_EQ(rig.message(), "Command Done.");
    rig.reader->parameters().set(proto::ParIso15693IdBlock, hex("05 01 02"));
    rig.click("btnGetICIDBlock");
    EXPECT_EQ(rig.find<QScrollBar>("sbICIDBlock")->value(), 5);
    EXPECT_EQ(rig.find<QLabel>("pnICIDStart")->text(), "1");
    EXPECT_EQ(rig.find<QLabel>("pnICIDByte")->text(), "2");

    rig.find<QCheckBox>("chkHF15693")->setChecked(false);
    rig.click("btnSetMICType");
    EXPECT_EQ(rig.lastRequest(), hex("02 03 03 23 02"));
    rig.reader->parameters().set(proto::ParMicCardType, hex("05"));
    rig.click("btnGetMICType");
    EXPECT_TRUE(rig.find<QCheckBox>("chkHF15693")->isChecked());
    EXPECT_FALSE(rig.find<QCheckBox>("chkHF14443A")->isChecked());
    EXPECT_TRUE(rig.find<QCheckBox>("chkHF14443B")->isChecked()) << "hidden, but it holds what the reader said";
    EXPECT_TRUE(rig.find<QCheckBox>("chkHF14443B")->isHidden());
}
