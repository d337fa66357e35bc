// Typed link errors: each way a transaction or a connection fails gives its
// own value, the words for it come from one table, and the table's word on
// whether the reader is out of reach agrees with the state the link is left in.
#include "rig.h"

#include "link/linkerror.h"

#include <gtest/gtest.h>

#include <set>

using namespace kv350;
using namespace kv350::test;

namespace {

const LinkError AllErrors[] = {
    LinkError::None,        LinkError::Busy,           LinkError::BadRequest,        LinkError::OpenFailed,
    LinkError::NoReader,    LinkError::NoSerialNumber, LinkError::EmptySerialNumber, LinkError::NoModel,
    LinkError::WriteFailed, LinkError::NotTaken,       LinkError::NoReply,           LinkError::Cut,
    LinkError::NotAFrame,   LinkError::TwoReplies,     LinkError::WrongEcho,         LinkError::Rejected,
    LinkError::DeviceGone,  LinkError::PortGone,       LinkError::NoUsbDevice,       LinkError::UsbNoAccess,
};

// The request 02 02 03 04 reads the scan time.
const QByteArray ScanTime = hex("02020304");

}  // namespace

TEST(LinkErrorTable, EveryValueHasItsOwnNameAndWords)
{
    std::set<QString> names;
    for (LinkError e : AllErrors) {
        const QString name = linkErrorName(e);
        EXPECT_TRUE(names.insert(name).second) << name.toStdString() << " twice";
        EXPECT_FALSE(name.contains(' ')) << "a name is one word for scripts";
        if (e != LinkError::None) {
            EXPECT_FALSE(linkErrorText({e, "/dev/ttyUSB0", {}}).isEmpty()) << name.toStdString();
        }
    }
    EXPECT_EQ(linkErrorText({}), "");
}

TEST(LinkErrorTable, DetailAndPlaceGoWhereTheWordsSayAndNowhereElse)
{
    EXPECT_EQ(linkErrorText({LinkError::DeviceGone, "/dev/ttyUSB0", {}}), "/dev/ttyUSB0: the reader went away")
        << "no dangling colon without a detail";
    EXPECT_EQ(linkErrorText({LinkError::DeviceGone, "USB 0E6A:0317", "USB read failed"}),
              "USB 0E6A:0317: the reader went away: USB read failed");
    EXPECT_EQ(linkErrorText({LinkError::PortGone, "/dev/ttyUSB0", "Resource temporarily unavailable"}),
              "/dev/ttyUSB0: the serial port went away")
        << "a hung-up port's last errno is no reason";
    EXPECT_EQ(linkErrorText({LinkError::NotTaken, "/dev/pts/3", {}}),
              "/dev/pts/3: the port did not take the whole request");
    EXPECT_EQ(linkErrorText({LinkError::Cut, "USB 0E6A:0317", "70"}), "the reply was cut short (70 bytes came)");
    EXPECT_EQ(linkErrorText({LinkError::WrongEcho, "x", "83, not 03"}), "the reply answers command 83, not 03");
    // The system's account of a port that did not open names the port itself: not twice.
    EXPECT_EQ(linkErrorText({LinkError::OpenFailed, "/dev/x", "/dev/x: no such serial port"}),
              "/dev/x: no such serial port");
    EXPECT_EQ(linkErrorText({LinkError::OpenFailed, "/dev/x", {}}), "/dev/x: could not be opened");
}

