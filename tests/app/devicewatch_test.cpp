// Readers that come and go: the window against a device watch the test drives,
// the virtual reader plugged in after the window started, in virtual time.
#include "link/devicewatch.h"
#include "windowrig.h"

#include <QComboBox>
#include <QTimer>
#include <gtest/gtest.h>

using namespace kv350;
using namespace kv350::testing;

namespace {

struct WatchedWindow : WindowRig {
    explicit WatchedWindow(const char *model = "KV350-MIC") : WindowRig(model)
    {
        hid->unplug();
        show();
        window->setDeviceWatch(&watch);
    }
    // The virtual reader plugged in, and the system saying so.
    void plugIn()
    {
        hid->plug();
        emit watch.usbDeviceArrived(proto::DefaultVid, proto::DefaultPid);
    }
    QTimer *retry() { return window->findChild<QTimer *>("arrivalRetry"); }
    QStringList portEntries()
    {
        QStringList entries;
        auto *list = find<QComboBox>("chkPort");
        for (int i = 0; i < list->count(); ++i)
            entries << list->itemText(i);
        return entries;
    }
    DeviceWatch watch;
};

}  // namespace

TEST(ReadersThatComeAndGo, AReaderPluggedInLaterIsConnectedWithoutAClick)
{
    WatchedWindow rig;
    ASSERT_EQ(rig.status(), "Disconnected");
    const std::size_t before = rig.reader->requests().size();

    // A device of other ids is none of ours: nothing is sent, nothing shown.
    rig.hid->plug();
    emit rig.watch.usbDeviceArrived(0x1234, 0x0317);
    EXPECT_EQ(rig.status(), "Disconnected");
    EXPECT_EQ(rig.reader->requests().size(), before);
    rig.hid->unplug();

    rig.plugIn();
    EXPECT_TRUE(rig.status().startsWith("[Connected] (KV350-MIC")) << rig.status().toStdString();
    EXPECT_EQ(rig.message(), "Command Done.") << "as the Connect button reports";
    EXPECT_TRUE(rig.tabVisible("tsISO15693")) << "the model's pages, as after Connect";

    // Once connected, another arrival of the same ids changes nothing.
    const std::size_t connected = rig.reader->requests().size();
    emit rig.watch.usbDeviceArrived(proto::DefaultVid, proto::DefaultPid);
    EXPECT_EQ(rig.reader->requests().size(), connected);
}

TEST(ReadersThatComeAndGo, AReaderPulledOutAndPluggedBackIsConnectedAgain)
{
    WatchedWindow rig;
    rig.plugIn();
    ASSERT_TRUE(rig.status().startsWith("[Connected]"));
    rig.hid->unplug();
    rig.click("btnGetScanTime");  // finds the reader gone
    ASSERT_EQ(rig.status(), "Disconnected");
    rig.plugIn();
    EXPECT_TRUE(rig.status().startsWith("[Connected]")) << rig.status().toStdString();
}

TEST(ReadersThatComeAndGo, NeverInTheMiddleOfAnAction)
{
    WatchedWindow rig;
    // The reader comes while the factory default asks whether it may go on.
    QString statusWhileAsked;
    rig.dialogs.whileAsking = [&] {
        rig.plugIn();
        statusWhileAsked = rig.status();
    };
    const std::size_t before = rig.reader->requests().size();
    rig.dialogs.no();
    rig.click("btnFactory");
    rig.dialogs.whileAsking = nullptr;
    EXPECT_EQ(statusWhileAsked, "Disconnected") << "no connection while the question is open";
    EXPECT_EQ(rig.reader->requests().size(), before) << "answered No: nothing sent";
    ASSERT_NE(rig.retry(), nullptr);
    EXPECT_TRUE(rig.retry()->isActive()) << "looked at again once the action is over";
    EXPECT_EQ(rig.retry()->interval(), TfrmMain::ArrivalRetryMs);
    QMetaObject::invokeMethod(rig.retry(), "timeout");
    EXPECT_TRUE(rig.status().startsWith("[Connected]")) << rig.status().toStdString();
    EXPECT_FALSE(rig.retry()->isActive()) << "nothing left to look at: no timer runs";
}

TEST(ReadersThatComeAndGo, AnActionThatConnectsItselfLeavesNothingToDo)
{
    WatchedWindow rig;
    rig.dialogs.whileAsking = [&] { rig.plugIn(); };
    rig.dialogs.yes();
    rig.click("btnFactory");  // connects on demand once answered Yes
    rig.dialogs.whileAsking = nullptr;
    ASSERT_TRUE(rig.status().startsWith("[Connected]")) << rig.status().toStdString();
    const std::size_t after = rig.reader->requests().size();
    if (rig.retry() && rig.retry()->isActive())
        QMetaObject::invokeMethod(rig.retry(), "timeout");
    EXPECT_EQ(rig.reader->requests().size(), after) << "no second connection";
}

TEST(ReadersThatComeAndGo, NotAfterTheUserClosedTheLinkOnPurpose)
{
    WatchedWindow rig;
    rig.plugIn();
    ASSERT_TRUE(rig.status().startsWith("[Connected]"));
    // A reboot closes the link on purpose and leaves the status as it was;
    // the reader that comes back is not connected by itself.
    rig.click("btnReboot");
    ASSERT_FALSE(rig.window->link().Connected());
    const QString shown = rig.status();
    const std::size_t before = rig.reader->requests().size();
    rig.plugIn();
    EXPECT_FALSE(rig.window->link().Connected());
    EXPECT_EQ(rig.reader->requests().size(), before);
    EXPECT_EQ(rig.status(), shown);
}

