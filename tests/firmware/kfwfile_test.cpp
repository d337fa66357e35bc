// The KFW file: header, scrambling, the length limit and the checksum.
#include "firmware/kfwfile.h"
#include "firmware/upgrade.h"
#include "rig.h"

#include <gtest/gtest.h>
#include <memory>

using namespace kv350::firmware;

namespace {

struct Loaded {
    KfwReadResult result;
    std::unique_ptr<FirmwareState> state = std::make_unique<FirmwareState>();
};

Loaded load(const QString &path)
{
    Loaded l;
    l.result = readKfwFile(path, *l.state);
    return l;
}

QByteArray image(const FirmwareState &s, int from, int count)
{
    return QByteArray(reinterpret_cast<const char *>(s.FirmwareImage.data()) + from, count);
}

}  // namespace

TEST(KfwFile, PackedFileReadsBackAsItsPartsWithTheImageDescrambled)
{
    FileFolder folder;
    const QByteArray payload = programImage("KV350-M1", "V1.7", 300);
    const QByteArray file = packKfwFile("KV350-M1", "V1.7", payload);
    ASSERT_EQ(file.size(), 16 + 300);
    EXPECT_EQ(file.left(16), QByteArray("KV350-M1\0\0\0\0V1.7", 16)) << "NUL-filled header";
    EXPECT_NE(file.mid(16), payload) << "the payload is scrambled";

    const Loaded l = load(folder.write("a.KFW", file));
    ASSERT_EQ(l.result.status, KfwRead::Loaded);
    EXPECT_EQ(l.result.header.codeType, "KV350-M1");
    EXPECT_EQ(l.result.header.codeVersion, "V1.7");
    EXPECT_EQ(l.state->FirmwareLength, 300);
    EXPECT_EQ(image(*l.state, 0, 300), payload);
    EXPECT_EQ(image(*l.state, 300, 4), hex("FF FF FF FF"));
    unsigned sum = 0;
    for (char b : payload)
        sum += quint8(b);
    EXPECT_EQ(l.state->FirmwareChecksum, sum & 0xFFFF);
}

TEST(KfwFile, KeyIndexIsThePayloadPositionModuloEight)
{
    const QByteArray file = packKfwFile("T", "V", QByteArray(17, '\0'));
    // A zero payload shows the key itself: twice, then key byte 0 again for the seventeenth byte.
    EXPECT_EQ(file.mid(16), hex("3C A1 5E 07 D2 94 6B F8 3C A1 5E 07 D2 94 6B F8 3C"));

    FileFolder folder;
    QByteArray raw = QByteArray(16, 'H') + QByteArray(9, '\0');
    raw[16 + 8] = char(0x3C ^ 0x42);  // the ninth byte, with key byte 0
    const Loaded l = load(folder.write("k.KFW", raw));
    EXPECT_EQ(l.state->FirmwareImage[8], 0x42);
    EXPECT_EQ(l.state->FirmwareImage[0], 0x3C) << "a stored 00 descrambles to the key byte";
}

TEST(KfwFile, HeaderOnlyFileHasAnEmptyImage)
{
    FileFolder folder;
    const Loaded l = load(folder.write("h.KFW", packKfwFile("KV350-M1", "V1.0", {})));
    ASSERT_EQ(l.result.status, KfwRead::Loaded);
    EXPECT_EQ(l.state->FirmwareLength, 0);
    EXPECT_EQ(hexWord(l.state->FirmwareLength), "0000");
    EXPECT_EQ(hexWord(l.state->FirmwareChecksum), "0000");
}

TEST(KfwFile, PayloadBeyondTheLimitIsIgnoredAndTheChecksumWraps)
{
    FileFolder folder;
    const QByteArray payload = QByteArray(0x3400, '\xFF') + QByteArray(100, '\x01');
    const Loaded l = load(folder.write("big.KFW", packKfwFile("KV350-M1", "V1.0", payload)));
    ASSERT_EQ(l.result.status, KfwRead::Loaded);
    EXPECT_EQ(hexWord(l.state->FirmwareLength), "3400");
    EXPECT_EQ(l.state->FirmwareChecksum, (0x3400 * 0xFF) & 0xFFFF);
    EXPECT_EQ(hexWord(l.state->FirmwareChecksum), "CC00");
    EXPECT_EQ(l.state->FirmwareImage[0x3400], 0xFF) << "nothing of the excess reaches the image";
}

TEST(KfwFile, HeaderFieldsWithoutNulAreTakenWhole)
{
    FileFolder folder;
    const Loaded l = load(folder.write("w.KFW", packKfwFile("KV350-MIC-X1", "V9.9", "x")));
    EXPECT_EQ(l.result.header.codeType, "KV350-MIC-X1");
    EXPECT_EQ(l.result.header.codeVersion, "V9.9");

    const Loaded blanks = load(folder.write("b.KFW", packKfwFile("KV350-M1    ", "V1", "x")));
    EXPECT_EQ(blanks.result.header.codeType, "KV350-M1    ") << "blanks are part of the text";
    EXPECT_EQ(blanks.result.header.codeVersion, "V1");

    EXPECT_TRUE(packKfwFile("KV350-MIC-X12", "V1", "x").isEmpty()) << "13 characters do not fit";
    EXPECT_TRUE(packKfwFile("KV350-M1", "V1.00", "x").isEmpty());
}

TEST(KfwFile, MissingOrShortFileLeavesLengthAndChecksumButClearsTheImage)
{
    FileFolder folder;
    Loaded l = load(folder.write("ok.KFW", packKfwFile("KV350-M1", "V1.0", "abc")));
    ASSERT_EQ(l.state->FirmwareLength, 3);

    l.result = readKfwFile(folder.write("short.KFW", QByteArray(15, 'K')), *l.state);
    EXPECT_EQ(l.result.status, KfwRead::TooShort);
    EXPECT_EQ(l.state->FirmwareLength, 3);
    EXPECT_EQ(l.state->FirmwareChecksum, 'a' + 'b' + 'c');
    EXPECT_EQ(image(*l.state, 0, 3), hex("FF FF FF"));

    l.result = readKfwFile(folder.write("empty.KFW", {}), *l.state);
    EXPECT_EQ(l.result.status, KfwRead::TooShort);
    l.result = readKfwFile(folder.path("none.KFW"), *l.state);
    EXPECT_EQ(l.result.status, KfwRead::CannotOpen);
    EXPECT_EQ(l.state->FirmwareLength, 3);
}

TEST(UsbIds, HexDigitsOrTheDefault)
{
    EXPECT_EQ(parseUsbId("", 0x0E6A), 0x0E6A);
    EXPECT_EQ(parseUsbId("G1", 0x0E6A), 0x0E6A);
    EXPECT_EQ(parseUsbId("317", 0x0317), 0x0317);
    EXPECT_EQ(parseUsbId("abcd", 0x0317), 0xABCD);
    EXPECT_EQ(parseUsbId("FFFF", 0), 0xFFFF);
    EXPECT_EQ(parseUsbId("0x12", 0x0E6A), 0x0E6A) << "the box holds digits, no prefix";
    EXPECT_EQ(parseUsbId(" 12", 0x0E6A), 0x0E6A);
    EXPECT_EQ(parseUsbId("12345", 0x0E6A), 0x0E6A);
    EXPECT_EQ(parseUsbId("+1A", 0x0E6A), 0x0E6A);
    EXPECT_EQ(parseUsbId("1 ", 0x0317), 0x0317);
}
