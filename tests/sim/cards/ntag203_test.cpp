#include "sim/cards/mifareclassic.h"
#include "sim/cards/ntag203.h"
#include "sim/core/virtualreader.h"
#include "sim/modules/mifaremodule.h"
#include "sim/modules/ntagmodule.h"
#include "testutil.h"

#include <gtest/gtest.h>

#include <stdexcept>

using namespace kv350::sim;

namespace {

// The reader with a blank NTAG203 (UID 04 A1 B2 C3 D4 E5 F6) in its field.
class NtagWire : public ::testing::Test {
protected:
    NtagWire() { reader.field().place(tag); }

    QByteArray send(const QByteArray &request)
    {
        const std::vector<QByteArray> replies = reader.handle(request);
        EXPECT_EQ(replies.size(), 1u) << request.toHex(' ').constData();
        return replies.empty() ? QByteArray() : replies.front();
    }
    QByteArray send(const char *request) { return send(hex(request)); }
    // 0x13 at page p; 0x14 at page p with 16 bytes.
    QByteArray readAt(int p) { return send(hex("02 04 13 00 00") + char(p)); }
    QByteArray writeAt(int p, const char *data16) { return send(hex("02 14 14 00 00") + char(p) + hex(data16)); }
    void expectRefused(const QByteArray &reply, NtagError reason)
    {
        ASSERT_GE(reply.size(), 3);
        EXPECT_EQ(reply, hex("02 02") + reply.at(2) + hex("01"));
        EXPECT_EQ(reader.ntag().lastError(), reason) << ntagErrorName(reader.ntag().lastError());
    }

    VirtualReader reader;
    std::shared_ptr<Ntag203Card> tag = std::make_shared<Ntag203Card>();
};

}  // namespace

TEST_F(NtagWire, BlankTagAsItLeavesTheFactory)
{
    // UID0–2 and BCC0 = 88^04^A1^B2; UID3–6; BCC1 = C3^D4^E5^F6, internal byte, lock bytes; the CC.
    EXPECT_EQ(readAt(0), hex("02 12 13 00 04A1B29F C3D4E5F6 04480000 E1101200"));
    // Lock Control TLV and an empty NDEF message, then zeros.
    EXPECT_EQ(readAt(4), hex("02 12 13 00 0103A010 440300FE 00000000 00000000"));
    EXPECT_EQ(send("02 01 11"), hex("02 09 11 00 04 A1 B2 C3 D4 E5 F6"));
    EXPECT_EQ(send("02 02 01 01"), hex("02 09 01 00 04 A1 B2 C3 D4 E5 F6"));
    EXPECT_EQ(reader.ntag().lastError(), NtagError::None);

    Ntag203Card other(hex("04 11 22 33 44 55 66"));
    EXPECT_EQ(other.page(0), hex("04 11 22 BF"));
    EXPECT_EQ(other.page(1), hex("33 44 55 66"));
    EXPECT_EQ(other.page(2), hex("44 48 00 00"));
    EXPECT_EQ(Ntag203Card(hex("04 11 22")).uid(), hex("04 11 22 00 00 00 00"));
}

TEST_F(NtagWire, ReadRollsOverAtTheEndAndRefusesPagesBeyond41)
{
    tag->setPage(39, hex("39 39 39 39"));
    tag->setPage(40, hex("00 00 00 00"));
    tag->setPage(41, hex("41 41 41 41"));
    EXPECT_EQ(readAt(39), hex("02 12 13 00 39393939 00000000 41414141 04A1B29F"));
    EXPECT_EQ(readAt(40), hex("02 12 13 00 00000000 41414141 04A1B29F C3D4E5F6"));
    EXPECT_EQ(readAt(41), hex("02 12 13 00 41414141 04A1B29F C3D4E5F6 04480000"));
    expectRefused(readAt(42), NtagError::NoSuchPage);
    expectRefused(readAt(0xFF), NtagError::NoSuchPage);
    EXPECT_EQ(tag->read(42), std::nullopt);
}

TEST_F(NtagWire, WriteIsFourPageWritesThatStopAtTheFirstRefusal)
{
    EXPECT_EQ(writeAt(8, "00010203 04050607 08090A0B 0C0D0E0F"),
              hex("02 12 14 00 00010203 04050607 08090A0B 0C0D0E0F"));
    EXPECT_EQ(tag->page(8), hex("00 01 02 03"));
    EXPECT_EQ(tag->page(11), hex("0C 0D 0E 0F"));
    EXPECT_EQ(reader.ntag().lastError(), NtagError::None);

    // Pages 0–1 hold the serial number: nothing is written.
    expectRefused(writeAt(0, "11111111 22222222 00000000 00000000"), NtagError::ReadOnly);
    expectRefused(writeAt(1, "11111111 00000000 00000000 00000000"), NtagError::ReadOnly);
    EXPECT_EQ(tag->page(0), hex("04 A1 B2 9F"));
    EXPECT_EQ(tag->page(1), hex("C3 D4 E5 F6"));
    EXPECT_EQ(tag->page(2), hex("04 48 00 00"));

    // From page 38 the fourth write reaches the counter: 38 and 39 are written, 40 ORs nothing in.
    expectRefused(writeAt(38, "38383838 39393939 00000000 41414141"), NtagError::ReadOnly);
    EXPECT_EQ(tag->page(38), hex("38 38 38 38"));
    EXPECT_EQ(tag->page(39), hex("39 39 39 39"));
    EXPECT_EQ(tag->page(41), hex("00 00 00 00"));
    expectRefused(writeAt(42, "00000000 00000000 00000000 00000000"), NtagError::NoSuchPage);
}

