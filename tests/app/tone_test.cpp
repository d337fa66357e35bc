// The report tone: its samples, the sounder that starts a player process for
// each tone, and the player (kv350-tone) itself. Nothing here reaches a
// sound card: the sounder's tests use fake players, and the real player is
// only ever pointed at a sound server that is not there or does not answer.
#include "app/services.h"
#include "app/tonepcm.h"
#include "link/virtualtime.h"

#include <QDir>
#include <QFile>
#include <QFileSystemWatcher>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <gtest/gtest.h>
#include <memory>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

using namespace kv350;

TEST(TonePcm, HoldsTheDurationAtThePitchWithoutAClick)
{
    const std::vector<std::int16_t> s = sineTonePcm(2730, 500, 22050);
    ASSERT_EQ(s.size(), 11025u) << "half a second of mono samples";
    const int n = int(s.size());
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
    // 5 ms of fade: still below full loudness 4 ms in.
    int early = 0;
    for (int i = 0; i < 22050 * 4 / 1000; ++i)
        early = std::max(early, std::abs(int(s[i])));
    EXPECT_LT(early, 16384 * 9 / 10);

    EXPECT_EQ(sineTonePcm(300, 500, 22050).size(), s.size());
    EXPECT_EQ(sineTonePcm(300, 500).size(), s.size()) << "22050 Hz unless told";
    EXPECT_TRUE(sineTonePcm(300, 0, 22050).empty());
    EXPECT_TRUE(sineTonePcm(300, -5, 22050).empty());
}

TEST(TonePcm, AToneShorterThanItsFadesStillStartsAndEndsSilent)
{
    // 1 ms: 22 samples, shorter than the two 5 ms fades together.
    const std::vector<std::int16_t> s = sineTonePcm(20000, 1, 22050);
    ASSERT_EQ(s.size(), 22u);
    EXPECT_EQ(s.front(), 0);
    EXPECT_EQ(s.back(), 0);
    for (std::int16_t v : s)
        EXPECT_LE(std::abs(int(v)), 16384);
    // The longest tone the player takes: no overflow in the sample count.
    EXPECT_EQ(sineTonePcm(ToneMaxHz, ToneMaxMs, 22050).size(), 220500u);
}

