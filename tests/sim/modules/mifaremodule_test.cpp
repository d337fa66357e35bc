#include "sim/cards/iso15693tag.h"
#include "sim/cards/mifareclassic.h"
#include "sim/cards/ntag203.h"
#include "sim/core/cardkinds.h"
#include "sim/core/virtualreader.h"
#include "sim/modules/mifaremodule.h"
#include "sim/modules/uhfmodule.h"
#include "testutil.h"

#include <gtest/gtest.h>

using namespace kv350::sim;

namespace {

// The reader with a fresh 1K card (UID 11 22 33 44) in its field; requests and replies as on the wire.
class MifareWire : public ::testing::Test {
protected:
    MifareWire() { reader.field().place(card); }

    QByteArray send(const char *request)
    {
        const std::vector<QByteArray> replies = reader.handle(hex(request));
        EXPECT_EQ(replies.size(), 1u) << request;
        return replies.empty() ? QByteArray() : replies.front();
    }
    // STA 01 without DATA, for this reason.
    void expectFailure(const char *request, MifareError reason)
    {
        QByteArray failed = hex(request).mid(0, 3) + hex("01");
        failed[1] = 2;
        EXPECT_EQ(send(request), failed) << request;
        EXPECT_EQ(reader.mifare().lastError(), reason)
            << request << ": " << mifareErrorName(reader.mifare().lastError());
    }

    VirtualReader reader;
    std::shared_ptr<MifareClassicCard> card = std::make_shared<MifareClassicCard>();
};

const QByteArray zeros16(16, '\0');

}  // namespace

TEST_F(MifareWire, ReadAndWriteWithTypedKey)
{
    EXPECT_EQ(send("02 0A 15 60 FF FF FF FF FF FF 01 02"), hex("02 12 15 00") + zeros16);
    // The trailer: key A hidden, key B shown (readable in the transport configuration).
    EXPECT_EQ(send("02 0A 15 60 FF FF FF FF FF FF 01 03"), hex("02 12 15 00 000000000000 FF078069 FFFFFFFFFFFF"));
    EXPECT_EQ(send("02 1A 16 60 FF FF FF FF FF FF 01 02 00 01 02 03 04 05 06 07 08 09 10 11 12 13 14 15"),
              hex("02 12 16 00 00 01 02 03 04 05 06 07 08 09 10 11 12 13 14 15"));
    EXPECT_EQ(card->block(1, 2), hex("00 01 02 03 04 05 06 07 08 09 10 11 12 13 14 15"));
    EXPECT_EQ(send("02 01 11"), hex("02 06 11 00 11 22 33 44"));
    EXPECT_EQ(send("02 02 01 01"), hex("02 06 01 00 11 22 33 44"));
    EXPECT_EQ(reader.mifare().lastError(), MifareError::None);
}

TEST_F(MifareWire, NewTrailerTakesEffectAndItsReplyHidesTheKeys)
{
    // Keys A0…, B0…; trailer row 011: key B writes everything, key B no longer readable.
    EXPECT_EQ(send("02 1A 16 60 FF FF FF FF FF FF 05 03 A0A1A2A3A4A5 7F078869 B0B1B2B3B4B5"),
              hex("02 12 16 00 000000000000 7F078869 000000000000"));
    EXPECT_EQ(card->block(5, 3), hex("A0A1A2A3A4A5 7F078869 B0B1B2B3B4B5"));
    expectFailure("02 0A 15 60 FF FF FF FF FF FF 05 00", MifareError::AuthFailed);
    EXPECT_EQ(send("02 0A 15 61 B0 B1 B2 B3 B4 B5 05 00"), hex("02 12 15 00") + zeros16);
    expectFailure("02 1A 16 60 A0 A1 A2 A3 A4 A5 05 03 000000000000 FF078069 000000000000", MifareError::AccessDenied);
    // Key B where it is readable authenticates, but the card refuses every access after it.
    expectFailure("02 0A 15 61 FF FF FF FF FF FF 04 00", MifareError::KeyBNotUsable);
    // Inconsistent access bytes are taken, and the sector is gone for both keys.
    EXPECT_EQ(send("02 1A 16 61 B0 B1 B2 B3 B4 B5 05 03 A0A1A2A3A4A5 7F078969 B0B1B2B3B4B5"),
              hex("02 12 16 00 000000000000 7F078969 000000000000"));
    expectFailure("02 0A 15 61 B0 B1 B2 B3 B4 B5 05 00", MifareError::SectorUnusable);
    expectFailure("02 0A 15 60 A0 A1 A2 A3 A4 A5 05 03", MifareError::SectorUnusable);
    EXPECT_EQ(send("02 0A 15 60 FF FF FF FF FF FF 06 00"), hex("02 12 15 00") + zeros16);
}

