// The three outcome reports: text, flash colour, tone, colour restored.
#include "link/virtualtime.h"
#include "pages/reporting.h"

#include <gtest/gtest.h>

using namespace kv350;

namespace {
struct Event {
    QString what;
    quint32 value;
    int processed;  // how many processPending calls had happened
    bool operator==(const Event &) const = default;
};

struct Recorder : MessagePanel, Sounder {
    VirtualTime *time = nullptr;
    std::vector<Event> events;
    QString text;
    ColourValue colour = 0;
    void setMessage(const QString &t) override
    {
        text = t;
        events.push_back({"text", 0, time->processPendingCount()});
    }
    void setMessageColour(ColourValue c) override
    {
        colour = c;
        events.push_back({"colour", c, time->processPendingCount()});
    }
    void tone(int hz, int ms) override
    {
        events.push_back({"tone", quint32(hz), time->processPendingCount()});
        time->advance(ms);
    }
};
}  // namespace

TEST(Reporting, EachReportPaintsThenSoundsThenRestoresTheColour)
{
    struct Row {
        void (Reporter::*show)();
        const char *text;
        ColourValue flash;
        int hz;
        int processedAtEnd;
    } rows[] = {
        {&Reporter::ShowCommandDone, "Command Done.", ColourYellow, 2730, 1},
        {&Reporter::ShowNoCardOrKeyError, "No Card or Key Error!", ColourYellow, 2730, 1},
        {&Reporter::ShowCommandError, "Command Error!", ColourRed, 300, 2},
    };
    for (const Row &r : rows) {
        VirtualTime time;
        Recorder rec;
        rec.time = &time;
        Reporter reporter(rec, time, rec);
        (reporter.*r.show)();
        const std::vector<Event> expected{
            {"text", 0, 0},
            {"colour", r.flash, 0},
            {"tone", quint32(r.hz), 1},  // painted before the tone
            {"colour", ColourButtonFace, r.processedAtEnd},
        };
        EXPECT_EQ(rec.events, expected) << r.text;
        EXPECT_EQ(rec.text, r.text);
        EXPECT_EQ(time.nowMs(), 500) << "the tone lasts 500 ms";
    }
}

TEST(Reporting, SecondReportLeavesItsTextInTheLanguageChosen)
{
    VirtualTime time;
    Recorder rec;
    rec.time = &time;
    Reporter reporter(rec, time, rec,
                      [](const QString &en) { return en == "Command Error!" ? QString::fromUtf8("指令错误！") : en; });
    reporter.ShowCommandDone();
    reporter.ShowCommandError();
    EXPECT_EQ(rec.text, QString::fromUtf8("指令错误！"));
    EXPECT_EQ(rec.colour, ColourButtonFace);
}
