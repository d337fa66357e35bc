// Connecting and identifying the reader, over USB and serial, for every model.
#include "rig.h"

#include <gtest/gtest.h>

using namespace kv350;
using namespace kv350::test;

TEST(Identify, EveryModelOverUsbShowsItsStatusAndPages)
{
    // The rules themselves are pinned in models_test; here, that identification applies them.
    for (const char *model :
         {"KV350-M1", "KV350-U1", "KV350-MIC", "KV350-IC", "KV350-LF", "KV350-MIC-X", "KV350-LF-X", "KV350-A1"}) {
        sim::Identity id;
        id.model = model;
        id.version = "V3.1";
        id.serial = "00001234";
        Rig rig(id);
        ASSERT_TRUE(rig.link.ConnectReader()) << model << ": " << rig.link.lastError().toStdString();
        EXPECT_TRUE(rig.link.Connected());
        EXPECT_EQ(rig.link.ModelName(), model);
        EXPECT_EQ(rig.link.SerialNumberText(), "00001234");
        const QString padded = QString::fromLatin1(model).leftJustified(12, ' ') + "V3.1";
        EXPECT_EQ(rig.link.ModelVersionText(), padded);
        ASSERT_EQ(rig.recorder.statuses.size(), 3u);
        EXPECT_EQ(rig.recorder.statuses[0].second, ColourGrey);
        EXPECT_EQ(rig.recorder.statuses[1], std::make_pair(QString("Connected"), ColourYellow));
        EXPECT_EQ(rig.recorder.statuses[2], std::make_pair("[Connected] (" + padded + ") (SN:00001234)", ColourYellow));
        ASSERT_EQ(rig.recorder.models.size(), 1u);
        EXPECT_EQ(rig.recorder.models[0].shown, applyModelRules(model).shown) << model;
        EXPECT_EQ(rig.recorder.models[0].formatItem, applyModelRules(model).formatItem) << model;
        // 100 ms between write and read, once for each query.
        EXPECT_EQ(rig.time.waits(), (std::vector<int>{100, 100})) << model;
    }
}

TEST(Identify, NamesAreTrimmedButCaseMatters)
{
    sim::Identity padded;
    padded.model = " KV350-MIC  ";  // blanks on both sides, 12 in all
    Rig a(padded);
    ASSERT_TRUE(a.link.ConnectReader());
    EXPECT_EQ(a.link.ModelName(), "KV350-MIC");
    EXPECT_EQ(a.recorder.models.at(0).formatItem, 8);

    sim::Identity lower;
    lower.model = "kv350-mic";
    Rig b(lower);
    ASSERT_TRUE(b.link.ConnectReader()) << "identified, just not a model with extra pages";
    EXPECT_EQ(b.recorder.models.at(0).shown, 0u);
    EXPECT_EQ(b.recorder.models.at(0).formatItem, -1);
}

TEST(Identify, FailedIdentificationShowsDisconnectedButKeepsTheLinkOpen)
{
    sim::Identity id;
    id.serial = "";
    Rig rig(id);
    EXPECT_FALSE(rig.link.ConnectReader());
    EXPECT_TRUE(rig.link.Connected()) << "the transport is open";
    EXPECT_EQ(rig.recorder.statuses.back(), std::make_pair(QString("Disconnected"), ColourRed));
    EXPECT_TRUE(rig.recorder.models.empty());
    EXPECT_FALSE(rig.link.lastError().isEmpty());

    // A model reply of the wrong size fails too.
    Rig shortReply;
    shortReply.reader.faults().queue(sim::Fault::none());          // serial number
    shortReply.reader.faults().queue(sim::Fault::overLong(0x0A));  // model: LEN says 12 bytes
    EXPECT_FALSE(shortReply.link.ConnectReader());
    EXPECT_EQ(shortReply.link.SerialNumberText(), "12345678");
    EXPECT_TRUE(shortReply.link.ModelName().isEmpty());

    // Connecting while connected is refused with "Disconnected".
    Rig twice;
    ASSERT_TRUE(twice.link.ConnectReader());
    EXPECT_FALSE(twice.link.ConnectReader());
    EXPECT_EQ(twice.recorder.statuses.back().first, "Disconnected");
}

