// The virtual reader's boot loader, frame by frame.
#include "sim/core/virtualreader.h"
#include "testutil.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QList>

using namespace kv350::sim;

namespace {

QByteArray word(unsigned v)
{
    return QByteArray(1, char(v & 0xFF)) + char(v >> 8);
}

QByteArray begin(unsigned offset, unsigned length, unsigned checksum)
{
    return frame(0x71, word(offset) + word(length) + word(checksum));
}

QByteArray chunk(unsigned sequence, const QByteArray &bytes)
{
    return frame(0x72, word(sequence) + bytes);
}

unsigned sum(const QByteArray &bytes)
{
    unsigned s = 0;
    for (char b : bytes)
        s += quint8(b);
    return s & 0xFFFF;
}

// A reader already in its boot loader, the log cleared.
struct InBootLoader : ::testing::Test {
    void SetUp() override
    {
        ASSERT_EQ(one(reader, hex("02 02 0F 0F")), hex("02 02 0F 00"));
        ASSERT_TRUE(reader.takeRebootRequest()) << "entering is a restart";
        reader.clearRequests();
    }
    VirtualReader reader;
};

}  // namespace

TEST(BootLoaderGolden, FreshReaderAnswersTheClientsSessionExactly)
{
    QFile file(QStringLiteral(KV350_TEST_DATA "/bootloader_session.txt"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly | QIODevice::Text));
    VirtualReader reader;
    int lines = 0;
    while (!file.atEnd()) {
        const QByteArray line = file.readLine().trimmed();
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        const QList<QByteArray> fields = line.split('|');
        ASSERT_EQ(fields.size(), 3) << line.constData();
        EXPECT_EQ(one(reader, QByteArray::fromHex(fields[1])), QByteArray::fromHex(fields[2]))
            << fields[0].trimmed().constData();
        ++lines;
    }
    EXPECT_EQ(lines, 7);
    // Started again as the application the image names.
    EXPECT_FALSE(reader.bootLoader().active());
    EXPECT_EQ(one(reader, hex("02 01 0E")), hex("02 12 0E 00") + "KV350-MIC   V2.0");
}

TEST(BootLoader, ApplicationThatRefusesStaysTheApplication)
{
    VirtualReader reader;
    reader.bootLoader().setRefuseEntry(true);
    EXPECT_EQ(one(reader, hex("02 02 0F 0F")), hex("02 02 0F 01"));
    EXPECT_FALSE(reader.bootLoader().active());
    EXPECT_FALSE(reader.takeRebootRequest());
    EXPECT_EQ(one(reader, hex("02 01 70")), hex("02 02 70 10"));
}

TEST_F(InBootLoader, IdentifiesItselfAndTurnsAwayApplicationCommands)
{
    EXPECT_EQ(one(reader, hex("02 01 0D")), hex("02 0A 0D 00 31 32 33 34 35 36 37 38"));
    EXPECT_EQ(one(reader, hex("02 01 0E")), hex("02 12 0E 00") + "KV350-MIC   BOOT");
    EXPECT_EQ(one(reader, hex("02 02 03 04")), hex("02 02 03 10"));
    EXPECT_EQ(one(reader, hex("02 02 0F 0F")), hex("02 02 0F 00")) << "here already";
    EXPECT_FALSE(reader.takeRebootRequest());
    EXPECT_TRUE(reader.bootLoader().active());
}

TEST_F(InBootLoader, RefusesBeginsThatDoNotFit)
{
    EXPECT_EQ(one(reader, begin(0, 0, 0)), hex("02 02 71 02")) << "nothing to write";
    EXPECT_EQ(one(reader, begin(0, 0x3401, 0)), hex("02 02 71 02"));
    EXPECT_EQ(one(reader, begin(0x3000, 0x401, 0)), hex("02 02 71 02"));
    EXPECT_EQ(one(reader, frame(0x71, hex("00 00 10"))), hex("02 02 71 02")) << "short BEGIN";
    EXPECT_EQ(one(reader, begin(0, 0x3400, 0)), hex("02 02 71 00")) << "the whole area";
    EXPECT_EQ(reader.bootLoader().downloadsBegun(), 1);
}