TEST_F(MifareWire, RefusalsAreStaOneWithTheirReason)
{
    expectFailure("02 1A 16 60 FF FF FF FF FF FF 00 00 00 01 02 03 04 05 06 07 08 09 10 11 12 13 14 15",
                  MifareError::ReadOnly);
    EXPECT_EQ(card->block(0, 0).left(5), hex("11 22 33 44 44"));
    expectFailure("02 0A 15 60 FF FF FF FF FF FE 01 00", MifareError::AuthFailed);
    // Each command stands alone: the next one selects the card again.
    EXPECT_EQ(send("02 0A 15 60 FF FF FF FF FF FF 01 00"), hex("02 12 15 00") + zeros16);
    expectFailure("02 0A 15 60 FF FF FF FF FF FF 10 00", MifareError::OutOfRange);  // no sector 16 on a 1K card
    expectFailure("02 0A 15 60 FF FF FF FF FF FF 01 04", MifareError::OutOfRange);
    expectFailure("02 0A 15 60 FF FF FF FF FF FF 28 00", MifareError::OutOfRange);
    expectFailure("02 04 15 60 FF 00", MifareError::OutOfRange);
    // DATA lengths other than 3/9 (read) and 19/25 (write), or a key type other than 60/61.
    for (const char *malformed :
         {"02 01 15", "02 03 15 60 01", "02 05 15 60 01 00 00", "02 09 15 60 FF FF FF FF FF FF 01",
          "02 0B 15 60 FF FF FF FF FF FF 01 00 00", "02 0A 15 62 FF FF FF FF FF FF 01 00", "02 04 15 00 01 00",
          "02 13 16 60 01 02 000102030405060708090A0B0C0D0E", "02 15 16 60 01 02 000102030405060708090A0B0C0D0E0F10",
          "02 1B 16 60 FFFFFFFFFFFF 01 02 000102030405060708090A0B0C0D0E0F10",
          "02 14 16 5F 01 02 000102030405060708090A0B0C0D0E0F"})
        expectFailure(malformed, MifareError::Malformed);
    EXPECT_EQ(send("02 02 11 00"), hex("02 02 11 01"));
    EXPECT_EQ(card->block(1, 2), zeros16);
}

TEST_F(MifareWire, FourKSectorsOfSixteenBlocks)
{
    auto k4 = std::make_shared<MifareClassicCard>(MifareClassicCard::Size::K4, hex("DE AD BE EF"));
    reader.field().place(k4);
    EXPECT_EQ(send("02 01 11"), hex("02 06 11 00 DE AD BE EF"));
    EXPECT_EQ(send("02 1A 16 60 FF FF FF FF FF FF 27 0E 0F 0E 0D 0C 0B 0A 09 08 07 06 05 04 03 02 01 00"),
              hex("02 12 16 00 0F 0E 0D 0C 0B 0A 09 08 07 06 05 04 03 02 01 00"));
    EXPECT_EQ(k4->block(39, 14), hex("0F 0E 0D 0C 0B 0A 09 08 07 06 05 04 03 02 01 00"));
    EXPECT_EQ(send("02 0A 15 60 FF FF FF FF FF FF 20 0F"), hex("02 12 15 00 000000000000 FF078069 FFFFFFFFFFFF"));
    EXPECT_EQ(send("02 0A 15 60 FF FF FF FF FF FF 1F 03"), hex("02 12 15 00 000000000000 FF078069 FFFFFFFFFFFF"));
    expectFailure("02 0A 15 60 FF FF FF FF FF FF 1F 04", MifareError::OutOfRange);
    expectFailure("02 0A 15 60 FF FF FF FF FF FF 20 10", MifareError::OutOfRange);
    expectFailure("02 0A 15 60 FF FF FF FF FF FF 28 00", MifareError::OutOfRange);
}

