// Serial link figures against kv350-sim on a pseudo-terminal:
//  1. round trip of N "02 01 0D" transactions through ReaderLink::ExecuteCommand,
//     against the same exchange done with plain POSIX write/read on the pty;
//  2. CPU time used while ReadSerialFrame waits out its reply window with no reply.
// Usage: bench_serial [transactions] [time-outs] [window]
//   window: the window's pause, beside one that passes the event loop in every
//   transaction and kv350ctl's, which processes no events; otherwise kv350ctl's alone.
#include "link/qserialdevice.h"
#include "link/readerlink.h"
#include "link/serialtransport.h"
#include "nullhid.h"

#include <QCoreApplication>
#include <QEventLoop>
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
    // kv350ctl's pause has no window and never processes events. The window's
    // delivers its posted events (its repaints) in every transaction and lets
    // the event loop pass at most once a frame; with "window" it is measured
    // beside a pause that passes the event loop in every transaction, as the
    // window's did before, so the cost of that pass shows in the same run.
    struct EveryCallPass final : Pause {
        void wait(int ms) override { EventLoopPause().wait(ms); }
        void processPending() override { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); }
    };
    EventLoopPause windowPause;
    EveryCallPass everyCallPause;
    BlockingPause consolePause;
    const bool window = argc > 3 && QByteArray(argv[3]) == "window";
    struct Side {
        const char *name;
        Pause *pause;
        std::vector<double> each, ratios, cpuEach;
        int failures = 0;
    };
    std::vector<Side> sides;
    if (window) {
        sides.push_back({"EventLoopPause (the window's)", &windowPause, {}, {}, {}});
        sides.push_back({"event loop passed every call", &everyCallPause, {}, {}, {}});
        sides.push_back({"BlockingPause (kv350ctl's): no events at all", &consolePause, {}, {}, {}});
    } else {
        sides.push_back({"BlockingPause (kv350ctl's)", &consolePause, {}, {}, {}});
    }
    const QByteArray request = QByteArray::fromHex("02010D");
    // Every side shares two cores with the virtual reader's process, so single
    // runs wander: measure in rounds, alternating, and report the medians.
    const int rounds = window ? 9 : 5;
    const int perRound = qMax(1, transactions / rounds);
    std::vector<double> plainEach, plainCpuEach;
    auto median = [](std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    };
    for (int round = 0; round < rounds; ++round) {
        const double plainCpu = cpuSeconds();
        const double plainSeconds = plainRoundTrips(path, perRound);
        if (plainSeconds <= 0)
            return 1;
        plainEach.push_back(plainSeconds / perRound * 1e6);
        plainCpuEach.push_back((cpuSeconds() - plainCpu) / perRound * 1e6);
        for (Side &side : sides) {
            ReaderLink link(hid, serial, systemClock(), *side.pause);
            link.useSerialPort(path);
            if (!link.ConnectReader()) {
                fprintf(stderr, "connect failed: %s\n", qPrintable(link.lastError()));
                return 1;
            }
            for (int i = 0; i < 20; ++i)
                link.ExecuteCommand(request);
            const double start = wallSeconds();
            const double cpuStart = cpuSeconds();
            for (int i = 0; i < perRound; ++i)
                side.failures += link.ExecuteCommand(request) ? 0 : 1;
            const double linkSeconds = wallSeconds() - start;
            side.cpuEach.push_back((cpuSeconds() - cpuStart) / perRound * 1e6);
            link.DisconnectReader();
            side.each.push_back(linkSeconds / perRound * 1e6);
            side.ratios.push_back(linkSeconds / plainSeconds);
        }
    }
    printf("round trips: %d rounds of %d, alternating\n", rounds, perRound);
    // CPU time of this process alone: what a busy machine bends far less than the wall clock.
    printf("  plain write/read %7.1f us each (median), %.1f us CPU\n", median(plainEach), median(plainCpuEach));
    int failures = 0;
    for (const Side &side : sides) {
        failures += side.failures;
        printf("  ExecuteCommand   %7.1f us each (median), %.1f us CPU, %s  (%d failed)\n", median(side.each),
               median(side.cpuEach), side.name, side.failures);
        printf("    ratio          %7.3f median, %.3f to %.3f  (goal: at most 1.2)\n", median(side.ratios),
               *std::min_element(side.ratios.begin(), side.ratios.end()),
               *std::max_element(side.ratios.begin(), side.ratios.end()));
        printf("    CPU ratio      %7.3f of the medians\n", median(side.cpuEach) / median(plainCpuEach));
    }

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
