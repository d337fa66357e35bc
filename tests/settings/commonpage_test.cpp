// The Common page through the window, against the virtual reader, in virtual time.
#include "common/protocol.h"
#include "sim/core/readermodule.h"
#include "windowrig.h"

#include <QCheckBox>
#include <QComboBox>
#include <QScrollBar>
#include <gtest/gtest.h>

using namespace kv350;
using namespace kv350::testing;

namespace {

// A reader whose parameter replies carry the code and nothing behind it.
struct ShortParameterReplies : sim::ReaderModule {
    bool handles(std::uint8_t cmd) const override { return cmd == proto::CmdParameter; }
    std::vector<QByteArray> handle(const sim::Request &request, sim::ReaderContext &) override
    {
        return {sim::makeReply(request.cmd, proto::StaOk, request.data.left(1))};
    }
};

QByteArray held(WindowRig &rig, std::uint8_t code)
{
    return rig.reader->parameters().value(code);
}

}  // namespace

TEST(CommonPage, SetSendsTheStartValuesExactly)
{
    WindowRig rig("KV350-M1");
    rig.show();
    const std::pair<const char *, const char *> sets[] = {
        {"btnIdFormat", "02 05 03 03 05 01 80"}, {"btnUsbMode", "02 03 03 01 01"},
        {"btnReadMode", "02 03 03 02 8F"},       {"btnScanTime", "02 03 03 04 05"},
        {"btnSameCard", "02 03 03 05 0F"},       {"btnSetDelayTime", "02 03 03 06 0A"},
        {"btnSetLayout", "02 04 03 07 00 00"},
    };
    for (const auto &[button, frame] : sets) {
        rig.click(button);
        EXPECT_EQ(rig.lastRequest(), hex(frame)) << button;
        EXPECT_EQ(rig.message(), "Command Done.") << button;
    }
    const std::pair<const char *, const char *> gets[] = {
        {"btnGetIdFormat", "02 02 03 03"}, {"btnGetUsbMode", "02 02 03 01"},  {"btnGetReadMode", "02 02 03 02"},
        {"btnGetScanTime", "02 02 03 04"}, {"btnGetSameCard", "02 02 03 05"}, {"btnGetDelayTime", "02 02 03 06"},
        {"btnGetLayout", "02 02 03 07"},
    };
    for (const auto &[button, frame] : gets) {
        rig.click(button);
        EXPECT_EQ(rig.lastRequest(), hex(frame)) << button;
        EXPECT_EQ(rig.message(), "Command Done.") << button;
    }
}

TEST(CommonPage, IdFormatFromOtherStatesAndBack)
{
    WindowRig rig("KV350-M1");
    rig.show();
    auto *format = rig.find<QComboBox>("cmbFormat");
    const char *boxes[] = {"chkReverse",  "chkReverseBit",  "chkDecZero",     "chkAddEnter",
                           "chkAddLF",    "chkAddTab",      "chkAddDown",     "chkAddSpace",
                           "chkAddComma", "chkAddBrackets", "chkAddQuotation"};
    for (const char *box : boxes)
        rig.find<QCheckBox>(box)->setChecked(true);
    format->setCurrentIndex(0);  // "14H"
    rig.click("btnIdFormat");
    EXPECT_EQ(rig.lastRequest(), hex("02 05 03 03 01 17 FF"));
    EXPECT_EQ(held(rig, proto::ParIdFormat), hex("01 17 FF"));

    for (const char *box : boxes)
        rig.find<QCheckBox>(box)->setChecked(false);
    format->setCurrentIndex(16);  // "24H"
    rig.click("btnIdFormat");
    EXPECT_EQ(rig.lastRequest(), hex("02 05 03 03 11 01 00"));

    // Get after Set brings back what the reader holds, whatever the boxes show now.
    rig.reader->parameters().set(proto::ParIdFormat, hex("0C 11 A5"));
    rig.click("btnGetIdFormat");
    EXPECT_EQ(format->currentText(), "32H");
    EXPECT_FALSE(rig.find<QCheckBox>("chkReverse")->isChecked());
    EXPECT_FALSE(rig.find<QCheckBox>("chkReverseBit")->isChecked());
    EXPECT_TRUE(rig.find<QCheckBox>("chkDecZero")->isChecked());
    EXPECT_TRUE(rig.find<QCheckBox>("chkAddComma")->isChecked());
    EXPECT_TRUE(rig.find<QCheckBox>("chkAddQuotation")->isChecked());
    EXPECT_TRUE(rig.find<QCheckBox>("chkAddDown")->isChecked());
    EXPECT_TRUE(rig.find<QCheckBox>("chkAddEnter")->isChecked());
    EXPECT_FALSE(rig.find<QCheckBox>("chkAddLF")->isChecked());

    // Format code 0 leaves no item selected, and the next Set sends 0.
    rig.reader->parameters().set(proto::ParIdFormat, hex("00 01 80"));
    rig.click("btnGetIdFormat");
    EXPECT_EQ(format->currentIndex(), -1);
    rig.click("btnIdFormat");
    EXPECT_EQ(rig.lastRequest(), hex("02 05 03 03 00 01 80"));
}

