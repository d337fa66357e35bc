#include "services.h"

#include <QApplication>
#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QBuffer>
#include <QFileDialog>
#include <QMediaDevices>
#include <QMessageBox>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>

namespace kv350 {

void QtDialogs::message(const QString &caption, const QString &text)
{
    QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::Ok, m_parent);
    box.exec();
}

QString QtDialogs::openFile(const QString &caption, const QString &filter)
{
    return QFileDialog::getOpenFileName(m_parent, caption, QString(), filter);
}

QByteArray sineTonePcm(int frequencyHz, int durationMs, int sampleRate)
{
    const int samples = std::max(0, int(std::int64_t(sampleRate) * durationMs / 1000));
    const int fade = std::min(samples / 2, sampleRate / 200);  // 5 ms
    QByteArray pcm(samples * int(sizeof(std::int16_t)), Qt::Uninitialized);
    auto *out = reinterpret_cast<std::int16_t *>(pcm.data());
    const double step = 2.0 * std::numbers::pi * frequencyHz / sampleRate;
    for (int i = 0; i < samples; ++i) {
        double gain = 0.5;
        if (i < fade)
            gain *= double(i) / fade;
        else if (i >= samples - fade)
            gain *= double(samples - 1 - i) / fade;
        out[i] = std::int16_t(std::lround(gain * 32767.0 * std::sin(step * i)));
    }
    return pcm;
}

void ToneSounder::tone(int frequencyHz, int durationMs)
{
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    QAudioFormat format;
    format.setSampleRate(22050);
    format.setChannelCount(1);
    format.setSampleFormat(QAudioFormat::Int16);
    if (device.isNull() || !device.isFormatSupported(format) || frequencyHz <= 0) {
        QApplication::beep();
        m_pause.wait(durationMs);
        return;
    }
    QBuffer buffer;
    buffer.setData(sineTonePcm(frequencyHz, durationMs, format.sampleRate()));
    buffer.open(QIODevice::ReadOnly);
    QAudioSink sink(device, format);
    sink.start(&buffer);
    if (sink.error() != QAudio::NoError)
        QApplication::beep();
    m_pause.wait(durationMs);
    sink.stop();
}

}  // namespace kv350
