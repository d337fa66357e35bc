// The first show: the window is on screen and drawn, in the stored language,
// before the show sequence talks to the reader; a close meanwhile waits.
#include "windowrig.h"

#include <QEvent>
#include <QPushButton>
#include <QWindow>
#include <functional>

using namespace kv350;
using namespace kv350::testing;

namespace {

// Virtual time that tells the test each pass and wait of the program.
struct WatchingPause final : Pause {
    explicit WatchingPause(VirtualTime &time) : m_time(time) {}
    void wait(int ms) override
    {
        if (onWait)
            onWait(ms);
        m_time.wait(ms);
    }
    void processPending() override
    {
        if (onPass)
            onPass();
        m_time.processPending();
    }
    std::function<void(int)> onWait;
    std::function<void()> onPass;

private:
    VirtualTime &m_time;
};

// Counts the paints of one widget and keeps its caption at the first.
struct PaintWatch final : QObject {
    explicit PaintWatch(QPushButton *button) : m_button(button) { button->installEventFilter(this); }
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == m_button && event->type() == QEvent::Paint && paints++ == 0)
            firstCaption = m_button->text();
        return false;
    }
    int paints = 0;
    QString firstCaption;

private:
    QPushButton *m_button;
};

const std::vector<QByteArray> Identification{QByteArray::fromHex("02010D"), QByteArray::fromHex("02010E")};

struct StartRig {
    explicit StartRig(std::optional<QString> storedLanguage = {})
    {
        sim::Identity id;
        id.model = "KV350-MIC";
        reader = std::make_unique<sim::VirtualReader>(id);
        hid = std::make_unique<sim::SimHidDevice>(*reader, time);
        serial = std::make_unique<sim::SimSerialStream>(*reader, time);
        store.m_value = storedLanguage;
        window = std::make_unique<TfrmMain>(WindowServices{*hid, *serial, time, pause, sounder, dialogs, store, ports});
    }
    QPushButton *connectButton() { return window->findChild<QPushButton *>(QStringLiteral("btnConnect")); }
    QString status() { return window->findChild<QLabel *>(QStringLiteral("pnStatus"))->text(); }

    VirtualTime time;
    WatchingPause pause{time};
    std::unique_ptr<sim::VirtualReader> reader;
    std::unique_ptr<sim::SimHidDevice> hid;
    std::unique_ptr<sim::SimSerialStream> serial;
    FakeSounder sounder;
    FakeDialogs dialogs;
    i18n::MemoryLanguageStore store;
    FakePorts ports;
    std::unique_ptr<TfrmMain> window;
};

}  // namespace

TEST(FirstShow, TheWindowIsDrawnBeforeTheShowSequenceTalksToTheReader)
{
    StartRig rig(QStringLiteral("ChineseBIG5"));
    PaintWatch painted(rig.connectButton());
    struct Seen {
        bool exposed;
        int paints;
        std::size_t requests;
        QString status;
    };
    std::vector<Seen> passes;
    rig.pause.onPass = [&] {
        passes.push_back({rig.window->windowHandle() && rig.window->windowHandle()->isExposed(), painted.paints,
                          rig.reader->requests().size(), rig.status()});
    };

    rig.window->show();

    ASSERT_FALSE(passes.empty()) << "the show sequence ran within show()";
    EXPECT_TRUE(passes.front().exposed) << "the platform had the window on screen";
    EXPECT_GE(passes.front().paints, 1) << "and it was drawn";
    EXPECT_EQ(passes.front().requests, 0u) << "before the first request";
    EXPECT_EQ(passes.front().status, "Status") << "the status of the design, not yet the connect's";
    EXPECT_EQ(painted.firstCaption, QString::fromUtf8("連線")) << "the first frame is in the stored language";

    // The sequence itself is the one it always was.
    EXPECT_EQ(rig.reader->requests(), Identification);
    EXPECT_EQ(rig.status(), QString::fromUtf8("[已連線] (KV350-MIC   V1.0) (SN:12345678)"));
    EXPECT_EQ(rig.sounder.tones, std::vector<int>{2730});
    EXPECT_EQ(rig.time.waits(), (std::vector<int>{100, 100})) << "the identification's waits, nothing more";
}

TEST(FirstShow, ACloseDuringTheShowSequenceWaitsForItsEnd)
{
    StartRig rig;
    int closes = 0;
    rig.pause.onWait = [&](int) {
        if (closes++ == 0)
            rig.window->close();  // as the window manager's close button, between request and reply
    };

    rig.window->show();

    EXPECT_EQ(rig.reader->requests(), Identification) << "the identification went on over the open link";
    EXPECT_EQ(rig.status(), "[Connected] (KV350-MIC   V1.0) (SN:12345678)");
    EXPECT_EQ(rig.sounder.tones, std::vector<int>{2730});
    EXPECT_TRUE(rig.window->isHidden()) << "then the window closed";
    EXPECT_FALSE(rig.window->link().Connected());
    EXPECT_FALSE(rig.hid->isOpen());
}

TEST(FirstShow, OnlyTheFirstShowWaitsForTheScreenAndRunsTheSequence)
{
    StartRig rig;
    rig.window->show();
    ASSERT_EQ(rig.reader->requests().size(), 2u);
    rig.window->hide();
    rig.window->show();
    EXPECT_EQ(rig.reader->requests().size(), 2u) << "showing again does not reconnect";
    rig.window->mnuEnglishClick();
    EXPECT_EQ(rig.reader->requests().size(), 4u) << "a language choice runs the whole sequence, as before";
}