TEST(CommonPage, ControlsShowWhatTheReaderAccepted)
{
    WindowRig rig("KV350-M1");
    rig.show();
    // A reader that clamps the scan time to 100 and has no reverse-bit option.
    rig.reader->setAcceptFilter(proto::ParScanTime, [](const QByteArray &wanted, const QByteArray &) {
        return QByteArray(1, char(std::min<std::uint8_t>(std::uint8_t(wanted.at(0)), 100)));
    });
    rig.reader->setAcceptFilter(proto::ParIdFormat, [](QByteArray wanted, const QByteArray &) {
        wanted[1] = char(wanted.at(1) & ~0x04);
        return wanted;
    });
    auto *scan = rig.find<QScrollBar>("sbScanTime");
    scan->setValue(200);
    EXPECT_EQ(rig.find<QLabel>("pnScanTime")->text(), "200");
    rig.click("btnScanTime");
    EXPECT_EQ(rig.lastRequest(), hex("02 03 03 04 C8"));
    EXPECT_EQ(scan->value(), 100);
    EXPECT_EQ(rig.find<QLabel>("pnScanTime")->text(), "100");
    EXPECT_EQ(rig.message(), "Command Done.");

    rig.find<QCheckBox>("chkReverseBit")->setChecked(true);
    rig.click("btnIdFormat");
    EXPECT_EQ(rig.lastRequest(), hex("02 05 03 03 05 05 80"));
    EXPECT_FALSE(rig.find<QCheckBox>("chkReverseBit")->isChecked());

    // A Get of 0x20 moves the bar to 32.
    rig.reader->parameters().set(proto::ParScanTime, hex("20"));
    rig.click("btnGetScanTime");
    EXPECT_EQ(scan->value(), 32);
    EXPECT_EQ(rig.find<QLabel>("pnScanTime")->text(), "32");

    // The other two bars the same way, by the program as by the user.
    rig.reader->parameters().set(proto::ParSameCardTime, hex("FF"));
    rig.click("btnGetSameCard");
    EXPECT_EQ(rig.find<QLabel>("pnSameCard")->text(), "255");
    rig.reader->parameters().set(proto::ParKeypadDelay, hex("00"));
    rig.click("btnGetDelayTime");
    EXPECT_EQ(rig.find<QLabel>("pnDelayTime")->text(), "0");
}

TEST(CommonPage, ReadModeBitSixIsIgnoredAndWrittenAsZero)
{
    WindowRig rig("KV350-M1");
    rig.show();
    rig.reader->parameters().set(proto::ParReadMode, hex("71"));  // auto, STX, eTag, bit 6
    rig.click("btnGetReadMode");
    EXPECT_TRUE(rig.find<QCheckBox>("chkReadAuto")->isChecked());
    EXPECT_FALSE(rig.find<QCheckBox>("chkReadBeep")->isChecked());
    EXPECT_FALSE(rig.find<QCheckBox>("chkReadLED")->isChecked());
    EXPECT_FALSE(rig.find<QCheckBox>("chkReadSameCard")->isChecked());
    EXPECT_TRUE(rig.find<QCheckBox>("chkSTX")->isChecked());
    EXPECT_TRUE(rig.find<QCheckBox>("chkETag")->isChecked());
    EXPECT_FALSE(rig.find<QCheckBox>("chkReadGreen")->isChecked());
    rig.click("btnReadMode");
    EXPECT_EQ(rig.lastRequest(), hex("02 03 03 02 31"));
}

