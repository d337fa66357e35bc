#pragma once
// The real services the window gives its pages (pages/services.h): message
// boxes and file dialogs, and the tone.

#include "pages/services.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <memory>

class QWidget;

namespace kv350 {

class QtDialogs final : public Dialogs {
public:
    explicit QtDialogs(QWidget *parent = nullptr) : m_parent(parent) {}
    void setParent(QWidget *parent) { m_parent = parent; }
    void message(const QString &caption, const QString &text) override;
    bool confirm(const Confirmation &question) override;
    QString openFile(const QString &caption, const QString &filter) override;
    QString saveFile(const QString &caption, const QString &filter) override;

private:
    QWidget *m_parent;
};

class AudioOutput;

// Where the window looks for its audio module (kv350tone): beside the
// program, then in the library folder it is installed to.
QStringList audioModuleDirs();

// A sine tone of the given frequency on the default audio output; where the
// machine has none (or it cannot be opened, or the audio module is missing),
// the system beep. Either way the tone's duration is waited out through
// Pause, so the window keeps painting and the CPU idles. The audio module is
// loaded on the first tone, not at start.
class ToneSounder final : public Sounder {
public:
    static constexpr int SampleRate = 22050;

    explicit ToneSounder(Pause &pause, QStringList moduleDirs = audioModuleDirs());
    ~ToneSounder() override;
    void tone(int frequencyHz, int durationMs) override;
    // Whether the audio module has been loaded (it is tried once, on the first tone).
    bool audioLoaded() const { return m_output != nullptr; }

private:
    AudioOutput *output();

    Pause &m_pause;
    QStringList m_moduleDirs;
    bool m_tried = false;
    std::unique_ptr<AudioOutput> m_output;
};

// 16-bit signed mono PCM of a sine tone, with a few milliseconds of fade in and
// out so that it starts and stops without a click.
QByteArray sineTonePcm(int frequencyHz, int durationMs, int sampleRate);

}  // namespace kv350
