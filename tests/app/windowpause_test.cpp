// The window's pause draws what the program changed on every call, also
// when calls follow each other within a frame (a report right after its
// transaction: the text is on screen before the tone).
#include "link/pause.h"
#include "link/virtualtime.h"

#include <QLabel>
#include <gtest/gtest.h>

using namespace kv350;

namespace {

struct CountingLabel final : QLabel {
    int paints = 0;
    void paintEvent(QPaintEvent *event) override
    {
        ++paints;
        QLabel::paintEvent(event);
    }
};

}  // namespace

TEST(WindowPause, EveryCallDrawsWhatChanged)
{
    VirtualTime clock;
    EventLoopPause pause(clock);
    CountingLabel label;
    label.setText(QStringLiteral("Command Done."));
    label.show();
    pause.processPending();  // the whole pass: the window system shows the label
    ASSERT_GE(label.paints, 1);

    for (const char *text : {"Command Error!", "No Card or Key Error!", ""}) {
        const int before = label.paints;
        label.setText(QString::fromLatin1(text));
        pause.processPending();
        EXPECT_EQ(label.paints, before + 1) << text;
    }
    label.setStyleSheet(QStringLiteral("background: yellow"));
    const int before = label.paints;
    pause.processPending();
    EXPECT_GT(label.paints, before) << "a colour flash as well";
}
