// Pages made on their first view: the program's window makes the first page
// with the window and each other one when its tab is first shown. Whatever
// the user did before, a page made late must show what it would have shown
// had it been made with the window: the same scenario runs in a window of
// each kind and the pages are compared control by control.
#include "windowrig.h"

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <functional>
#include <gtest/gtest.h>

using namespace kv350;
using namespace kv350::testing;

namespace {

const char *const PageNames[] = {"tsCommon", "tsAuto",  "tsNTAG",  "tsMifare",  "tsMifareKey", "tsISO15693",
                                 "tsLF",     "tsOvtra", "tsK7704", "tsCommand", "tsFirmware"};

// What the user sees of each named control of a page: kind, text, value,
// shown, enabled and font.
QStringList pageState(QWidget *page)
{
    QStringList state;
    for (QWidget *w : page->findChildren<QWidget *>()) {
        if (w->objectName().isEmpty() || w->objectName().startsWith(QLatin1String("qt_")))
            continue;
        QString what = w->objectName() + QLatin1Char(' ') + QLatin1String(w->metaObject()->className());
        if (auto *b = qobject_cast<QAbstractButton *>(w))
            what += QStringLiteral(" text=%1 checked=%2").arg(b->text()).arg(b->isChecked());
        else if (auto *l = qobject_cast<QLabel *>(w))
            what += QStringLiteral(" text=") + l->text();
        else if (auto *e = qobject_cast<QLineEdit *>(w))
            what += QStringLiteral(" text=%1 max=%2").arg(e->text()).arg(e->maxLength());
        else if (auto *c = qobject_cast<QComboBox *>(w)) {
            what += QStringLiteral(" current=%1 items=").arg(c->currentIndex());
            for (int i = 0; i < c->count(); ++i)
                what += c->itemText(i) + QLatin1Char('|');
        } else if (auto *g = qobject_cast<QGroupBox *>(w))
            what += QStringLiteral(" title=") + g->title();
        else if (auto *s = qobject_cast<QAbstractSpinBox *>(w))
            what += QStringLiteral(" text=") + s->text();
        else if (auto *m = qobject_cast<QPlainTextEdit *>(w))
            what += QStringLiteral(" text=") + m->toPlainText();
        what += QStringLiteral(" hidden=%1 enabled=%2 font=%3/%4")
                    .arg(w->isHidden())
                    .arg(w->isEnabled())
                    .arg(w->font().family())
                    .arg(w->font().pointSize());
        state.append(what);
    }
    return state;
}

struct TwoWindows {
    explicit TwoWindows(const char *model = "KV350-MIC", std::optional<QString> language = {})
        : withWindow(model, language, PageCreation::WithWindow), onFirstView(model, language, PageCreation::OnFirstView)
    {
    }
    // Runs a step of the scenario in both windows.
    void both(const std::function<void(WindowRig &)> &step)
    {
        step(withWindow);
        step(onFirstView);
    }
    // Shows the page in both windows and compares it, with the tab bar.
    void showAndCompare(const char *name)
    {
        both([name](WindowRig &rig) {
            QTabWidget *tabs = rig.find<QTabWidget>("pcMain");
            const int index = int(std::find_if(std::begin(PageNames), std::end(PageNames),
                                               [name](const char *n) { return QLatin1String(n) == name; }) -
                                  std::begin(PageNames));
            tabs->setCurrentIndex(index);
        });
        QWidget *made = onFirstView.window->findChild<QWidget *>(QLatin1String(name));
        ASSERT_NE(made, nullptr) << name << " is made when its tab is shown";
        EXPECT_EQ(pageState(made), pageState(withWindow.find(name))) << name;
        EXPECT_EQ(tabBar(onFirstView), tabBar(withWindow));
        EXPECT_EQ(made->size(), withWindow.find(name)->size()) << name << " fills its tab as before";
    }
    static QStringList tabBar(WindowRig &rig)
    {
        QStringList tabs;
        QTabWidget *t = rig.find<QTabWidget>("pcMain");
        for (int i = 0; i < t->count(); ++i)
            tabs.append(QStringLiteral("%1 %2 %3").arg(t->tabText(i)).arg(t->isTabVisible(i)).arg(t->isTabEnabled(i)));
        tabs.append(QString::number(t->currentIndex()));
        return tabs;
    }
    WindowRig withWindow, onFirstView;
};

int madePages(WindowRig &rig)
{
    int made = 0;
    for (const char *name : PageNames)
        made += rig.window->findChild<QWidget *>(QLatin1String(name)) != nullptr;
    return made;
}

}  // namespace

TEST(PagesOnFirstView, OnlyTheFirstPageIsMadeUntilATabIsShown)
{
    WindowRig rig("KV350-MIC", {}, PageCreation::OnFirstView);
    rig.show();
    EXPECT_EQ(rig.status(), "[Connected] (KV350-MIC   V1.0) (SN:12345678)");
    EXPECT_EQ(madePages(rig), 1);
    EXPECT_NE(rig.window->findChild<QWidget *>("tsCommon"), nullptr);
    EXPECT_EQ(rig.find<QComboBox>("cmbFormat")->currentText(), "16H") << "the model's format item on the first page";
    QTabWidget *tabs = rig.find<QTabWidget>("pcMain");
    EXPECT_EQ(tabs->count(), 11);
    tabs->setCurrentIndex(3);
    EXPECT_EQ(madePages(rig), 2);
    EXPECT_NE(rig.window->findChild<QWidget *>("tsMifare"), nullptr);
    tabs->setCurrentIndex(0);
    tabs->setCurrentIndex(3);
    EXPECT_EQ(rig.window->findChildren<QWidget *>("tsMifare").size(), 1) << "made once";
}

