// kv350-tone HZ MS: plays the report tone on the default sound output through
// PulseAudio's simple API (PipeWire serves the same protocol) and exits. The
// window starts it for each tone, so that the sound system's libraries never
// enter the window's process.
//
// Exit status: 0 played to the end; 2 bad arguments; 3 no sound output to
// play on (no server, refused, the stream failed), said on stderr.

#include "tonepcm.h"

#include <pulse/error.h>
#include <pulse/sample.h>
#include <pulse/simple.h>

#include <charconv>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <optional>

namespace {

constexpr int ExitPlayed = 0;
constexpr int ExitUsage = 2;
constexpr int ExitNoOutput = 3;

// A decimal number within [low, high], and nothing else: no sign, no
// spaces, no suffix.
std::optional<int> wholeNumber(const char *text, int low, int high)
{
    const char *end = text + std::strlen(text);
    if (text == end || *text < '0' || *text > '9')
        return std::nullopt;
    int value = 0;
    const auto [stop, error] = std::from_chars(text, end, value);
    if (error != std::errc() || stop != end || value < low || value > high)
        return std::nullopt;
    return value;
}

int noOutput(const char *what, int error)
{
    std::fprintf(stderr, "kv350-tone: no sound output to play on: %s: %s\n", what, pa_strerror(error));
    return ExitNoOutput;
}

}  // namespace

int main(int argc, char **argv)
{
    const std::optional<int> hz = argc == 3 ? wholeNumber(argv[1], kv350::ToneMinHz, kv350::ToneMaxHz) : std::nullopt;
    const std::optional<int> ms = argc == 3 ? wholeNumber(argv[2], kv350::ToneMinMs, kv350::ToneMaxMs) : std::nullopt;
    if (!hz || !ms) {
        std::fprintf(stderr, "usage: kv350-tone HZ MS (HZ %d to %d, MS %d to %d)\n", kv350::ToneMinHz, kv350::ToneMaxHz,
                     kv350::ToneMinMs, kv350::ToneMaxMs);
        return ExitUsage;
    }
    // A server that goes away mid-tone is an error to report, not a signal to die of.
    std::signal(SIGPIPE, SIG_IGN);

    const std::vector<std::int16_t> pcm = kv350::sineTonePcm(*hz, *ms);
    pa_sample_spec format{};
    format.format = PA_SAMPLE_S16NE;
    format.rate = kv350::ToneSampleRate;
    format.channels = 1;
    // A short buffer: the server starts playing after 50 ms of samples, so the
    // tone begins with the report it goes with, not after the default 2 s buffer.
    pa_buffer_attr buffer{};
    buffer.maxlength = std::uint32_t(-1);
    buffer.tlength = std::uint32_t(pa_usec_to_bytes(50 * 1000, &format));
    buffer.prebuf = std::uint32_t(-1);
    buffer.minreq = std::uint32_t(-1);
    buffer.fragsize = std::uint32_t(-1);

    int error = 0;
    // The names a desktop's volume control shows.
    pa_simple *stream = pa_simple_new(nullptr, "KV350 Tools", PA_STREAM_PLAYBACK, nullptr, "Report tone", &format,
                                      nullptr, &buffer, &error);
    if (!stream)
        return noOutput("cannot open a stream", error);
    int status = ExitPlayed;
    if (pa_simple_write(stream, pcm.data(), pcm.size() * sizeof(std::int16_t), &error) < 0)
        status = noOutput("the stream failed", error);
    // Played to the end before exiting, so the tone is not cut.
    else if (pa_simple_drain(stream, &error) < 0)
        status = noOutput("the stream failed", error);
    pa_simple_free(stream);
    return status;
}
