// The File menu's reader profiles through the window, against the virtual
// reader: save, change in the window, apply back with every setting verified.
#include "common/protocol.h"
#include "windowrig.h"

#include <QAction>
#include <QComboBox>
#include <QScrollBar>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace kv350;
using namespace kv350::testing;

namespace {

void trigger(WindowRig &rig, const char *action)
{
    rig.find<QAction>(action)->trigger();
}

std::vector<QByteArray> parameterWrites(const sim::VirtualReader &reader)
{
    std::vector<QByteArray> writes;
    for (const QByteArray &r : reader.requests())
        if (r.size() > 4 && std::uint8_t(r[2]) == proto::CmdParameter)
            writes.push_back(r.toHex(' '));
    return writes;
}

}  // namespace

TEST(ProfileMenu, SaveChangeApplyBackEverySettingVerified)
{
    WindowRig rig("KV350-MIC");
    rig.show();
    QTemporaryDir dir;
    const QString path = dir.filePath("mic.json");

    rig.dialogs.saveAnswers << path;
    trigger(rig, "mnuSaveSettings");
    ASSERT_TRUE(QFile::exists(path)) << rig.message().toStdString();
    EXPECT_EQ(rig.message(), "Saved 10 settings to mic.json.");

    // Changed in the window: the scan time and the keyboard layout.
    rig.find<QScrollBar>("sbScanTime")->setValue(30);
    rig.click("btnScanTime");
    rig.reader->parameters().set(proto::ParKeyboardLayout, QByteArray::fromHex("0200"));
    ASSERT_EQ(rig.reader->parameters().value(proto::ParScanTime), QByteArray::fromHex("1E"));

    // Compare: the table names both, nothing is written.
    rig.reader->clearRequests();
    rig.dialogs.answers << path;
    trigger(rig, "mnuCompareSettings");
    ASSERT_EQ(rig.dialogs.tables.size(), 1u);
    EXPECT_EQ(rig.message(), "2 of 10 settings differ from the file.");
    int differ = 0;
    for (const QStringList &row : rig.dialogs.tables[0].rows)
        differ += row.value(3) == "differs" ? 1 : 0;
    EXPECT_EQ(differ, 2);
    EXPECT_TRUE(parameterWrites(*rig.reader).empty()) << "a comparison writes nothing";

    // Apply, answered No: nothing written.
    rig.dialogs.answers << path;
    rig.dialogs.no();
    trigger(rig, "mnuApplySettings");
    ASSERT_EQ(rig.dialogs.tables.size(), 2u);
    const TextTable &question = rig.dialogs.tables[1];
    ASSERT_EQ(question.rows.size(), 2);
    EXPECT_EQ(question.rows[0], (QStringList{"scanTime", "300", "50"}));
    EXPECT_EQ(question.rows[1], (QStringList{"keyboardLayout", "\"FRENCH\"", "\"ENGLISH\""}));
    EXPECT_EQ(rig.message(), "Cancelled: nothing was sent to the reader.");
    EXPECT_EQ(rig.reader->parameters().value(proto::ParScanTime), QByteArray::fromHex("1E"));

    // Apply, answered Yes: the two written and read back, the page shows the reader's values.
    rig.reader->clearRequests();
    rig.dialogs.answers << path;
    rig.dialogs.yes();
    trigger(rig, "mnuApplySettings");
    EXPECT_EQ(rig.reader->parameters().value(proto::ParScanTime), QByteArray::fromHex("05"));
    EXPECT_EQ(rig.reader->parameters().value(proto::ParKeyboardLayout), QByteArray::fromHex("0000"));
    const TextTable &result = rig.dialogs.tables.back();
    ASSERT_EQ(result.rows.size(), 2);
    EXPECT_EQ(result.rows[0].value(3), "ok");
    EXPECT_EQ(result.rows[1].value(3), "ok");
    EXPECT_EQ(rig.message(), "Every setting was written and verified by reading it back.");
    EXPECT_EQ(rig.find<QScrollBar>("sbScanTime")->value(), 5);
    EXPECT_EQ(rig.find<QComboBox>("cmbLayout")->currentIndex(), 0);
    const std::vector<QByteArray> frames = parameterWrites(*rig.reader);
    EXPECT_EQ(std::count(frames.begin(), frames.end(), QByteArray("02 03 03 04 05")), 1)
        << "one write of the scan time";
    EXPECT_EQ(std::count(frames.begin(), frames.end(), QByteArray("02 04 03 07 00 00")), 1);
}

TEST(ProfileMenu, ARefusedFileOrAReadBackThatDiffersIsShown)
{
    WindowRig rig("KV350-M1");
    rig.show();
    QTemporaryDir dir;
    QFile bad(dir.filePath("bad.json"));
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
    bad.write(R"({"format": "kv350-profile", "version": 1, "settings": {"lfCardTypes": ["em"]}})");
    bad.close();
    rig.reader->clearRequests();
    rig.dialogs.answers << bad.fileName();
    trigger(rig, "mnuApplySettings");
    ASSERT_FALSE(rig.dialogs.shown.empty());
    EXPECT_TRUE(rig.dialogs.shown.back().second.contains("lfCardTypes: a KV350-M1 has no such setting"))
        << rig.dialogs.shown.back().second.toStdString();
    EXPECT_TRUE(parameterWrites(*rig.reader).empty());
    EXPECT_TRUE(rig.dialogs.asked.empty()) << "no question before a refusal";

    QFile clamp(dir.filePath("clamp.json"));
    ASSERT_TRUE(clamp.open(QIODevice::WriteOnly));
    clamp.write(R"({"format": "kv350-profile", "version": 1, "settings": {"sameCardTime": 9000}})");
    clamp.close();
    rig.reader->setAcceptFilter(proto::ParSameCardTime,
                                [](const QByteArray &, const QByteArray &) { return QByteArray::fromHex("32"); });
    rig.dialogs.answers << clamp.fileName();
    rig.dialogs.yes();
    trigger(rig, "mnuApplySettings");
    const TextTable &result = rig.dialogs.tables.back();
    ASSERT_EQ(result.rows.size(), 1);
    EXPECT_EQ(result.rows[0].value(1), "5000") << "what the reader holds now";
    EXPECT_TRUE(result.rows[0].value(3).startsWith("differs: read back 5000 after writing 9000"))
        << result.rows[0].value(3).toStdString();
    EXPECT_EQ(rig.message(), "Some settings do not hold the file's value; see the table.");
    EXPECT_EQ(rig.find<QScrollBar>("sbSameCard")->value(), 50);
}

TEST(ProfileMenu, MenuTextsInEveryLanguage)
{
    WindowRig rig("KV350-MIC");
    rig.show();
    rig.find<QAction>("mnuSimplified")->trigger();
    EXPECT_EQ(rig.find<QAction>("mnuApplySettings")->text(), QString::fromUtf8("套用设定档(&A)..."));
    rig.find<QAction>("mnuTraditional")->trigger();
    EXPECT_EQ(rig.find<QAction>("mnuSaveSettings")->text(), QString::fromUtf8("儲存讀卡機設定(&S)..."));
    rig.find<QAction>("mnuEnglish")->trigger();
    EXPECT_EQ(rig.find<QAction>("mnuCompareSettings")->text(), "&Compare With Settings File...");
}