TEST_F(MifareWire, StoredKeysPerSectorAndType)
{
    expectFailure("02 04 15 60 01 00", MifareError::NoStoredKey);
    EXPECT_EQ(send("02 09 12 60 FF FF FF FF FF FF 01"), hex("02 02 12 00"));
    EXPECT_EQ(reader.storedKey(1, 0x60), hex("FF FF FF FF FF FF"));
    EXPECT_TRUE(reader.storedKey(1, 0x61).isEmpty());
    EXPECT_TRUE(reader.storedKey(2, 0x60).isEmpty());
    EXPECT_TRUE(reader.storedKey(1, 0x62).isEmpty());
    EXPECT_EQ(send("02 04 15 60 01 01"), hex("02 12 15 00") + zeros16);
    EXPECT_EQ(send("02 14 16 60 01 01 AA AA AA AA AA AA AA AA AA AA AA AA AA AA AA AA"),
              hex("02 12 16 00 AA AA AA AA AA AA AA AA AA AA AA AA AA AA AA AA"));
    expectFailure("02 04 15 61 01 01", MifareError::NoStoredKey);
    expectFailure("02 04 15 60 02 01", MifareError::NoStoredKey);

    // A wrong stored key fails like a wrong typed one; storing again replaces it.
    EXPECT_EQ(send("02 09 12 61 00 00 00 00 00 00 01"), hex("02 02 12 00"));
    expectFailure("02 04 15 61 01 01", MifareError::AuthFailed);
    EXPECT_EQ(send("02 09 12 61 FF FF FF FF FF FF 01"), hex("02 02 12 00"));
    expectFailure("02 04 15 61 01 01", MifareError::KeyBNotUsable);  // transport configuration: key B is readable
    EXPECT_EQ(send("02 09 12 61 01 02 03 04 05 06 27"), hex("02 02 12 00"));
    EXPECT_EQ(reader.storedKey(39, 0x61), hex("01 02 03 04 05 06"));

    expectFailure("02 09 12 60 FF FF FF FF FF FF 28", MifareError::OutOfRange);
    expectFailure("02 09 12 62 FF FF FF FF FF FF 01", MifareError::Malformed);
    expectFailure("02 08 12 60 FF FF FF FF FF FF", MifareError::Malformed);
    expectFailure("02 0A 12 60 FF FF FF FF FF FF 01 00", MifareError::Malformed);
    EXPECT_EQ(reader.storedKey(1, 0x60), hex("FF FF FF FF FF FF"));

    // The store belongs to the reader: no card needed, a reboot keeps it, a factory default erases it.
    reader.field().remove();
    EXPECT_EQ(send("02 09 12 60 11 11 11 11 11 11 03"), hex("02 02 12 00"));
    EXPECT_EQ(send("02 02 0F 01"), hex("02 02 0F 00"));
    EXPECT_EQ(reader.storedKey(3, 0x60), hex("11 11 11 11 11 11"));
    EXPECT_EQ(send("02 02 0F 02"), hex("02 02 0F 00"));
    EXPECT_TRUE(reader.storedKey(3, 0x60).isEmpty());
    EXPECT_TRUE(reader.storedKey(39, 0x61).isEmpty());
}

TEST_F(MifareWire, NoCardAndACardPulledAway)
{
    reader.field().removeAfter(3);
    EXPECT_EQ(send("02 01 11"), hex("02 06 11 00 11 22 33 44"));
    // Commands that do not reach the card do not count: the key store, a malformed request.
    EXPECT_EQ(send("02 09 12 60 FF FF FF FF FF FF 01"), hex("02 02 12 00"));
    expectFailure("02 03 15 60 01", MifareError::Malformed);
    EXPECT_EQ(send("02 02 01 02"), hex("02 02 01 01"));
    EXPECT_EQ(send("02 04 15 60 01 00"), hex("02 12 15 00") + zeros16);
    EXPECT_EQ(reader.field().commandsLeft(), 1);
    EXPECT_EQ(send("02 02 01 01"), hex("02 06 01 00 11 22 33 44"));  // the last one still sees it
    EXPECT_EQ(reader.field().card(), nullptr);
    EXPECT_EQ(send("02 01 11"), hex("02 02 11 01"));
    EXPECT_EQ(send("02 02 01 01"), hex("02 02 01 01"));
    expectFailure("02 04 15 60 01 00", MifareError::NoCard);
    expectFailure("02 1A 16 60 FF FF FF FF FF FF 01 02 00 01 02 03 04 05 06 07 08 09 10 11 12 13 14 15",
                  MifareError::NoCard);

    // Placing a card cancels a pending removal; a count of 0 empties the field at once.
    reader.field().removeAfter(5);
    reader.field().place(card);
    EXPECT_EQ(reader.field().commandsLeft(), -1);
    reader.field().removeAfter(0);
    EXPECT_TRUE(reader.field().isEmpty());
}