TEST(LinkErrorTable, NoReaderOnUsbSaysWhatToCheck)
{
    // Nothing with the ids: the cable, and the ids typed in VID and PID.
    EXPECT_EQ(linkErrorText({LinkError::NoUsbDevice, "USB 1234:0317", {}}),
              "USB 1234:0317: no such USB device is plugged in (is the reader plugged in, and are VID and PID its "
              "ids?)");
    // There, but not this user's: the rule that gives access, by its installed path.
    ASSERT_TRUE(udevRulePath().endsWith("/rules.d/70-kv350tools.rules")) << udevRulePath().toStdString();
    EXPECT_EQ(linkErrorText({LinkError::UsbNoAccess, "USB 0E6A:0317", "/dev/hidraw3"}),
              "USB 0E6A:0317: the reader is plugged in (/dev/hidraw3) but this user may not open it: the udev rule " +
                  udevRulePath() + " gives access (install it, or the package, then plug the reader in again)");
    EXPECT_TRUE(readerOutOfReach(LinkError::NoUsbDevice));
    EXPECT_TRUE(readerOutOfReach(LinkError::UsbNoAccess));

    // In another language the table's words are looked up as they are, placeholders and all.
    const auto other = [](const QString &english) {
        return english == "{where}: no such USB device is plugged in (is the reader plugged in, and are VID and "
                          "PID its ids?)"
                   ? QStringLiteral("{where} -- {detail} -- {rule}")
                   : english;
    };
    EXPECT_EQ(linkErrorText({LinkError::NoUsbDevice, "USB 0E6A:0317", {}}, other),
              "USB 0E6A:0317 --  -- " + udevRulePath());
}

TEST(LinkErrors, EachFailureOfATransactionHasItsValue)
{
    struct Row {
        const char *name;
        sim::Fault fault;
        LinkError usb;
        LinkError serial;
    } rows[] = {
        {"no reply", sim::Fault::noReply(), LinkError::NoReply, LinkError::NoReply},
        {"status 10", sim::Fault::status(0x10), LinkError::Rejected, LinkError::Rejected},
        {"wrong echo", sim::Fault::wrongCmd(0x05), LinkError::WrongEcho, LinkError::WrongEcho},
        {"LEN 1", sim::Fault::overLong(1), LinkError::NotAFrame, LinkError::NotAFrame},
        // A frame whose LEN promises more than comes: USB knows it was cut, the stream only sees no frame.
        {"LEN 254", sim::Fault::overLong(254), LinkError::Cut, LinkError::NoReply},
        {"device gone", sim::Fault::vanish(100), LinkError::DeviceGone, LinkError::PortGone},
    };
    for (const Row &r : rows) {
        for (bool serial : {false, true}) {
            Rig rig;
            if (serial)
                rig.useSerial();
            ASSERT_TRUE(rig.link.ConnectReader());
            rig.reader.faults().queue(r.fault);
            EXPECT_FALSE(rig.link.ExecuteCommand(ScanTime)) << r.name;
            const LinkError want = serial ? r.serial : r.usb;
            EXPECT_EQ(rig.link.error(), want)
                << r.name << (serial ? " serial: " : " usb: ") << rig.link.lastError().toStdString();
            EXPECT_EQ(rig.link.lastError(), linkErrorText(rig.link.lastFailure())) << r.name;
            EXPECT_EQ(rig.link.Connected(), !readerOutOfReach(want)) << r.name << ": the table says whether it closes";
        }
    }
}

TEST(LinkErrors, SuccessClearsTheError)
{
    Rig rig;
    ASSERT_TRUE(rig.link.ConnectReader());
    rig.reader.faults().queue(sim::Fault::noReply());
    EXPECT_FALSE(rig.link.ExecuteCommand(ScanTime));
    ASSERT_EQ(rig.link.error(), LinkError::NoReply);
    ASSERT_TRUE(rig.link.ExecuteCommand(ScanTime));
    EXPECT_EQ(rig.link.error(), LinkError::None);
    EXPECT_TRUE(rig.link.lastError().isEmpty());
}

TEST(LinkErrors, RequestsRefusedBeforeAnythingIsSent)
{
    Rig rig;
    EXPECT_FALSE(rig.link.ExecuteCommand(hex("0201")));
    EXPECT_EQ(rig.link.error(), LinkError::BadRequest);
    EXPECT_FALSE(rig.link.ExecuteCommand(QByteArray(257, '\x02')));
    EXPECT_EQ(rig.link.error(), LinkError::BadRequest);
    EXPECT_TRUE(rig.reader.requests().empty());

    // A call made while a transaction waits (from a timer the wait lets run) is refused as busy.
    HookedPause pause(rig.time);
    ReaderLink link(rig.hid, rig.serial, rig.time, pause);
    LinkError inner = LinkError::None;
    bool asked = false;
    pause.onPending = [&] {
        if (asked)
            return;
        asked = true;
        EXPECT_FALSE(link.ExecuteCommand(ScanTime));
        inner = link.error();
    };
    EXPECT_TRUE(link.ExecuteCommand(ScanTime));
    pause.onPending = nullptr;
    EXPECT_EQ(inner, LinkError::Busy);
    EXPECT_EQ(link.error(), LinkError::None) << "the outer call succeeded";
}

