#pragma once
// The real services the window gives its pages (pages/services.h): message
// boxes and file dialogs, and the tone.

#include "pages/services.h"

#include <QObject>
#include <QPointer>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <functional>

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
    bool confirmTable(const Confirmation &question, const TextTable &table) override;
    void showTable(const QString &caption, const QString &text, const TextTable &table) override;

private:
    QWidget *m_parent;
};

// Where the window looks for its tone player (kv350-tone): beside the
// program, then in the library folder it is installed to. Empty where this
// build has no player (no PulseAudio client library when it was configured).
QStringList tonePlayerDirs();

// A sine tone of the given frequency on the default sound output, played by
// a process of its own (kv350-tone, one for each tone), so that the sound
// system's libraries never enter the window's process. Where the player is
// missing, cannot start or finds no sound output, the system beep stands in
// and the kv350.app.tone log says why, once for each kind of failure. Either
// way the tone's duration is waited out through Pause, so the window keeps
// painting and the CPU idles; nothing ever waits on the player itself.
class ToneSounder final : public QObject, public Sounder {
    Q_OBJECT
public:
    // A player still running this long after its tone should have ended is
    // taken for hung (a sound server that does not answer) and killed.
    static constexpr int HangGraceMs = 3000;

    explicit ToneSounder(Pause &pause, QStringList playerDirs = tonePlayerDirs(), QObject *parent = nullptr);
    // Kills any player still running.
    ~ToneSounder() override;
    void tone(int frequencyHz, int durationMs) override;

    // What stands in for a tone that cannot be played; QApplication::beep unless told.
    void setBeep(std::function<void()> beep) { m_beep = std::move(beep); }
    void setHangGraceMs(int ms) { m_hangGraceMs = ms; }
    // Players started and not yet ended (killed ones until they are reaped).
    int playersRunning() const;

signals:
    // A player process ended (played, failed, or was killed).
    void playerEnded();

private:
    enum class Failure { Missing, NoStart, NoOutput, Hung, Broken };
    QString player();
    void standIn(Failure kind, const QString &reason);
    void ended(QProcess *process, bool started);

    Pause &m_pause;
    QStringList m_playerDirs;
    std::function<void()> m_beep;
    int m_hangGraceMs = HangGraceMs;
    bool m_looked = false;
    QString m_player;
    QPointer<QProcess> m_current;
    unsigned m_said = 0;  // the kinds of failure already reported, a bit each
};

}  // namespace kv350