TEST_F(NtagWire, LockBytesOrInAndTakeEffectAtTheNextActivation)
{
    // Page 2: BCC1 and the internal byte are ignored; lock byte 0 bit 4 locks page 4. Page 3 ORs
    // nothing into the CC. The lock is not in force yet, so pages 4–5 in the same command are written.
    EXPECT_EQ(writeAt(2, "FFFF1000 00000000 AAAAAAAA BBBBBBBB"),
              hex("02 12 14 00 04481000 E1101200 AAAAAAAA BBBBBBBB"));
    EXPECT_TRUE(tag->pageLocked(4));
    EXPECT_FALSE(tag->pageLocked(5));
    expectRefused(writeAt(4, "CCCCCCCC CCCCCCCC CCCCCCCC CCCCCCCC"), NtagError::Locked);
    EXPECT_EQ(tag->page(4), hex("AA AA AA AA"));
    EXPECT_EQ(tag->page(5), hex("BB BB BB BB"));  // the refusal came first

    // Lock bits are only ever set: 20 ORs in, zeros clear nothing; lock byte 1 bit 0 locks page 8.
    // Page 4 stops this write, after pages 2 and 3.
    expectRefused(writeAt(2, "00002001 00000000 DDDDDDDD EEEEEEEE"), NtagError::Locked);
    EXPECT_EQ(tag->page(2), hex("04 48 30 01"));
    EXPECT_EQ(tag->page(4), hex("AA AA AA AA"));
    expectRefused(writeAt(6, "66666666 77777777 88888888 99999999"), NtagError::Locked);  // page 8
    EXPECT_EQ(tag->page(6), hex("66 66 66 66"));
    EXPECT_EQ(tag->page(7), hex("77 77 77 77"));
    EXPECT_EQ(tag->page(8), hex("00 00 00 00"));
    for (int p : {4, 5, 8})
        EXPECT_TRUE(tag->pageLocked(p)) << p;
    for (int p : {6, 7, 9, 15, 16})
        EXPECT_FALSE(tag->pageLocked(p)) << p;
}

TEST_F(NtagWire, CapabilityContainerIsOneTimeProgrammable)
{
    // Page 3 ORs: E1 10 12 00 | 00 01 00 0F.
    EXPECT_EQ(writeAt(3, "0001000F 00000000 00000000 00000000").left(8), hex("02 12 14 00 E111120F"));
    EXPECT_EQ(tag->page(3), hex("E1 11 12 0F"));
    // Lock byte 0 bit 3 locks it.
    EXPECT_EQ(writeAt(2, "00000800 00000000 00000000 00000000").left(8), hex("02 12 14 00 04480800"));
    EXPECT_TRUE(tag->pageLocked(3));
    expectRefused(writeAt(3, "F0F0F0F0 00000000 00000000 00000000"), NtagError::Locked);
    EXPECT_EQ(tag->page(3), hex("E1 11 12 0F"));
}

TEST_F(NtagWire, BlockLockingBitsFreezeTheLockBits)
{
    // BL-CC (bit 0) and BL9-4 (bit 1): L-CC, L4–L7 and L8–L9 can no longer be set; L10–L15 still can.
    EXPECT_EQ(writeAt(2, "00000300 00000000 00000000 00000000").left(8), hex("02 12 14 00 04480300"));
    EXPECT_EQ(writeAt(2, "0000F8FF 00000000 00000000 00000000").left(8), hex("02 12 14 00 044803FC"));
    for (int p : {3, 4, 7, 8, 9})
        EXPECT_FALSE(tag->pageLocked(p)) << p;
    for (int p : {10, 15})
        EXPECT_TRUE(tag->pageLocked(p)) << p;
    // BL15-10 freezes L10–L15 (already set here, they stay set).
    EXPECT_EQ(writeAt(2, "00000400 00000000 00000000 00000000").left(8), hex("02 12 14 00 044807FC"));
}

