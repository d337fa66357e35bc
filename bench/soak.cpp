// Soak: the reader link against the virtual reader for a long time, with faults.
//  1. N transactions through ReaderLink::ExecuteCommand over a pseudo-terminal,
//     each a MIFARE block write of 16 fresh random bytes, whose reply carries
//     the block as it then reads: the request's own bytes. About 1 % of the
//     requests get a random fault from the virtual reader's fault plan.
//     Every reply taken is checked against its own request.
//  2. M connect / unplug / reconnect cycles on the in-process USB HID device,
//     the unplug made four ways in turn.
// Usage: soak [transactions] [cycles] [seed] [fault-rate]
// Results and how they were made: docs/reliability.md.
#include "common/protocol.h"
#include "link/qserialdevice.h"
#include "link/readerlink.h"
#include "link/virtualtime.h"
#include "nullhid.h"
#include "sim/cards/mifareclassic.h"
#include "sim/core/virtualreader.h"
#include "sim/transports/ptyserver.h"
#include "sim/transports/simhiddevice.h"
#include "sim/transports/simserialstream.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <random>

using namespace kv350;
using bench::NullHid;
using sim::Fault;
using sim::FaultKind;

namespace {

long rssKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    return -1;
}

// 02 1A 16 60 FFFFFFFFFFFF sector block DATA: write with key A FF..FF.
QByteArray blockWrite(int block, const QByteArray &data)
{
    QByteArray frame = QByteArray::fromHex("021A1660FFFFFFFFFFFF");
    frame.append(char(block / 4));
    frame.append(char(block % 4));
    frame.append(data);
    return frame;
}

// Data blocks of sectors 1..15 of a 1K card: no block 0, no trailer.
int dataBlock(int i)
{
    const int n = i % (15 * 3);
    return 4 * (1 + n / 3) + n % 3;
}

// Whether a reply is due inside its own window for a request that took this fault.
bool replyDue(const Fault &f)
{
    switch (f.kind) {
    case FaultKind::None:
    case FaultKind::Split:
    case FaultKind::Noise:
    case FaultKind::Trailing:
    case FaultKind::Duplicate:
        return true;
    case FaultKind::Late:
        return f.delayMs < 500;
    case FaultKind::Leading:
        return !f.bytes.startsWith('\x02');  // padding: yes; a false STX swallows the frame
    case FaultKind::Status:
        return f.value != proto::StaRejected;
    default:
        return false;
    }
}

// How long after its request a fault can still put bytes on the line.
int straysForMs(const Fault &f)
{
    switch (f.kind) {
    case FaultKind::Late:
        return f.delayMs;
    case FaultKind::Duplicate:
        return f.gapMs;
    case FaultKind::Flood:
        return f.delayMs;
    case FaultKind::Split:
        return 40 * f.gapMs;
    default:
        return 0;
    }
}

