// Misbehaving readers at the link: each row is one fault on one request, run
// over USB HID (virtual time), a real pseudo-terminal and the in-process
// serial stream; then a clean request must get its own reply.
// docs/reliability.md lists the rows and their outcomes.
#include "ctlrun.h"
#include "paths.h"

#include <QElapsedTimer>
#include <gtest/gtest.h>

using namespace kv350;
using namespace kv350::scenarios;
using sim::Fault;

namespace {

// The clean request that follows every row reads the same-card time: 02 04 03 00 05 0F.
const QByteArray NextRequest = hex("02020305");
const QByteArray NextReply = hex("02040300050F");
// 136 bytes of user memory: a 140-byte reply, three HID reports.
const QByteArray LongRequest = hex("02040C000088");

struct Outcome {
    bool ok;
    const char *error = "";  // part of lastError() when !ok
};

struct Row {
    const char *name;
    std::vector<Fault> faults;
    Outcome serial;  // the pty and the in-process stream
    Outcome usb;
    QByteArray request = Request;
};

void PrintTo(const Row &row, std::ostream *os)
{
    *os << row.name;
}

// clang-format off
const Row Rows[] = {
    {"clean", {Fault::none()}, {true}, {true}},
    {"split into single bytes", {Fault::split(1, 3)}, {true}, {true}},
    {"split into pieces of three", {Fault::split(3, 40)}, {true}, {true}},
    // The second frame would read 05 AA: the next request must not get it.
    {"two frames in one read", {Fault::trailing(hex("02040300 05AA"))}, {true}, {true}},
    {"noise before the frame", {Fault::noise(hex("FF00557E"))}, {true}, {true}},
    // A HID report starts with its frame: one that starts with padding is no reply.
    {"zero padding before STX", {Fault::leading(hex("000000"))}, {true}, {false, "no reply"}},
    // The serial recogniser takes the false start and never completes; over
    // HID the false LEN asks for reports that never come.
    {"false STX 02 FF before the frame", {Fault::leading(hex("02FF"))}, {false, "no reply"}, {false, "cut short"}},
    {"LEN 0", {Fault::overLong(0)}, {false, "no reply"}, {false, "not a frame (2 bytes)"}},
    {"LEN 1", {Fault::overLong(1)}, {false, "not a frame (3 bytes)"}, {false, "not a frame (3 bytes)"}},
    {"LEN 254", {Fault::overLong(254)}, {false, "no reply"}, {false, "cut short"}},
    {"LEN 255", {Fault::overLong(255)}, {false, "no reply"}, {false, "cut short"}},
    // Over HID a frame can only break off between reports: a long reply.
    {"reply cut off mid-frame", {Fault::truncated(100)}, {false, "no reply"}, {false, "cut short"}, LongRequest},
    {"no reply", {Fault::noReply()}, {false, "no reply"}, {false, "no reply"}},
    {"wrong CMD echo", {Fault::wrongCmd(0x83)}, {false, "answers command 83, not 03"},
     {false, "answers command 83, not 03"}},
    {"duplicated reply at once", {Fault::duplicate(0)}, {true}, {true}},
    {"duplicated reply 20 ms later", {Fault::duplicate(20)}, {true}, {true}},
    {"status 10", {Fault::status(0x10)}, {false, "rejected"}, {false, "rejected"}},
};
// clang-format on

class LinkScenario : public ::testing::TestWithParam<std::tuple<Row, Way>> {};

}  // namespace