TEST_F(InBootLoader, DataAndEndNeedABegin)
{
    EXPECT_EQ(one(reader, chunk(0, "ab")), hex("02 02 72 04"));
    EXPECT_EQ(one(reader, frame(0x73)), hex("02 02 73 04"));
    EXPECT_EQ(one(reader, frame(0x72, hex("00"))), hex("02 02 72 04"));
}

TEST_F(InBootLoader, KeepsTheImageAndChecksItsLengthAndChecksum)
{
    const QByteArray image = QByteArray("KV350-U1\0\0\0\0V3.1", 16) + QByteArray(100, '\x5A');
    EXPECT_EQ(one(reader, begin(0, image.size(), sum(image))), hex("02 02 71 00"));
    EXPECT_EQ(reader.bootLoader().applicationArea(), QByteArray(0x3400, '\xFF')) << "erased";
    EXPECT_FALSE(reader.bootLoader().applicationValid());
    EXPECT_EQ(one(reader, frame(0x74)), hex("02 02 74 08")) << "nothing verified to start";

    EXPECT_EQ(one(reader, chunk(0, image.left(56))), hex("02 04 72 00 01 00"));
    EXPECT_EQ(one(reader, chunk(0, image.left(56))), hex("02 04 72 00 01 00")) << "a repeat is acknowledged";
    EXPECT_EQ(one(reader, chunk(2, image.mid(56))), hex("02 04 72 03 01 00")) << "out of turn: chunk 1 expected";
    EXPECT_EQ(one(reader, chunk(1, image.mid(56) + "x")), hex("02 02 72 02")) << "more than announced";
    EXPECT_EQ(one(reader, chunk(1, image.mid(56))), hex("02 04 72 00 02 00"));
    EXPECT_EQ(one(reader, frame(0x73)), hex("02 06 73 00 74 00") + word(sum(image)));
    EXPECT_TRUE(reader.bootLoader().applicationValid());
    EXPECT_EQ(reader.bootLoader().applicationArea().left(image.size()), image) << "the repeat was not stored twice";
    EXPECT_EQ(reader.bootLoader().applicationArea().mid(image.size()), QByteArray(0x3400 - 116, '\xFF'));

    EXPECT_EQ(one(reader, frame(0x74)), hex("02 02 74 00"));
    EXPECT_TRUE(reader.takeRebootRequest());
    EXPECT_FALSE(reader.bootLoader().active());
    EXPECT_EQ(reader.identity().model, "KV350-MIC") << "a reader stays the model it is";
    EXPECT_EQ(reader.identity().version, "V1.0") << "a record of another model says nothing of this reader";
}

TEST_F(InBootLoader, KeepsItsModelAndTakesTheVersionOfItsOwnModelsImage)
{
    const auto download = [this](const QByteArray &image) {
        one(reader, hex("02 02 0F 0F"));
        ASSERT_EQ(one(reader, begin(0, int(image.size()), sum(image))), hex("02 02 71 00"));
        for (int i = 0; i * 56 < image.size(); ++i)
            one(reader, chunk(i, image.mid(i * 56, 56)));
        ASSERT_EQ(one(reader, frame(0x73)).mid(3, 1), hex("00"));
        ASSERT_EQ(one(reader, frame(0x74)), hex("02 02 74 00"));
    };
    download(QByteArray("KV350-MIC   V3.1") + QByteArray(100, '\x5A'));
    EXPECT_EQ(reader.identity().model, "KV350-MIC");
    EXPECT_EQ(reader.identity().version, "V3.1");
    EXPECT_EQ(one(reader, hex("02 01 0E")), hex("02 12 0E 00") + "KV350-MIC   V3.1");

    // An image without an identity record: the model stays (it was left empty), the version too.
    download(QByteArray(200, '\x5A'));
    EXPECT_EQ(reader.identity().model, "KV350-MIC");
    EXPECT_EQ(reader.identity().version, "V3.1");
    download(QByteArray(32, '\0'));
    EXPECT_EQ(one(reader, hex("02 01 0E")), hex("02 12 0E 00") + "KV350-MIC   V3.1");
}

