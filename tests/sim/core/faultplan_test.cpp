#include "sim/core/readerhost.h"
#include "testutil.h"

#include <gtest/gtest.h>

#include <set>

using namespace kv350::sim;

namespace {

QByteArray with(QByteArray bytes, int index, std::uint8_t value)
{
    bytes[index] = char(value);
    return bytes;
}

struct ShapeRow {
    const char *name;
    Fault fault;
    Delivery expected;
};
// Names the row in test output instead of dumping its bytes.
inline void PrintTo(const ShapeRow &row, std::ostream *os)
{
    *os << row.name;
}

}  // namespace

class FaultShape : public ::testing::TestWithParam<ShapeRow> {};

TEST_P(FaultShape, TurnsTheReplyIntoExactChunks)
{
    EXPECT_EQ(FaultPlan::shape(GetParam().fault, {serialReply}), GetParam().expected);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Kinds, FaultShape,
    ::testing::Values(
        ShapeRow {"none", Fault::none(), {{0, serialReply}}},
        ShapeRow {"noReply", Fault::noReply(), {}},
        ShapeRow {"late", Fault::late(250), {{250, serialReply}}},
        ShapeRow {"split", Fault::split(5, 20),
                  {{0, hex("02 0A 0D 00 31")}, {20, hex("32 33 34 35 36"), true}, {40, hex("37 38"), true}}},
        ShapeRow {"splitWhole", Fault::split(64, 30), {{0, serialReply}}},
        ShapeRow {"noise", Fault::noise(hex("FF 00 7E")), {{0, hex("FF 00 7E")}, {0, serialReply}}},
        ShapeRow {"noiseEmpty", Fault::noise({}), {{0, serialReply}}},
        ShapeRow {"wrongCmd", Fault::wrongCmd(0x0E), {{0, with(serialReply, 2, 0x0E)}}},
        ShapeRow {"statusRejected", Fault::status(0x10), {{0, with(serialReply, 3, 0x10)}}},
        ShapeRow {"statusFailed", Fault::status(0x01), {{0, with(serialReply, 3, 0x01)}}},
        ShapeRow {"truncated", Fault::truncated(5), {{0, hex("02 0A 0D 00 31")}}},
        ShapeRow {"truncatedToNothing", Fault::truncated(0), {}},
        ShapeRow {"truncatedPastEnd", Fault::truncated(50), {{0, serialReply}}},
        ShapeRow {"overLong254", Fault::overLong(254), {{0, with(serialReply, 1, 254)}}},
        ShapeRow {"overLong255", Fault::overLong(255), {{0, with(serialReply, 1, 255)}}},
        ShapeRow {"deviceGone", Fault::deviceGone(), {}},
        ShapeRow {"vanish", Fault::vanish(10, 100), {}},
        ShapeRow {"leadingPadding", Fault::leading(hex("00 00")), {{0, hex("00 00") + serialReply}}},
        ShapeRow {"leadingFalseStx", Fault::leading(hex("02 FF")), {{0, hex("02 FF") + serialReply}}},
        ShapeRow {"trailingFrame", Fault::trailing(hex("02 02 0E 00")), {{0, serialReply + hex("02 02 0E 00")}}},
        ShapeRow {"duplicateAtOnce", Fault::duplicate(0), {{0, serialReply}, {0, serialReply}}},
        ShapeRow {"duplicateLater", Fault::duplicate(25), {{0, serialReply}, {25, serialReply}}}),
    [](const auto &info) { return std::string(info.param.name); });
// clang-format on

TEST(FaultPlanShape, PieceSizeBelowOneSplitsIntoSingleBytes)
{
    EXPECT_EQ(FaultPlan::shape(Fault::split(0, 3), {hex("02 02 0F 00")}),
              (Delivery{{0, hex("02")}, {3, hex("02"), true}, {6, hex("0F"), true}, {9, hex("00"), true}}));
}

TEST(FaultPlanShape, FurtherRepliesFollowTheLastChunkUnchanged)
{
    const QByteArray second = hex("02 02 01 00");
    EXPECT_EQ(FaultPlan::shape(Fault::late(100), {serialReply, second}), (Delivery{{100, serialReply}, {100, second}}));
    EXPECT_EQ(FaultPlan::shape(Fault::status(0x10), {serialReply, second}),
              (Delivery{{0, with(serialReply, 3, 0x10)}, {0, second}}));
    EXPECT_EQ(FaultPlan::shape(Fault::split(8, 10), {serialReply, second}),
              (Delivery{{0, serialReply.left(8)}, {10, serialReply.mid(8), true}, {10, second}}));
    EXPECT_TRUE(FaultPlan::shape(Fault::noReply(), {serialReply, second}).empty());
    // Without a reply there is nothing to be noisy or late about.
    EXPECT_TRUE(FaultPlan::shape(Fault::noise(hex("FF")), {}).empty());
    EXPECT_TRUE(FaultPlan::shape(Fault::late(10), {}).empty());
}

