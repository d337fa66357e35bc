// The tone the real sounder plays: its length, loudness and pitch; its audio
// module, loaded on the first tone.
#include "app/services.h"
#include "link/virtualtime.h"

#include <QFile>
#include <cstdint>
#include <cstdlib>
#include <gtest/gtest.h>

using namespace kv350;

TEST(TonePcm, HoldsTheDurationAtThePitchWithoutAClick)
{
    const QByteArray pcm = sineTonePcm(2730, 500, 22050);
    ASSERT_EQ(pcm.size(), 11025 * 2) << "half a second of 16-bit mono";
    const auto *s = reinterpret_cast<const std::int16_t *>(pcm.constData());
    const int n = pcm.size() / 2;
    EXPECT_EQ(s[0], 0) << "fades in from silence";
    EXPECT_LE(std::abs(s[n - 1]), 1) << "and out to it";
    int peak = 0, rising = 0;
    for (int i = 1; i < n; ++i) {
        peak = std::max(peak, std::abs(int(s[i])));
        if (s[i - 1] < 0 && s[i] >= 0)
            ++rising;
    }
    EXPECT_GT(peak, 15000);
    EXPECT_LE(peak, 16384) << "half scale: loud enough, not clipping";
    EXPECT_NEAR(rising, 2730 / 2, 3) << "one rising zero crossing per period";

    EXPECT_EQ(sineTonePcm(300, 500, 22050).size(), pcm.size());
    EXPECT_TRUE(sineTonePcm(300, 0, 22050).isEmpty());
}

namespace {

bool multimediaInProcess()
{
    QFile maps(QStringLiteral("/proc/self/maps"));
    return maps.open(QIODevice::ReadOnly) && maps.readAll().contains("libQt6Multimedia");
}

// Counts the warnings of the tone's logging category.
int toneWarnings = 0;
QtMessageHandler previousHandler = nullptr;
void countToneWarnings(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    if (context.category && QByteArray(context.category) == "kv350.app.tone" && type == QtWarningMsg)
        ++toneWarnings;
    else if (previousHandler)
        previousHandler(type, context, text);
}

}  // namespace

TEST(ToneSounder, TheAudioModuleComesWithTheFirstTone)
{
#ifdef Q_OS_LINUX
    EXPECT_FALSE(multimediaInProcess()) << "the window's code does not bring Qt Multimedia along";
#endif
    VirtualTime time;
    ToneSounder sounder(time, {QStringLiteral(KV350_AUDIO_MODULE_DIR)});
    EXPECT_FALSE(sounder.audioLoaded());
    sounder.tone(0, 500);
    EXPECT_FALSE(sounder.audioLoaded()) << "a silent tone loads nothing";
#ifdef Q_OS_LINUX
    EXPECT_FALSE(multimediaInProcess());
#endif
    sounder.tone(2730, 500);
    EXPECT_TRUE(sounder.audioLoaded());
#ifdef Q_OS_LINUX
    EXPECT_TRUE(multimediaInProcess());
#endif
    // With or without a sound card here, the tone lasts its time and no more.
    EXPECT_EQ(time.waits(), (std::vector<int>{500, 500}));
}

TEST(ToneSounder, WithoutTheModuleTheBeepStandsInAndItIsSaidOnce)
{
    VirtualTime time;
    ToneSounder sounder(time, {QStringLiteral("/nonexistent/kv350")});
    toneWarnings = 0;
    previousHandler = qInstallMessageHandler(countToneWarnings);
    sounder.tone(2730, 500);
    sounder.tone(300, 500);
    qInstallMessageHandler(previousHandler);
    EXPECT_FALSE(sounder.audioLoaded());
    EXPECT_EQ(toneWarnings, 1) << "looked for once, reported once";
    EXPECT_EQ(time.waits(), (std::vector<int>{500, 500}));
}
