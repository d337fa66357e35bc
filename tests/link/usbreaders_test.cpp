// Several USB readers at one machine: which one a command opens, and what the
// window's port list shows for them.
#include "link/usbreaders.h"
#include "link/virtualtime.h"
#include "sim/transports/simhidbus.h"
#include "sim/transports/simserialstream.h"

#include <gtest/gtest.h>

using namespace kv350;

namespace {

struct Bench {
    VirtualTime time;
    sim::SimHidBus bus{time};
    int probes = 0;

    // Readers with these serial numbers; their descriptors say them unless told not to.
    explicit Bench(const QList<QByteArray> &serials)
    {
        for (const QByteArray &serial : serials) {
            QString why;
            auto r = sim::makeSimulatedReader(QStringLiteral("KV350-M1"), {}, time, &why);
            r->reader->setSerial(serial);
            bus.attach(std::move(*r));
        }
    }
    UsbPick pick(const QString &path, const QString &serial)
    {
        return pickUsbReader(bus, {proto::DefaultVid, proto::DefaultPid, path, serial}, [this](const QString &p) {
            ++probes;
            return probeUsbReader(bus, p, proto::DefaultVid, proto::DefaultPid, time, time);
        });
    }
};

}  // namespace

TEST(UsbReaders, NoneOrOneAttachedOpensByIdsAsBefore)
{
    Bench none({});
    EXPECT_FALSE(none.pick({}, {}).refused());
    EXPECT_TRUE(none.pick({}, {}).path.isEmpty());
    Bench one({"11111111"});
    const UsbPick p = one.pick({}, {});
    EXPECT_FALSE(p.refused());
    EXPECT_TRUE(p.path.isEmpty());
    EXPECT_EQ(one.probes, 0);
}

TEST(UsbReaders, SeveralAndNonePickedIsRefusedWithTheCountAndTheWayOut)
{
    Bench three({"11111111", "22222222", "33333333"});
    const UsbPick p = three.pick({}, {});
    ASSERT_TRUE(p.refused());
    EXPECT_EQ(p.refusal, QStringLiteral("3 readers match 0E6A:0317; pick one with --path or --serial"));
    // Nothing was sent to any of them.
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(three.bus.reader(i).requests().empty());
}

TEST(UsbReaders, ByPathOnlyAnAttachedOne)
{
    Bench two({"11111111", "22222222"});
    EXPECT_EQ(two.pick(QStringLiteral("sim:2"), {}).path, QStringLiteral("sim:2"));
    const UsbPick missing = two.pick(QStringLiteral("sim:7"), {});
    ASSERT_TRUE(missing.refused());
    EXPECT_TRUE(missing.refusal.contains(QStringLiteral("sim:1, sim:2")));
    two.bus.detachAt(1, 0);
    EXPECT_TRUE(two.pick(QStringLiteral("sim:2"), {}).refused());  // taken out since
}

TEST(UsbReaders, BySerialFromTheDescriptorWithoutAskingAnyReader)
{
    Bench two({"11111111", "22222222"});
    EXPECT_EQ(two.pick({}, QStringLiteral("22222222")).path, QStringLiteral("sim:2"));
    EXPECT_EQ(two.probes, 0);
    EXPECT_TRUE(two.bus.reader(0).requests().empty());
}

TEST(UsbReaders, BySerialAsksTheReadersWhenTheDescriptorDoesNotSay)
{
    Bench two({"11111111", "A2"});
    // A number no descriptor holds: every reader is asked, and the refusal
    // says which numbers are attached.
    const UsbPick none = two.pick({}, QStringLiteral("99999999"));
    ASSERT_TRUE(none.refused());
    EXPECT_EQ(none.refusal, QStringLiteral("no reader 0E6A:0317 has serial number 99999999 (serial numbers "
                                           "attached: 11111111, A2)"));
    EXPECT_EQ(two.probes, 2);
    // A probe is identification and nothing else: 0x0D and 0x0E.
    for (const QByteArray &request : two.bus.reader(0).requests())
        EXPECT_TRUE(quint8(request[2]) == 0x0D || quint8(request[2]) == 0x0E) << request.toHex(' ').constData();
}

TEST(UsbReaders, ALinkOnAPathOpensThatReaderAndNoOther)
{
    Bench two({"11111111", "22222222"});
    sim::SimSerialStream unused(two.bus.reader(0), two.time);
    ReaderLink link(two.bus, unused, two.time, two.time);
    link.useUsbDevice(QStringLiteral("sim:2"));
    ASSERT_TRUE(link.ConnectReader());
    EXPECT_EQ(link.SerialNumberText(), QStringLiteral("22222222"));
    EXPECT_TRUE(two.bus.reader(0).requests().empty());
    link.useUsb();  // "USB Auto": the first again
    ASSERT_TRUE(link.ConnectReader());
    EXPECT_EQ(link.SerialNumberText(), QStringLiteral("11111111"));
}

TEST(UsbReaders, PortListEntriesOnlyForSeveral)
{
    EXPECT_TRUE(usbPortEntries({}).isEmpty());
    EXPECT_TRUE(usbPortEntries({HidDeviceInfo{"/dev/hidraw1", 0x0E6A, 0x0317, "11111111", {}}}).isEmpty());
    const QList<UsbPortEntry> two = usbPortEntries({HidDeviceInfo{"/dev/hidraw1", 0x0E6A, 0x0317, "11111111", {}},
                                                    HidDeviceInfo{"/dev/hidraw4", 0x0E6A, 0x0317, {}, {}}});
    ASSERT_EQ(two.size(), 2);
    EXPECT_EQ(two[0].text, QStringLiteral("USB 11111111"));
    EXPECT_EQ(two[0].path, QStringLiteral("/dev/hidraw1"));
    EXPECT_EQ(two[1].text, QStringLiteral("USB /dev/hidraw4"));  // no serial number in its descriptor
}
