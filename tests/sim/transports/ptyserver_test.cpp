#include "ptyclient.h"
#include "sim/transports/ptyserver.h"
#include "testutil.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

using namespace kv350::sim;
using std::chrono::milliseconds;
using std::chrono::steady_clock;

namespace {

class Pty : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.start()) << qPrintable(server.errorText());
        ASSERT_TRUE(server.devicePath().startsWith(QStringLiteral("/dev/")));
    }
    PtyServer server;
};

}  // namespace

TEST_F(Pty, AnswersOnTheSlavePath)
{
    PtyClient client(server.devicePath());
    ASSERT_TRUE(client.isOpen());
    ASSERT_TRUE(client.send(hex("02 01 0D")));
    EXPECT_EQ(client.receiveAll(12, 1000), serialReply);
    EXPECT_EQ(server.withReader([](VirtualReader &r) { return r.requests(); }),
              (std::vector<QByteArray>{hex("02 01 0D")}));
}

TEST_F(Pty, SplitReplyArrivesInPieces)
{
    server.withReader([](VirtualReader &r) { r.faults().queue(Fault::split(4, 30)); });
    PtyClient client(server.devicePath());
    const auto sent = steady_clock::now();
    ASSERT_TRUE(client.send(hex("02 01 0D")));
    const std::vector<PtyClient::Piece> pieces = client.receive(12, 1000);
    QByteArray all;
    for (const auto &p : pieces)
        all.append(p.bytes);
    EXPECT_EQ(all, serialReply);
    ASSERT_GE(pieces.size(), 2u);
    EXPECT_EQ(pieces.front().bytes.size() % 4, 0);
    EXPECT_LT(pieces.front().bytes.size(), 12);
    // The last piece leaves 60 ms after the request came in.
    EXPECT_GE(pieces.back().at - sent, milliseconds(55));
}

TEST_F(Pty, ClientCanCloseAndComeBack)
{
    {
        PtyClient first(server.devicePath());
        first.send(hex("02 02 02 02"));
        EXPECT_EQ(first.receiveAll(4, 1000), hex("02 02 02 00"));
    }
    // Changed from this thread while it serves.
    server.withReader([](VirtualReader &r) { r.setSerial("87654321"); });
    PtyClient second(server.devicePath());
    second.send(hex("02 01 0D"));
    EXPECT_EQ(second.receiveAll(12, 1000), hex("02 0A 0D 00 38 37 36 35 34 33 32 31"));
}

TEST_F(Pty, SilentWhileTheDeviceIsGone)
{
    server.withReader([](VirtualReader &r) { r.faults().queue(Fault::deviceGone()); });
    PtyClient client(server.devicePath());
    client.send(hex("02 01 0D"));
    EXPECT_TRUE(client.receiveAll(12, 50).isEmpty());
    server.withReader([](VirtualReader &r) { r.faults().deviceBack(); });
    client.send(hex("02 01 0D"));
    EXPECT_EQ(client.receiveAll(12, 1000), serialReply);
}

TEST_F(Pty, StopReturnsPromptlyWithAReplyPending)
{
    server.withReader([](VirtualReader &r) { r.faults().queue(Fault::late(10'000)); });
    PtyClient client(server.devicePath());
    client.send(hex("02 01 0D"));
    // Let the server take the request in before stopping it.
    EXPECT_TRUE(client.receiveAll(1, 30).isEmpty());
    const auto before = steady_clock::now();
    server.stop();
    EXPECT_LT(steady_clock::now() - before, milliseconds(2000)) << "not the 10 s the reply waits for";
    EXPECT_FALSE(server.isRunning());
    EXPECT_EQ(server.withReader([](VirtualReader &r) { return r.requests().size(); }), 1u);
}

TEST(PtyVanish, HangsUpAndComesBackUnderItsStablePath)
{
    QTemporaryDir dir;
    const QString stable = dir.filePath("ttyKV350");
    PtyServer server;
    server.setStablePath(stable);
    ASSERT_TRUE(server.start()) << qPrintable(server.errorText());
    EXPECT_EQ(QFileInfo(stable).symLinkTarget(), server.devicePath());

    server.withReader([](VirtualReader &r) { r.faults().queue(Fault::vanish(30, 300)); });
    {
        PtyClient client(stable);
        ASSERT_TRUE(client.isOpen());
        client.send(hex("02 03 03 04 09"));
        EXPECT_TRUE(client.receiveAll(6, 1000).isEmpty()) << "hung up before any reply";
        pollfd pfd{client.fd(), POLLIN, 0};
        ASSERT_EQ(::poll(&pfd, 1, 1000), 1);
        EXPECT_TRUE(pfd.revents & (POLLHUP | POLLERR)) << "the client sees the hang-up";
    }
    EXPECT_FALSE(server.isPresent());
    EXPECT_FALSE(QFileInfo::exists(stable)) << "the name goes with the device";
    EXPECT_EQ(server.withReader([](VirtualReader &r) { return r.parameters().value(0x04); }), hex("09"))
        << "the request was carried out";

    for (int i = 0; i < 100 && !server.isPresent(); ++i)
        QThread::msleep(10);
    ASSERT_TRUE(server.isPresent());
    EXPECT_EQ(QFileInfo(stable).symLinkTarget(), server.devicePath());
    PtyClient again(stable);
    ASSERT_TRUE(again.isOpen());
    again.send(hex("02 01 0D"));
    EXPECT_EQ(again.receiveAll(12, 1000), serialReply);
}
