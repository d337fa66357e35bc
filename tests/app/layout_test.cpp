// What the fixed window shows, in every language and for every model's tabs:
// nothing squashed below the height it needs, hex boxes wide enough for their
// digits, log lines whole, and the controls with a font of their own keeping it.
#include "i18n/fonts.h"
#include "link/models.h"
#include "pages/controls.h"
#include "sim/core/cardkinds.h"
#include "windowrig.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QFontDatabase>
#include <QLineEdit>
#include <QListWidget>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QTabBar>
#include <QTabWidget>
#include <QToolButton>
#include <gtest/gtest.h>

using namespace kv350;
using namespace kv350::testing;

namespace {

const char *const LanguageNames[] = {"English", "Simplified", "Traditional"};

void choose(TfrmMain &window, int language)
{
    if (language == 0)
        window.mnuEnglishClick();
    else if (language == 1)
        window.mnuSimplifiedClick();
    else
        window.mnuTraditionalClick();
}

// Every page the model shows, made current in turn, laid out as on screen.
template<class F>
void forEachPage(WindowRig &rig, F f)
{
    auto *tabs = rig.find<QTabWidget>("pcMain");
    for (int i = 0; i < tabs->count(); ++i) {
        if (!tabs->isTabVisible(i))
            continue;
        tabs->setCurrentIndex(i);
        QApplication::processEvents();
        f(tabs->widget(i));
    }
}

std::string where(const QWidget *w, int language)
{
    return (w->objectName().isEmpty() ? std::string(w->metaObject()->className()) : w->objectName().toStdString()) +
           " in " + LanguageNames[language];
}

}  // namespace

TEST(Layout, NothingIsSquashedOnAnyPageOfAnyModelInAnyLanguage)
{
    // Each model, and no reader at all (the tabs of the start).
    for (const QString &model : knownModels() + QStringList{"none"}) {
        SCOPED_TRACE(model.toStdString());
        WindowRig rig(model == "none" ? "KV350-MIC" : model.toLatin1().constData());
        if (model == "none")
            rig.hid->unplug();
        rig.show();
        for (int language = 0; language < 3; ++language) {
            choose(*rig.window, language);
            EXPECT_EQ(rig.window->size(), QSize(754, 588));
            // The tabs the model shows fit the bar side by side: no scroll arrows.
            auto *tabs = rig.find<QTabWidget>("pcMain");
            for (QToolButton *arrow : tabs->tabBar()->findChildren<QToolButton *>())
                EXPECT_FALSE(arrow->isVisible()) << "tab scroll arrows in " << LanguageNames[language];
            forEachPage(rig, [&](QWidget *page) {
                for (QWidget *w : page->findChildren<QWidget *>()) {
                    if (!w->isVisible())
                        continue;
                    if (qobject_cast<QAbstractButton *>(w) || qobject_cast<QLineEdit *>(w) ||
                        qobject_cast<QComboBox *>(w)) {
                        EXPECT_GE(w->height(), w->minimumSizeHint().height()) << where(w, language);
                    }
                    // A caption is not cut (a button given a fixed width, ">>", holds its caption and some).
                    if (auto *b = qobject_cast<QAbstractButton *>(w)) {
                        if (b->minimumWidth() == b->maximumWidth()) {
                            EXPECT_LE(b->fontMetrics().horizontalAdvance(b->text()) + 8, b->width())
                                << where(w, language);
                        } else {
                            EXPECT_GE(b->width(), b->minimumSizeHint().width()) << where(w, language);
                        }
                    }
                }
            });
        }
    }
}

TEST(Layout, HexBoxesShowTheirDigitsWhole)
{
    const struct {
        const char *model;
        const char *box;
        int digits;
    } boxes[] = {
        {"KV350-M1", "edM1Write", 32}, {"KV350-M1", "edM1Read", 32}, {"KV350-M1", "edVID2", 4},
        {"KV350-M1", "edPID2", 4},     {"KV350-M1", "edVID", 4},     {"KV350-M1", "edPID", 4},
        {"KV350-M1", "edNWrite", 32},  {"KV350-M1", "edNRead", 32},
    };
    for (const auto &b : boxes) {
        WindowRig rig(b.model);
        rig.show();
        auto *box = rig.find<QLineEdit>(b.box);
        for (int language = 0; language < 3; ++language) {
            choose(*rig.window, language);
            forEachPage(rig, [&](QWidget *page) {
                if (!page->isAncestorOf(box))
                    return;
                EXPECT_GE(box->width(), widgets::hexDigitsWidth(box, b.digits)) << where(box, language);
                // The widest digit, as many as the box takes, inside the rectangle the style draws text in
                // (less QLineEdit's own 2 pixels a side).
                QStyleOptionFrame option;
                option.initFrom(box);
                option.lineWidth = box->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, box);
                const QRect text = box->style()
                                       ->subElementRect(QStyle::SE_LineEditContents, &option, box)
                                       .marginsRemoved(box->textMargins());
                EXPECT_LE(box->fontMetrics().horizontalAdvance(QString(b.digits, QLatin1Char('D'))), text.width() - 4)
                    << where(box, language);
            });
        }
    }
}

