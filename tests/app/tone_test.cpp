// The tone the real sounder plays: its length, loudness and pitch.
#include "app/services.h"

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