namespace {

// Warnings of the tone's logging category, and the last one's text.
int toneWarningCount = 0;
QString lastToneWarning;
QtMessageHandler toneOtherHandler = nullptr;
void collectToneWarnings(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    if (context.category && QByteArray(context.category) == "kv350.app.tone" && type == QtWarningMsg) {
        ++toneWarningCount;
        lastToneWarning = text;
    } else if (toneOtherHandler) {
        toneOtherHandler(type, context, text);
    }
}

class ToneWarnings {
public:
    ToneWarnings()
    {
        toneWarningCount = 0;
        lastToneWarning.clear();
        toneOtherHandler = qInstallMessageHandler(collectToneWarnings);
    }
    ~ToneWarnings() { qInstallMessageHandler(toneOtherHandler); }
    int count() const { return toneWarningCount; }
    QString last() const { return lastToneWarning; }
};

bool toneLibraryMapped(const QByteArray &name)
{
    QFile maps(QStringLiteral("/proc/self/maps"));
    return maps.open(QIODevice::ReadOnly) && maps.readAll().contains(name);
}

// A fake player: a shell script named kv350-tone in a folder of its own.
// $DIR in the body is that folder.
class FakeTonePlayer {
public:
    explicit FakeTonePlayer(const QByteArray &body)
    {
        QFile script(path());
        EXPECT_TRUE(script.open(QIODevice::WriteOnly));
        script.write("#!/bin/sh\nDIR='" + m_dir.path().toUtf8() + "'\n" + body + "\n");
        script.close();
        script.setPermissions(script.permissions() | QFileDevice::ExeOwner | QFileDevice::ExeUser);
    }
    QString dir() const { return m_dir.path(); }
    QString path() const { return m_dir.filePath(QStringLiteral("kv350-tone")); }
    QByteArray read(const QString &name) const
    {
        QFile f(m_dir.filePath(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    // Waits, without polling, until the player has written the file.
    bool waitForFile(const QString &name) const
    {
        const QString file = m_dir.filePath(name);
        QFileSystemWatcher watcher({m_dir.path()});
        QSignalSpy changed(&watcher, &QFileSystemWatcher::directoryChanged);
        while (!QFile::exists(file))
            if (!changed.wait(5000))
                return QFile::exists(file);
        return true;
    }

private:
    QTemporaryDir m_dir;
};

// Waits until `count` players have ended in all.
bool tonePlayersEnded(QSignalSpy &ended, int count)
{
    while (ended.count() < count)
        if (!ended.wait(5000))
            return false;
    return true;
}

bool toneProcessGone(qint64 pid)
{
    return ::kill(pid_t(pid), 0) == -1 && errno == ESRCH;
}

}  // namespace

TEST(ToneSounder, StartsThePlayerWithTheToneAndWaitsItsDurationInVirtualTime)
{
    FakeTonePlayer fake("echo \"$@\" >> \"$DIR/args\"");
    VirtualTime time;
    ToneWarnings warnings;
    int beeps = 0;
    {
        ToneSounder sounder(time, {QStringLiteral("/nonexistent/kv350"), fake.dir()});
        sounder.setBeep([&beeps] { ++beeps; });
        QSignalSpy ended(&sounder, &ToneSounder::playerEnded);
        sounder.tone(2730, 500);
        ASSERT_TRUE(tonePlayersEnded(ended, 1));
        sounder.tone(300, 500);
        ASSERT_TRUE(tonePlayersEnded(ended, 2));
        sounder.tone(0, 500);  // no tone: the beep, and no player
        EXPECT_EQ(sounder.playersRunning(), 0);
    }
    EXPECT_EQ(fake.read(QStringLiteral("args")), QByteArray("2730 500\n300 500\n"));
    EXPECT_EQ(time.waits(), (std::vector<int>{500, 500, 500}));
    EXPECT_EQ(beeps, 1) << "only the silent tone beeps";
    EXPECT_EQ(warnings.count(), 0);
}

TEST(ToneSounder, WhatThePlayerDoesNotTakeIsABeepWithoutAPlayer)
{
    FakeTonePlayer fake("echo \"$@\" >> \"$DIR/args\"");
    VirtualTime time;
    ToneWarnings warnings;
    int beeps = 0;
    ToneSounder sounder(time, {fake.dir()});
    sounder.setBeep([&beeps] { ++beeps; });
    sounder.tone(-1, 100);
    sounder.tone(ToneMaxHz + 1, 100);
    sounder.tone(2730, 0);
    sounder.tone(2730, ToneMaxMs + 1);
    EXPECT_EQ(sounder.playersRunning(), 0);
    EXPECT_EQ(beeps, 4);
    EXPECT_EQ(time.waits(), (std::vector<int>{100, 100, 0, ToneMaxMs + 1}));
    EXPECT_FALSE(QFile::exists(fake.dir() + QStringLiteral("/args")));
    EXPECT_EQ(warnings.count(), 0) << "nothing is wrong with the player";
}

TEST(ToneSounder, ANewToneKillsThePlayerStillRunningAndNonePileUp)
{
    // A player that would play for half a minute, and says who it is (the
    // file appears whole, by a rename, so that it is never read half written).
    FakeTonePlayer fake("echo $$ > \"$DIR/.pid.$1\" && mv \"$DIR/.pid.$1\" \"$DIR/pid.$1\"\nexec sleep 30");
    VirtualTime time;
    ToneWarnings warnings;
    int beeps = 0;
    qint64 lastPid = 0;
    {
        ToneSounder sounder(time, {fake.dir()});
        sounder.setBeep([&beeps] { ++beeps; });
        QSignalSpy ended(&sounder, &ToneSounder::playerEnded);
        sounder.tone(1000, 500);
        ASSERT_TRUE(fake.waitForFile(QStringLiteral("pid.1000")));
        const qint64 firstPid = fake.read(QStringLiteral("pid.1000")).trimmed().toLongLong();
        ASSERT_GT(firstPid, 0);
        sounder.tone(2000, 500);
        ASSERT_TRUE(tonePlayersEnded(ended, 1)) << "the first player was not stopped";
        EXPECT_TRUE(toneProcessGone(firstPid));
        EXPECT_EQ(sounder.playersRunning(), 1);

        // Tones in quick succession: each stops the one before.
        for (int hz = 3001; hz <= 3005; ++hz)
            sounder.tone(hz, 500);
        ASSERT_TRUE(tonePlayersEnded(ended, 6));
        EXPECT_EQ(sounder.playersRunning(), 1) << "only the last tone's player runs";
        ASSERT_TRUE(fake.waitForFile(QStringLiteral("pid.3005")));
        lastPid = fake.read(QStringLiteral("pid.3005")).trimmed().toLongLong();
        ASSERT_GT(lastPid, 0);
        EXPECT_FALSE(toneProcessGone(lastPid));
    }
    EXPECT_TRUE(toneProcessGone(lastPid)) << "the player outlived the sounder";
    EXPECT_EQ(beeps, 0) << "a tone cut short by the next one is no failure";
    EXPECT_EQ(warnings.count(), 0);
    EXPECT_EQ(time.waits(), std::vector<int>(7, 500));
}

TEST(ToneSounder, APlayerThatHangsIsKilledAndSaidOnce)
{
    FakeTonePlayer fake("exec sleep 30");
    VirtualTime time;
    ToneWarnings warnings;
    int beeps = 0;
    ToneSounder sounder(time, {fake.dir()});
    sounder.setBeep([&beeps] { ++beeps; });
    sounder.setHangGraceMs(100);
    QSignalSpy ended(&sounder, &ToneSounder::playerEnded);
    sounder.tone(2730, 50);
    EXPECT_EQ(sounder.playersRunning(), 1) << "nothing waited on the player";
    ASSERT_TRUE(tonePlayersEnded(ended, 1)) << "the hung player was left running";
    sounder.tone(2730, 50);
    ASSERT_TRUE(tonePlayersEnded(ended, 2));
    EXPECT_EQ(sounder.playersRunning(), 0);
    EXPECT_EQ(warnings.count(), 1);
    EXPECT_TRUE(warnings.last().contains(QStringLiteral("killed"))) << qPrintable(warnings.last());
    EXPECT_EQ(beeps, 0) << "the tone's time is over: no late beep";
}

TEST(ToneSounder, NoSoundOutputMeansTheBeepForEveryToneAndOneWarning)
{
    FakeTonePlayer fake("echo 'kv350-tone: no sound output to play on: Connection refused' >&2\nexit 3");
    VirtualTime time;
    ToneWarnings warnings;
    int beeps = 0;
    ToneSounder sounder(time, {fake.dir()});
    sounder.setBeep([&beeps] { ++beeps; });
    QSignalSpy ended(&sounder, &ToneSounder::playerEnded);
    for (int i = 1; i <= 4; ++i) {
        sounder.tone(i % 2 ? 2730 : 300, 500);
        ASSERT_TRUE(tonePlayersEnded(ended, i));
    }
    EXPECT_EQ(beeps, 4);
    EXPECT_EQ(warnings.count(), 1);
    EXPECT_TRUE(warnings.last().contains(QStringLiteral("Connection refused")))
        << "the player's reason is passed on: " << qPrintable(warnings.last());
    EXPECT_EQ(time.waits(), std::vector<int>(4, 500));
}

TEST(ToneSounder, AMissingPlayerMeansTheBeepForEveryToneAndOneWarning)
{
    QTemporaryDir empty;
    // A file of that name that cannot be run is no player either.
    QFile notAProgram(empty.filePath(QStringLiteral("kv350-tone")));
    ASSERT_TRUE(notAProgram.open(QIODevice::WriteOnly));
    notAProgram.close();
    notAProgram.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    VirtualTime time;
    ToneWarnings warnings;
    int beeps = 0;
    ToneSounder sounder(time, {QStringLiteral("/nonexistent/kv350"), empty.path()});
    sounder.setBeep([&beeps] { ++beeps; });
    sounder.tone(2730, 500);
    sounder.tone(300, 500);
    sounder.tone(2730, 500);
    EXPECT_EQ(beeps, 3);
    EXPECT_EQ(warnings.count(), 1) << "looked for once, reported once";
    EXPECT_TRUE(warnings.last().contains(empty.path())) << "says where it looked: " << qPrintable(warnings.last());
    EXPECT_EQ(time.waits(), std::vector<int>(3, 500));
}

TEST(ToneSounder, APlayerThatCannotStartOrBreaksIsStoodInForByTheBeep)
{
    VirtualTime time;
    ToneWarnings warnings;
    int beeps = 0;
    {
        FakeTonePlayer unstartable("");
        // Executable, but its interpreter is not there: the start fails.
        QFile script(unstartable.path());
        ASSERT_TRUE(script.open(QIODevice::WriteOnly));
        script.write("#!/nonexistent/sh\n");
        script.close();
        ToneSounder sounder(time, {unstartable.dir()});
        sounder.setBeep([&beeps] { ++beeps; });
        QSignalSpy ended(&sounder, &ToneSounder::playerEnded);
        sounder.tone(2730, 500);
        ASSERT_TRUE(tonePlayersEnded(ended, 1));
        sounder.tone(2730, 500);
        ASSERT_TRUE(tonePlayersEnded(ended, 2));
    }
    EXPECT_EQ(beeps, 2);
    EXPECT_EQ(warnings.count(), 1);
    {
        FakeTonePlayer crashing("kill -SEGV $$");
        ToneSounder sounder(time, {crashing.dir()});
        sounder.setBeep([&beeps] { ++beeps; });
        QSignalSpy ended(&sounder, &ToneSounder::playerEnded);
        sounder.tone(2730, 500);
        ASSERT_TRUE(tonePlayersEnded(ended, 1));
    }
    EXPECT_EQ(beeps, 3);
    EXPECT_EQ(warnings.count(), 2);
    EXPECT_TRUE(warnings.last().contains(QStringLiteral("crashed"))) << qPrintable(warnings.last());
}

TEST(ToneSounder, ABuildWithoutAPlayerBeepsWithoutComplaint)
{
    VirtualTime time;
    ToneWarnings warnings;
    int beeps = 0;
    ToneSounder sounder(time, {});
    sounder.setBeep([&beeps] { ++beeps; });
    sounder.tone(2730, 500);
    EXPECT_EQ(beeps, 1);
    EXPECT_EQ(warnings.count(), 0);
    EXPECT_EQ(time.waits(), std::vector<int>{500});
}

#ifdef KV350_TONE_PLAYER_DIR

namespace {

// The player's environment with no sound server to reach; HOME too, so that
// the sound system's client reads and writes none of the user's files.
QProcessEnvironment toneNoServerEnvironment(const QString &emptyDir, const QString &server)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("PULSE_SERVER"), server);
    env.insert(QStringLiteral("PULSE_RUNTIME_PATH"), emptyDir);
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), emptyDir);
    env.insert(QStringLiteral("HOME"), emptyDir);
    return env;
}