TEST_P(LinkScenario, OneFaultThenACleanCall)
{
    const auto &[row, way] = GetParam();
    const std::unique_ptr<Path> path = makePath(way);
    ASSERT_TRUE(path->link().ConnectReader()) << path->link().lastError().toStdString();
    for (const Fault &f : row.faults)
        path->queue(f);

    const Outcome expected = way == Way::Hid ? row.usb : row.serial;
    const bool ok = path->link().ExecuteCommand(row.request, proto::BufferSize);
    EXPECT_EQ(ok, expected.ok) << path->link().lastError().toStdString();
    if (ok && row.request == Request) {
        EXPECT_EQ(path->response(), Reply);
    }
    if (!ok) {
        EXPECT_TRUE(path->link().lastError().contains(QLatin1String(expected.error)))
            << path->link().lastError().toStdString();
    }
    EXPECT_TRUE(path->link().Connected()) << "a misbehaving reader is still attached";

    path->idle(30);  // what the reader sent late has time to arrive
    ASSERT_TRUE(path->link().ExecuteCommand(NextRequest)) << path->link().lastError().toStdString();
    EXPECT_EQ(path->response(), NextReply) << "its own reply, nothing left over";
}

INSTANTIATE_TEST_SUITE_P(Rows, LinkScenario,
                         ::testing::Combine(::testing::ValuesIn(Rows), ::testing::ValuesIn(AllWays)),
                         [](const auto &info) {
                             std::string name = std::string(std::get<0>(info.param).name) + "_" +
                                                wayName(std::get<1>(info.param));
                             for (char &c : name)
                                 if (!isalnum(static_cast<unsigned char>(c)))
                                     c = '_';
                             return name;
                         });

class EachWay : public ::testing::TestWithParam<Way> {
protected:
    void SetUp() override
    {
        path = makePath(GetParam());
        ASSERT_TRUE(path->link().ConnectReader()) << path->link().lastError().toStdString();
    }
    ReaderLink &link() { return path->link(); }
    std::unique_ptr<Path> path;
};

INSTANTIATE_TEST_SUITE_P(Ways, EachWay, ::testing::ValuesIn(AllWays),
                         [](const auto &info) { return std::string(wayName(info.param)); });

TEST_P(EachWay, RandomPiecesAlwaysMakeTheSameReply)
{
    path->withReader([](sim::VirtualReader &r) { r.faults().setRandom(20240611, 1.0, {sim::FaultKind::Split}); });
    for (int i = 0; i < 12; ++i) {
        ASSERT_TRUE(link().ExecuteCommand(Request)) << i << ": " << link().lastError().toStdString();
        EXPECT_EQ(path->response(), Reply) << i;
    }
}

TEST_P(EachWay, EveryStatusValueIsPassedOnAndOnly10FailsTheTransaction)
{
    for (int sta = 0; sta < 256; ++sta) {
        path->queue(Fault::status(std::uint8_t(sta)));
        const bool ok = link().ExecuteCommand(Request);
        ASSERT_EQ(ok, sta != 0x10) << sta;
        EXPECT_EQ(link().responseStatus(), sta) << "the caller sees the reader's status";
        EXPECT_EQ(link().responseData(), hex("0405")) << sta;
    }
}

// --- a reply that comes after its window ---------------------------------