TEST(ReadersThatComeAndGo, PortsFollowTheSystemAndTheSelectionStays)
{
    WatchedWindow rig;
    rig.ports.ports = {"/dev/ttyUSB0"};
    emit rig.watch.serialPortsChanged();
    EXPECT_EQ(rig.portEntries().mid(0, 2), QStringList({"USB Auto", "/dev/ttyUSB0"}));
    auto *list = rig.find<QComboBox>("chkPort");
    EXPECT_EQ(list->currentIndex(), 0) << "USB Auto stays chosen";

    rig.ports.ports = {"/dev/ttyUSB0", "/dev/ttyACM0"};
    emit rig.watch.serialPortsChanged();
    EXPECT_EQ(rig.portEntries(), QStringList({"USB Auto", "/dev/ttyUSB0", "/dev/ttyACM0"}));
    list->setCurrentIndex(2);
    rig.window->chkPortCloseUp(2);

    // The chosen port goes: it stays listed and chosen; the other one goes.
    rig.ports.ports = {};
    emit rig.watch.serialPortsChanged();
    EXPECT_EQ(list->currentText(), "/dev/ttyACM0");
    EXPECT_FALSE(rig.portEntries().contains("/dev/ttyUSB0"));
    EXPECT_EQ(rig.window->link().Transport(), TransportKind::Serial) << "the transport stays as chosen";
}

TEST(ReadersThatComeAndGo, TheChosenSerialPortAppearingIsConnected)
{
    WatchedWindow rig("KV350-LF");
    rig.ports.ports = {"/dev/ttyUSB0"};
    emit rig.watch.serialPortsChanged();
    auto *list = rig.find<QComboBox>("chkPort");
    list->setCurrentIndex(1);
    rig.window->chkPortCloseUp(1);
    // The adapter is pulled out; Connect finds nothing.
    rig.serial->setOpenError("/dev/ttyUSB0 does not exist");
    rig.ports.ports = {};
    emit rig.watch.serialPortsChanged();
    rig.click("btnConnect");
    ASSERT_EQ(rig.status(), "Disconnected");

    // Another port appearing is not the chosen one: nothing happens.
    rig.serial->setOpenError({});
    rig.ports.ports = {"/dev/ttyACM3"};
    emit rig.watch.serialPortsChanged();
    EXPECT_EQ(rig.status(), "Disconnected");
    EXPECT_EQ(list->currentText(), "/dev/ttyUSB0");

    rig.ports.ports = {"/dev/ttyACM3", "/dev/ttyUSB0"};
    emit rig.watch.serialPortsChanged();
    EXPECT_TRUE(rig.status().startsWith("[Connected] (KV350-LF")) << rig.status().toStdString();
    EXPECT_EQ(list->currentText(), "/dev/ttyUSB0");
    EXPECT_EQ(rig.window->link().PortPath(), "/dev/ttyUSB0");
}

// The watch used where udev is not: it lists once a second and says what changed.
TEST(PollingDeviceWatch, SaysWhatChangedAndNothingElse)
{
    QStringList ports{"/dev/ttyS0"};
    QSet<quint32> usb{usbIdKey(0x1111, 0x2222)};
    PollingDeviceWatch watch([&] { return ports; }, [&] { return usb; });
    int portChanges = 0;
    std::vector<std::pair<quint16, quint16>> arrivals;
    QObject::connect(&watch, &DeviceWatch::serialPortsChanged, [&] { ++portChanges; });
    QObject::connect(&watch, &DeviceWatch::usbDeviceArrived,
                     [&](quint16 v, quint16 p) { arrivals.emplace_back(v, p); });

    watch.poll();
    EXPECT_EQ(portChanges, 0) << "what is there at the start is no change";
    EXPECT_TRUE(arrivals.empty());

    ports = {"/dev/ttyUSB0", "/dev/ttyS0"};
    usb.insert(usbIdKey(0x0E6A, 0x0317));
    watch.poll();
    EXPECT_EQ(portChanges, 1);
    ASSERT_EQ(arrivals.size(), 1u);
    EXPECT_EQ(arrivals[0], std::make_pair(quint16(0x0E6A), quint16(0x0317)));

    ports = {"/dev/ttyS0", "/dev/ttyUSB0"};  // the same ports in another order
    watch.poll();
    EXPECT_EQ(portChanges, 1);
    usb.remove(usbIdKey(0x0E6A, 0x0317));
    watch.poll();
    usb.insert(usbIdKey(0x0E6A, 0x0317));
    watch.poll();
    EXPECT_EQ(arrivals.size(), 2u) << "pulled out and plugged back: a new arrival";
    EXPECT_EQ(watch.findChild<QTimer *>()->interval(), 1000) << "never more often than once a second";
}

TEST(ReadersThatComeAndGo, TheNoReaderTipSaysWhatToCheckInTheWindowsLanguage)
{
    WindowRig rig("KV350-MIC", QStringLiteral("ChineseGB"));
    rig.hid->unplug();
    rig.show();
    ASSERT_EQ(rig.status(), QString::fromUtf8("未连线"));
    EXPECT_EQ(rig.find<QLabel>("pnStatus")->toolTip(),
              QString::fromUtf8("USB 0E6A:0317：没有插入此 USB 装置（读卡机是否已插入？VID 和 PID 是否为它的 ID？）"));
    rig.window->mnuTraditionalClick();
    EXPECT_EQ(rig.find<QLabel>("pnStatus")->toolTip(),
              QString::fromUtf8("USB 0E6A:0317：沒有插入此 USB 裝置（讀卡機是否已插入？VID 和 PID 是否為它的 ID？）"));
}