const QString tonePlayerPath = QStringLiteral(KV350_TONE_PLAYER_DIR "/kv350-tone");

// A listening Unix socket where a sound server's would be: it sees whether a
// player reaches for it, and says nothing unless told to hang up.
class ToneFakeServer {
public:
    explicit ToneFakeServer(const QString &path) : m_path(path)
    {
        m_fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const QByteArray name = QFile::encodeName(path);
        EXPECT_LT(size_t(name.size()), sizeof(address.sun_path));
        std::copy(name.begin(), name.end(), address.sun_path);
        m_listening = m_fd >= 0 && ::bind(m_fd, reinterpret_cast<sockaddr *>(&address), sizeof(address)) == 0 &&
                      ::listen(m_fd, 4) == 0;
    }
    ~ToneFakeServer()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    bool listening() const { return m_listening; }
    QString address() const { return QStringLiteral("unix:") + m_path; }
    // Whether a client is waiting to be accepted, within the time.
    bool reached(int timeoutMs) const
    {
        pollfd p{m_fd, POLLIN, 0};
        return ::poll(&p, 1, timeoutMs) == 1;
    }
    // Accepts the waiting client and closes the connection at once.
    bool hangUp()
    {
        const int client = ::accept(m_fd, nullptr, nullptr);
        return client >= 0 && ::close(client) == 0;
    }

private:
    QString m_path;
    int m_fd = -1;
    bool m_listening = false;
};

