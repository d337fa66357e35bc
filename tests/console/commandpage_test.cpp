// The Command page against the virtual reader, offscreen and in virtual time.
#include "console/commandpage.h"
#include "console/requesttext.h"
#include "link/frame.h"
#include "readerlinkrig.h"
#include "sim/cards/field.h"
#include "sim/cards/mifareclassic.h"

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

using namespace kv350;
using namespace kv350::console;

namespace {

struct Panel : MessagePanel, Sounder {
    QString message;
    ColourValue colour = 0;
    std::vector<int> tones;
    void setMessage(const QString &t) override { message = t; }
    void setMessageColour(ColourValue c) override { colour = c; }
    void tone(int hz, int) override { tones.push_back(hz); }
};

// The Command page asks only before a sector trailer that fixes something
// for good; the answer is Yes while `yes` says so, else No (the box's default).
struct NoDialogs : Dialogs {
    QStringList shown, asked;
    bool yes = false;
    void message(const QString &, const QString &text) override { shown << text; }
    bool confirm(const Confirmation &question) override
    {
        asked << question.text;
        return yes;
    }
    QString openFile(const QString &, const QString &) override { return {}; }
    QString saveFile(const QString &, const QString &) override { return {}; }
};

// Forwards the link's mirror to the page, as the main window does.
struct Mirror : LinkObserver {
    CommandPage *page = nullptr;
    void requestShown(const RequestFields &f) override { page->showRequest(f); }
    void responseShown(const ResponseFields &f) override { page->showResponse(f); }
};

struct PageRig : VirtualReaderLink {
    Panel panel;
    Reporter reporter{panel, time, panel};
    i18n::Localizer language;
    NoDialogs dialogs;
    PageContext context{link, reporter, time, language, dialogs};
    CommandPage page{context};
    Mirror mirror;

    PageRig()
    {
        mirror.page = &page;
        link.setObserver(&mirror);
        reporter.setTextLookup(language.textLookup());
    }
    QString text(const char *name) { return page.findChild<QLineEdit *>(name)->text(); }
    QLineEdit *edit(const char *name) { return page.findChild<QLineEdit *>(name); }
    QComboBox *samples() { return page.findChild<QComboBox *>("cmbRequest"); }
    void click(const char *name) { QTest::mouseClick(page.findChild<QPushButton *>(name), Qt::LeftButton); }
};

// Typing as a keyboard does it, any character (QTest's key clicks take ASCII only).
void type(QLineEdit *edit, const QString &text)
{
    for (QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QApplication::sendEvent(edit, &press);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QApplication::sendEvent(edit, &release);
    }
}

}  // namespace

TEST(CommandPage, StartsWithTheDesignedFieldsAndNoSampleChosen)
{
    PageRig rig;
    EXPECT_EQ(rig.text("edRequestSTX"), "02");
    EXPECT_EQ(rig.text("edRequestCMD"), "02");
    EXPECT_EQ(rig.text("edRequestDATA"), "02 ");
    EXPECT_EQ(rig.text("edRequest"), "02 03 02 02 ");
    EXPECT_EQ(rig.text("edResponseSTA"), "__");
    EXPECT_EQ(rig.edit("edRequestCMD")->maxLength(), 2);
    EXPECT_EQ(rig.edit("edRequestDATA")->maxLength(), 180);
    EXPECT_EQ(rig.edit("edConvAscii")->maxLength(), 60);
    EXPECT_EQ(rig.edit("edRequestAscii")->maxLength(), MaxAsciiRequest);
    EXPECT_TRUE(rig.edit("edRequest")->isReadOnly());
    ASSERT_EQ(rig.samples()->count(), 9);
    EXPECT_EQ(rig.samples()->currentIndex(), -1);
    EXPECT_EQ(rig.samples()->placeholderText(), "Select Request Sample List");
    EXPECT_EQ(rig.samples()->itemText(5), "[0D] Get S/N");
}

TEST(CommandPage, TypingRebuildsTheRequest)
{
    PageRig rig;
    rig.edit("edRequestCMD")->clear();
    QTest::keyClicks(rig.edit("edRequestCMD"), "0C");
    rig.edit("edRequestDATA")->clear();
    QTest::keyClicks(rig.edit("edRequestDATA"), "01 02 03");
    EXPECT_EQ(rig.text("edRequestLEN"), "04");
    EXPECT_EQ(rig.text("edRequest"), "02 04 0C 01 02 03 ");

    rig.edit("edRequestAscii")->clear();
    QTest::keyClicks(rig.edit("edRequestAscii"), "A");
    EXPECT_EQ(rig.text("edRequestCMD"), "00");
    EXPECT_EQ(rig.text("edRequest"), "02 06 00 01 41 34 30 0D ");

    // Typing on past the limit: the field stops, and the frame keeps its check digits and CR.
    QTest::keyClicks(rig.edit("edRequestAscii"), QString(90, QLatin1Char('B')));
    EXPECT_EQ(rig.text("edRequestAscii").size(), MaxAsciiRequest);
    EXPECT_TRUE(rig.text("edRequestDATA").endsWith("0D "));
    EXPECT_TRUE(rig.text("edRequest").startsWith("02 3D 00 01 41 42 "));
    EXPECT_TRUE(rig.text("edRequest").endsWith("0D "));

    QTest::keyClicks(rig.edit("edConvAscii"), "Hi");
    EXPECT_EQ(rig.text("edConvHex"), "48 69 ");
}

