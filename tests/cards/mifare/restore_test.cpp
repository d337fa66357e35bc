// The restore: its report before anything is written, the writes (data
// blocks first, trailers last) onto a card with other keys, the read-back,
// and a card that leaves the field halfway.
#include "../dump/simexchange.h"
#include "cards/dump/dumpformats.h"
#include "cards/dump/keysfile.h"
#include "cards/mifare/mifaredump.h"
#include "cards/mifare/mifarerestore.h"
#include "sim/cards/mifareclassic.h"

#include <gtest/gtest.h>
#include <memory>

using namespace kv350;
using namespace kv350::cards;
using Action = RestoreStep::Action;

namespace {

const QByteArray SourceKeyA = QByteArray::fromHex("A0A1A2A3A4A5");
const QByteArray SourceKeyB = QByteArray::fromHex("B0B1B2B3B4B5");
const QByteArray TargetKey = QByteArray::fromHex("C0C1C2C3C4C5");

// The card a dump was taken of: data in sectors 1 and 2, sector 1 under its own keys.
std::shared_ptr<sim::MifareClassicCard> sourceCard()
{
    auto card = std::make_shared<sim::MifareClassicCard>(sim::MifareClassicCard::Size::K1,
                                                         QByteArray::fromHex("01020304"));
    for (int block = 0; block < 3; ++block) {
        card->setBlock(1, block, QByteArray(16, char(0x10 + block)));
        card->setBlock(2, block, QByteArray(16, char(0x20 + block)));
    }
    card->setTrailer(1, SourceKeyA, QByteArray::fromHex("FF0780"), 0x69, SourceKeyB);
    return card;
}

CardImage dumpOf(std::shared_ptr<sim::MifareClassicCard> card)
{
    sim::VirtualReader reader(sim::Identity{});
    reader.field().place(card);
    const MifareDump dump = dumpMifare(
        kv350::testing::simExchange(reader),
        [](int) {
            return QList<QByteArray>{SourceKeyA, transportKey()};
        },
        englishText);
    return dump.image;
}

}  // namespace

TEST(MifareRestore, OntoACardWithOtherKeysEveryBlockIsWrittenAndVerified)
{
    const CardImage image = dumpOf(sourceCard());
    auto target = std::make_shared<sim::MifareClassicCard>(sim::MifareClassicCard::Size::K1,
                                                           QByteArray::fromHex("0A0B0C0D"));
    target->setTrailer(1, TargetKey, QByteArray::fromHex("FF0780"), 0x69, TargetKey);
    sim::VirtualReader reader(sim::Identity{});
    reader.field().place(target);
    const CardExchange exchange = kv350::testing::simExchange(reader);

    // Without the target's key, sector 1 cannot be opened: refused, said why.
    const RestorePlan blind = planRestore(image, exchange, {}, englishText);
    EXPECT_EQ(blind.steps.at(5).action, Action::Refused);
    EXPECT_EQ(blind.steps.at(5).reason, QStringLiteral("no key known opens sector 1 of this card"));

    reader.clearRequests();
    const RestorePlan plan = planRestore(image, exchange, {TargetKey}, englishText);
    ASSERT_TRUE(plan.refusal.isEmpty());
    EXPECT_EQ(kv350::testing::writesSent(reader), 0);     // the plan only reads
    EXPECT_EQ(plan.steps.at(0).action, Action::Refused);  // another UID: the manufacturer block
    EXPECT_EQ(plan.count(Action::Write), 7);              // six data blocks and the trailer of sector 1
    EXPECT_EQ(plan.steps.at(7).action, Action::Write);
    EXPECT_EQ(plan.steps.at(7).key, TargetKey);
    EXPECT_EQ(plan.steps.at(7).data, SourceKeyA + QByteArray::fromHex("FF078069") + SourceKeyB);
    EXPECT_FALSE(plan.permanent());

    const QStringList report = restoreReport(plan, englishText);
    EXPECT_EQ(report.first(), QStringLiteral("7 block(s) to write, 56 equal already, 1 refused, 0 not in the file."));
    EXPECT_TRUE(report.contains(QStringLiteral("block 7 (1/3): write A0A1A2A3A4A5FF078069B0B1B2B3B4B5 with key A")));
    EXPECT_TRUE(report.contains(QStringLiteral("    block 4: read A/B, write A/B, increment A/B, decrement A/B")));
    EXPECT_TRUE(report.contains(QStringLiteral(
        "    trailer: key A written by A; access bits read by A, written by A; key B read by A, written by A")));

    reader.clearRequests();
    const RestoreResult result = runRestore(plan, exchange, englishText);
    EXPECT_TRUE(result.complete());
    EXPECT_EQ(result.written.size(), 7);
    EXPECT_EQ(result.verified.size(), 7);
    // Data first, with the key that opened the sector then; the trailer last.
    QList<int> order;
    for (const QByteArray &r : reader.requests())
        if (r.size() > 10 && r.at(2) == 0x16)
            order << r.at(10) * 4 + r.at(11);
    EXPECT_EQ(order, (QList<int>{4, 5, 6, 8, 9, 10, 7}));
    EXPECT_EQ(result.lines.last(), QStringLiteral("block 7 (1/3): written, read back equal"));
    for (int sector = 1; sector < 3; ++sector)
        for (int block = 0; block < 4; ++block)
            EXPECT_EQ(target->block(sector, block), sourceCard()->block(sector, block));
}

