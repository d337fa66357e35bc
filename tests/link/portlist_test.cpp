// The entries of the port list.
#include "link/portlist.h"

#include <atomic>
#include <functional>
#include <gtest/gtest.h>
#include <thread>

using namespace kv350;

TEST(PortList, FoundPortsFollowTheUsbEntry)
{
    const QStringList entries = portListEntries("USB Auto", {" /dev/ttyUSB0 ", "/dev/ttyACM1"});
#ifdef Q_OS_WIN
    EXPECT_EQ(entries, (QStringList{"USB Auto", "/DEV/TTYUSB0", "/DEV/TTYACM1"}));
#else
    EXPECT_EQ(entries, (QStringList{"USB Auto", "/dev/ttyUSB0", "/dev/ttyACM1"})) << "paths keep their case";
#endif
}

TEST(PortList, FewerThanTwoEntriesBringTheSixteenFallbacks)
{
    QStringList entries = portListEntries("USB 自动", {});
    ASSERT_EQ(entries.size(), 17);
    EXPECT_EQ(entries.front(), QString::fromUtf8("USB 自动"));
    EXPECT_EQ(entries.mid(1), fallbackPortNames());
#ifdef Q_OS_WIN
    EXPECT_EQ(entries[1], "COM1");
    EXPECT_EQ(entries[16], "COM16");
#else
    EXPECT_EQ(entries[1], "/dev/ttyS0");
    EXPECT_EQ(entries[16], "/dev/ttyS15");
#endif
    // Blank names do not count as ports.
    EXPECT_EQ(portListEntries("USB Auto", {"  "}).size(), 17);
    // One real port makes two entries: no fallbacks.
    EXPECT_EQ(portListEntries("USB Auto", {"/dev/pts/4"}).size(), 2);
}

namespace {

// A system whose list names the thread that made it, and counts the lookups.
struct CountingSystem {
    std::atomic<int> lookups{0};
    std::function<QStringList()> list()
    {
        return [this] {
            const int n = ++lookups;
            const bool here = std::this_thread::get_id() == testThread;
            return QStringList{QStringLiteral("/dev/ttyUSB%1").arg(n), here ? "same thread" : "other thread"};
        };
    }
    std::thread::id testThread = std::this_thread::get_id();
};

}  // namespace

TEST(SystemPortList, PreparedListsAreMadeAsideAndServeOneRequest)
{
    CountingSystem system;
    SystemPortList ports(system.list());
    EXPECT_EQ(ports.serialPorts(), (QStringList{"/dev/ttyUSB1", "same thread"})) << "unprepared: listed there and then";

    ports.prepare();
    ports.prepare();  // one lookup at a time
    EXPECT_EQ(ports.serialPorts(), (QStringList{"/dev/ttyUSB2", "other thread"}));
    EXPECT_EQ(system.lookups, 2);
    EXPECT_EQ(ports.serialPorts(), (QStringList{"/dev/ttyUSB3", "same thread"}))
        << "a port plugged in since shows: the prepared list served once";
}

TEST(SystemPortList, APreparedListNotAskedForIsLeftBehindCleanly)
{
    CountingSystem system;
    {
        SystemPortList ports(system.list());
        ports.prepare();
    }
    EXPECT_EQ(system.lookups, 1) << "the lookup ran to its end before the list went";
}
