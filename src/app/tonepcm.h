#pragma once
// The report tone's samples, shared by the tone player (kv350-tone) and the
// tests. Free of Qt: the player links nothing but the sound system's client.

#include <cstdint>
#include <vector>

namespace kv350 {

inline constexpr int ToneSampleRate = 22050;
// What the player accepts; the sounder sends nothing else.
inline constexpr int ToneMinHz = 1;
inline constexpr int ToneMaxHz = 20000;
inline constexpr int ToneMinMs = 1;
inline constexpr int ToneMaxMs = 10000;

// 16-bit signed mono PCM of a sine tone at half scale, with 5 ms of fade in
// and out so that it starts and stops without a click.
std::vector<std::int16_t> sineTonePcm(int frequencyHz, int durationMs, int sampleRate = ToneSampleRate);

}  // namespace kv350
