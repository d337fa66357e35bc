// The provisioning station's time per unit against the virtual reader, beside
// its floor: the frames a unit must exchange (identification, one read per
// setting of the profile, a write and a read-back per changed setting) times
// the time of one transaction, measured in the same run against the same
// virtual reader, plus the waits the link's design puts into identification
// over USB (two settle waits of 100 ms).
// Usage: bench_provision [units] [transactions]
#include "cli/provision.h"
#include "link/hidtransport.h"
#include "link/readerlink.h"
#include "settings/profile.h"
#include "sim/transports/simhidbus.h"
#include "sim/transports/simserialstream.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <QTextStream>
#include <chrono>
#include <cstdio>

using namespace kv350;

namespace {

double nowSeconds()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// Some settings changed on a reader as it comes, others already as the profile says.
const QByteArray ProfileJson = R"({"format": "kv350-profile", "version": 1, "model": "KV350-M1",
  "settings": {"usbMode": 1, "scanTime": 300, "sameCardTime": 2000, "keypadDelay": 3}})";

sim::SimulatedReader makeReader(int serial)
{
    QString why;
    auto r = sim::makeSimulatedReader(QStringLiteral("KV350-M1"), {}, systemClock(), &why);
    r->reader->setSerial(QByteArray::number(serial));
    return std::move(*r);
}

}  // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int units = argc > 1 ? atoi(argv[1]) : 20;
    const int transactions = argc > 2 ? atoi(argv[2]) : 2000;
    BlockingPause pause;

    settings::ProfileError error;
    std::optional<settings::Profile> profile = settings::parseProfile(ProfileJson, &error);
    if (!profile) {
        fprintf(stderr, "profile: %s\n", qPrintable(error.message));
        return 1;
    }

    // 1. One transaction (a Get of a setting) against a virtual reader on the USB path.
    double perFrame = 0;
    int changed = 0;  // of the profile's settings, on a reader as it comes
    {
        sim::SimHidBus bus(systemClock());
        bus.attach(makeReader(10000000));
        sim::SimSerialStream unused(bus.reader(0), systemClock());
        ReaderLink link(bus, unused, systemClock(), pause);
        if (!link.ConnectReader()) {
            fprintf(stderr, "no virtual reader: %s\n", qPrintable(link.lastError()));
            return 1;
        }
        const QByteArray get = parameterGetFrame(0x04);
        const double start = nowSeconds();
        for (int i = 0; i < transactions; ++i)
            if (!link.ExecuteCommand(get)) {
                fprintf(stderr, "transaction failed: %s\n", qPrintable(link.lastError()));
                return 1;
            }
        perFrame = (nowSeconds() - start) / transactions;
        std::vector<const ParameterInfo *> which;
        for (const settings::SettingValue &v : profile->settings)
            which.push_back(v.info);
        const settings::ReadResult before = settings::readSettings(link, which);
        for (const settings::SettingChange &c : settings::diffProfile(*profile, before.values))
            changed += c.differs;
    }

    // 2. The station over `units` virtual readers, one after another, with a
    // bench that hands over the next the moment the last is taken out: no
    // wait for people, the station's own work alone.
    sim::SimHidBus bus(systemClock());
    for (int i = 0; i < units; ++i)
        bus.attach(makeReader(20000000 + i));
    sim::SimSerialStream unused(bus.reader(0), systemClock());
    ReaderLink link(bus, unused, systemClock(), pause);
    int current = 0;
    cli::StationBench bench;
    bench.look = [&] {
        return current < units ? QList<cli::SeenReader>{{bus.path(current), {}}} : QList<cli::SeenReader>{};
    };
    bench.use = [](ReaderLink &l, const QString &path) { l.useUsbDevice(path); };
    bench.removalAsked = [&](const QString &) { ++current; };

    QTemporaryDir dir;
    cli::RecordFile record;
    QString why;
    if (!record.open(dir.filePath(QStringLiteral("units.csv")), &why)) {
        fprintf(stderr, "%s\n", qPrintable(why));
        return 1;
    }
    cli::StationSetup setup;
    setup.profile = *profile;
    setup.profileSha256 = QStringLiteral("bench");
    setup.count = units;
    QString said;
    QTextStream out(&said);
    const double start = nowSeconds();
    const cli::StationSummary summary = cli::runStation({link, bus, systemClock(), pause, out, nullptr}, setup, record,
                                                        bench);
    const double perUnit = (nowSeconds() - start) / units;
    if (summary.ok != units) {
        fprintf(stderr, "%d of %d units ok:\n%s", summary.ok, units, qPrintable(said));
        return 1;
    }

    // The frames a unit exchanged, counted on the virtual reader's side.
    const int settingsRead = int(profile->settings.size());
    const int expected = 2 + settingsRead + 2 * changed;
    const int seen = int(bus.reader(0).requests().size());
    if (qEnvironmentVariableIsSet("BENCH_FRAMES"))
        for (const QByteArray &r : bus.reader(0).requests())
            printf("  %s\n", r.toHex(' ').constData());
    const double settle = 2 * HidTransport::SettleMs / 1000.0;
    const double floor = settle + expected * perFrame;
    printf("transaction (Get of a setting), mean of %d: %.3f ms\n", transactions, perFrame * 1000);
    printf("frames per unit: %d expected (2 identification + %d reads + %d writes and read-backs), %d seen\n", expected,
           settingsRead, changed, seen);
    printf("floor per unit: %.1f ms (identification's settle waits %.0f ms + %d x %.3f ms)\n", floor * 1000,
           settle * 1000, expected, perFrame * 1000);
    // Where the rest goes: the record's line written and flushed to the disk, per unit.
    double recordSeconds = 0;
    {
        cli::RecordFile again;
        if (!again.open(dir.filePath(QStringLiteral("again.csv")), &why))
            return 1;
        cli::UnitRecord unit;
        unit.serial = QStringLiteral("20000000");
        const double t = nowSeconds();
        for (int i = 0; i < units; ++i)
            again.append(unit, &why);
        recordSeconds = (nowSeconds() - t) / units;
    }
    printf("record line appended and flushed to the disk: %.1f ms per unit\n", recordSeconds * 1000);
    printf("station per unit, mean of %d: %.1f ms = %.3f x floor (%.1f ms beyond the settle waits)\n", units,
           perUnit * 1000, perUnit / floor, (perUnit - settle) * 1000);
    return 0;
}