int soakPty(int transactions, std::uint32_t seed, double rate)
{
    sim::PtyServer server;
    if (!server.start()) {
        std::fprintf(stderr, "soak: %s\n", qPrintable(server.errorText()));
        return 1;
    }
    server.withReader([](sim::VirtualReader &r) { r.field().place(std::make_shared<sim::MifareClassicCard>()); });
    NullHid noUsb;
    QSerialDevice port;
    BlockingPause pause;
    ReaderLink link(noUsb, port, systemClock(), pause);
    link.useSerialPort(server.devicePath());
    if (!link.ConnectReader()) {
        std::fprintf(stderr, "soak: %s\n", qPrintable(link.lastError()));
        return 1;
    }
    const std::vector<FaultKind> kinds = {FaultKind::NoReply,  FaultKind::Late,      FaultKind::Split,
                                          FaultKind::Noise,    FaultKind::WrongCmd,  FaultKind::Status,
                                          FaultKind::Truncate, FaultKind::OverLong,  FaultKind::Leading,
                                          FaultKind::Trailing, FaultKind::Duplicate, FaultKind::Flood};
    server.withReader([&](sim::VirtualReader &r) {
        r.clearRequests();
        r.faults().setRandom(seed, rate, kinds);
    });

    std::mt19937 data(seed ^ 0x5eedu);
    // Every payload sent, by its first eight bytes: an open-addressed table
    // made in full before the run, so that the soak's own books do not grow
    // the process while its memory is watched.
    std::vector<std::uint64_t> keys(std::size_t(1) << 18, 0);
    std::vector<std::int32_t> senders(keys.size(), -1);
    std::vector<char> taken(std::size_t(std::max(transactions, 1)), 0);
    auto keyOf = [](const QByteArray &bytes) {
        std::uint64_t k = 0;
        memcpy(&k, bytes.constData(), std::min<std::size_t>(8, std::size_t(bytes.size())));
        return k | 1;
    };
    auto slot = [&](std::uint64_t k) {
        std::size_t i = std::size_t(k * 0x9E3779B97F4A7C15ull >> 46);
        while (keys[i] != 0 && keys[i] != k)
            i = (i + 1) & (keys.size() - 1);
        return i;
    };
    auto sender = [&](const QByteArray &got) {  // the request that sent these bytes, or -1
        const std::size_t i = slot(keyOf(got));
        return keys[i] == 0 ? -1 : senders[i];
    };
    std::map<std::string, int> faults;
    int injected = 0, good = 0, statusSeen = 0, failedExpected = 0, refusedAmbiguous = 0, collateral = 0;
    int lost = 0, misattributed = 0, duplicated = 0;
    qint64 longest = 0, over500 = 0;
    qint64 disturbedUntil = 0;  // an earlier fault may still put bytes on the line until then
    struct Past {
        Fault fault;
        bool ok;
        QString error;
        qint64 startMs;
    };
    std::vector<Past> past;  // the last few calls, told when something goes wrong
    auto history = [&] {
        for (const Past &p : past)
            std::printf("      before: %s(%d ms) at %lld ms: %s\n", sim::faultKindName(p.fault.kind),
                        p.fault.delayMs + p.fault.gapMs, p.startMs, p.ok ? "ok" : qPrintable(p.error));
    };
    QElapsedTimer clock;
    clock.start();
    const long rssStart = rssKiB();
    std::printf("pty soak: %d transactions, fault rate %.3f, seed %u, on %s\n", transactions, rate, seed,
                qPrintable(server.devicePath()));
    std::fflush(stdout);

    for (int i = 0; i < transactions; ++i) {
        QByteArray payload(16, '\0');
        for (char &b : payload)
            b = char(data() & 0xFF);
        const QByteArray request = blockWrite(dataBlock(i), payload);
        if (i < int(keys.size() / 2)) {  // the table stays at most half full
            const std::size_t at = slot(keyOf(payload));
            keys[at] = keyOf(payload);
            senders[at] = i;
        }
        const qint64 start = clock.elapsed();
        const bool ok = link.ExecuteCommand(request);
        const qint64 took = clock.elapsed() - start;
        longest = std::max(longest, took);
        over500 += took > 500;

        Fault fault;
        server.withReader([&](sim::VirtualReader &r) {
            fault = r.faults().taken().back();
            if (r.requests().size() > 1000)
                r.clearRequests();
        });
        if (fault.kind != FaultKind::None) {
            ++injected;
            ++faults[sim::faultKindName(fault.kind)];
        }
        const bool disturbed = start < disturbedUntil;
        disturbedUntil = std::max(disturbedUntil, start + straysForMs(fault) + 500);

        if (ok) {
            const QByteArray got = link.responseData().left(16);
            const int from = got == payload ? i : sender(got);
            if (from == i) {
                taken[std::size_t(i)] = 1;
                link.responseStatus() == proto::StaOk ? ++good : ++statusSeen;
            } else if (from >= 0 && taken[std::size_t(from)]) {
                ++duplicated;
                std::printf("  #%d duplicated reply taken: %s\n", i, got.toHex().constData());
                history();
            } else {
                ++misattributed;
                std::printf("  #%d misattributed reply: %s (fault %s)\n", i, got.toHex().constData(),
                            sim::faultKindName(fault.kind));
                history();
            }
        } else if (!replyDue(fault)) {
            ++failedExpected;
        } else if (link.lastError().startsWith(QLatin1String("two replies"))) {
            ++refusedAmbiguous;
        } else if (disturbed) {
            ++collateral;
        } else {
            ++lost;
            std::printf("  #%d lost: fault %s, %s\n", i, sim::faultKindName(fault.kind), qPrintable(link.lastError()));
            history();
        }
        past.push_back({fault, ok, link.lastError(), start});
        if (past.size() > 3)
            past.erase(past.begin());
        if ((i + 1) % 10000 == 0) {
            std::printf("  %6d done, %4d faults, %5.0f s, RSS %ld KiB\n", i + 1, injected, clock.elapsed() / 1000.0,
                        rssKiB());
            std::fflush(stdout);
        }
    }
    const long rssEnd = rssKiB();
    std::printf("transactions         %d\n", transactions);
    std::printf("faults injected      %d:", injected);
    for (const auto &[name, n] : faults)
        std::printf(" %s %d", name.c_str(), n);
    std::printf("\n");
    std::printf("replies taken        %d good, %d with the fault's STA 01\n", good, statusSeen);
    std::printf("failed as they must  %d (no reply due in the window)\n", failedExpected);
    std::printf("refused, ambiguous   %d (a late reply and its own in one window)\n", refusedAmbiguous);
    std::printf("failed, earlier fault %d (the line still disturbed by an earlier request's fault)\n", collateral);
    std::printf("lost                 %d\n", lost);
    std::printf("misattributed        %d\n", misattributed);
    std::printf("duplicated           %d\n", duplicated);
    std::printf("longest call         %lld ms (%lld calls over 500 ms)\n", longest, over500);
    std::printf("RSS start / end      %ld / %ld KiB\n", rssStart, rssEnd);
    std::printf("wall time            %.0f s\n", clock.elapsed() / 1000.0);
    link.DisconnectReader();
    return lost + misattributed + duplicated == 0 && longest <= 600 ? 0 : 1;
}

