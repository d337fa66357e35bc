// Start-up figures of the window program under a virtual X server (Xvfb),
// side by side with an empty Qt Widgets window of the same size from the same
// Qt (bench_emptywindow), the programs started in turn, every run alternating:
//  1. time from starting the program to its window being mapped, seen by
//     `xev -root -event substructure` (x11-utils) as the MapNotify of the
//     program's top-level window;
//  2. resident memory (VmRSS) once the program has settled: 300 ms after the
//     mapping (the empty windows) or after the show sequence ended (kv350tools);
//  3. for kv350tools --simulate KV350-MIC, the time to "[Connected] ..." in the
//     status panel, beside its floor: the waits the identification is built on;
//  4. where the start goes: the milestones kv350tools writes on its
//     "kv350.start" debug log, as they arrive, with the memory at each.
// Usage: bench_startup [runs] [--also PROGRAM]...
//   runs: 10 unless given; --also adds a program to the rotation (another
//   build of kv350tools, say), settled 300 ms after its window is mapped.
// Needs Xvfb and xev (docs/performance.md).
#include "link/readerlink.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>
#include <vector>

namespace {

struct Candidate {
    QString name;
    QString program;
    QStringList arguments;
    bool logsMarks;  // kv350tools: its show sequence ends with a mark
};

struct Mark {
    QString what;
    double arrivedMs;  // since the program was started
    double cpuMs;      // the program's CPU time, as it read it
    long residentKb;   // as the program itself read it
};

struct Run {
    double mappedMs = -1;
    double cpuAtMapMs = -1;  // the program's main thread on a CPU until then: less bent by a busy machine
    double connectedMs = -1;
    double settledMs = -1;  // the show sequence's end (kv350tools) or the mapping
    long residentKb = -1;
    std::vector<Mark> marks;
};

constexpr int SettleMs = 300;
constexpr int RunLimitMs = 15000;

double median(std::vector<double> v)
{
    if (v.empty())
        return -1;
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

// Time the process's main thread has run on a CPU, in ms (/proc/PID/schedstat, in ns).
double cpuMsOf(qint64 pid)
{
    QFile f(QStringLiteral("/proc/%1/schedstat").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    return f.readAll().split(' ').value(0).toDouble() / 1e6;
}

long residentKbOf(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

// "what at 12.3 ms, cpu 4.5 ms, 34567 kB resident" from a kv350.start line.
bool parseMark(const QString &line, QString *what, double *cpuMs, long *kb)
{
    static const QString prefix = QStringLiteral("kv350.start: ");
    const qsizetype start = line.indexOf(prefix);
    const qsizetype at = line.lastIndexOf(QStringLiteral(" at "));
    if (start < 0 || at < 0)
        return false;
    *what = line.mid(start + prefix.size(), at - start - prefix.size());
    const QStringList fields = line.mid(at).split(u',');
    *cpuMs = fields.value(1).trimmed().section(u' ', 1, 1).toDouble();
    *kb = fields.value(2).trimmed().section(u' ', 0, 0).toLong();
    return true;
}

// Machine load, so that a reader of the figures knows what else ran.
QString loadAverage()
{
    QFile f(QStringLiteral("/proc/loadavg"));
    return f.open(QIODevice::ReadOnly) ? QString::fromLatin1(f.readAll()).section(u' ', 0, 2) : QStringLiteral("?");
}

// Idle and steal jiffies of all CPUs, for the share of the run the CPUs were busy or stolen.
std::vector<unsigned long long> cpuJiffies()
{
    QFile f(QStringLiteral("/proc/stat"));
    std::vector<unsigned long long> v;
    if (f.open(QIODevice::ReadOnly)) {
        for (const QByteArray &field : f.readLine().simplified().split(' ').mid(1))
            v.push_back(field.toULongLong());
    }
    return v;
}

class Bench {
public:
    Bench() { m_clock.start(); }

    bool startServers()
    {
        m_xvfb.setProgram(QStringLiteral("Xvfb"));
        // -displayfd: the server picks a free display and writes its number when ready.
        m_xvfb.setArguments({"-displayfd", "1", "-screen", "0", "1280x1024x24", "-nolisten", "tcp"});
        QObject::connect(&m_xvfb, &QProcess::readyReadStandardOutput, [this] { wake(); });
        m_xvfb.start();
        if (!m_xvfb.waitForStarted(5000)) {
            fprintf(stderr, "bench_startup: cannot start Xvfb (apt-get install xvfb)\n");
            return false;
        }
        if (!waitUntil([this] { return m_xvfb.canReadLine(); }, 10000)) {
            fprintf(stderr, "bench_startup: Xvfb did not report a display\n");
            return false;
        }
        m_display = QStringLiteral(":") + QString::fromLatin1(m_xvfb.readLine()).trimmed();
        m_env = QProcessEnvironment::systemEnvironment();
        m_env.insert(QStringLiteral("DISPLAY"), m_display);
        m_env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        m_env.remove(QStringLiteral("WAYLAND_DISPLAY"));
        // A fresh settings directory: the stored language is English on every run.
        m_env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_home.path() + QStringLiteral("/config"));
        m_env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_home.path());
        m_env.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("kv350.start.debug=true"));

        m_xev.setProcessEnvironment(m_env);
        m_xev.setProgram(QStringLiteral("xev"));
        m_xev.setArguments({"-root", "-event", "substructure"});
        QObject::connect(&m_xev, &QProcess::readyReadStandardOutput, [this] { readXev(); });
        m_xev.start();
        if (!m_xev.waitForStarted(5000)) {
            fprintf(stderr, "bench_startup: cannot start xev (apt-get install x11-utils)\n");
            return false;
        }
        printf("X server %s; xev watching its root window\n", qPrintable(m_display));
        return true;
    }

    void stopServers()
    {
        m_xev.kill();
        m_xev.waitForFinished(3000);
        m_xvfb.terminate();
        m_xvfb.waitForFinished(3000);
    }

    Run run(const Candidate &candidate)
    {
        Run result;
        m_current = &result;
        QProcess process;
        process.setProcessEnvironment(m_env);
        process.setProgram(candidate.program);
        process.setArguments(candidate.arguments);
        process.setStandardOutputFile(QProcess::nullDevice());
        bool done = false;
        QObject::connect(&process, &QProcess::readyReadStandardError, [&] {
            while (process.canReadLine()) {
                const QString line = QString::fromLocal8Bit(process.readLine()).trimmed();
                QString what;
                double cpu = -1;
                long kb = -1;
                if (!parseMark(line, &what, &cpu, &kb))
                    continue;
                const double now = elapsedMs();
                result.marks.push_back({what, now, cpu, kb});
                if (result.connectedMs < 0 && what.startsWith(QStringLiteral("status \"[")))
                    result.connectedMs = now;
                if (what == QStringLiteral("show sequence done")) {
                    result.settledMs = now;
                    done = true;
                }
            }
            wake();
        });
        bool ended = false;
        QObject::connect(&process, &QProcess::finished, [&] {
            ended = true;
            wake();
        });
        process.setReadChannel(QProcess::StandardError);
        m_runStart = m_clock.nsecsElapsed();
        process.start();
        if (!process.waitForStarted(5000)) {
            fprintf(stderr, "bench_startup: cannot start %s\n", qPrintable(candidate.program));
            m_current = nullptr;
            return result;
        }
        m_currentPid = process.processId();
        waitUntil([&] { return ended || (result.mappedMs >= 0 && (done || !candidate.logsMarks)); }, RunLimitMs);
        if (ended)
            fprintf(stderr, "bench_startup: %s ended by itself\n", qPrintable(candidate.program));
        if (!candidate.logsMarks)
            result.settledMs = result.mappedMs;
        if (result.settledMs >= 0 && !ended) {
            waitUntil([] { return false; }, SettleMs);
            result.residentKb = residentKbOf(process.processId());
        }
        m_current = nullptr;
        m_currentPid = 0;
        process.terminate();
        if (!process.waitForFinished(3000)) {
            process.kill();
            process.waitForFinished(3000);
        }
        return result;
    }

private:
    void wake()
    {
        if (m_wake)
            m_wake->quit();
    }
    double elapsedMs() const { return double(m_clock.nsecsElapsed() - m_runStart) / 1e6; }

    // Runs the event loop until the condition holds or the time is up; the
    // processes' output wakes it.
    bool waitUntil(const std::function<bool()> &condition, int limitMs)
    {
        QElapsedTimer timer;
        timer.start();
        while (!condition()) {
            const qint64 left = limitMs - timer.elapsed();
            if (left <= 0)
                return false;
            QEventLoop loop;
            QTimer::singleShot(int(left), &loop, &QEventLoop::quit);
            m_wake = &loop;
            loop.exec();
            m_wake = nullptr;
        }
        return true;
    }

    // MapNotify event, serial 18, synthetic NO, window 0x50d,
    //     event 0x50d, window 0x400006, override NO
    void readXev()
    {
        while (m_xev.canReadLine()) {
            const QByteArray line = m_xev.readLine();
            if (line.startsWith("MapNotify event")) {
                m_mapSeenMs = elapsedMs();
            } else if (m_mapSeenMs >= 0 && line.contains("override")) {
                if (line.contains("override NO") && m_current && m_current->mappedMs < 0) {
                    m_current->mappedMs = m_mapSeenMs;
                    if (m_currentPid)
                        m_current->cpuAtMapMs = cpuMsOf(m_currentPid);
                }
                m_mapSeenMs = -1;
            }
        }
        wake();
    }

    QElapsedTimer m_clock;
    qint64 m_runStart = 0;
    QTemporaryDir m_home;
    QProcess m_xvfb, m_xev;
    QString m_display;
    QProcessEnvironment m_env;
    Run *m_current = nullptr;
    qint64 m_currentPid = 0;
    double m_mapSeenMs = -1;
    QEventLoop *m_wake = nullptr;
};

struct Summary {
    std::vector<double> mapped, cpuAtMap, connected, resident, drawnResident;
    std::vector<Run> runs;
};

}  // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QString dir = QCoreApplication::applicationDirPath();
    std::vector<Candidate> candidates = {
        {QStringLiteral("empty window"), dir + QStringLiteral("/bench_emptywindow"), {}, false},
        {QStringLiteral("kv350tools, no reader"), QStringLiteral(KV350_TOOLS_PATH), {}, true},
        {QStringLiteral("empty window + text"), dir + QStringLiteral("/bench_emptywindow"), {"--text"}, false},
        {QStringLiteral("kv350tools --simulate"), QStringLiteral(KV350_TOOLS_PATH), {"--simulate", "KV350-MIC"}, true},
    };
    int runs = 10;
    const QStringList args = app.arguments().mid(1);
    for (qsizetype i = 0; i < args.size(); ++i) {
        if (args[i] == QStringLiteral("--also") && i + 1 < args.size()) {
            const QString program = args[++i];
            candidates.push_back({QStringLiteral("also: ") + program.section(u'/', -3), program, {}, false});
        } else if (args[i].toInt() > 0) {
            runs = args[i].toInt();
        } else {
            fprintf(stderr, "usage: bench_startup [runs] [--also PROGRAM]...\n");
            return 2;
        }
    }

    Bench bench;
    if (!bench.startServers())
        return 1;
    printf("load average before: %s\n", qPrintable(loadAverage()));
    const std::vector<unsigned long long> cpuBefore = cpuJiffies();

    // One run of each first, not counted: the files come into the page cache
    // and xev is seen to report.
    for (const Candidate &c : candidates) {
        if (bench.run(c).mappedMs < 0) {
            fprintf(stderr, "bench_startup: %s: no window was mapped\n", qPrintable(c.name));
            bench.stopServers();
            return 1;
        }
    }
    std::vector<Summary> summaries(candidates.size());
    for (int i = 0; i < runs; ++i) {
        printf("run %2d:", i + 1);
        for (size_t c = 0; c < candidates.size(); ++c) {
            Run r = bench.run(candidates[c]);
            Summary &s = summaries[c];
            printf("  %.0f ms %ld kB", r.mappedMs, r.residentKb);
            if (r.mappedMs >= 0)
                s.mapped.push_back(r.mappedMs);
            if (r.connectedMs >= 0)
                s.connected.push_back(r.connectedMs);
            if (r.cpuAtMapMs >= 0)
                s.cpuAtMap.push_back(r.cpuAtMapMs);
            if (r.residentKb > 0)
                s.resident.push_back(double(r.residentKb));
            for (const Mark &m : r.marks) {
                if (m.what == QStringLiteral("window drawn") && m.residentKb > 0)
                    s.drawnResident.push_back(double(m.residentKb));
            }
            s.runs.push_back(std::move(r));
        }
        printf("\n");
        fflush(stdout);
    }
    const std::vector<unsigned long long> cpuAfter = cpuJiffies();
    bench.stopServers();

    // user nice system idle iowait irq softirq steal
    unsigned long long total = 0, idle = 0, steal = 0;
    for (size_t i = 0; i < cpuAfter.size() && i < cpuBefore.size(); ++i) {
        const unsigned long long d = cpuAfter[i] - cpuBefore[i];
        total += d;
        if (i == 3 || i == 4)
            idle += d;
        if (i == 7)
            steal += d;
    }
    printf("load average after: %s; during the runs the CPUs were %.0f %% busy (this bench's programs included), "
           "%.0f %% stolen\n",
           qPrintable(loadAverage()), total ? 100.0 * double(total - idle - steal) / double(total) : 0.0,
           total ? 100.0 * double(steal) / double(total) : 0.0);

    const double emptyMapped = median(summaries[0].mapped);
    const double emptyCpu = median(summaries[0].cpuAtMap);
    const double emptyResident = median(summaries[0].resident);
    printf("\n%d runs each, medians (min-max):\n", runs);
    printf("%-24s %22s %6s %16s %6s %17s %6s\n", "", "window mapped", "ratio", "CPU until mapped", "ratio",
           "resident, settled", "ratio");
    for (size_t c = 0; c < candidates.size(); ++c) {
        const Summary &s = summaries[c];
        if (s.mapped.empty())
            continue;
        printf("%-24s %8.1f ms (%4.0f-%4.0f) %6.2f %13.1f ms %6.2f %14.1f MB %6.2f\n", qPrintable(candidates[c].name),
               median(s.mapped), *std::min_element(s.mapped.begin(), s.mapped.end()),
               *std::max_element(s.mapped.begin(), s.mapped.end()), median(s.mapped) / emptyMapped, median(s.cpuAtMap),
               median(s.cpuAtMap) / emptyCpu, median(s.resident) / 1024, median(s.resident) / emptyResident);
    }
    for (size_t c = 0; c < candidates.size(); ++c) {
        const Summary &s = summaries[c];
        if (!s.drawnResident.empty())
            printf("%s: resident when its window was drawn (before the show sequence): %.1f MB, %.2f x the empty "
                   "window settled\n",
                   qPrintable(candidates[c].name), median(s.drawnResident) / 1024,
                   median(s.drawnResident) / emptyResident);
    }
    const Summary &sim = summaries[3];
    if (!sim.connected.empty()) {
        std::vector<double> afterMap;
        for (const Run &r : sim.runs) {
            if (r.connectedMs >= 0 && r.mappedMs >= 0)
                afterMap.push_back(r.connectedMs - r.mappedMs);
        }
        // Identification over USB: serial number and model, each read 100 ms after its request.
        const int floorMs = 2 * kv350::ReaderLink::UsbSettleMs;
        printf("\n\"[Connected] ...\" with the virtual reader: %.0f ms after the start, %.0f ms after the window was "
               "mapped; floor %d ms (the identification's two %d ms waits)\n",
               median(sim.connected), median(afterMap), floorMs, kv350::ReaderLink::UsbSettleMs);
    }

    // Where the start goes: each milestone's median arrival, no reader.
    printf("\nkv350tools, no reader: milestones as they arrived (medians: ms since the start; the process's CPU time; "
           "resident memory):\n");
    const Summary &plain = summaries[1];
    std::vector<QString> order;
    std::map<QString, std::vector<double>> at, cpu, kb;
    for (const Run &r : plain.runs) {
        if (r.mappedMs >= 0) {
            at[QStringLiteral("(window mapped, seen by xev)")].push_back(r.mappedMs);
        }
        for (const Mark &m : r.marks) {
            if (!at.count(m.what))
                order.push_back(m.what);
            at[m.what].push_back(m.arrivedMs);
            cpu[m.what].push_back(m.cpuMs);
            kb[m.what].push_back(double(m.residentKb));
        }
    }
    std::vector<std::pair<double, QString>> rows;
    for (const QString &what : order)
        rows.emplace_back(median(at[what]), what);
    rows.emplace_back(median(at[QStringLiteral("(window mapped, seen by xev)")]),
                      QStringLiteral("(window mapped, seen by xev)"));
    std::stable_sort(rows.begin(), rows.end(), [](const auto &a, const auto &b) { return a.first < b.first; });
    double previous = 0, previousCpu = 0;
    for (const auto &[ms, what] : rows) {
        QString detail;
        if (kb.count(what)) {
            const double c = median(cpu[what]);
            detail = QStringLiteral("cpu %1 ms (+%2)  %3 MB")
                         .arg(c, 6, 'f', 1)
                         .arg(c - previousCpu, 5, 'f', 1)
                         .arg(median(kb[what]) / 1024, 0, 'f', 1);
            previousCpu = c;
        }
        printf("  %8.1f ms  (+%6.1f)  %-46s %s\n", ms, ms - previous, qPrintable(what), qPrintable(detail));
        previous = ms;
    }
    return 0;
}
