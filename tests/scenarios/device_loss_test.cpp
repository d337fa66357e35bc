// The device going away: pulled out in the middle of a transaction, between
// transactions, a HID read that times out against one that fails, and a
// HID write that does not go through.
#include "paths.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <set>

using namespace kv350;
using namespace kv350::scenarios;
using sim::Fault;

namespace {

void expectDisconnected(Path &path)
{
    EXPECT_FALSE(path.link().Connected());
    EXPECT_EQ(path.status().status, "Disconnected");
    EXPECT_EQ(path.status().colour, ColourRed);
}

// A HID device whose report writes fail on request, while it stays attached.
class FlakyHid final : public HidBackend {
public:
    explicit FlakyHid(HidBackend &inner) : m_inner(inner) {}
    bool open(std::uint16_t vid, std::uint16_t pid) override { return m_inner.open(vid, pid); }
    void close() override { m_inner.close(); }
    bool isOpen() const override { return m_inner.isOpen(); }
    int writeReport(const QByteArray &payload) override
    {
        if (m_fail.contains(++m_writes))
            return -1;
        return m_inner.writeReport(payload);
    }
    int readReport(QByteArray &out, int timeoutMs) override { return m_inner.readReport(out, timeoutMs); }
    QString errorText() const override { return m_inner.errorText(); }
    // These reports, counted from 1 from now on, fail.
    void failWrites(std::set<int> numbers)
    {
        m_writes = 0;
        m_fail = std::move(numbers);
    }

private:
    HidBackend &m_inner;
    int m_writes = 0;
    std::set<int> m_fail;
};

}  // namespace

TEST(DeviceLoss, HidReadTimeOutKeepsTheLinkAReadErrorClosesIt)
{
    VirtualPath path(Way::Hid);
    ASSERT_TRUE(path.link().ConnectReader());
    const QString connected = path.status().status;

    // Time-out: the reader is there and silent. Nothing to reconnect.
    path.queue(Fault::noReply());
    EXPECT_FALSE(path.link().ExecuteCommand(Request));
    EXPECT_TRUE(path.link().lastError().contains("no reply")) << path.link().lastError().toStdString();
    EXPECT_TRUE(path.link().Connected());
    EXPECT_EQ(path.status().status, connected);

    // Error: pulled out 100 ms into the wait. The read ends there, not at the window's end.
    path.link().ExecuteCommand(Request);  // listens out the window after the missed reply
    path.queue(Fault::vanish(100, -1));
    const qint64 start = path.time().nowMs();
    EXPECT_FALSE(path.link().ExecuteCommand(Request));
    EXPECT_EQ(path.time().nowMs() - start, 100);
    EXPECT_TRUE(path.link().lastError().contains("went away")) << path.link().lastError().toStdString();
    expectDisconnected(path);
    EXPECT_FALSE(path.hid().isOpen()) << "the dead handle is closed";

    // Still away: the next command tries once to connect and says so.
    EXPECT_FALSE(path.link().ExecuteCommand(Request));
    expectDisconnected(path);
    path.withReader([](sim::VirtualReader &r) { r.faults().deviceBack(); });
    ASSERT_TRUE(path.link().ExecuteCommand(Request)) << path.link().lastError().toStdString();
    EXPECT_EQ(path.response(), Reply);
    EXPECT_TRUE(path.status().status.startsWith("[Connected]"));
}

TEST(DeviceLoss, HidWriteThatFailsIsSentOnceMoreOnANewConnection)
{
    VirtualTime time;
    sim::VirtualReader reader;
    sim::SimHidDevice device(reader, time);
    FlakyHid hid(device);
    sim::SimSerialStream serial(reader, time);
    ReaderLink link(hid, serial, time, time);
    ASSERT_TRUE(link.ConnectReader());
    reader.clearRequests();

    // 136 bytes of user data: three reports; the second one does not go.
    const QByteArray data(136, '\x5A');
    const QByteArray write = buildRequest(0x0C, hex("000088") + data);
    hid.failWrites({2});
    ASSERT_TRUE(link.ExecuteCommand(write)) << link.lastError().toStdString();
    EXPECT_EQ(reader.requests(), (std::vector<QByteArray>{hex("02010D"), hex("02010E"), write}))
        << "the first report alone never became a request; identification, then the whole frame once";
    EXPECT_EQ(reader.userMemory().left(136), data);

    // The resend fails too (reports 2 and 3 identify the reader again): no
    // third try, no reply waited for, and the link is closed.
    hid.failWrites({1, 4});
    reader.clearRequests();
    const qint64 start = time.nowMs();
    EXPECT_FALSE(link.ExecuteCommand(hex("02020304")));
    EXPECT_TRUE(link.lastError().contains("failed again")) << link.lastError().toStdString();
    EXPECT_FALSE(link.Connected());
    EXPECT_EQ(time.nowMs() - start, 2 * ReaderLink::UsbSettleMs) << "identification's own waits, no reply window";
    EXPECT_EQ(reader.requests(), (std::vector<QByteArray>{hex("02010D"), hex("02010E")}));
    ASSERT_TRUE(link.ExecuteCommand(hex("02020304"))) << "and the next command connects afresh";
}

