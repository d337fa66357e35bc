#include "sim/cards/iso15693tag.h"
#include "sim/cards/ntag203.h"
#include "sim/core/virtualreader.h"
#include "sim/modules/iso15693module.h"
#include "testutil.h"

#include <gtest/gtest.h>

#include <stdexcept>

using namespace kv350::sim;

namespace {

// The UID E0 04 01 00 A1 B2 C3 D4 as it goes over the air, least significant byte first.
const char *const Uid = "D4 C3 B2 A1 00 01 04 E0 ";

// The reader with a 28-block ISO 15693 tag of that UID in its field.
class IsoWire : public ::testing::Test {
protected:
    IsoWire() { reader.field().place(tag); }

    QByteArray send(const QByteArray &request)
    {
        const std::vector<QByteArray> replies = reader.handle(request);
        EXPECT_EQ(replies.size(), 1u) << request.toHex(' ').constData();
        return replies.empty() ? QByteArray() : replies.front();
    }
    // CMD, LEN from the bytes: "22", UID, "03 02" -> 02 0B 22 ... 03 02.
    QByteArray sendCmd(const char *cmd, const QByteArray &data)
    {
        return send(hex("02") + char(1 + data.size()) + hex(cmd) + data);
    }
    QByteArray addressed(const char *cmd, const char *rest) { return sendCmd(cmd, hex(Uid) + hex(rest)); }
    void expectRefused(const QByteArray &reply, const char *expected, IsoError reason)
    {
        EXPECT_EQ(reply, hex(expected));
        EXPECT_EQ(reader.iso15693().lastError(), reason) << isoErrorName(reader.iso15693().lastError());
    }

    VirtualReader reader;
    std::shared_ptr<Iso15693Tag> tag = std::make_shared<Iso15693Tag>();
};

}  // namespace

TEST_F(IsoWire, InventoryGivesTheUidThatAddressesTheTag)
{
    const QByteArray inventory = send(hex("02 01 21"));
    EXPECT_EQ(inventory, hex("02 0C 21 00 00 00 D4 C3 B2 A1 00 01 04 E0"));
    // The UID exactly as the inventory gave it (DATA bytes 2–9) addresses the tag.
    const QByteArray uid = inventory.mid(6, 8);
    EXPECT_EQ(sendCmd("24", uid), hex("02 11 24 00 00 0F D4 C3 B2 A1 00 01 04 E0 00 00 1B 03 01"));
    EXPECT_EQ(reader.iso15693().lastError(), IsoError::None);
    // Written the other way round it is another tag's UID: nothing answers.
    expectRefused(sendCmd("24", hex("E0 04 01 00 A1 B2 C3 D4")), "02 02 24 01", IsoError::NotAddressed);
    expectRefused(sendCmd("24", hex("D4 C3 B2 A1 00 01 04 E1")), "02 02 24 01", IsoError::NotAddressed);
}

TEST_F(IsoWire, SystemInformationOfTwentyEightAndSixtyFourBlocks)
{
    tag->setDsfid(0x5A);
    tag->setAfi(0x07);
    EXPECT_EQ(send(hex("02 01 21")), hex("02 0C 21 00 00 5A D4 C3 B2 A1 00 01 04 E0"));
    EXPECT_EQ(addressed("24", ""), hex("02 11 24 00 00 0F D4 C3 B2 A1 00 01 04 E0 5A 07 1B 03 01"));

    auto big = std::make_shared<Iso15693Tag>(64, hex("E0 07 C4 00 11 22 33 44"));
    big->setIcReference(0xC4);
    reader.field().place(big);
    EXPECT_EQ(send(hex("02 01 21")), hex("02 0C 21 00 00 00 44 33 22 11 00 C4 07 E0"));
    EXPECT_EQ(sendCmd("24", hex("44 33 22 11 00 C4 07 E0")),
              hex("02 11 24 00 00 0F 44 33 22 11 00 C4 07 E0 00 00 3F 03 C4"));
    EXPECT_EQ(big->blockCount(), 64);
    // The last block of each.
    big->setBlock(63, hex("63 63 63 63"));
    EXPECT_EQ(sendCmd("22", hex("44 33 22 11 00 C4 07 E0 3E 02")), hex("02 0B 22 00 00 00000000 63636363"));
    EXPECT_EQ(sendCmd("22", hex("44 33 22 11 00 C4 07 E0 3F 02")), hex("02 04 22 01 01 10"));
    reader.field().place(tag);
    EXPECT_EQ(addressed("22", "1B 01"), hex("02 07 22 00 00 00000000"));
    expectRefused(addressed("22", "1C 01"), "02 04 22 01 01 10", IsoError::BlockNotAvailable);
}

