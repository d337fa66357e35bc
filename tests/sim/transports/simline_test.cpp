// The virtual production line: readers that come one after another, taken
// out when asked, some misbehaving on purpose.
#include "common/protocol.h"
#include "link/virtualtime.h"
#include "sim/transports/simline.h"

#include <gtest/gtest.h>

using namespace kv350;
using namespace kv350::sim;

TEST(SimLine, UnitsAreParsedOrRefusedWithWhatIsAllowed)
{
    QString why;
    const auto units = parseLineUnits(QStringLiteral("ok, differs=scanTime,vanish,old"), &why);
    ASSERT_TRUE(units) << why.toStdString();
    ASSERT_EQ(units->size(), 4u);
    EXPECT_EQ((*units)[1].kind, LineUnit::Differs);
    EXPECT_EQ((*units)[1].parameter, 0x04);
    EXPECT_EQ((*units)[3].kind, LineUnit::OldFirmware);
    EXPECT_FALSE(parseLineUnits(QStringLiteral("ok,,ok"), &why));
    EXPECT_FALSE(parseLineUnits(QStringLiteral("differs=colour"), &why));
    EXPECT_TRUE(why.contains(QStringLiteral("scanTime")));
    EXPECT_FALSE(parseLineUnits(QStringLiteral("broken"), &why));
    EXPECT_TRUE(why.contains(QStringLiteral("\"broken\"")));
}

TEST(SimLine, OneReaderAtATimeEachWithItsOwnSerialNumber)
{
    VirtualTime time;
    QString why;
    auto line = VirtualLine::make(QStringLiteral("KV350-M1"), {}, *parseLineUnits(QStringLiteral("ok,ok"), &why), time,
                                  &why);
    ASSERT_TRUE(line);
    auto present = [&] { return line->bus().enumerate(proto::DefaultVid, proto::DefaultPid); };
    ASSERT_EQ(present().size(), 1);
    EXPECT_EQ(present()[0].serialNumber, QStringLiteral("20260001"));

    line->removalAsked(QStringLiteral("sim:2"));  // not the one on the bench: nothing happens
    time.advance(5000);
    ASSERT_EQ(present().size(), 1);

    line->removalAsked(QStringLiteral("sim:1"));
    EXPECT_EQ(present().size(), 1);  // the person needs a moment
    time.advance(VirtualLine::RemoveMs);
    EXPECT_TRUE(present().isEmpty());
    time.advance(VirtualLine::NextMs);
    ASSERT_EQ(present().size(), 1);
    EXPECT_EQ(present()[0].serialNumber, QStringLiteral("20260002"));
    line->removalAsked(QStringLiteral("sim:2"));
    time.advance(60000);
    EXPECT_TRUE(present().isEmpty());  // the line is done
    EXPECT_EQ(line->current(), -1);
}

TEST(SimLine, ADifferingReaderKeepsItsValueOfThatSettingOnly)
{
    VirtualTime time;
    QString why;
    auto line = VirtualLine::make(QStringLiteral("KV350-M1"), {},
                                  *parseLineUnits(QStringLiteral("differs=scanTime"), &why), time, &why);
    ParameterStore &store = line->bus().reader(0).parameters();
    const QByteArray before = store.value(0x04);
    EXPECT_TRUE(store.write(0x04, QByteArray(before.size(), '\x09')));  // taken, STA 0 ...
    EXPECT_EQ(store.value(0x04), before);                               // ... and not kept
    const QByteArray other(store.width(0x05), '\x07');
    EXPECT_TRUE(store.write(0x05, other));
    EXPECT_EQ(store.value(0x05), other);
}

TEST(SimLine, AVanishingReaderGoesAwayOnTheRequestAfterItsFirstWrite)
{
    VirtualTime time;
    QString why;
    auto line = VirtualLine::make(QStringLiteral("KV350-M1"), {}, *parseLineUnits(QStringLiteral("vanish"), &why), time,
                                  &why);
    VirtualReader &reader = line->bus().reader(0);
    EXPECT_EQ(reader.faults().queued(), 0);
    const QByteArray value(reader.parameters().width(0x05), '\x07');
    reader.handle(QByteArray("\x02\x02\x03\x05", 4));  // a read changes nothing
    EXPECT_EQ(reader.faults().queued(), 0);
    QByteArray set("\x02\x00\x03\x05", 4);
    set.append(value);
    set[1] = char(set.size() - 2);
    reader.handle(set);
    EXPECT_EQ(reader.faults().queued(), 1);  // the next request is taken and never answered
    reader.handle(set);                      // armed once only
    EXPECT_EQ(reader.faults().queued(), 1);
}

TEST(SimLine, AnOldReaderRunsTheOlderFirmware)
{
    VirtualTime time;
    QString why;
    auto line = VirtualLine::make(QStringLiteral("KV350-M1"), {}, *parseLineUnits(QStringLiteral("ok,old"), &why), time,
                                  &why);
    EXPECT_EQ(line->bus().reader(0).identity().version, QByteArray("V1.0"));
    EXPECT_EQ(line->bus().reader(1).identity().version, QByteArray(OldLineFirmware));
}
