// The one transaction every page uses: connect on demand, send, check, mirror.
#include "rig.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace kv350;
using namespace kv350::test;

TEST(Transaction, ConnectsOnDemandAndMirrorsBothFrames)
{
    Rig rig;
    ASSERT_TRUE(rig.link.ExecuteCommand(hex("02020303")));
    EXPECT_TRUE(rig.link.Connected());
    EXPECT_EQ(rig.response(), hex("0206030003090180"));
    EXPECT_EQ(rig.link.responseStatus(), 0);
    EXPECT_EQ(rig.link.responseData(), hex("03090180"));

    ASSERT_FALSE(rig.recorder.requests.empty());
    const RequestFields &req = rig.recorder.requests.back();
    EXPECT_EQ(req.whole, "02 02 03 03 ");
    EXPECT_EQ(req.tx, "TX : 02 02 03 03 ");
    // First the cleared fields, then the reply.
    ASSERT_EQ(rig.recorder.responses.size(), 2u);
    EXPECT_EQ(rig.recorder.responses[0].stx, "__");
    EXPECT_EQ(rig.recorder.responses[1].whole, "02 06 03 00 03 09 01 80 ");
    EXPECT_EQ(rig.recorder.responses[1].rx, "RX : 02 06 03 00 03 09 01 80 ");
    EXPECT_EQ(rig.recorder.messagesCleared, 1);
    EXPECT_EQ(rig.link.RequestBuffer()[3], 0x03);
}

TEST(Transaction, RepliesAreJudgedByStxCmdAndStatus)
{
    struct Row {
        const char *name;
        sim::Fault fault;
        bool result;
        bool fieldsShown;
        bool serialOnly = false;  // a HID report is always whole: it cannot arrive cut short
    } rows[] = {
        {"clean", sim::Fault::none(), true, true},
        {"status 01 passes, the caller judges it", sim::Fault::status(0x01), true, true},
        {"status 10 fails with the fields filled", sim::Fault::status(0x10), false, true},
        {"wrong CMD echo", sim::Fault::wrongCmd(0x05), false, false},
        {"three bytes", sim::Fault::truncated(3), false, false, true},
        {"no reply", sim::Fault::noReply(), false, false},
        {"noise report before the frame", sim::Fault::noise(hex("FFFF")), true, true},
    };
    for (const Row &r : rows) {
        for (bool serial : {false, true}) {
            if (r.serialOnly && !serial)
                continue;
            Rig rig;
            if (serial)
                rig.useSerial();
            ASSERT_TRUE(rig.link.ConnectReader());
            rig.recorder.responses.clear();
            rig.reader.faults().queue(r.fault);
            EXPECT_EQ(rig.link.ExecuteCommand(hex("02020101")), r.result) << r.name << (serial ? " serial" : " usb");
            EXPECT_EQ(rig.recorder.responses.size(), r.fieldsShown ? 2u : 1u) << r.name;
            EXPECT_EQ(rig.recorder.responses.back().stx, r.fieldsShown ? "02" : "__") << r.name;
        }
    }
}

TEST(Transaction, WrongEchoStillUpdatesTheLengthButShortRepliesDoNot)
{
    Rig rig;
    rig.useSerial();
    ASSERT_TRUE(rig.link.ExecuteCommand(hex("02020303")));
    ASSERT_EQ(rig.link.ResponseLength(), 8);
    rig.reader.faults().queue(sim::Fault::wrongCmd(0x05));
    EXPECT_FALSE(rig.link.ExecuteCommand(hex("02020101")));
    EXPECT_EQ(rig.link.ResponseLength(), 4) << "the echo is checked after the length is taken";
    rig.reader.faults().queue(sim::Fault::truncated(3));
    EXPECT_FALSE(rig.link.ExecuteCommand(hex("02020101")));
    EXPECT_EQ(rig.link.ResponseLength(), 4);
}

TEST(Transaction, NothingIsSentWhenTheReaderCannotBeReached)
{
    Rig rig;
    rig.hid.unplug();
    EXPECT_FALSE(rig.link.ExecuteCommand(hex("02010D")));
    EXPECT_TRUE(rig.recorder.requests.empty()) << "request fields keep their previous text";
    EXPECT_TRUE(rig.reader.requests().empty());
    EXPECT_FALSE(rig.link.lastError().isEmpty());
}

TEST(Transaction, UsbUnplugBetweenCommandsReconnectsAndResendsOnce)
{
    Rig rig;
    ASSERT_TRUE(rig.link.ExecuteCommand(hex("02020301")));
    rig.hid.unplug();
    rig.hid.plug();
    rig.reader.clearRequests();
    const bool resent = rig.link.ExecuteCommand(hex("02020304"));
    ASSERT_TRUE(resent) << rig.link.lastError().toStdString();
    EXPECT_EQ(rig.reader.requests(), (std::vector<QByteArray>{hex("02010D"), hex("02010E"), hex("02020304")}))
        << "the failed write never reached the reader; identification, then the one resend";
    EXPECT_EQ(rig.response(), hex("0204030004 05"));

    // Unplugged for good: one reconnect attempt, then false.
    rig.hid.unplug();
    rig.reader.clearRequests();
    EXPECT_FALSE(rig.link.ExecuteCommand(hex("02020304")));
    EXPECT_FALSE(rig.link.Connected());
    EXPECT_TRUE(rig.reader.requests().empty());

    rig.hid.plug();
    EXPECT_TRUE(rig.link.ExecuteCommand(hex("02020304"))) << "and it works once the reader is back";
}