TEST(CommonPage, UsbModeNamesAndNumbersFollowTheTransport)
{
    WindowRig rig("KV350-M1");
    rig.ports.ports = {"/dev/virtual-reader"};
    rig.show();
    auto *modes = rig.find<QComboBox>("cmbUsbMode");
    ASSERT_EQ(modes->count(), 3);
    rig.window->chkPortCloseUp(1);
    ASSERT_EQ(modes->count(), 2);
    EXPECT_EQ(modes->itemText(1), "USB Serial Port");
    EXPECT_EQ(modes->currentIndex(), 0);
    modes->setCurrentIndex(1);
    rig.click("btnUsbMode");  // connects over the serial port on demand
    EXPECT_EQ(rig.window->link().Transport(), TransportKind::Serial);
    EXPECT_EQ(rig.lastRequest(), hex("02 03 03 01 02")) << "the same number as HID-Compliant Device on USB";
    EXPECT_EQ(rig.message(), "Command Done.");
    EXPECT_EQ(rig.window->link().Transport(), TransportKind::Serial) << "the mode does not change the transport";

    // Mode 3 has no name on the two-item list: nothing selected. Mode 0 keeps the selection.
    rig.reader->parameters().set(proto::ParUsbMode, hex("03"));
    rig.click("btnGetUsbMode");
    EXPECT_EQ(modes->currentIndex(), -1);
    rig.click("btnUsbMode");
    EXPECT_EQ(rig.lastRequest(), hex("02 03 03 01 00")) << "nothing selected sends 0";
    modes->setCurrentIndex(1);
    rig.reader->parameters().set(proto::ParUsbMode, hex("00"));
    rig.click("btnGetUsbMode");
    EXPECT_EQ(modes->currentIndex(), 1);
    EXPECT_EQ(rig.message(), "Command Done.");

    rig.window->chkPortCloseUp(0);
    EXPECT_EQ(modes->count(), 3);
    EXPECT_EQ(modes->itemText(2), "USB HID-Compliant Device Auto Send");
}

TEST(CommonPage, KeyboardLayoutTravelsWithItsTrailingZero)
{
    WindowRig rig("KV350-M1");
    rig.show();
    auto *layout = rig.find<QComboBox>("cmbLayout");
    layout->setCurrentIndex(2);
    rig.click("btnSetLayout");
    EXPECT_EQ(rig.lastRequest(), hex("02 04 03 07 02 00"));
    EXPECT_EQ(held(rig, proto::ParKeyboardLayout), hex("02 00"));
    rig.reader->parameters().set(proto::ParKeyboardLayout, hex("05 00"));
    rig.click("btnGetLayout");
    EXPECT_EQ(layout->currentIndex(), -1) << "a layout above 2 selects nothing";
    rig.click("btnSetLayout");
    EXPECT_EQ(rig.lastRequest(), hex("02 04 03 07 FF 00"));
}

