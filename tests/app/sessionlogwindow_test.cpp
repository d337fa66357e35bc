// The Session Log window through the main window against the virtual reader:
// what a click on a page puts in the log, the keys, Save As, Clear, and the
// session files.
#include "log/sessionlogfile.h"
#include "sim/cards/field.h"
#include "sim/cards/mifareclassic.h"
#include "windowrig.h"

#include <QAction>
#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace kv350;
using namespace kv350::testing;

namespace {

struct LogRig : WindowRig {
    LogRig()
    {
        card = std::make_shared<sim::MifareClassicCard>();
        reader->field().place(card);
        show();
    }
    QWidget *openLog()
    {
        find<QAction>("mnuSessionLog")->trigger();
        return find<QWidget>("frmSessionLog");
    }
    QString logText() { return find<QPlainTextEdit>("moLog")->toPlainText(); }
    std::shared_ptr<sim::MifareClassicCard> card;
};

}  // namespace

TEST(SessionLogWindow, FollowsTheClicksOfThePagesWithKeysMasked)
{
    LogRig rig;
    const QSize size = rig.window->size();
    QWidget *log = rig.openLog();
    ASSERT_TRUE(log);
    EXPECT_TRUE(log->isVisible());
    EXPECT_FALSE(log->isModal());
    EXPECT_TRUE(log->isWindow());
    EXPECT_EQ(rig.window->size(), size) << "the main window stays as it is";
    // The show sequence is there already.
    EXPECT_TRUE(rig.logText().contains("| window: start | identified: serial 12345678, model KV350-MIC, version V1.0"))
        << rig.logText().toStdString();

    rig.find<QLineEdit>("edM1RWKey")->setText("A0A1A2A3A4A5");
    rig.click("btnM1Read");
    const QString last = rig.logText().split('\n').last();
    EXPECT_TRUE(
        last.endsWith("| 12345678 KV350-MIC | MIFARE: Read Card Data | TX 02 0A 15 60 ** ** ** ** ** ** 01 00 | "
                      "RX 02 02 15 01 | status 01: not done"))
        << last.toStdString();
    EXPECT_FALSE(rig.logText().contains("A0 A1"));

    // Key changes on the key page: the trailer's keys are masked too.
    rig.find<QLineEdit>("edM1CardKeyA")->setText("B0B1B2B3B4B5");
    rig.click("btnM1CardKey");
    EXPECT_TRUE(rig.logText().contains("| MIFARE key: Issue MIFARE Card | keys written to the card: sector 1, key A "
                                       "************, access bits FF078069, key B ************ (with key A)"))
        << rig.logText().toStdString();
    EXPECT_EQ(rig.card->block(1, 3).mid(6, 4), QByteArray::fromHex("FF078069"));
    EXPECT_FALSE(rig.logText().contains("B0 B1"));
    EXPECT_FALSE(rig.logText().contains("B0B1"));

    // Log key values: said at the top and in the log; the next frames in clear.
    auto *keys = rig.find<QCheckBox>("chkLogKeys");
    EXPECT_FALSE(keys->isChecked()) << "off at every start";
    EXPECT_FALSE(rig.find<QWidget>("lblLogKeys")->isVisible());
    keys->click();
    EXPECT_TRUE(rig.find<QWidget>("lblLogKeys")->isVisible());
    rig.click("btnM1Read");
    EXPECT_TRUE(rig.logText().contains("Log key values: on; keys from here on are written in clear"));
    EXPECT_TRUE(rig.logText().contains("TX 02 0A 15 60 A0 A1 A2 A3 A4 A5 01 00"));

    // Save As: the header (which says so) and the lines; Clear empties the window.
    QTemporaryDir dir;
    const QString saved = dir.filePath("bench.log");
    rig.dialogs.saveAnswers << saved;
    rig.click("btnLogSaveAs");
    QFile file(saved);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(file.readAll());
    EXPECT_TRUE(text.startsWith("# KV350 session log, kv350tools ")) << text.toStdString();
    EXPECT_TRUE(text.contains("# Log key values is on: the keys in this log are in clear."));
    EXPECT_TRUE(text.endsWith(rig.logText().split('\n').last() + "\n"));
    rig.click("btnLogClear");
    EXPECT_EQ(rig.logText(), "");
    rig.click("btnM1UID");
    EXPECT_EQ(rig.logText().count('\n'), 0) << rig.logText().toStdString();
    EXPECT_TRUE(rig.logText().contains("| MIFARE: UID | TX 02 01 11 | RX 02 06 11 00 11 22 33 44 | done"));
}

TEST(SessionLogWindow, EachSessionIsAFileAndTheNewestFiftyAreKept)
{
    QTemporaryDir dir;
    const QDateTime old(QDate(2020, 1, 1), QTime(0, 0));
    for (int i = 0; i < 55; ++i) {
        QFile f(dir.filePath(sessionFileName(old.addSecs(i))));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    LogRig rig;  // shown: the show sequence ran before the file was chosen
    rig.window->keepSessionLogIn(dir.path());
    rig.click("btnM1UID");
    const QStringList files = sessionFiles(dir.path());
    ASSERT_EQ(files.size(), KeptSessionFiles);
    EXPECT_EQ(files.back(), sessionFileName(old.addSecs(6)));
    QFile file(dir.filePath(files.front()));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(file.readAll());
    EXPECT_TRUE(text.startsWith("# KV350 session log")) << text.toStdString();
    EXPECT_TRUE(text.contains("identified: serial 12345678")) << "what came before the file, first";
    EXPECT_TRUE(text.contains("| MIFARE: UID | TX 02 01 11 |"));

    rig.openLog();
    EXPECT_TRUE(rig.find<QLabel>("lblLogFolder")->text().contains(dir.path()));

    // A folder that cannot be made: the window says so, the log goes on.
    QFile blocker(dir.filePath("taken"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    rig.window->keepSessionLogIn(dir.filePath("taken/logs"));
    EXPECT_TRUE(rig.find<QLabel>("lblLogFolder")->text().startsWith("Each session is kept only in this window"))
        << rig.find<QLabel>("lblLogFolder")->text().toStdString();
}