TEST_F(InBootLoader, RejectsAWrongLengthOrChecksumAndEndsTheDownload)
{
    const QByteArray image(40, '\x11');
    ASSERT_EQ(one(reader, begin(0, 41, sum(image))), hex("02 02 71 00"));
    one(reader, chunk(0, image));
    EXPECT_EQ(one(reader, frame(0x73)), hex("02 06 73 05 28 00") + word(sum(image))) << "one byte short";
    EXPECT_EQ(one(reader, chunk(1, "x")), hex("02 02 72 04")) << "the download is over";

    ASSERT_EQ(one(reader, begin(0, 40, sum(image) + 1)), hex("02 02 71 00"));
    one(reader, chunk(0, image));
    EXPECT_EQ(one(reader, frame(0x73)), hex("02 06 73 06 28 00") + word(sum(image)));
    EXPECT_FALSE(reader.bootLoader().applicationValid());
    EXPECT_EQ(one(reader, frame(0x74)), hex("02 02 74 08"));
    EXPECT_TRUE(reader.bootLoader().active()) << "a broken image is never started";
    EXPECT_EQ(reader.bootLoader().downloadsVerified(), 0);
}

TEST_F(InBootLoader, CanBeToldToFailTheFirstDownloads)
{
    reader.bootLoader().failDownloads(2);
    const QByteArray image(16, 'A');
    for (const char *expected : {"07", "07", "00"}) {
        ASSERT_EQ(one(reader, begin(0, 16, sum(image))), hex("02 02 71 00"));
        ASSERT_EQ(one(reader, chunk(0, image)), hex("02 04 72 00 01 00"));
        EXPECT_EQ(one(reader, frame(0x73)).mid(3, 1), hex(expected));
    }
    EXPECT_EQ(reader.bootLoader().downloadsBegun(), 3);
    EXPECT_EQ(reader.bootLoader().downloadsVerified(), 1);
}

TEST_F(InBootLoader, CanBeToldToRejectTheChecksumOfTheNextDownloads)
{
    reader.bootLoader().rejectChecksums(1);
    const QByteArray image(16, 'B');
    for (const char *expected : {"06", "00"}) {
        ASSERT_EQ(one(reader, begin(0, 16, sum(image))), hex("02 02 71 00"));
        ASSERT_EQ(one(reader, chunk(0, image)), hex("02 04 72 00 01 00"));
        EXPECT_EQ(one(reader, frame(0x73)).mid(3, 1), hex(expected));
    }
    EXPECT_EQ(reader.bootLoader().downloadsVerified(), 1);
}

TEST_F(InBootLoader, StartsTheOldApplicationWhenNothingWasDownloaded)
{
    EXPECT_EQ(one(reader, hex("02 01 70")).back(), '\x01') << "the factory's application is valid";
    EXPECT_EQ(one(reader, frame(0x74)), hex("02 02 74 00"));
    EXPECT_FALSE(reader.bootLoader().active());
    EXPECT_EQ(reader.identity().version, "V1.0");
}

TEST_F(InBootLoader, ShortImageLeavesTheIdentityAsItWas)
{
    ASSERT_EQ(one(reader, begin(0, 8, sum("ABCDEFGH"))), hex("02 02 71 00"));
    one(reader, chunk(0, "ABCDEFGH"));
    ASSERT_EQ(one(reader, frame(0x73)).mid(3, 1), hex("00"));
    // A reboot request starts the verified application too.
    EXPECT_EQ(one(reader, hex("02 02 0F 01")), hex("02 02 0F 00"));
    EXPECT_FALSE(reader.bootLoader().active());
    EXPECT_EQ(reader.identity().model, "KV350-MIC");
    EXPECT_EQ(reader.identity().version, "V1.0");
}
