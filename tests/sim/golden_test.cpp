#include "link/virtualtime.h"
#include "sim/transports/simhiddevice.h"
#include "sim/transports/simserialstream.h"
#include "testutil.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QList>

using namespace kv350::sim;

namespace {

struct GoldenPair {
    QByteArray name;
    QByteArray request;
    QByteArray reply;
    QByteArray model;  // the reader's model for this request
};

std::vector<GoldenPair> loadGolden()
{
    QFile file(QStringLiteral(KV350_TEST_DATA "/golden_frames.txt"));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        ADD_FAILURE() << "cannot open " << qPrintable(file.fileName());
        return {};
    }
    std::vector<GoldenPair> pairs;
    while (!file.atEnd()) {
        const QByteArray line = file.readLine().trimmed();
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        const QList<QByteArray> fields = line.split('|');
        if (fields.size() != 3 && fields.size() != 4) {
            ADD_FAILURE() << "bad golden line: " << line.constData();
            continue;
        }
        pairs.push_back({fields[0].trimmed(), QByteArray::fromHex(fields[1]), QByteArray::fromHex(fields[2]),
                         fields.size() == 4 ? fields[3].trimmed() : QByteArray("KV350-MIC")});
    }
    return pairs;
}

}  // namespace

TEST(Golden, DefaultReaderAnswersEveryRequestExactly)
{
    const std::vector<GoldenPair> pairs = loadGolden();
    ASSERT_GE(pairs.size(), 20u);
    VirtualReader reader;
    std::vector<QByteArray> sent;
    for (const GoldenPair &pair : pairs) {
        reader.setModel(pair.model);
        const std::vector<QByteArray> replies = reader.handle(pair.request);
        ASSERT_EQ(replies.size(), 1u) << pair.name.constData();
        EXPECT_EQ(replies.front(), pair.reply) << pair.name.constData();
        sent.push_back(pair.request);
    }
    EXPECT_EQ(reader.requests(), sent);
}

// The transports carry the same bytes unchanged: the serial stream as they
// are, HID zero-padded in one report (every golden frame fits one).
TEST(Golden, TransportsCarryTheGoldenBytes)
{
    kv350::VirtualTime time;
    VirtualReader serialReader, hidReader;
    SimSerialStream port(serialReader, time);
    SimHidDevice device(hidReader, time);
    ASSERT_TRUE(port.open(QStringLiteral("/dev/ttyVIRT0")));
    ASSERT_TRUE(device.open(0x0E6A, 0x0317));
    for (const GoldenPair &pair : loadGolden()) {
        serialReader.setModel(pair.model);
        hidReader.setModel(pair.model);
        ASSERT_EQ(port.write(pair.request), pair.request.size());
        EXPECT_EQ(port.read(256), pair.reply) << pair.name.constData();
        ASSERT_EQ(device.writeReport(pair.request), pair.request.size());
        QByteArray report;
        ASSERT_EQ(device.readReport(report, 0), 64) << pair.name.constData();
        EXPECT_EQ(report, pair.reply + QByteArray(64 - pair.reply.size(), '\0')) << pair.name.constData();
    }
    EXPECT_EQ(time.nowMs(), 0);
}