TEST(CommandPage, PickingASampleLoadsItWithoutSending)
{
    PageRig rig;
    rig.samples()->setCurrentIndex(5);
    emit rig.samples()->activated(5);
    EXPECT_EQ(rig.text("edRequest"), "02 01 0D ");
    EXPECT_EQ(rig.text("edRequestLEN"), "01");
    EXPECT_TRUE(rig.reader.requests().empty());

    // Typing into the list is discarded.
    QTest::keyClick(rig.samples(), Qt::Key_Down);
    QTest::keyClicks(rig.samples(), "[0E");
    EXPECT_EQ(rig.samples()->currentIndex(), 5);

    rig.page.pageEntered();
    EXPECT_EQ(rig.samples()->currentIndex(), 0);
    EXPECT_EQ(rig.text("edRequest"), "02 02 01 01");
}

TEST(CommandPage, SendReportsTheTransactionAndMirrorsTheReply)
{
    PageRig rig;
    rig.samples()->setCurrentIndex(2);  // [03][01] Get USB Mode
    emit rig.samples()->activated(2);
    rig.click("btnRequestSend");
    EXPECT_EQ(rig.reader.requests().back(), QByteArray::fromHex("02020301"));
    EXPECT_EQ(rig.text("edResponse"), "02 04 03 00 01 01 ");
    EXPECT_EQ(rig.text("edResponseDATA"), "01 01 ");
    EXPECT_EQ(rig.text("edResponseAscii"), "..");
    EXPECT_EQ(rig.panel.message, "Command Done.");

    // STA is not judged here: a failure status still counts as done, the user reads STA.
    rig.click("btnReadCard");
    EXPECT_EQ(rig.reader.requests().back(), QByteArray::fromHex("02020101"));
    EXPECT_EQ(rig.text("edResponseSTA"), "01");
    EXPECT_EQ(rig.panel.message, "Command Done.");

    // No reply: "Command Error!" and the response fields stay cleared.
    rig.reader.faults().queue(sim::Fault::noReply());
    rig.click("btnRequestSend");
    EXPECT_EQ(rig.panel.message, "Command Error!");
    EXPECT_EQ(rig.text("edResponseSTA"), "__");
    EXPECT_EQ(rig.panel.tones.back(), 300);
}

TEST(CommandPage, CaptionsAndSamplesFollowTheLanguage)
{
    PageRig rig;
    rig.language.setLanguage(i18n::Language::Traditional);
    rig.page.applyLanguage();
    EXPECT_EQ(rig.page.findChild<QPushButton *>("btnReadCard")->text(), QString::fromUtf8("讀卡"));
    EXPECT_EQ(rig.samples()->itemText(5), QString::fromUtf8("[0D] 讀取序號"));
    EXPECT_EQ(rig.samples()->currentIndex(), -1);
    rig.click("btnReadCard");
    EXPECT_EQ(rig.panel.message, QString::fromUtf8("指令完成。"));

    rig.language.setLanguage(i18n::Language::Simplified);
    rig.page.applyLanguage();
    EXPECT_EQ(rig.samples()->itemText(5), QString::fromUtf8("[0D] 读取序号"));
}

TEST(CommandPage, ACharacterWithoutAOneByteCodeIsNotTakenAndTheUserIsTold)
{
    PageRig rig;
    type(rig.edit("edConvAscii"), QString::fromUtf8("é中x"));
    EXPECT_EQ(rig.text("edConvAscii"), QString::fromUtf8("éx"));
    EXPECT_EQ(rig.text("edConvHex"), "E9 78 ") << "one byte a character, as the module request sends them";
    EXPECT_EQ(rig.panel.message, "That character has no one-byte code (Latin-1) and was not taken.");
    EXPECT_EQ(rig.panel.tones, std::vector<int>{300});

    rig.panel.tones.clear();
    type(rig.edit("edRequestAscii"), QString::fromUtf8("é€"));
    EXPECT_EQ(rig.text("edRequestAscii"), QString::fromUtf8("é"));
    EXPECT_EQ(rig.text("edRequest"), "02 06 00 01 E9 45 38 0D ") << "not the euro sign sent as '?'";
    EXPECT_EQ(rig.panel.tones, std::vector<int>{300});

    // Pasted in the middle: the rest is taken, the cursor stays after what was pasted.
    QLineEdit *conv = rig.edit("edConvAscii");
    conv->setCursorPosition(1);
    conv->insert(QString::fromUtf8("中ab"));
    EXPECT_EQ(conv->text(), QString::fromUtf8("éabx"));
    EXPECT_EQ(conv->cursorPosition(), 3);
    EXPECT_EQ(rig.text("edConvHex"), "E9 61 62 78 ");
}