TEST(DeviceLoss, SerialStreamPulledOutMidTransaction)
{
    VirtualPath path(Way::Stream);
    ASSERT_TRUE(path.link().ConnectReader());
    path.queue(Fault::vanish(80, -1));
    const qint64 start = path.time().nowMs();
    EXPECT_FALSE(path.link().ExecuteCommand(Request));
    EXPECT_EQ(path.time().nowMs() - start, 80) << "the wait ends when the port breaks";
    EXPECT_TRUE(path.link().lastError().contains("went away")) << path.link().lastError().toStdString();
    expectDisconnected(path);
    EXPECT_FALSE(path.stream().isOpen());

    EXPECT_FALSE(path.link().ExecuteCommand(Request));
    EXPECT_TRUE(path.link().lastError().contains("does not exist")) << path.link().lastError().toStdString();
    path.withReader([](sim::VirtualReader &r) { r.faults().deviceBack(); });
    ASSERT_TRUE(path.link().ExecuteCommand(Request)) << path.link().lastError().toStdString();
    EXPECT_EQ(path.response(), Reply);
}

TEST(DeviceLoss, GoneWhileTheLinkDropsALateReplyClosesTheLink)
{
    for (Way way : {Way::Hid, Way::Stream}) {
        SCOPED_TRACE(wayName(way));
        VirtualPath path(way);
        ASSERT_TRUE(path.link().ConnectReader());
        // No reply in the 500 ms window; 20 ms into the listening for a late
        // one that follows, the device goes.
        path.queue(Fault::vanish(500 + 20, -1));
        const qint64 start = path.time().nowMs();
        EXPECT_FALSE(path.link().ExecuteCommand(Request));
        EXPECT_EQ(path.time().nowMs() - start, 520);
        EXPECT_TRUE(path.link().lastError().contains("went away")) << path.link().lastError().toStdString();
        expectDisconnected(path);
    }
}

TEST(DeviceLoss, PtyHangsUpMidTransactionAndComesBackUnderItsName)
{
    QTemporaryDir dir;
    const QString name = dir.filePath("ttyKV350");
    PtyPath path(name);
    ASSERT_TRUE(path.started()) << path.server().errorText().toStdString();
    ASSERT_TRUE(path.link().ConnectReader()) << path.link().lastError().toStdString();

    // Pulled out 50 ms into the wait, back 400 ms later on a new pty.
    path.queue(Fault::vanish(50, 400));
    QElapsedTimer wall;
    wall.start();
    EXPECT_FALSE(path.link().ExecuteCommand(Request));
    EXPECT_LT(wall.elapsed(), 450) << "the hang-up ends the read; the window is not waited out";
    EXPECT_TRUE(path.link().lastError().contains("went away")) << path.link().lastError().toStdString();
    expectDisconnected(path);
    EXPECT_FALSE(path.port().isOpen());

    EXPECT_FALSE(path.link().ExecuteCommand(Request)) << "the name is gone while the device is";
    EXPECT_TRUE(path.link().lastError().contains("no such serial port")) << path.link().lastError().toStdString();
    expectDisconnected(path);

    for (int i = 0; i < 100 && !path.server().isPresent(); ++i)
        path.idle(20);
    ASSERT_TRUE(path.server().isPresent());
    ASSERT_TRUE(path.link().ExecuteCommand(Request)) << path.link().lastError().toStdString();
    EXPECT_EQ(path.response(), Reply);
    EXPECT_TRUE(path.status().status.startsWith("[Connected]"));
}