TEST(Identify, NoDeviceMeansDisconnected)
{
    Rig rig;
    rig.hid.unplug();
    EXPECT_FALSE(rig.link.ConnectReader());
    EXPECT_FALSE(rig.link.Connected());
    EXPECT_EQ(rig.recorder.statuses.back(), std::make_pair(QString("Disconnected"), ColourRed));

    Rig otherIds;
    otherIds.link.podRecord().PID = 0x1234;
    EXPECT_FALSE(otherIds.link.ConnectReader());
}

TEST(Identify, SerialProbesTwiceThenAsksForTheModel)
{
    Rig rig;
    rig.useSerial();
    ASSERT_TRUE(rig.link.ConnectReader()) << rig.link.lastError().toStdString();
    EXPECT_EQ(rig.reader.requests(), (std::vector<QByteArray>{hex("02010D"), hex("02010D"), hex("02010E")}));
    EXPECT_EQ(rig.link.ModelName(), "KV350-MIC");
    EXPECT_TRUE(rig.time.waits().empty()) << "the serial path waits in its reads, not in pauses";
}

TEST(Identify, SerialProbeWithoutAnswerClosesThePort)
{
    Rig rig;
    rig.useSerial();
    rig.reader.faults().queue(sim::Fault::noReply());
    EXPECT_FALSE(rig.link.ConnectReader());
    EXPECT_FALSE(rig.link.Connected());
    EXPECT_FALSE(rig.serial.isOpen()) << "an exclusive port left open would block every later attempt";
    EXPECT_EQ(rig.time.nowMs(), 500 + ReaderLink::LateReplyGraceMs)
        << "one reply window, and the grace in which a late reply is thrown away";

    // A probe answered with the wrong command or a failure status is no reader either.
    rig.reader.faults().queue(sim::Fault::status(0x01));
    EXPECT_FALSE(rig.link.ConnectReader());
    EXPECT_FALSE(rig.serial.isOpen());

    EXPECT_TRUE(rig.link.ConnectReader()) << "the next attempt opens the port again";
}

TEST(Identify, MissingPortSaysWhy)
{
    Rig rig;
    rig.useSerial();
    rig.serial.setOpenError("/dev/virtual-reader: no such serial port");
    EXPECT_FALSE(rig.link.ConnectReader());
    EXPECT_FALSE(rig.link.Connected());
    EXPECT_FALSE(rig.link.lastError().isEmpty());
}

TEST(ConnectButton, ClosesWaitsAndConnectsAfresh)
{
    Rig rig;
    ASSERT_TRUE(rig.link.ConnectReader());
    rig.time.clearRecord();
    rig.reader.clearRequests();
    ASSERT_TRUE(rig.link.Reconnect());
    EXPECT_EQ(rig.time.waits(), (std::vector<int>{100, 100, 100})) << "100 ms after closing, then identification";
    EXPECT_EQ(rig.reader.requests(), (std::vector<QByteArray>{hex("02010D"), hex("02010E")}));
    EXPECT_TRUE(rig.link.Connected());

    // Not connected: no close and no first wait.
    Rig fresh;
    ASSERT_TRUE(fresh.link.Reconnect());
    EXPECT_EQ(fresh.time.waits(), (std::vector<int>{100, 100}));
}

TEST(ConnectButton, ChoosingAPortClosesTheLink)
{
    Rig rig;
    ASSERT_TRUE(rig.link.ConnectReader());
    rig.useSerial();
    EXPECT_FALSE(rig.link.Connected());
    EXPECT_FALSE(rig.hid.isOpen());
    EXPECT_EQ(rig.link.Transport(), TransportKind::Serial);
    EXPECT_EQ(rig.link.PortSettings(), "115200,n,8,1");
    ASSERT_TRUE(rig.link.ConnectReader());
    rig.link.useUsb();
    EXPECT_FALSE(rig.serial.isOpen());
    EXPECT_EQ(rig.link.Transport(), TransportKind::Usb);
}
