#include "services.h"

#include "audiooutput.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QLibrary>
#include <QLoggingCategory>
#include <QMessageBox>
#include <QPushButton>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>

Q_LOGGING_CATEGORY(lcTone, "kv350.app.tone", QtWarningMsg)

namespace kv350 {

void QtDialogs::message(const QString &caption, const QString &text)
{
    QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::Ok, m_parent);
    box.exec();
}

bool QtDialogs::confirm(const Confirmation &question)
{
    QMessageBox box(QMessageBox::Warning, question.caption, question.text, QMessageBox::NoButton, m_parent);
    QAbstractButton *yes = box.addButton(question.yes, QMessageBox::YesRole);
    QPushButton *no = box.addButton(question.no, QMessageBox::NoRole);
    box.setDefaultButton(no);
    box.setEscapeButton(no);
    box.exec();
    return box.clickedButton() == yes;
}

QString QtDialogs::openFile(const QString &caption, const QString &filter)
{
    return QFileDialog::getOpenFileName(m_parent, caption, QString(), filter);
}

QString QtDialogs::saveFile(const QString &caption, const QString &filter)
{
    return QFileDialog::getSaveFileName(m_parent, caption, QString(), filter);
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

QStringList audioModuleDirs()
{
    const QString here = QCoreApplication::applicationDirPath();
    return {here, QDir::cleanPath(here + QStringLiteral("/" KV350_AUDIO_MODULE_FROM_BIN))};
}

ToneSounder::ToneSounder(Pause &pause, QStringList moduleDirs) : m_pause(pause), m_moduleDirs(std::move(moduleDirs)) {}

ToneSounder::~ToneSounder() = default;

AudioOutput *ToneSounder::output()
{
    if (m_tried)
        return m_output.get();
    m_tried = true;
    QStringList failures;
    for (const QString &dir : m_moduleDirs) {
        // Never unloaded: the output it made lives as long as this sounder.
        QLibrary module(dir + QStringLiteral("/kv350tone"));
        if (!module.load()) {
            failures.append(module.errorString());
            continue;
        }
        const auto create = reinterpret_cast<Kv350CreateAudioOutput>(module.resolve(KV350_AUDIO_OUTPUT_FACTORY));
        if (create) {
            m_output.reset(create());
            return m_output.get();
        }
        failures.append(module.errorString());
    }
    qCWarning(lcTone).noquote() << "no audio module; the system beep stands in for the tones:"
                                << failures.join(QStringLiteral("; "));
    return nullptr;
}

void ToneSounder::tone(int frequencyHz, int durationMs)
{
    AudioOutput *out = frequencyHz > 0 ? output() : nullptr;
    if (!out || !out->play(sineTonePcm(frequencyHz, durationMs, SampleRate), SampleRate)) {
        QApplication::beep();
        m_pause.wait(durationMs);
        return;
    }
    m_pause.wait(durationMs);
    out->stop();
}

}  // namespace kv350
