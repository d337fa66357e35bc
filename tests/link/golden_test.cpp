// The golden frames pin the program's side of the wire: each request is what
// the frame builder makes of its CMD and DATA, each reply is accepted, and the
// whole sequence gives exactly these replies through the link.
#include "rig.h"

#include <QFile>
#include <gtest/gtest.h>

using namespace kv350;
using namespace kv350::test;

namespace {
struct Golden {
    QString name;
    QByteArray request, reply;
    QByteArray model;  // the reader's model for this request
};

std::vector<Golden> loadGolden()
{
    std::vector<Golden> rows;
    QFile f(QStringLiteral(KV350_TEST_DATA "/golden_frames.txt"));
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
        return rows;
    while (!f.atEnd()) {
        const QString line = QString::fromLatin1(f.readLine()).trimmed();
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        const QStringList parts = line.split('|');
        if (parts.size() != 3 && parts.size() != 4)
            continue;
        rows.push_back({parts[0].trimmed(), QByteArray::fromHex(parts[1].toLatin1()),
                        QByteArray::fromHex(parts[2].toLatin1()),
                        parts.size() == 4 ? parts[3].trimmed().toLatin1() : QByteArray("KV350-MIC")});
    }
    return rows;
}
}  // namespace

TEST(GoldenFrames, RequestsBuildAndRepliesAreAccepted)
{
    const auto rows = loadGolden();
    ASSERT_GE(rows.size(), 20u);
    for (const Golden &g : rows) {
        const auto cmd = std::uint8_t(g.request[2]);
        EXPECT_EQ(buildRequest(cmd, g.request.mid(3)), g.request) << g.name.toStdString();
        EXPECT_EQ(checkResponse(cmd, reinterpret_cast<const std::uint8_t *>(g.reply.constData()), int(g.reply.size())),
                  ResponseCheck::Accepted)
            << g.name.toStdString();
        FrameCollector c;
        int done = 0;
        for (char b : hex("FF00") + g.reply)
            if (c.push(std::uint8_t(b)))
                done = c.stored();
        EXPECT_EQ(done, g.reply.size()) << g.name.toStdString();
    }
}

TEST(GoldenFrames, TheSequenceRunsThroughTheLinkOnBothTransports)
{
    const auto rows = loadGolden();
    for (bool serial : {false, true}) {
        Rig rig;
        if (serial)
            rig.useSerial();
        for (const Golden &g : rows) {
            rig.reader.setModel(g.model);
            const bool expectedResult = quint8(g.reply[3]) != 0x10;
            EXPECT_EQ(rig.link.ExecuteCommand(g.request), expectedResult) << g.name.toStdString();
            EXPECT_EQ(rig.response(), g.reply) << g.name.toStdString() << (serial ? " serial" : " usb");
        }
    }
}