TEST(FaultPlanQueue, QueuedFaultsComeInOrderThenNone)
{
    FaultPlan plan;
    plan.queue(Fault::late(40), 2);
    plan.queue(Fault::noReply());
    EXPECT_EQ(plan.queued(), 3);
    EXPECT_EQ(plan.takeNext(), Fault::late(40));
    EXPECT_EQ(plan.takeNext(), Fault::late(40));
    EXPECT_EQ(plan.takeNext(), Fault::noReply());
    EXPECT_EQ(plan.takeNext(), Fault::none());
    EXPECT_EQ(plan.taken(), (std::vector<Fault>{Fault::late(40), Fault::late(40), Fault::noReply(), Fault::none()}));
}

TEST(FaultPlanQueue, QueuedFaultsGoBeforeRandomOnesAndClearStopsBoth)
{
    FaultPlan plan;
    plan.setRandom(7, 1.0, {FaultKind::NoReply});
    plan.queue(Fault::late(5));
    EXPECT_EQ(plan.takeNext(), Fault::late(5));
    EXPECT_EQ(plan.takeNext(), Fault::noReply());
    plan.queue(Fault::late(5));
    plan.clear();
    EXPECT_EQ(plan.takeNext(), Fault::none());
}

TEST(FaultPlanRandom, SameSeedSameFaults)
{
    FaultPlan a, b, c;
    a.setRandom(1234, 0.5);
    b.setRandom(1234, 0.5);
    c.setRandom(4321, 0.5);
    std::vector<Fault> fa, fb, fc;
    for (int i = 0; i < 300; ++i) {
        fa.push_back(a.takeNext());
        fb.push_back(b.takeNext());
        fc.push_back(c.takeNext());
    }
    EXPECT_EQ(fa, fb);
    EXPECT_NE(fa, fc);
    // Reseeding starts the same sequence again.
    a.setRandom(1234, 0.5);
    for (int i = 0; i < 300; ++i)
        ASSERT_EQ(a.takeNext(), fa[i]) << i;
}

TEST(FaultPlanRandom, ProbabilityIsHonoured)
{
    FaultPlan plan;
    plan.setRandom(1, 0.0);
    for (int i = 0; i < 200; ++i)
        ASSERT_EQ(plan.takeNext().kind, FaultKind::None);

    plan.setRandom(1, 0.25);
    int faults = 0;
    for (int i = 0; i < 4000; ++i)
        faults += plan.takeNext().kind != FaultKind::None;
    EXPECT_GT(faults, 850);
    EXPECT_LT(faults, 1150);
}

TEST(FaultPlanRandom, DefaultKindsAlwaysBiteAndNeverLoseTheDevice)
{
    FaultPlan plan;
    plan.setRandom(99, 1.0);
    std::set<FaultKind> seen;
    for (int i = 0; i < 2000; ++i) {
        const Fault f = plan.takeNext();
        seen.insert(f.kind);
        ASSERT_NE(f.kind, FaultKind::DeviceGone);
        ASSERT_NE(f.kind, FaultKind::None);
        // Whatever it drew must really change the delivery of even the shortest reply.
        ASSERT_NE(FaultPlan::shape(f, {hex("02 02 0F 00")}), (Delivery{{0, hex("02 02 0F 00")}}))
            << faultKindName(f.kind);
        // Noise is what comes before a frame, never a frame start itself.
        ASSERT_FALSE(f.kind == FaultKind::Noise && f.bytes.contains('\x02'));
    }
    EXPECT_EQ(seen.size(), 8u);
}

// --- the host: faults, reboot and device gone around the reader ---------------