TEST_F(MifareWire, WeakBlockAnswersTheWriteRightAndTheReadWrong)
{
    card->corruptReads(2, 1);
    EXPECT_EQ(send("02 1A 16 60 FF FF FF FF FF FF 02 01 00 01 02 03 04 05 06 07 08 09 10 11 12 13 14 15"),
              hex("02 12 16 00 00 01 02 03 04 05 06 07 08 09 10 11 12 13 14 15"));
    EXPECT_EQ(send("02 0A 15 60 FF FF FF FF FF FF 02 01"),
              hex("02 12 15 00 FF FE FD FC FB FA F9 F8 F7 F6 EF EE ED EC EB EA"));
    EXPECT_EQ(send("02 0A 15 60 FF FF FF FF FF FF 02 00"), hex("02 12 15 00") + zeros16);
}

TEST(CardKinds, PlaceByName)
{
    EXPECT_EQ(cardKindNames(), (QStringList{"mifare1k", "mifare4k", "ntag203", "iso15693", "epc"}));
    VirtualReader reader;
    QString error;
    ASSERT_TRUE(placeCardKind(reader, QStringLiteral("mifare4k"), &error));
    auto placed = std::dynamic_pointer_cast<MifareClassicCard>(reader.field().card());
    ASSERT_TRUE(placed);
    EXPECT_EQ(placed->sectorCount(), 40);
    EXPECT_EQ(placed->block(0, 0).left(5), hex("11 22 33 44 44"));
    ASSERT_TRUE(placeCardKind(reader, QStringLiteral("mifare1k"), nullptr));
    EXPECT_EQ(std::dynamic_pointer_cast<MifareClassicCard>(reader.field().card())->sectorCount(), 16);

    EXPECT_FALSE(placeCardKind(reader, QStringLiteral("MIFARE1K"), &error));
    EXPECT_EQ(error, QStringLiteral(
                         "unknown card kind MIFARE1K; this build knows: mifare1k, mifare4k, ntag203, iso15693, epc"));
    EXPECT_EQ(std::dynamic_pointer_cast<MifareClassicCard>(reader.field().card())->sectorCount(), 16);

    // An NTAG203 takes the ISO 14443A slot from the MIFARE card; the ISO 15693 tag has a slot of its own.
    ASSERT_TRUE(placeCardKind(reader, QStringLiteral("ntag203"), nullptr));
    ASSERT_TRUE(placeCardKind(reader, QStringLiteral("iso15693"), nullptr));
    const auto ntag = std::dynamic_pointer_cast<Ntag203Card>(reader.field().card());
    ASSERT_TRUE(ntag);
    EXPECT_EQ(ntag->uid(), hex("04 A1 B2 C3 D4 E5 F6"));
    const auto iso = std::dynamic_pointer_cast<Iso15693Tag>(reader.field().card(Technology::Iso15693));
    ASSERT_TRUE(iso);
    EXPECT_EQ(iso->blockCount(), 28);
    EXPECT_EQ(iso->uid(), hex("E0 04 01 00 A1 B2 C3 D4"));

    // EPC tags go to the UHF module, one more each time, on the model that reads them.
    EXPECT_FALSE(placeCardKind(reader, QStringLiteral("epc"), &error)) << "a KV350-MIC has no UHF module";
    EXPECT_TRUE(error.contains("needs a reader that reads UHF tags (KV350-U1)")) << error.toStdString();
    VirtualReader micx(Identity{"KV350-MIC-X", "V1.0", "12345678"});
    EXPECT_FALSE(placeCardKind(micx, QStringLiteral("epc"), &error)) << "its radio module has test modes, no tags";
    VirtualReader u1(Identity{"KV350-U1", "V1.0", "12345678"});
    ASSERT_TRUE(placeCardKind(u1, QStringLiteral("epc"), nullptr));
    ASSERT_TRUE(placeCardKind(u1, QStringLiteral("epc"), nullptr));
    EXPECT_EQ(u1.uhf().tagCount(), 2);
}