TEST(PagesOnFirstView, EveryPageShowsWhatItWouldHaveShownInEveryLanguage)
{
    for (const char *language : {"English", "ChineseGB", "ChineseBIG5"}) {
        SCOPED_TRACE(language);
        TwoWindows w("KV350-MIC-X", QString::fromLatin1(language));
        w.both([](WindowRig &rig) { rig.show(); });
        for (const char *page : PageNames)
            if (w.withWindow.tabVisible(page))
                w.showAndCompare(page);
    }
}

TEST(PagesOnFirstView, APageMadeAfterALanguageChangeOrAFactoryDefaultShowsThem)
{
    TwoWindows w;
    w.both([](WindowRig &rig) { rig.show(); });
    w.showAndCompare("tsMifare");
    // Another language: the page already made changes with the window, the
    // ones made later are made in it.
    w.both([](WindowRig &rig) { rig.window->mnuTraditionalClick(); });
    w.showAndCompare("tsMifare");
    w.showAndCompare("tsNTAG");
    // The factory default sets the settings' controls of every page back.
    w.both([](WindowRig &rig) {
        rig.dialogs.yes();
        rig.click("btnFactory");
    });
    ASSERT_EQ(w.onFirstView.lastRequest(), w.withWindow.lastRequest());
    w.showAndCompare("tsAuto");
    w.showAndCompare("tsLF");
}

TEST(PagesOnFirstView, TheCommandPageShowsTheFramesSentBeforeItWasMade)
{
    TwoWindows w("KV350-LF-X");
    w.both([](WindowRig &rig) { rig.show(); });
    w.both([](WindowRig &rig) { rig.click("btnGetUsbMode"); });
    ASSERT_FALSE(w.onFirstView.window->findChild<QWidget *>("tsCommand"));
    // Made by the program's own move: no page-change step loads a sample over the frames.
    w.both([](WindowRig &rig) {
        QTabWidget *tabs = rig.find<QTabWidget>("pcMain");
        const QSignalBlocker quiet(tabs);
        tabs->setCurrentIndex(9);
    });
    w.both([](WindowRig &rig) { rig.window->pcMainChange(9); });
    QWidget *made = w.onFirstView.window->findChild<QWidget *>("tsCommand");
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(pageState(made), pageState(w.withWindow.find("tsCommand")));
    EXPECT_FALSE(w.onFirstView.find<QLineEdit>("edResponseCMD")->text().isEmpty());
    EXPECT_FALSE(w.onFirstView.find<QLineEdit>("edRequestAscii")->isHidden()) << "the KV350-LF-X's ASCII box";
}

TEST(PagesOnFirstView, ATabTheModelHidesMovesToAPageThatIsMade)
{
    WindowRig rig("KV350-U1", {}, PageCreation::OnFirstView);
    rig.show();
    QTabWidget *tabs = rig.find<QTabWidget>("pcMain");
    tabs->setCurrentIndex(8);  // EPC/eTag
    ASSERT_NE(rig.window->findChild<QWidget *>("tsK7704"), nullptr);
    ASSERT_EQ(rig.window->findChild<QWidget *>("tsCommand"), nullptr);
    rig.reader->setModel("KV350-M1");
    rig.click("btnConnect");
    ASSERT_FALSE(tabs->isTabVisible(8));
    // Qt moved on to the Command page, never shown before: it is there, not an empty tab.
    ASSERT_EQ(tabs->currentIndex(), 9);
    QWidget *command = rig.window->findChild<QWidget *>("tsCommand");
    ASSERT_NE(command, nullptr);
    EXPECT_EQ(command->parentWidget(), tabs->currentWidget());
    EXPECT_EQ(tabs->currentWidget()->layout()->count(), 1);
}

TEST(PagesOnFirstView, AButtonOfAPageMadeLaterNamesItselfInTheSessionLog)
{
    WindowRig rig("KV350-MIC", {}, PageCreation::OnFirstView);
    rig.show();
    rig.find<QTabWidget>("pcMain")->setCurrentIndex(9);
    rig.window->sessionLog().setOrigin(QString());
    rig.click("btnRequestSend");
    const QStringList lines = rig.window->sessionLog().lines();
    ASSERT_FALSE(lines.isEmpty());
    EXPECT_TRUE(lines.last().contains(QStringLiteral("Command Test: ")) ||
                lines[lines.size() - 2].contains(QStringLiteral("Command Test: ")))
        << lines.join(QLatin1Char('\n')).toStdString();
}

TEST(PagesOnFirstView, AWindowWhoseRadioPageWasNeverMadeClosesAndTakesArrivals)
{
    WindowRig rig("KV350-MIC", {}, PageCreation::OnFirstView);
    rig.hid->unplug();
    rig.show();
    ASSERT_EQ(rig.status(), "Disconnected");
    ASSERT_EQ(rig.window->findChild<QWidget *>("tsOvtra"), nullptr);
    rig.hid->plug();
    rig.window->usbDeviceArrived(proto::DefaultVid, proto::DefaultPid);
    EXPECT_TRUE(rig.window->link().Connected()) << "an arrival is acted on while nothing runs";
    rig.window->close();
    EXPECT_FALSE(rig.window->isVisible());
    EXPECT_FALSE(rig.window->link().Connected());
}