TEST(ReaderHost, RebootGoesOfflineOnceTheReplyIsOut)
{
    VirtualReader reader;
    reader.setRebootTimeMs(400);
    ReaderHost host(reader);
    reader.faults().queue(Fault::late(30));
    const ReaderHost::Outcome out = host.receive(hex("02 02 0F 01"), 100);
    ASSERT_EQ(out.chunks.size(), 1u);
    EXPECT_EQ(out.chunks[0].dueMs, 130);
    EXPECT_EQ(host.offlineFromMs(), 130);
    EXPECT_EQ(host.offlineUntilMs(), 530);
    EXPECT_FALSE(host.isRebooting(129));
    EXPECT_TRUE(host.isRebooting(130));
    EXPECT_TRUE(host.isRebooting(529));
    EXPECT_FALSE(host.isRebooting(530));

    // While offline it hears nothing: no log entry, no fault used up.
    reader.faults().queue(Fault::noReply());
    reader.clearRequests();
    const ReaderHost::Outcome during = host.receive(hex("02 01 0D"), 300);
    EXPECT_TRUE(during.ignored);
    EXPECT_TRUE(during.chunks.empty());
    EXPECT_TRUE(reader.requests().empty());
    EXPECT_EQ(reader.faults().queued(), 1);

    const ReaderHost::Outcome after = host.receive(hex("02 01 0D"), 530);
    EXPECT_FALSE(after.ignored);
    EXPECT_TRUE(after.chunks.empty());  // the queued no-reply
    EXPECT_EQ(reader.requests().size(), 1u);
}

TEST(ReaderHost, DeviceGoneFailsTheWriteBeforeTheReaderSeesIt)
{
    VirtualReader reader;
    ReaderHost host(reader);
    reader.faults().queue(Fault::deviceGone(200));
    const ReaderHost::Outcome out = host.receive(hex("02 03 03 04 09"), 50);
    EXPECT_TRUE(out.writeFails);
    EXPECT_TRUE(reader.requests().empty());
    EXPECT_EQ(reader.parameters().value(0x04), hex("05"));
    EXPECT_TRUE(host.receive(hex("02 01 0D"), 249).writeFails);
    EXPECT_FALSE(host.receive(hex("02 01 0D"), 250).writeFails);
}

TEST(FaultPlanShape, AFloodIsAPieceEveryMillisecondWithoutAnStx)
{
    const Delivery flood = FaultPlan::shape(Fault::flood(300, 16), {serialReply});
    ASSERT_EQ(flood.size(), 300u);
    for (std::size_t i = 0; i < flood.size(); ++i) {
        ASSERT_EQ(flood[i].delayMs, int(i));
        ASSERT_EQ(flood[i].bytes.size(), 16);
        ASSERT_FALSE(flood[i].bytes.contains('\x02')) << i;
        ASSERT_FALSE(flood[i].continues);
    }
    EXPECT_NE(flood[0].bytes, flood[1].bytes);
    EXPECT_FALSE(flood.back().bytes.contains(serialReply)) << "the reply is lost in it";
}

TEST(FaultPlanRandom, TheNewKindsAreDrawnOnlyWhenAskedFor)
{
    FaultPlan plan;
    plan.setRandom(5, 1.0, {FaultKind::Leading, FaultKind::Trailing, FaultKind::Duplicate});
    std::set<FaultKind> seen;
    for (int i = 0; i < 300; ++i) {
        const Fault f = plan.takeNext();
        seen.insert(f.kind);
        if (f.kind == FaultKind::Leading) {
            ASSERT_TRUE(f.bytes == hex("02 FF") || (!f.bytes.isEmpty() && f.bytes.count('\0') == f.bytes.size()));
        } else if (f.kind == FaultKind::Trailing) {
            ASSERT_GE(quint8(f.bytes[2]), 0x80) << "a frame that answers no command";
        } else if (f.kind == FaultKind::Duplicate) {
            ASSERT_EQ(f.gapMs, 0) << "back to back";
        }
    }
    EXPECT_EQ(seen.size(), 3u);
}

TEST(ReaderHost, VanishCarriesTheRequestOutThenTheDeviceGoes)
{
    VirtualReader reader;
    ReaderHost host(reader);
    reader.faults().queue(Fault::vanish(40, 200));
    const ReaderHost::Outcome out = host.receive(hex("02 03 03 04 09"), 100);
    EXPECT_FALSE(out.writeFails) << "the request went through";
    EXPECT_TRUE(out.chunks.empty()) << "its reply never comes";
    EXPECT_EQ(out.vanishAtMs, 140);
    EXPECT_EQ(reader.parameters().value(0x04), hex("09")) << "and was carried out";
    EXPECT_FALSE(reader.faults().isGone(139));
    EXPECT_TRUE(reader.faults().isGone(140));
    EXPECT_EQ(reader.faults().goneFromMs(), 140);
    EXPECT_EQ(reader.faults().goneUntilMs(), 340);
    EXPECT_FALSE(reader.faults().isGone(340));

    // A reboot asked for just before it goes: back after both are over.
    reader.setRebootTimeMs(500);
    reader.faults().queue(Fault::vanish(0, 100));
    host.receive(hex("02 02 0F 01"), 1000);
    EXPECT_TRUE(host.isRebooting(1200));
    EXPECT_FALSE(host.isRebooting(1500));
}