TEST(LinkErrors, ConnectionFailuresSayWhereTheyStopped)
{
    {
        Rig rig;
        rig.hid.unplug();
        EXPECT_FALSE(rig.link.ConnectReader());
        EXPECT_EQ(rig.link.error(), LinkError::NoUsbDevice) << "no device with the ids is plugged in";
        EXPECT_EQ(rig.link.lastError(), "USB 0E6A:0317: no such USB device is plugged in (is the reader plugged "
                                        "in, and are VID and PID its ids?)");
    }
    {
        Rig rig;
        rig.useSerial();
        rig.reader.faults().queue(sim::Fault::noReply());
        EXPECT_FALSE(rig.link.ConnectReader());
        EXPECT_EQ(rig.link.error(), LinkError::NoReader);
        EXPECT_EQ(rig.link.lastError(), "/dev/virtual-reader: the port opened but no reader answered");
    }
    {
        Rig rig;
        rig.reader.faults().queue(sim::Fault::noReply());
        EXPECT_FALSE(rig.link.ConnectReader());
        EXPECT_EQ(rig.link.error(), LinkError::NoSerialNumber);
    }
    {
        sim::Identity id;
        id.serial = "";
        Rig rig(id);
        EXPECT_FALSE(rig.link.ConnectReader());
        EXPECT_EQ(rig.link.error(), LinkError::EmptySerialNumber);
    }
    {
        Rig rig;
        rig.reader.faults().queue(sim::Fault::none());
        rig.reader.faults().queue(sim::Fault::noReply());
        EXPECT_FALSE(rig.link.ConnectReader());
        EXPECT_EQ(rig.link.error(), LinkError::NoModel);
        EXPECT_TRUE(rig.link.Connected()) << "identification failures keep the link open";
        EXPECT_FALSE(readerOutOfReach(rig.link.error()));
    }
}

TEST(LinkErrors, AUsbWriteThatFailsOnTheNewConnectionTooClosesTheLink)
{
    Rig rig;
    ASSERT_TRUE(rig.link.ConnectReader());
    rig.hid.unplug();
    EXPECT_FALSE(rig.link.ExecuteCommand(ScanTime));
    EXPECT_EQ(rig.link.error(), LinkError::NoUsbDevice) << "unplugged for good: the new connection fails";
    EXPECT_FALSE(rig.link.Connected());
}

TEST(LinkErrors, ObserverHearsEveryTransactionWithItsVerdict)
{
    struct Log : LinkObserver {
        std::vector<TransactionRecord> records;
        void transactionEnded(const TransactionRecord &r) override { records.push_back(r); }
    } log;
    Rig rig;
    rig.link.setObserver(&log);
    ASSERT_TRUE(rig.link.ExecuteCommand(ScanTime));
    rig.reader.faults().queue(sim::Fault::status(0x10));
    EXPECT_FALSE(rig.link.ExecuteCommand(ScanTime));
    rig.hid.unplug();
    EXPECT_FALSE(rig.link.ExecuteCommand(ScanTime));
    rig.link.setObserver(&rig.recorder);

    ASSERT_EQ(log.records.size(), 3u) << "identification's own exchanges are no transactions";
    EXPECT_EQ(log.records[0].request, ScanTime);
    EXPECT_TRUE(log.records[0].sent);
    EXPECT_EQ(log.records[0].reply, hex("020403000405"));
    EXPECT_TRUE(log.records[0].accepted);
    EXPECT_EQ(log.records[0].error.error, LinkError::None);

    EXPECT_EQ(log.records[1].reply, hex("020403100405")) << "the reply as it came, though refused";
    EXPECT_FALSE(log.records[1].accepted);
    EXPECT_EQ(log.records[1].error.error, LinkError::Rejected);

    EXPECT_FALSE(log.records[2].sent);
    EXPECT_TRUE(log.records[2].reply.isEmpty());
    EXPECT_EQ(log.records[2].error.error, LinkError::NoUsbDevice);
}
