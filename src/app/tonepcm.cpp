#include "tonepcm.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace kv350 {

std::vector<std::int16_t> sineTonePcm(int frequencyHz, int durationMs, int sampleRate)
{
    const auto samples = std::size_t(std::max<std::int64_t>(0, std::int64_t(sampleRate) * durationMs / 1000));
    const std::size_t fade = std::min<std::size_t>(samples / 2, std::size_t(std::max(0, sampleRate / 200)));  // 5 ms
    std::vector<std::int16_t> pcm(samples);
    const double step = 2.0 * std::numbers::pi * frequencyHz / sampleRate;
    for (std::size_t i = 0; i < samples; ++i) {
        double gain = 0.5;
        if (i < fade)
            gain *= double(i) / double(fade);
        else if (i >= samples - fade)
            gain *= double(samples - 1 - i) / double(fade);
        pcm[i] = std::int16_t(std::lround(gain * 32767.0 * std::sin(step * double(i))));
    }
    return pcm;
}

}  // namespace kv350