TEST(Transaction, UsbLongRepliesSpanReportsAndTheLimitCutsThem)
{
    Rig rig;
    // 136 bytes of user data: a 140-byte reply in three reports.
    QByteArray data(136, '\0');
    for (int i = 0; i < data.size(); ++i)
        data[i] = char(i);
    QByteArray write = hex("000088") + data;
    ASSERT_TRUE(rig.link.ExecuteCommand(buildRequest(0x0C, write), 64));
    ASSERT_TRUE(rig.link.ExecuteCommand(hex("02040C000088"), 256));
    EXPECT_EQ(rig.link.ResponseLength(), 140);
    EXPECT_EQ(rig.link.responseData(), data);

    // Asked for 20: 20 bytes, and the rest of the frame does not pass for the next reply.
    ASSERT_TRUE(rig.link.ExecuteCommand(hex("02040C000088"), 20));
    EXPECT_EQ(rig.link.ResponseLength(), 20);
    ASSERT_TRUE(rig.link.ExecuteCommand(hex("02020304")));
    EXPECT_EQ(rig.response(), hex("020403000405"));
}

TEST(Transaction, UsbStaleReplyIsClearedBeforeTheNextRequest)
{
    Rig rig;
    ASSERT_TRUE(rig.link.ConnectReader());
    // The reply comes after the read gave up ...
    rig.reader.faults().queue(sim::Fault::late(700));
    EXPECT_FALSE(rig.link.ExecuteCommand(hex("02020304")));
    rig.time.advance(300);
    // ... and is dropped before the next request instead of being taken as its reply.
    ASSERT_TRUE(rig.link.ExecuteCommand(hex("02020305")));
    EXPECT_EQ(rig.response(), hex("02040300050F"));
}

TEST(Transaction, ReadResponseTakesOneMoreReplyWithoutSending)
{
    Rig rig;
    ASSERT_TRUE(rig.link.ConnectReader());
    rig.reader.clearRequests();
    EXPECT_FALSE(rig.link.ReadResponse()) << "nothing was asked";
    EXPECT_TRUE(rig.reader.requests().empty());
}

TEST(Transaction, AWaitCannotStartASecondTransaction)
{
    VirtualTime time;
    HookedPause pause(time);
    sim::VirtualReader reader;
    sim::SimHidDevice hid(reader, time);
    sim::SimSerialStream serial(reader, time);
    ReaderLink link(hid, serial, time, pause);
    int refused = 0;
    pause.onPending = [&] {
        // A click handled during the wait would start another transaction here.
        if (!link.ExecuteCommand(hex("02020301")))
            ++refused;
        if (!link.ConnectReader())
            ++refused;
    };
    ASSERT_TRUE(link.ExecuteCommand(hex("02020304")));
    EXPECT_GE(refused, 2);
    pause.onPending = nullptr;
    EXPECT_EQ(reader.requests().back(), hex("02020304"));
    EXPECT_EQ(std::count(reader.requests().begin(), reader.requests().end(), hex("02020301")), 0);
    EXPECT_FALSE(link.busy());
}

TEST(Transaction, FramesOutsideTheBufferAreRefused)
{
    Rig rig;
    EXPECT_FALSE(rig.link.ExecuteCommand(hex("0201")));
    EXPECT_FALSE(rig.link.ExecuteCommand(QByteArray(257, '\x02')));
    EXPECT_TRUE(rig.reader.requests().empty());
}

TEST(Transaction, AfterARebootTheNextCommandFindsTheReaderAgain)
{
    for (bool serial : {false, true}) {
        Rig rig;
        if (serial)
            rig.useSerial();
        ASSERT_TRUE(rig.link.ExecuteCommand(hex("02020304")));
        ASSERT_TRUE(rig.link.ExecuteCommand(hex("02020F01")));
        EXPECT_EQ(rig.response(), hex("02020F00"));
        rig.link.DisconnectReader();
        // While the reader restarts it cannot be reached ...
        EXPECT_FALSE(rig.link.ExecuteCommand(hex("02020304"))) << (serial ? "serial" : "usb");
        EXPECT_FALSE(rig.link.Connected());
        // ... and after the program's 3000 ms wait it answers with its settings kept.
        rig.time.wait(3000);
        ASSERT_TRUE(rig.link.ExecuteCommand(hex("02020304"))) << rig.link.lastError().toStdString();
        EXPECT_EQ(rig.response(), hex("020403000405"));
    }
}

TEST(Transaction, ASerialPortThatGoesAwayIsClosedAndReopenedNextTime)
{
    Rig rig;
    rig.useSerial();
    ASSERT_TRUE(rig.link.ExecuteCommand(hex("02020304")));
    rig.reader.faults().queue(sim::Fault::deviceGone());
    EXPECT_FALSE(rig.link.ExecuteCommand(hex("02020304")));
    EXPECT_FALSE(rig.link.Connected());
    EXPECT_FALSE(rig.serial.isOpen());
    EXPECT_TRUE(rig.link.lastError().contains("went away")) << rig.link.lastError().toStdString();
    rig.reader.faults().deviceBack();
    ASSERT_TRUE(rig.link.ExecuteCommand(hex("02020304"))) << rig.link.lastError().toStdString();
    EXPECT_EQ(rig.response(), hex("020403000405"));
}