TEST_F(NtagWire, DynamicLockBytesLockPagesSixteenToThirtyNineInFours)
{
    // Page 40 byte 0: bit 1 pages 16–19, bit 6 pages 32–35; bytes 2–3 are RFU and ignored.
    // Written as the last of four pages from 37.
    EXPECT_EQ(writeAt(37, "37373737 38383838 39393939 4200FFFF"),
              hex("02 12 14 00 37373737 38383838 39393939 42000000"));
    EXPECT_EQ(tag->page(40), hex("42 00 00 00"));
    for (int p : {16, 19, 32, 35})
        EXPECT_TRUE(tag->pageLocked(p)) << p;
    for (int p : {20, 27, 28, 31, 36, 39})
        EXPECT_FALSE(tag->pageLocked(p)) << p;
    expectRefused(writeAt(18, "00000000 00000000 00000000 00000000"), NtagError::Locked);
    EXPECT_EQ(writeAt(20, "20202020 21212121 22222222 23232323").left(4), hex("02 12 14 00"));
    expectRefused(writeAt(31, "31313131 32323232 00000000 00000000"), NtagError::Locked);
    EXPECT_EQ(tag->page(31), hex("31 31 31 31"));

    // Bit 0 freezes bits 1–3 (pages 16–27), bit 4 bits 5–7 (pages 28–39); byte 1 ORs in as it is.
    EXPECT_EQ(writeAt(37, "00000000 00000000 00000000 0105 0000").left(12), hex("02 12 14 00 00000000 00000000"));
    EXPECT_EQ(tag->page(40), hex("43 05 00 00"));
    EXPECT_EQ(writeAt(37, "00000000 00000000 00000000 FE00 0000").left(4), hex("02 12 14 00"));
    EXPECT_EQ(tag->page(40), hex("F3 05 00 00"));  // 43 | (FE without bits 1–3)
    EXPECT_FALSE(tag->pageLocked(20));
    EXPECT_TRUE(tag->pageLocked(28));
    EXPECT_TRUE(tag->pageLocked(39));
}

TEST_F(NtagWire, PagesThatAlwaysRefuseWrites)
{
    for (int p : {0, 1, 41, 42, -1})
        EXPECT_TRUE(tag->pageLocked(p)) << p;
    for (int p : {2, 3, 4, 39, 40})
        EXPECT_FALSE(tag->pageLocked(p)) << p;
    tag->activate();
    EXPECT_FALSE(tag->write(41, hex("01 00 00 00")));
    EXPECT_EQ(tag->lastError(), NtagError::ReadOnly);
    EXPECT_FALSE(tag->write(42, hex("01 00 00 00")));
    EXPECT_EQ(tag->lastError(), NtagError::NoSuchPage);
    EXPECT_THROW(tag->page(42), std::out_of_range);
    EXPECT_THROW(tag->setPage(-1, hex("00000000")), std::out_of_range);
}

TEST_F(NtagWire, MalformedRequestsAndTheWrongCardAreRefused)
{
    // The two bytes before the page must be zero; a read has 3 DATA bytes, a write 19.
    for (const char *malformed :
         {"02 01 13", "02 03 13 00 00", "02 05 13 00 00 04 00", "02 04 13 60 00 04", "02 04 13 00 01 04",
          "02 13 14 00 00 04 000102030405060708090A0B0C0D0E", "02 15 14 00 00 04 000102030405060708090A0B0C0D0E0F10",
          "02 14 14 00 01 04 000102030405060708090A0B0C0D0E0F"})
        expectRefused(send(malformed), NtagError::Malformed);
    EXPECT_EQ(tag->page(4), hex("01 03 A0 10"));

    // A MIFARE command to the NTAG, an NTAG command to a MIFARE Classic card.
    EXPECT_EQ(send("02 0A 15 60 FF FF FF FF FF FF 01 00"), hex("02 02 15 01"));
    EXPECT_EQ(reader.mifare().lastError(), MifareError::NotMifareClassic);
    reader.field().place(std::make_shared<MifareClassicCard>());
    expectRefused(readAt(4), NtagError::NotNtag);
    expectRefused(writeAt(4, "00000000 00000000 00000000 00000000"), NtagError::NotNtag);

    reader.field().remove();
    expectRefused(readAt(4), NtagError::NoCard);
    expectRefused(writeAt(4, "00000000 00000000 00000000 00000000"), NtagError::NoCard);
}

TEST_F(NtagWire, PulledAwayAfterItsLastCommand)
{
    reader.field().removeAfter(2);
    expectRefused(send("02 04 13 00 01 04"), NtagError::Malformed);  // reaches no card, does not count
    EXPECT_EQ(readAt(4).left(4), hex("02 12 13 00"));
    EXPECT_EQ(writeAt(4, "01020304 00000000 00000000 00000000").left(8), hex("02 12 14 00 01020304"));
    expectRefused(readAt(4), NtagError::NoCard);
    EXPECT_EQ(tag->page(4), hex("01 02 03 04"));
}