TEST_P(EachWay, AReplyAfterTheWindowIsNeverTakenForTheNextRequest)
{
    struct Case {
        const char *name;
        int lateMs;       // the first request's reply comes this late
        Fault nextFault;  // what happens to the next request's own reply
        bool nextOk;      // the next request's result
    } cases[] = {
        // Thrown away while the window's grace runs.
        {"just after the window", 505, Fault::none(), true},
        // Both frames come in the next window, in either order: which is
        // which cannot be told, so neither is taken.
        {"in the next window, after its reply", 800, Fault::none(), false},
        {"in the next window, before its reply", 800, Fault::late(400), false},
        // After the next window closed: the request after that purges it.
        {"after the next window", 1300, Fault::none(), true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        path->queue(Fault::late(c.lateMs));
        path->queue(c.nextFault);
        EXPECT_FALSE(link().ExecuteCommand(Request));
        const bool ok = link().ExecuteCommand(NextRequest);
        EXPECT_EQ(ok, c.nextOk) << link().lastError().toStdString();
        if (ok) {
            EXPECT_EQ(path->response(), NextReply);
        } else {
            EXPECT_TRUE(link().lastError().contains("two replies")) << link().lastError().toStdString();
        }
        path->idle(800);
        ASSERT_TRUE(link().ExecuteCommand(NextRequest)) << link().lastError().toStdString();
        EXPECT_EQ(path->response(), NextReply);
    }
}

TEST_P(EachWay, AfterAMissedReplyTheNextCallListensOutItsWindow)
{
    auto *virtualPath = dynamic_cast<VirtualPath *>(path.get());
    auto took = [&](const QByteArray &request) {
        const qint64 start = virtualPath ? virtualPath->time().nowMs() : 0;
        EXPECT_TRUE(link().ExecuteCommand(request)) << link().lastError().toStdString();
        return virtualPath ? virtualPath->time().nowMs() - start : -1;
    };
    path->queue(Fault::noReply());
    EXPECT_FALSE(link().ExecuteCommand(Request));
    EXPECT_TRUE(link().expectingStrayReply());
    const qint64 listened = took(NextRequest);
    EXPECT_FALSE(link().expectingStrayReply()) << "one frame in a whole window: its own";
    const qint64 plain = took(NextRequest);
    if (virtualPath) {
        EXPECT_EQ(listened, 500);
        EXPECT_EQ(plain, 0);
    }

    // A reply two seconds late is no longer looked for.
    path->queue(Fault::noReply());
    EXPECT_FALSE(link().ExecuteCommand(Request));
    path->idle(ReaderLink::StrayReplyLifeMs);
    EXPECT_FALSE(link().expectingStrayReply());
    const qint64 later = took(NextRequest);
    if (virtualPath) {
        EXPECT_EQ(later, 0);
    }
}

// A late reply to an identification query or to ReadResponse is guarded
// like one to ExecuteCommand: it never passes for the next request's reply.
TEST_P(EachWay, ALateIdentificationReplyIsNeverTakenForTheNextRequest)
{
    // 02 01 0D: the serial number, the request a user sends by hand as well.
    const QByteArray serialQuery = hex("02010D");
    // USB gives the reader 100 ms before the read; the window starts then.
    const int settle = GetParam() == Way::Hid ? ReaderLink::UsbSettleMs : 0;
    struct Case {
        const char *name;
        int lateMs;  // after the identification's window opened
        Fault next;  // what happens to the next request's own reply
        LinkError nextError;
    } cases[] = {
        // Thrown away in the grace after the window; the next request has no
        // reply of its own and must say so rather than take the late one.
        {"just after the window", 505, Fault::noReply(), LinkError::NoReply},
        // In the next request's window beside its own reply: neither is taken.
        {"in the next window", 800, Fault::none(), LinkError::TwoReplies},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        link().DisconnectReader();
        path->idle(ReaderLink::StrayReplyLifeMs + 100);
        if (GetParam() != Way::Hid)
            path->queue(Fault::none());  // the serial probe is answered
        path->queue(Fault::late(settle + c.lateMs));
        path->queue(c.next);
        EXPECT_FALSE(link().ConnectReader());
        EXPECT_EQ(link().error(), LinkError::NoSerialNumber);
        EXPECT_TRUE(link().Connected()) << "a failed identification keeps the link open";
        EXPECT_FALSE(link().ExecuteCommand(serialQuery)) << "took a reply of the identification";
        EXPECT_EQ(link().error(), c.nextError) << link().lastError().toStdString();
        path->idle(1300);
        ASSERT_TRUE(link().ExecuteCommand(NextRequest)) << link().lastError().toStdString();
        EXPECT_EQ(path->response(), NextReply);
    }
}

// As a user met it: kv350ctl on a pty whose reader answers the second serial
// number query 505 ms late, and not the raw request after it.
TEST(ControlOverAPty, RawDoesNotPrintALateIdentificationReplyAsItsOwn)
{
    for (int run = 0; run < 3; ++run) {
        SCOPED_TRACE(run);
        sim::PtyServer server;
        ASSERT_TRUE(server.start());
        server.withReader([](sim::VirtualReader &r) {
            r.faults().queue(Fault::none());     // the probe
            r.faults().queue(Fault::late(505));  // identification's serial number
            r.faults().queue(Fault::noReply());  // the raw request
        });
        const kv350::testing::CtlRun r = kv350::testing::runCtl(
            {"--port", server.devicePath(), "raw", "02", "01", "0D"});
        EXPECT_EQ(r.status, 1) << r.out.toStdString() << r.err.toStdString();
        EXPECT_FALSE(r.out.contains("RX :")) << r.out.toStdString();
        EXPECT_TRUE(r.err.contains("no reply")) << r.err.toStdString();
        std::vector<QByteArray> requests;
        server.withReader([&](sim::VirtualReader &reader) { requests = reader.requests(); });
        EXPECT_EQ(requests.size(), 3u) << "probe, serial number, the raw request";
    }
}

TEST_P(EachWay, AReadResponseThatMissesLeavesTheNextRequestGuarded)
{
    // The reply, and the same again 700 ms later: after ReadResponse's window.
    path->queue(Fault::duplicate(700));
    // The next request's own reply comes 400 ms into its window, after the
    // duplicate: taking the first frame would take the wrong one.
    path->queue(Fault::late(400));
    ASSERT_TRUE(link().ExecuteCommand(Request)) << link().lastError().toStdString();
    EXPECT_FALSE(link().ReadResponse());
    EXPECT_EQ(link().error(), LinkError::NoReply);
    EXPECT_EQ(path->response(), Reply) << "a missed read leaves the last reply alone";
    EXPECT_TRUE(link().expectingStrayReply());
    EXPECT_FALSE(link().ExecuteCommand(NextRequest));
    EXPECT_EQ(link().error(), LinkError::TwoReplies) << link().lastError().toStdString();
    path->idle(800);
    ASSERT_TRUE(link().ExecuteCommand(NextRequest)) << link().lastError().toStdString();
    EXPECT_EQ(path->response(), NextReply);
}

// --- a continuous flood ------------------------------------------------------

TEST_P(EachWay, AFloodFailsTheCallsItCoversWithBoundedBuffersAndEnds)
{
    // 64 bytes every millisecond for 1.2 s: more than two windows of babble.
    path->queue(Fault::flood(1200));
    QElapsedTimer wall;
    wall.start();
    EXPECT_FALSE(link().ExecuteCommand(Request));
    // Through the babble a reply may still be found (it holds no STX); if
    // one is taken, it is this request's.
    if (link().ExecuteCommand(NextRequest)) {
        EXPECT_EQ(path->response(), NextReply);
    }
    EXPECT_LT(wall.elapsed(), 5000) << "no hang";
    path->idle(1300);
    ASSERT_TRUE(link().ExecuteCommand(NextRequest)) << link().lastError().toStdString();
    EXPECT_EQ(path->response(), NextReply);
    // The serial transport never took in more than a reply's worth at once.
    EXPECT_LE(path->serial().largestRead, 256);
}

// --- a short write -----------------------------------------------------------

// A HID report goes whole or not at all: device_loss_test has its failed write.
TEST(SerialWays, AShortWriteIsAFailureAndTheReaderNeverSeesAJoinedFrame)
{
    for (Way way : {Way::Pty, Way::Stream}) {
        SCOPED_TRACE(wayName(way));
        const std::unique_ptr<Path> path = makePath(way);
        ReaderLink &link = path->link();
        ASSERT_TRUE(link.ConnectReader());
        // A write frame for block 4 whose last bytes never leave.
        const QByteArray write = hex("021A1660FFFFFFFFFFFF0100") + QByteArray(16, '\x11');
        path->serial().cutWrites(1, 10);
        EXPECT_FALSE(link.ExecuteCommand(write));
        EXPECT_TRUE(link.lastError().contains("did not take the whole request")) << link.lastError().toStdString();
        EXPECT_TRUE(link.Connected());
        ASSERT_TRUE(link.ExecuteCommand(NextRequest)) << link.lastError().toStdString();
        EXPECT_EQ(path->response(), NextReply);
        for (const QByteArray &r : path->requests())
            EXPECT_NE(quint8(r[2]), 0x16) << "no write request was ever put together at the reader";
    }
}