TEST(CommonPage, KeyboardLayoutReplyWithTheLayoutByteAloneIsUnderstood)
{
    WindowRig rig("KV350-M1");
    rig.show();
    // A reader that answers 02 04 03 00 07 01: the layout, no 00 behind it.
    rig.reader->parameters().setReplyWidth(proto::ParKeyboardLayout, 1);
    rig.reader->parameters().set(proto::ParKeyboardLayout, hex("01 00"));
    auto *layout = rig.find<QComboBox>("cmbLayout");
    rig.click("btnGetLayout");
    EXPECT_EQ(rig.window->link().responseData(), hex("07 01")) << "the reply 02 04 03 00 07 01";
    EXPECT_EQ(layout->currentIndex(), 1) << "CZECH";
    EXPECT_EQ(rig.message(), "Command Done.");

    layout->setCurrentIndex(2);
    rig.click("btnSetLayout");
    EXPECT_EQ(rig.lastRequest(), hex("02 04 03 07 02 00")) << "the Set still sends the 00";
    EXPECT_EQ(rig.window->link().responseData(), hex("07 02"));
    EXPECT_EQ(layout->currentIndex(), 2);
    EXPECT_EQ(rig.message(), "Command Done.");

    // A reply with no layout byte at all is still no value.
    rig.reader->parameters().setReplyWidth(proto::ParKeyboardLayout, 0);
    rig.click("btnGetLayout");
    EXPECT_EQ(rig.message(), "Command Error!");
    EXPECT_EQ(layout->currentIndex(), 2);
}

TEST(CommonPage, FailuresLeaveTheControlsAlone)
{
    WindowRig rig("KV350-M1");
    rig.show();
    auto *scan = rig.find<QScrollBar>("sbScanTime");
    scan->setValue(42);

    // A refusal (non-zero STA), a rejected transaction, no reply, and no reader at all.
    rig.reader->faults().queue(sim::Fault::status(0x01));
    rig.click("btnGetScanTime");
    EXPECT_EQ(rig.message(), "Command Error!");
    rig.reader->faults().queue(sim::Fault::status(0x10));
    rig.click("btnScanTime");
    EXPECT_EQ(rig.message(), "Command Error!");
    rig.reader->faults().queue(sim::Fault::noReply());
    rig.click("btnGetScanTime");
    EXPECT_EQ(rig.message(), "Command Error!");
    EXPECT_EQ(scan->value(), 42);
    EXPECT_EQ(rig.sounder.tones.back(), 300);

    // A reply too short to hold the value shows nothing of an earlier reply.
    rig.reader->parameters().set(proto::ParScanTime, hex("07"));
    rig.click("btnGetScanTime");
    ASSERT_EQ(scan->value(), 7);
    rig.reader->addModule(std::make_unique<ShortParameterReplies>());
    scan->setValue(42);
    rig.click("btnGetScanTime");
    EXPECT_EQ(rig.message(), "Command Error!");
    EXPECT_EQ(scan->value(), 42);
    rig.find<QComboBox>("cmbFormat")->setCurrentIndex(2);
    rig.click("btnGetIdFormat");
    EXPECT_EQ(rig.message(), "Command Error!");
    EXPECT_EQ(rig.find<QComboBox>("cmbFormat")->currentIndex(), 2);
}

TEST(CommonPage, RebootClosesWaitsAndTheNextCommandReconnects)
{
    for (bool serial : {false, true}) {
        SCOPED_TRACE(serial ? "serial" : "USB");
        WindowRig rig("KV350-M1");
        if (serial)
            rig.useSerial();
        rig.show();
        rig.find<QScrollBar>("sbScanTime")->setValue(9);
        rig.click("btnScanTime");
        const QString status = rig.status();
        rig.time.clearRecord();
        rig.click("btnReboot");
        EXPECT_EQ(rig.lastRequest(), hex("02 02 0F 01"));
        EXPECT_EQ(rig.reader->rebootCount(), 1);
        EXPECT_FALSE(rig.window->link().Connected());
        EXPECT_EQ(rig.time.waits(), std::vector<int>{3000});
        EXPECT_EQ(rig.message(), "Command Done.");
        EXPECT_EQ(rig.status(), status) << "the status keeps its last text";

        // The reader is back after its restart; the next Get connects and finds the value kept.
        rig.find<QScrollBar>("sbScanTime")->setValue(0);
        rig.click("btnGetScanTime");
        EXPECT_TRUE(rig.window->link().Connected());
        EXPECT_EQ(rig.message(), "Command Done.");
        EXPECT_EQ(rig.find<QScrollBar>("sbScanTime")->value(), 9);
    }
}

