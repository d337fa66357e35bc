// Serial link figures against kv350-sim on a pseudo-terminal:
//  1. round trip of N "02 01 0D" transactions through ReaderLink::ExecuteCommand,
//     against the same exchange done with plain POSIX write/read on the pty;
//  2. CPU time used while ReadSerialFrame waits out its reply window with no reply.
// Usage: bench_serial [transactions] [time-outs] [window]
#include "link/qserialdevice.h"
#include "link/readerlink.h"
#include "link/serialtransport.h"
#include "nullhid.h"

#include <QCoreApplication>
#include <QProcess>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

using namespace kv350;
using bench::NullHid;

namespace {

double wallSeconds()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

double cpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

// The same exchange without our link: write the request, read until 12 bytes came.
double plainRoundTrips(const QString &path, int count)
{
    const int fd = ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
    if (fd < 0) {
        perror("open");
        return -1;
    }
    termios t{};
    tcgetattr(fd, &t);
    cfmakeraw(&t);
    cfsetspeed(&t, B115200);
    tcsetattr(fd, TCSANOW, &t);
    const unsigned char request[] = {0x02, 0x01, 0x0D};
    const double start = wallSeconds();
    for (int i = 0; i < count; ++i) {
        if (::write(fd, request, sizeof request) != sizeof request) {
            perror("write");
            break;
        }
        unsigned char reply[64];
        int got = 0;
        while (got < 12) {
            pollfd p{fd, POLLIN, 0};
            if (poll(&p, 1, 500) <= 0) {
                fprintf(stderr, "plain: no reply\n");
                ::close(fd);
                return -1;
            }
            const ssize_t n = ::read(fd, reply + got, sizeof reply - size_t(got));
            if (n > 0)
                got += int(n);
        }
    }
    const double elapsed = wallSeconds() - start;
    ::close(fd);
    return elapsed;
}

}  // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int transactions = argc > 1 ? atoi(argv[1]) : 1000;
    const int timeouts = argc > 2 ? atoi(argv[2]) : 10;

    QProcess sim;
    sim.start(QStringLiteral(KV350_SIM_PATH), {"--model", "KV350-MIC"});
    if (!sim.waitForStarted(5000) || !sim.waitForReadyRead(5000)) {
        fprintf(stderr, "kv350-sim did not start\n");
        return 1;
    }
    const QString path = QString::fromLocal8Bit(sim.readLine()).trimmed();
    printf("virtual reader on %s\n", qPrintable(path));

    NullHid hid;
    QSerialDevice serial;
    // The window's pause processes pending events in every transaction (to
    // paint the cleared reply fields); kv350ctl's has no window and does not.
    EventLoopPause windowPause;
    BlockingPause consolePause;
    const bool window = argc > 3 && QByteArray(argv[3]) == "window";
    Pause &pause = window ? static_cast<Pause &>(windowPause) : consolePause;
    printf("pause: %s\n", window ? "EventLoopPause (the window's)" : "BlockingPause (kv350ctl's)");
    ReaderLink link(hid, serial, systemClock(), pause);
    link.useSerialPort(path);
    if (!link.ConnectReader()) {
        fprintf(stderr, "connect failed: %s\n", qPrintable(link.lastError()));
        return 1;
    }
    const QByteArray request = QByteArray::fromHex("02010D");
    // Both sides share two cores with the virtual reader's process, so single
    // runs wander: measure in rounds, alternating, and report the median.
    constexpr int Rounds = 5;
    const int perRound = qMax(1, transactions / Rounds);
    std::vector<double> ratios, linkEach, plainEach;
    int failures = 0;
    for (int i = 0; i < 20; ++i)
        link.ExecuteCommand(request);
    for (int round = 0; round < Rounds; ++round) {
        if (!link.Connected() && !link.ConnectReader()) {
            fprintf(stderr, "reconnect failed: %s\n", qPrintable(link.lastError()));
            return 1;
        }
        double start = wallSeconds();
        for (int i = 0; i < perRound; ++i)
            failures += link.ExecuteCommand(request) ? 0 : 1;
        const double linkSeconds = wallSeconds() - start;
        link.DisconnectReader();
        const double plainSeconds = plainRoundTrips(path, perRound);
        if (plainSeconds <= 0)
            return 1;
        ratios.push_back(linkSeconds / plainSeconds);
        linkEach.push_back(linkSeconds / perRound * 1e6);
        plainEach.push_back(plainSeconds / perRound * 1e6);
    }
    auto median = [](std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    };
    printf("round trips: %d rounds of %d\n", Rounds, perRound);
    printf("  ExecuteCommand   %7.1f us each (median)  (%d failed)\n", median(linkEach), failures);
    printf("  plain write/read %7.1f us each (median)\n", median(plainEach));
    printf("  ratio            %7.3f median, %.3f to %.3f  (goal: at most 1.2)\n", median(ratios),
           *std::min_element(ratios.begin(), ratios.end()), *std::max_element(ratios.begin(), ratios.end()));

    // The reader is told not to answer by simply sending it nothing.
    SerialTransport transport(serial, systemClock());
    transport.OpenSerialPort(path);
    std::uint8_t buffer[256];
    const double cpuStart = cpuSeconds();
    const double start = wallSeconds();
    int frames = 0;
    for (int i = 0; i < timeouts; ++i)
        frames += transport.ReadSerialFrame(buffer) > 0 ? 1 : 0;
    const double wall = wallSeconds() - start;
    const double cpu = cpuSeconds() - cpuStart;
    transport.CloseSerialPort();
    printf("reply window with no reply: %d time-outs, %.0f ms wall each, %.2f ms CPU each (goal: under 5 ms)%s\n",
           timeouts, wall / timeouts * 1e3, cpu / timeouts * 1e3, frames ? "  [unexpected frame]" : "");

    sim.terminate();
    sim.waitForFinished(3000);
    return failures ? 1 : 0;
}