int soakHid(int cycles)
{
    VirtualTime time;
    sim::VirtualReader reader;
    reader.field().place(std::make_shared<sim::MifareClassicCard>());
    sim::SimHidDevice hid(reader, time);
    sim::SimSerialStream noSerial(reader, time);
    struct Status : LinkObserver {
        LinkState state = LinkState::Disconnected;
        void stateChanged(LinkState s, const ReaderIdentity &) override { state = s; }
    } status;
    ReaderLink link(hid, noSerial, time, time);
    link.setObserver(&status);
    std::mt19937 data(7);
    auto echo = [&](int block) {
        QByteArray payload(16, '\0');
        for (char &b : payload)
            b = char(data() & 0xFF);
        return link.ExecuteCommand(blockWrite(block, payload)) && link.responseStatus() == proto::StaOk &&
               link.responseData().left(16) == payload;
    };
    const char *ways[] = {"unplugged between commands", "write fails (gone)", "pulled out mid-transaction", "reboot"};
    int connectFailures = 0, awayAnswered = 0, notDisconnected = 0, failuresAfterReturn = 0;
    std::map<int, int> byWay;
    for (int c = 0; c < cycles; ++c) {
        if (!link.Connected() && !link.ConnectReader())
            ++connectFailures;
        if (!echo(dataBlock(c)))
            ++connectFailures;
        const int way = c % 4;
        ++byWay[way];
        switch (way) {
        case 0:
            hid.unplug();
            break;
        case 1:
            reader.faults().queue(Fault::deviceGone(-1));
            break;
        case 2:
            reader.faults().queue(Fault::vanish(30, -1));
            break;
        case 3:
            link.ExecuteCommand(QByteArray::fromHex("02020F01"));
            break;
        }
        // While it is away every command fails, and the window says Disconnected.
        if (echo(dataBlock(c + 1)))
            ++awayAnswered;
        if (link.Connected() || status.state != LinkState::Disconnected)
            ++notDisconnected;
        hid.plug();
        reader.faults().deviceBack();
        time.advance(reader.rebootTimeMs());
        if (!echo(dataBlock(c + 2)))
            ++failuresAfterReturn;
    }
    std::printf("hid cycles           %d (", cycles);
    for (const auto &[way, n] : byWay)
        std::printf("%s%d %s", way ? ", " : "", n, ways[way]);
    std::printf(")\n");
    std::printf("  failed to connect before the unplug   %d\n", connectFailures);
    std::printf("  answered while away                   %d\n", awayAnswered);
    std::printf("  not shown as Disconnected while away  %d\n", notDisconnected);
    std::printf("  failures after the device returned    %d\n", failuresAfterReturn);
    std::printf("  virtual time                          %.0f s\n", time.nowMs() / 1000.0);
    return connectFailures + awayAnswered + notDisconnected + failuresAfterReturn == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int transactions = args.value(1, QStringLiteral("100000")).toInt();
    const int cycles = args.value(2, QStringLiteral("1000")).toInt();
    const std::uint32_t seed = args.value(3, QStringLiteral("20240611")).toUInt();
    const double rate = args.value(4, QStringLiteral("0.01")).toDouble();
    const int pty = transactions > 0 ? soakPty(transactions, seed, rate) : 0;
    const int usb = cycles > 0 ? soakHid(cycles) : 0;
    return pty | usb;
}