TEST(MifareRestore, ACardRemovedHalfwaySaysWhichBlocksWereWritten)
{
    const CardImage image = dumpOf(sourceCard());
    auto target = std::make_shared<sim::MifareClassicCard>(sim::MifareClassicCard::Size::K1,
                                                           QByteArray::fromHex("0A0B0C0D"));
    sim::VirtualReader reader(sim::Identity{});
    reader.field().place(target);
    const CardExchange exchange = kv350::testing::simExchange(reader);
    const RestorePlan plan = planRestore(image, exchange, {}, englishText);
    ASSERT_EQ(plan.count(Action::Write), 7);
    reader.field().removeAfter(3);  // three writes reach the card
    const RestoreResult result = runRestore(plan, exchange, englishText);
    EXPECT_FALSE(result.complete());
    EXPECT_TRUE(result.stopped);
    EXPECT_TRUE(result.cardGone);
    EXPECT_EQ(result.written, (QList<int>{4, 5, 6}));
    ASSERT_EQ(result.lines.size(), 7);
    EXPECT_EQ(result.lines.at(3), QStringLiteral("block 8 (2/0): not written: the card left the field"));
    EXPECT_EQ(result.lines.at(4), QStringLiteral("block 9 (2/1): not written: the restore stopped before it"));
    EXPECT_EQ(result.lines.at(0), QStringLiteral("block 4 (1/0): written, but could not be read back"));
    EXPECT_EQ(target->block(1, 0), QByteArray(16, char(0x10)));
    EXPECT_EQ(target->block(2, 0), QByteArray(16, '\0'));
}

TEST(MifareRestore, NothingIsWrittenWhenTheSizeDiffersOrTheCardIsGone)
{
    CardImage image = dumpOf(sourceCard());
    auto big = std::make_shared<sim::MifareClassicCard>(sim::MifareClassicCard::Size::K4);
    sim::VirtualReader reader(sim::Identity{});
    reader.field().place(big);
    const RestorePlan plan = planRestore(image, kv350::testing::simExchange(reader), {}, englishText);
    EXPECT_EQ(
        plan.refusal,
        QStringLiteral("The card is a MIFARE Classic 4K and the file holds a MIFARE Classic 1K. Nothing was written."));
    EXPECT_TRUE(plan.steps.isEmpty());
    EXPECT_EQ(kv350::testing::writesSent(reader), 0);

    reader.field().remove();
    const RestorePlan none = planRestore(image, kv350::testing::simExchange(reader), {}, englishText);
    EXPECT_TRUE(none.noCard);
    EXPECT_EQ(restoreReport(none, englishText), QStringList{none.refusal});
}

TEST(MifareRestore, TrailersGoThroughTheGuard)
{
    CardImage image = dumpOf(sourceCard());
    // Sector 2: access bytes that are no valid encoding; sector 3: row 110 for the trailer (permanent).
    image.setBytes((firstBlockOf(2) + 3) * 16 + 6, QByteArray::fromHex("FFFFFF69"));
    image.setBytes((firstBlockOf(3) + 3) * 16 + 6, QByteArray::fromHex("778F0869"));
    image.forget((firstBlockOf(4) + 3) * 16, 6);  // key A of sector 4 unknown: the card's own is kept
    sim::VirtualReader reader(sim::Identity{});
    auto target = std::make_shared<sim::MifareClassicCard>(sim::MifareClassicCard::Size::K1);
    reader.field().place(target);
    const RestorePlan plan = planRestore(image, kv350::testing::simExchange(reader), {}, englishText);
    const RestoreStep &invalid = plan.steps.at(11);
    EXPECT_EQ(invalid.action, Action::Refused);
    EXPECT_TRUE(invalid.reason.startsWith(QStringLiteral("Access bytes FFFFFF are not a valid encoding")));
    const RestoreStep &permanent = plan.steps.at(15);
    EXPECT_EQ(permanent.action, Action::Write);
    EXPECT_TRUE(permanent.check.permanent());
    EXPECT_TRUE(plan.permanent());
    EXPECT_TRUE(restoreReport(plan, englishText)
                    .contains(QStringLiteral("    The access conditions of sector 3 can never be changed again.")));
    EXPECT_EQ(plan.steps.at(19).action, Action::Equal);  // the card's key A filled in: nothing to change

    const RestoreResult result = runRestore(plan, kv350::testing::simExchange(reader), englishText);
    EXPECT_FALSE(result.written.contains(11));
    EXPECT_EQ(target->block(2, 3).mid(6, 3),
              QByteArray::fromHex("FF0780"));  // the invalid bytes never reached the card
}