TEST(CommandPage, DataShowsALongFrameWholeAndTypingStaysWithinTheLimit)
{
    PageRig rig;
    // 0C write of 80 bytes of user data: an 86-byte frame, 249 characters of DATA.
    const QByteArray frame = buildRequest(0x0C, QByteArray::fromHex("000050") + QByteArray(80, '\x5A'));
    ASSERT_EQ(frame.size(), 86);
    ASSERT_TRUE(rig.link.ExecuteCommand(frame));
    const QString data = frameText(frame).mid(9);
    ASSERT_EQ(data.size(), 249);
    EXPECT_EQ(rig.text("edRequestDATA"), data) << "not cut at the typing limit of 180";

    // Typing does not make it longer; once shorter than 180 the limit is 180 again.
    QLineEdit *edit = rig.edit("edRequestDATA");
    edit->end(false);
    QTest::keyClicks(edit, "11");
    EXPECT_EQ(rig.text("edRequestDATA"), data);
    edit->selectAll();
    QTest::keyClicks(edit, "01 ");
    QTest::keyClicks(edit, QString(200, QLatin1Char('2')));
    EXPECT_EQ(rig.text("edRequestDATA").size(), 180);

    // A short frame afterwards: the box is back at its limit.
    ASSERT_TRUE(rig.link.ExecuteCommand(QByteArray::fromHex("02020304")));
    EXPECT_EQ(rig.edit("edRequestDATA")->maxLength(), 180);
}

TEST(CommandPage, RequestGroupHasItsHexLabel)
{
    PageRig rig;
    QStringList labels;
    for (const QLabel *l : rig.page.findChild<QWidget *>("gbRequest")->findChildren<QLabel *>())
        labels << l->text();
    EXPECT_TRUE(labels.contains("(Hex)")) << labels.join(" | ").toStdString();
    for (const char *fixed : {"STX", "LEN", "CMD", "{ DATA }"})
        EXPECT_TRUE(labels.contains(fixed)) << fixed;
}

TEST(CommandPage, ABlockWriteToATrailerGoesThroughTheTrailerGuard)
{
    PageRig rig;
    auto card = std::make_shared<sim::MifareClassicCard>();
    rig.reader.field().place(card);
    const QByteArray before = card->block(1, 3);
    const auto send = [&rig](const char *frame) {
        rig.reader.clearRequests();
        rig.edit("edRequestCMD")->clear();
        QTest::keyClicks(rig.edit("edRequestCMD"), "16");
        rig.edit("edRequestDATA")->clear();
        QTest::keyClicks(rig.edit("edRequestDATA"), frame);
        rig.click("btnRequestSend");
    };
    // 28 bytes, typed key, access bytes FF FF FF: refused with the reason, nothing sent.
    send("60 FF FF FF FF FF FF 01 03 FF FF FF FF FF FF FF FF FF 69 FF FF FF FF FF FF");
    EXPECT_EQ(rig.text("edRequest"),
              "02 1A 16 60 FF FF FF FF FF FF 01 03 FF FF FF FF FF FF FF FF FF 69 FF FF FF FF FF FF ");
    EXPECT_EQ(rig.panel.message, "Command Error!");
    ASSERT_EQ(rig.dialogs.shown.size(), 1);
    EXPECT_TRUE(rig.dialogs.shown[0].contains("Access bytes FFFFFF are not a valid encoding"));
    EXPECT_TRUE(rig.reader.requests().empty());

    // 22 bytes, stored key, trailer row 000: asked; No sends nothing.
    send("60 01 03 FF FF FF FF FF FF FF 0F 00 69 FF FF FF FF FF FF");
    ASSERT_EQ(rig.dialogs.asked.size(), 1);
    EXPECT_TRUE(rig.dialogs.asked[0].contains("The access conditions of sector 1 can never be changed again."));
    EXPECT_TRUE(rig.reader.requests().empty());
    EXPECT_EQ(rig.panel.message, "Cancelled: nothing was sent to the reader.");
    EXPECT_EQ(card->block(1, 3), before);

    // Yes sends it as typed.
    rig.dialogs.yes = true;
    send("60 FF FF FF FF FF FF 01 03 FF FF FF FF FF FF FF 0F 00 69 FF FF FF FF FF FF");
    EXPECT_EQ(rig.dialogs.asked.size(), 2);
    ASSERT_FALSE(rig.reader.requests().empty());
    EXPECT_EQ(rig.reader.requests().back(),
              QByteArray::fromHex("021A1660FFFFFFFFFFFF0103FFFFFFFFFFFFFF0F0069FFFFFFFFFFFF"));
    EXPECT_EQ(card->block(1, 3).mid(6, 3), QByteArray::fromHex("FF0F00"));

    // A data block, or any other frame, goes as typed without a word.
    send("60 FF FF FF FF FF FF 01 01 00 11 22 33 44 55 66 77 88 99 AA BB CC DD EE FF");
    EXPECT_EQ(rig.dialogs.asked.size(), 2);
    EXPECT_EQ(card->block(1, 1), QByteArray::fromHex("00112233445566778899AABBCCDDEEFF"));
}
