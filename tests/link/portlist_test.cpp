// The entries of the port list.
#include "link/portlist.h"

#include <gtest/gtest.h>

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