TEST(Layout, LoopTestLinesShowWholeInTheList)
{
    WindowRig rig("KV350-M1");
    QString error;
    ASSERT_TRUE(sim::placeCardKind(*rig.reader, "mifare1k", &error)) << error.toStdString();
    rig.show();
    auto *list = rig.find<QListWidget>("lstM1");
    for (int language = 0; language < 3; ++language) {
        choose(*rig.window, language);
        rig.find<QTabWidget>("pcMain")->setCurrentWidget(rig.find<QWidget>("tsMifare"));
        rig.find<QLineEdit>("edM1Num")->setText("1");
        rig.dialogs.yes();  // the loop test asks before it overwrites the blocks
        rig.click("btnM1WR");
        QApplication::processEvents();
        ASSERT_GT(list->count(), 10);
        for (int i = 0; i < list->count(); ++i) {
            const QString line = list->item(i)->text();
            EXPECT_LE(list->fontMetrics().horizontalAdvance(line), list->viewport()->width() - 4)
                << line.toStdString() << " in " << LanguageNames[language];
        }
    }
}

TEST(Layout, ControlsWithTheirOwnFontKeepItInEveryLanguage)
{
    WindowRig rig("KV350-MIC-X");
    rig.show();
    const char *own[] = {"edVID2",    "lblPID2",         "edPID",       "edNAll",    "edM1Num",         "gbblock0",
                         "gbAccKeyB", "chkLFCardTypeEM", "chkHF14443A", "gbEpcBank", "gbAutoEpcLength", "pnChannel",
                         "pnPA",      "lstNAll",         "lstM1"};
    std::map<std::string, QFont> english;
    for (const char *name : own)
        english[name] = rig.find<QWidget>(name)->font();
    const QFont englishWindow = rig.window->font();
    for (int language : {1, 2}) {
        choose(*rig.window, language);
        EXPECT_NE(rig.window->font().family(), englishWindow.family()) << "the window's font follows the language";
        for (const char *name : own) {
            const QFont now = rig.find<QWidget>(name)->font();
            EXPECT_EQ(now.family(), english[name].family()) << name << " in " << LanguageNames[language];
            EXPECT_EQ(now.pointSize(), english[name].pointSize()) << name << " in " << LanguageNames[language];
        }
        EXPECT_EQ(rig.find<QWidget>("btnConnect")->font().family(), rig.window->font().family());
    }
}

TEST(Layout, TheWindowFontIsTheLanguagesOwnUnderEitherNameAndOnlyStandInsAreSmaller)
{
    using i18n::Language;
    using i18n::pickFont;
    const struct {
        Language language;
        QStringList installed;
        const char *family;
        int size;
    } rows[] = {
        {Language::Simplified, {"SimSun", "Noto Sans CJK SC"}, "SimSun", 12},  // listed under its English name
        {Language::Simplified, {"宋体"}, "宋体", 12},
        {Language::Traditional, {"MingLiU", "PMingLiU"}, "MingLiU", 12},  // the font of the table
        {Language::Traditional, {"細明體"}, "細明體", 12},
        {Language::Traditional, {"PMingLiU"}, "PMingLiU", 12},  // its proportional cut
        {Language::Traditional, {"新細明體"}, "新細明體", 12},
        {Language::English, {"Tahoma"}, "Tahoma", 11},
        {Language::Simplified, {"Noto Sans CJK SC"}, "Noto Sans CJK SC", 10},  // stand-ins
        {Language::Traditional, {"Noto Sans CJK TC"}, "Noto Sans CJK TC", 10},
        {Language::English, {"DejaVu Sans"}, "DejaVu Sans", 9},
    };
    for (const auto &r : rows) {
        const i18n::PickedFont picked = pickFont(r.language, r.installed);
        EXPECT_EQ(picked.family, QString::fromUtf8(r.family)) << r.installed.join(", ").toStdString();
        EXPECT_EQ(picked.pointSize, r.size) << r.installed.join(", ").toStdString();
    }

    // The window takes it.
    WindowRig rig;
    rig.show();
    rig.window->mnuTraditionalClick();
    const i18n::PickedFont expected = pickFont(i18n::Language::Traditional, QFontDatabase::families());
    EXPECT_EQ(rig.window->font().family(), expected.family);
    EXPECT_EQ(rig.window->font().pointSize(), expected.pointSize);
}