TEST_F(IsoWire, ReadBlocksAndTheirRange)
{
    tag->setBlock(3, hex("03 13 23 33"));
    tag->setBlock(4, hex("04 14 24 34"));
    EXPECT_EQ(addressed("22", "03 02"), hex("02 0B 22 00 00 03132333 04142434"));
    EXPECT_EQ(addressed("22", "02 06"), hex("02 1B 22 00 00 00000000 03132333 04142434 00000000 00000000 00000000"));
    EXPECT_EQ(addressed("22", "1A 02"), hex("02 0B 22 00 00 00000000 00000000"));
    // Past the last block (27): the tag's error "block not available".
    expectRefused(addressed("22", "1B 02"), "02 04 22 01 01 10", IsoError::BlockNotAvailable);
    expectRefused(addressed("22", "FF 01"), "02 04 22 01 01 10", IsoError::BlockNotAvailable);
    // Count 0, above 32, or DATA of another length: the reader refuses before going to the air.
    expectRefused(addressed("22", "00 00"), "02 02 22 01", IsoError::Malformed);
    expectRefused(addressed("22", "00 21"), "02 02 22 01", IsoError::Malformed);
    expectRefused(addressed("22", "00"), "02 02 22 01", IsoError::Malformed);
    expectRefused(addressed("22", "00 01 00"), "02 02 22 01", IsoError::Malformed);
    EXPECT_EQ(addressed("22", "00 1C").size(), 4 + 1 + 4 * 28);  // the whole tag, 28 blocks
}

TEST_F(IsoWire, WriteBlocksAnswersWithWhatTheyNowHold)
{
    EXPECT_EQ(addressed("23", "05 01 A1 B2 C3 D4"), hex("02 07 23 00 00 A1 B2 C3 D4"));
    EXPECT_EQ(tag->block(5), hex("A1 B2 C3 D4"));
    EXPECT_EQ(addressed("23", "00 03 00010203 10111213 20212223"), hex("02 0F 23 00 00 00010203 10111213 20212223"));
    EXPECT_EQ(tag->block(0), hex("00 01 02 03"));
    EXPECT_EQ(tag->block(2), hex("20 21 22 23"));
    EXPECT_EQ(addressed("22", "00 03"), hex("02 0F 22 00 00 00010203 10111213 20212223"));
    EXPECT_EQ(reader.iso15693().lastError(), IsoError::None);

    // 4 × count data bytes, no more, no fewer.
    expectRefused(addressed("23", "05 02 A1 B2 C3 D4"), "02 02 23 01", IsoError::Malformed);
    expectRefused(addressed("23", "05 01 A1 B2 C3 D4 E5"), "02 02 23 01", IsoError::Malformed);
    expectRefused(addressed("23", "05 00"), "02 02 23 01", IsoError::Malformed);
    EXPECT_EQ(tag->block(5), hex("A1 B2 C3 D4"));
}