TEST(CommonPage, RefusedRebootKeepsTheLink)
{
    WindowRig rig("KV350-M1");
    rig.show();
    rig.reader->faults().queue(sim::Fault::status(0x01));
    rig.time.clearRecord();
    rig.click("btnReboot");
    EXPECT_EQ(rig.message(), "Command Error!");
    EXPECT_TRUE(rig.window->link().Connected());
    EXPECT_TRUE(rig.time.waits().empty()) << "nothing waits";
}

TEST(CommonPage, FactoryDefaultResetsTheControlsThenTheReader)
{
    const std::pair<const char *, const char *> models[] = {
        {"KV350-U1", "24H"}, {"KV350-MIC", "16H"}, {"KV350-IC", "16H"}, {"KV350-LF", "8H"}, {"KV350-A1", "8H"}};
    for (const auto &[model, format] : models) {
        SCOPED_TRACE(model);
        WindowRig rig(model);
        rig.show();
        rig.find<QComboBox>("cmbFormat")->setCurrentIndex(0);
        rig.find<QCheckBox>("chkReverse")->setChecked(true);
        rig.find<QCheckBox>("chkAddEnter")->setChecked(false);
        rig.find<QCheckBox>("chkReadBeep")->setChecked(false);
        rig.find<QCheckBox>("chkSTX")->setChecked(true);
        rig.find<QCheckBox>("chkETag")->setChecked(true);
        rig.find<QComboBox>("cmbUsbMode")->setCurrentIndex(2);
        rig.find<QComboBox>("cmbLayout")->setCurrentIndex(1);
        rig.find<QScrollBar>("sbScanTime")->setValue(99);
        rig.find<QScrollBar>("sbSameCard")->setValue(99);
        rig.find<QScrollBar>("sbDelayTime")->setValue(99);
        rig.find<QScrollBar>("sbNIDBlock")->setValue(13);
        rig.find<QScrollBar>("sbM1IDByte")->setValue(9);
        rig.find<QComboBox>("cmbM1IDKeyErr")->setCurrentIndex(3);
        rig.find<QScrollBar>("sbICIDByte")->setValue(1);
        rig.find<QCheckBox>("chkHF14443B")->setChecked(true);
        rig.find<QCheckBox>("chkLFCardTypeFDXB")->setChecked(true);
        rig.reader->parameters().set(proto::ParScanTime, hex("63"));

        rig.dialogs.yes();
        rig.click("btnFactory");
        EXPECT_EQ(rig.lastRequest(), hex("02 02 0F 02"));
        EXPECT_EQ(rig.message(), "Command Done.");
        EXPECT_EQ(rig.find<QComboBox>("cmbFormat")->currentText(), format);
        EXPECT_FALSE(rig.find<QCheckBox>("chkReverse")->isChecked());
        EXPECT_TRUE(rig.find<QCheckBox>("chkAddEnter")->isChecked());
        EXPECT_TRUE(rig.find<QCheckBox>("chkReadBeep")->isChecked());
        EXPECT_FALSE(rig.find<QCheckBox>("chkSTX")->isChecked());
        EXPECT_TRUE(rig.find<QCheckBox>("chkETag")->isChecked()) << "eTag is not a factory control";
        EXPECT_EQ(rig.find<QComboBox>("cmbUsbMode")->currentIndex(), 0);
        EXPECT_EQ(rig.find<QComboBox>("cmbLayout")->currentIndex(), 1) << "the layout is kept";
        EXPECT_EQ(rig.find<QLabel>("pnScanTime")->text(), "5");
        EXPECT_EQ(rig.find<QLabel>("pnSameCard")->text(), "15");
        EXPECT_EQ(rig.find<QLabel>("pnDelayTime")->text(), "10");
        EXPECT_EQ(rig.find<QScrollBar>("sbM1IDByte")->value(), 4);
        EXPECT_EQ(rig.find<QScrollBar>("sbM1IDSector")->value(), 0);
        EXPECT_EQ(rig.find<QScrollBar>("sbNIDBlock")->value(), 0) << "the NTAG group follows the MIFARE one";
        EXPECT_EQ(rig.find<QScrollBar>("sbNIDByte")->value(), 4);
        EXPECT_EQ(rig.find<QComboBox>("cmbM1IDKeyErr")->currentText(), "LED");
        EXPECT_EQ(rig.find<QScrollBar>("sbICIDByte")->value(), 4);
        EXPECT_FALSE(rig.find<QCheckBox>("chkHF14443B")->isChecked());
        EXPECT_TRUE(rig.find<QCheckBox>("chkLFCardTypeEM")->isChecked());
        EXPECT_FALSE(rig.find<QCheckBox>("chkLFCardTypeFDXB")->isChecked());
        EXPECT_TRUE(rig.window->link().Connected()) << "the link stays open";
        // The reader itself is back at its factory values.
        EXPECT_EQ(held(rig, proto::ParScanTime), hex("05"));
    }
}

