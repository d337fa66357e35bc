// The kv350tone module: the report tones through Qt Multimedia.
#include "audiooutput.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QBuffer>
#include <QMediaDevices>
#include <memory>

namespace kv350 {
namespace {

class QtAudioOutput final : public AudioOutput {
public:
    bool play(const QByteArray &pcm, int sampleRate) override
    {
        stop();
        const QAudioDevice device = QMediaDevices::defaultAudioOutput();
        QAudioFormat format;
        format.setSampleRate(sampleRate);
        format.setChannelCount(1);
        format.setSampleFormat(QAudioFormat::Int16);
        if (device.isNull() || !device.isFormatSupported(format))
            return false;
        m_buffer.setData(pcm);
        m_buffer.open(QIODevice::ReadOnly);
        m_sink = std::make_unique<QAudioSink>(device, format);
        m_sink->start(&m_buffer);
        if (m_sink->error() != QAudio::NoError) {
            stop();
            return false;
        }
        return true;
    }

    void stop() override
    {
        if (m_sink)
            m_sink->stop();
        m_sink.reset();
        m_buffer.close();
    }

    ~QtAudioOutput() override { stop(); }

private:
    QBuffer m_buffer;
    std::unique_ptr<QAudioSink> m_sink;
};

}  // namespace
}  // namespace kv350

extern "C" Q_DECL_EXPORT kv350::AudioOutput *kv350CreateAudioOutput()
{
    return new kv350::QtAudioOutput;
}