// Sets the test's own environment for the players a sounder starts, and
// restores it afterwards.
class ToneEnvironment {
public:
    explicit ToneEnvironment(const QProcessEnvironment &env)
    {
        for (const QString &name : {QStringLiteral("PULSE_SERVER"), QStringLiteral("PULSE_RUNTIME_PATH"),
                                    QStringLiteral("XDG_RUNTIME_DIR"), QStringLiteral("HOME")}) {
            m_saved.append({name, qgetenv(name.toLocal8Bit()), qEnvironmentVariableIsSet(name.toLocal8Bit())});
            qputenv(name.toLocal8Bit(), env.value(name).toLocal8Bit());
        }
    }
    ~ToneEnvironment()
    {
        for (const Saved &s : m_saved)
            s.set ? qputenv(s.name.toLocal8Bit(), s.value) : qunsetenv(s.name.toLocal8Bit());
    }

private:
    struct Saved {
        QString name;
        QByteArray value;
        bool set;
    };
    QList<Saved> m_saved;
};

}  // namespace

TEST(TonePlayer, BadArgumentsExitTwoWithNothingPlayed)
{
    QTemporaryDir empty;
    // A sound server that would notice any attempt to play.
    ToneFakeServer server(empty.filePath(QStringLiteral("server")));
    ASSERT_TRUE(server.listening());
    const QList<QStringList> bad = {
        {},
        {QStringLiteral("2730")},
        {QStringLiteral("2730"), QStringLiteral("500"), QStringLiteral("1")},
        {QStringLiteral("0"), QStringLiteral("500")},
        {QStringLiteral("20001"), QStringLiteral("500")},
        {QStringLiteral("2730"), QStringLiteral("0")},
        {QStringLiteral("2730"), QStringLiteral("10001")},
        {QStringLiteral("-300"), QStringLiteral("500")},
        {QStringLiteral("+300"), QStringLiteral("500")},
        {QStringLiteral(" 300"), QStringLiteral("500")},
        {QStringLiteral("300"), QStringLiteral("500ms")},
        {QStringLiteral("0x10"), QStringLiteral("500")},
        {QStringLiteral("2.5"), QStringLiteral("500")},
        {QStringLiteral("99999999999"), QStringLiteral("500")},
        {QStringLiteral(""), QStringLiteral("500")},
    };
    for (const QStringList &args : bad) {
        QProcess player;
        player.setProcessEnvironment(toneNoServerEnvironment(empty.path(), server.address()));
        player.start(tonePlayerPath, args);
        ASSERT_TRUE(player.waitForFinished(5000)) << qPrintable(args.join(' '));
        EXPECT_EQ(player.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(player.exitCode(), 2) << qPrintable(args.join(' '));
        EXPECT_TRUE(player.readAllStandardError().startsWith("usage: kv350-tone HZ MS"));
    }
    EXPECT_FALSE(server.reached(0)) << "a player with bad arguments reached for the server";
}

TEST(TonePlayer, WithoutASoundServerItExitsThreeAtOnceAndSaysWhy)
{
    QTemporaryDir empty;
    QProcess player;
    player.setProcessEnvironment(toneNoServerEnvironment(empty.path(), QStringLiteral("unix:/nonexistent")));
    player.start(tonePlayerPath, {QStringLiteral("2730"), QStringLiteral("500")});
    ASSERT_TRUE(player.waitForStarted(5000));
    ASSERT_TRUE(player.waitForFinished(1000)) << "still trying after a second";
    EXPECT_EQ(player.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(player.exitCode(), 3);
    const QList<QByteArray> lines = player.readAllStandardError().trimmed().split('\n');
    ASSERT_EQ(lines.size(), 1);
    EXPECT_TRUE(lines[0].startsWith("kv350-tone: no sound output to play on: ")) << lines[0].constData();
    EXPECT_TRUE(player.readAllStandardOutput().isEmpty());
}

TEST(TonePlayer, AServerThatHangsUpIsNoOutputEither)
{
    QTemporaryDir empty;
    ToneFakeServer server(empty.filePath(QStringLiteral("server")));
    ASSERT_TRUE(server.listening());
    QProcess player;
    player.setProcessEnvironment(toneNoServerEnvironment(empty.path(), server.address()));
    player.start(tonePlayerPath, {QStringLiteral("300"), QStringLiteral("500")});
    ASSERT_TRUE(server.reached(5000));
    ASSERT_TRUE(server.hangUp());
    ASSERT_TRUE(player.waitForFinished(5000));
    EXPECT_EQ(player.exitCode(), 3);
    EXPECT_TRUE(player.readAllStandardError().startsWith("kv350-tone: no sound output to play on: "));
}

TEST(ToneSounder, TheRealPlayerKeepsTheSoundLibrariesOutOfTheWindowsProcess)
{
    ASSERT_FALSE(toneLibraryMapped("libpulse")) << "the window's code brings the sound client along";
    ASSERT_FALSE(toneLibraryMapped("libQt6Multimedia"));
    QTemporaryDir empty;
    const ToneEnvironment nowhere(toneNoServerEnvironment(empty.path(), QStringLiteral("unix:/nonexistent")));
    VirtualTime time;
    ToneWarnings warnings;
    int beeps = 0;
    ToneSounder sounder(time, {QStringLiteral(KV350_TONE_PLAYER_DIR)});
    sounder.setBeep([&beeps] { ++beeps; });
    QSignalSpy ended(&sounder, &ToneSounder::playerEnded);
    sounder.tone(2730, 500);
    ASSERT_TRUE(tonePlayersEnded(ended, 1));
    sounder.tone(300, 500);
    ASSERT_TRUE(tonePlayersEnded(ended, 2));
    EXPECT_EQ(beeps, 2) << "no sound output here: the beep stands in";
    EXPECT_EQ(warnings.count(), 1);
    EXPECT_EQ(time.waits(), std::vector<int>(2, 500));
    EXPECT_FALSE(toneLibraryMapped("libpulse"));
    EXPECT_FALSE(toneLibraryMapped("libQt6Multimedia"));
}

TEST(ToneSounder, TheRealPlayerWaitingOnAServerThatNeverAnswersIsKilled)
{
    QTemporaryDir empty;
    // Listens, and never says a word: the player's connection waits for ever.
    ToneFakeServer server(empty.filePath(QStringLiteral("server")));
    ASSERT_TRUE(server.listening());
    const ToneEnvironment silent(toneNoServerEnvironment(empty.path(), server.address()));
    VirtualTime time;
    ToneWarnings warnings;
    int beeps = 0;
    ToneSounder sounder(time, {QStringLiteral(KV350_TONE_PLAYER_DIR)});
    sounder.setBeep([&beeps] { ++beeps; });
    sounder.setHangGraceMs(200);
    QSignalSpy ended(&sounder, &ToneSounder::playerEnded);
    sounder.tone(2730, 100);
    ASSERT_TRUE(tonePlayersEnded(ended, 1)) << "the player was left hanging";
    EXPECT_EQ(sounder.playersRunning(), 0);
    EXPECT_EQ(warnings.count(), 1);
    EXPECT_EQ(beeps, 0);
}

#endif