TEST_F(IsoWire, WriteStopsAtALockedOrMissingBlock)
{
    tag->lockBlock(6);
    EXPECT_TRUE(tag->blockLocked(6));
    EXPECT_FALSE(tag->blockLocked(5));
    expectRefused(addressed("23", "05 03 55555555 66666666 77777777"), "02 04 23 01 01 12", IsoError::BlockLocked);
    EXPECT_EQ(tag->block(5), hex("55 55 55 55"));  // written before the locked one
    EXPECT_EQ(tag->block(6), hex("00 00 00 00"));
    EXPECT_EQ(tag->block(7), hex("00 00 00 00"));
    // A locked block still reads.
    EXPECT_EQ(addressed("22", "06 01"), hex("02 07 22 00 00 00000000"));

    // Blocks 26 and 27 exist, 28 does not.
    expectRefused(addressed("23", "1A 03 26262626 27272727 28282828"), "02 04 23 01 01 10",
                  IsoError::BlockNotAvailable);
    EXPECT_EQ(tag->block(26), hex("26 26 26 26"));
    EXPECT_EQ(tag->block(27), hex("27 27 27 27"));
    expectRefused(sendCmd("23", hex("E0 04 01 00 A1 B2 C3 D4 01 01 11111111")), "02 02 23 01", IsoError::NotAddressed);
    EXPECT_EQ(tag->block(1), hex("00 00 00 00"));
}

TEST_F(IsoWire, NoTagInTheField)
{
    reader.field().remove();
    expectRefused(send(hex("02 01 21")), "02 02 21 01", IsoError::NoTag);
    expectRefused(addressed("24", ""), "02 02 24 01", IsoError::NoTag);
    expectRefused(addressed("22", "00 01"), "02 02 22 01", IsoError::NoTag);
    expectRefused(addressed("23", "00 01 00000000"), "02 02 23 01", IsoError::NoTag);
    expectRefused(send(hex("02 02 21 00")), "02 02 21 01", IsoError::Malformed);
    expectRefused(sendCmd("24", hex("D4 C3 B2 A1 00 01 04")), "02 02 24 01", IsoError::Malformed);
}

TEST_F(IsoWire, BesideAnNtagInTheOtherSlot)
{
    auto ntag = std::make_shared<Ntag203Card>();
    reader.field().place(ntag);
    EXPECT_EQ(reader.field().card(Technology::Iso15693), tag);
    EXPECT_EQ(send(hex("02 01 21")), hex("02 0C 21 00 00 00 D4 C3 B2 A1 00 01 04 E0"));
    EXPECT_EQ(send(hex("02 01 11")), hex("02 09 11 00 04 A1 B2 C3 D4 E5 F6"));
    EXPECT_EQ(send(hex("02 04 13 00 00 03")).left(8), hex("02 12 13 00 E1 10 12 00"));
    // Read Card ID takes the ISO 14443A card first; alone, the ISO 15693 tag's UID as it is written.
    EXPECT_EQ(send(hex("02 02 01 01")), hex("02 09 01 00 04 A1 B2 C3 D4 E5 F6"));
    reader.field().remove();
    reader.field().place(tag);
    EXPECT_EQ(send(hex("02 02 01 01")), hex("02 0A 01 00 E0 04 01 00 A1 B2 C3 D4"));
    // 0x11 is for ISO 14443A cards only.
    EXPECT_EQ(send(hex("02 01 11")), hex("02 02 11 01"));
}

TEST(Iso15693Tag, ConstructionAndRawAccess)
{
    EXPECT_THROW(Iso15693Tag(0), std::invalid_argument);
    EXPECT_THROW(Iso15693Tag(257), std::invalid_argument);
    Iso15693Tag tag(256, hex("E0 04 01"));
    EXPECT_EQ(tag.uid(), hex("E0 04 01 00 00 00 00 00"));
    EXPECT_EQ(tag.uidOnAir(), hex("00 00 00 00 00 01 04 E0"));
    EXPECT_EQ(tag.systemInformation(tag.uidOnAir())->mid(12, 2), hex("FF 03"));
    EXPECT_EQ(tag.technology(), Technology::Iso15693);
    EXPECT_THROW(tag.block(256), std::out_of_range);
    EXPECT_THROW(tag.lockBlock(-1), std::out_of_range);
    tag.setBlock(255, hex("01 02"));
    EXPECT_EQ(tag.block(255), hex("01 02 00 00"));
    EXPECT_EQ(tag.writeSingleBlock(hex("00"), 0, hex("01020304")), std::nullopt);
    EXPECT_EQ(tag.readMultipleBlocks(tag.uidOnAir(), 255, 1), hex("00 01 02 00 00"));
}
