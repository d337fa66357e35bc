#pragma once
// The audio output of the report tones, in a module of its own (kv350tone)
// that the window loads on its first tone: Qt Multimedia and the sound
// system's libraries stay out of the process until a tone is played, so the
// window starts without them.

#include <QByteArray>

namespace kv350 {

class AudioOutput {
public:
    virtual ~AudioOutput() = default;
    // Starts playing 16-bit signed mono PCM at the rate on the default output;
    // false where the machine has none, or none that takes the format.
    virtual bool play(const QByteArray &pcm, int sampleRate) = 0;
    virtual void stop() = 0;
};

}  // namespace kv350

// The module's one entry point, looked up by name.
#define KV350_AUDIO_OUTPUT_FACTORY "kv350CreateAudioOutput"
extern "C" {
using Kv350CreateAudioOutput = kv350::AudioOutput *(*)();
}