TEST(CommonPage, FactoryDefaultWithoutAReaderOrRefused)
{
    WindowRig rig("KV350-U1");
    rig.hid->unplug();
    rig.show();
    rig.find<QComboBox>("cmbFormat")->setCurrentIndex(0);
    rig.dialogs.yes();
    rig.click("btnFactory");
    EXPECT_EQ(rig.message(), "Command Error!");
    EXPECT_EQ(rig.find<QComboBox>("cmbFormat")->currentText(), "8H") << "no model identified";

    rig.hid->plug();
    rig.click("btnConnect");
    rig.find<QScrollBar>("sbScanTime")->setValue(50);
    rig.reader->faults().queue(sim::Fault::status(0x01));
    rig.dialogs.yes();
    rig.click("btnFactory");
    EXPECT_EQ(rig.message(), "Command Error!") << "a refusal is not done";
    EXPECT_EQ(rig.find<QScrollBar>("sbScanTime")->value(), 5) << "the controls keep their factory values";
    EXPECT_EQ(rig.find<QComboBox>("cmbFormat")->currentText(), "24H");
}

TEST(CommonPage, FactoryDefaultAsksFirstAndNoChangesNothing)
{
    WindowRig rig("KV350-U1");
    rig.show();
    rig.find<QScrollBar>("sbScanTime")->setValue(99);
    rig.find<QCheckBox>("chkReverse")->setChecked(true);
    rig.reader->parameters().set(proto::ParScanTime, hex("63"));
    const std::size_t sent = rig.reader->requests().size();
    rig.click("btnFactory");
    ASSERT_EQ(rig.dialogs.asked.size(), 1u);
    EXPECT_EQ(rig.dialogs.asked[0].text,
              "Every setting of the reader will return to its factory value; the settings made now will be lost.\n"
              "\nUse factory settings?");
    EXPECT_EQ(rig.reader->requests().size(), sent) << "No sends nothing";
    EXPECT_EQ(held(rig, proto::ParScanTime), hex("63"));
    EXPECT_EQ(rig.find<QScrollBar>("sbScanTime")->value(), 99) << "and resets no control";
    EXPECT_TRUE(rig.find<QCheckBox>("chkReverse")->isChecked());
    EXPECT_EQ(rig.message(), "Cancelled: nothing was sent to the reader.");

    // Reads and reboots never ask.
    rig.click("btnGetScanTime");
    rig.click("btnScanTime");
    rig.click("btnReboot");
    EXPECT_EQ(rig.dialogs.asked.size(), 1u);

    // The question in the window's language, with its buttons.
    rig.window->mnuSimplifiedClick();
    rig.dialogs.yes();
    rig.click("btnFactory");
    ASSERT_EQ(rig.dialogs.asked.size(), 2u);
    EXPECT_EQ(rig.dialogs.asked[1].yes, QString::fromUtf8("是"));
    EXPECT_EQ(rig.dialogs.asked[1].no, QString::fromUtf8("否"));
    EXPECT_TRUE(rig.dialogs.asked[1].text.endsWith(QString::fromUtf8("要回复出厂值吗？")));
    EXPECT_EQ(held(rig, proto::ParScanTime), hex("05"));
}
