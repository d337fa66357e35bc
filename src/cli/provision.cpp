#include "provision.h"

#include "exitstatus.h"
#include "firmware/dfu.h"
#include "firmware/kfwfile.h"
#include "firmware/upgrade.h"
#include "link/frame.h"
#include "link/readerlink.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QFile>
#include <csignal>

namespace kv350::cli {
namespace {

// Files larger than this are no profile and no firmware file.
constexpr qint64 StationFileLimit = 1 << 20;

std::atomic<bool> g_stopRequested{false};

extern "C" void stationInterrupted(int)
{
    g_stopRequested.store(true);
    // A second Ctrl-C ends the program at once, as without the station.
    std::signal(SIGINT, SIG_DFL);
}

QString readerVersion(const ReaderLink &link)
{
    return link.ModelVersionText().mid(12).trimmed();
}

QString nowText()
{
    return QDateTime::currentDateTimeUtc().toString(Qt::ISODate);
}

QString secondsText(qint64 ms)
{
    return QString::number(double(ms) / 1000.0, 'f', 1) + QStringLiteral(" s");
}

// The firmware procedure without a window: no progress shown, its outcome kept.
class StationUpgradeView final : public firmware::UpgradeView {
public:
    StationUpgradeView(ReaderLink &link, std::function<void()> reattach) : m_link(link), m_reattach(std::move(reattach))
    {
    }
    void setBusy(bool) override {}
    void setProgressMaximum(int) override {}
    void setProgress(int) override {}
    void showFileHeader(const QString &, const QString &, const QString &, const QString &) override {}
    void reconnect() override
    {
        m_reattach();
        m_reconnected = m_link.ConnectReader();
    }
    bool reconnected() const { return m_reconnected; }

private:
    ReaderLink &m_link;
    std::function<void()> m_reattach;
    bool m_reconnected = false;
};

class Station {
public:
    Station(StationRig rig, const StationSetup &setup, RecordFile &record, const StationBench &bench)
        : m_rig(rig), m_setup(setup), m_record(record), m_bench(bench)
    {
    }

    StationSummary run()
    {
        while ((m_setup.count == 0 || m_recorded < m_setup.count) && !stopped()) {
            const std::optional<SeenReader> seen = waitForReader();
            if (!seen)
                break;
            const qint64 start = m_rig.clock.nowMs();
            m_bench.use(m_rig.link, seen->path);
            UnitRecord unit;
            const bool recordIt = provisionUnit(unit);
            m_rig.link.DisconnectReader();
            if (recordIt && !recordUnit(unit, m_rig.clock.nowMs() - start))
                break;
            m_rig.out << "remove the reader\n";
            m_rig.out.flush();
            if (m_bench.removalAsked)
                m_bench.removalAsked(seen->path);
            waitForRemoval(*seen, unit.serial);
        }
        m_summary.stopped = stopped();
        return m_summary;
    }

private:
    bool stopped() const { return m_rig.stop && m_rig.stop->load(); }

    std::optional<SeenReader> waitForReader()
    {
        m_rig.out << "waiting for a reader ...\n";
        m_rig.out.flush();
        int toldSeveral = 0;
        for (;;) {
            if (stopped())
                return std::nullopt;
            const QList<SeenReader> present = m_bench.look();
            if (present.size() == 1)
                return present.front();
            if (present.size() > 1 && present.size() != toldSeveral) {
                m_rig.out << present.size()
                          << " readers are attached; the station takes one at a time: take out all but one\n";
                m_rig.out.flush();
                toldSeveral = int(present.size());
            }
            m_rig.pause.wait(StationLookIntervalMs);
        }
    }

    void waitForRemoval(const SeenReader &seen, const QString &serial)
    {
        auto stillThere = [&] {
            for (const SeenReader &r : m_bench.look())
                if (r.path == seen.path && (r.serial.isEmpty() || serial.isEmpty() || r.serial == serial))
                    return true;
            return false;
        };
        while (!stopped() && stillThere())
            m_rig.pause.wait(StationLookIntervalMs);
    }

    // False when the unit is skipped (already recorded ok) and so not recorded.
    bool provisionUnit(UnitRecord &unit)
    {
        ReaderLink &link = m_rig.link;
        unit.profileSha256 = m_setup.profileSha256;
        unit.firmwareSha256 = m_setup.firmwareSha256;
        if (!link.ConnectReader())
            return fail(unit, QStringLiteral("identify"), {}, link.lastError());
        unit.serial = link.SerialNumberText();
        unit.model = link.ModelName();
        unit.versionBefore = readerVersion(link);
        unit.versionAfter = unit.versionBefore;
        if (!m_setup.again && m_record.recordedOk().contains(unit.serial)) {
            m_rig.out << "reader " << visibleText(unit.serial)
                      << " is already recorded ok: skipped (--again provisions it again)\n";
            ++m_summary.skipped;
            return false;
        }
        if (stopped())
            return fail(unit, QStringLiteral("stopped"), {}, QStringLiteral("stopped before the reader was changed"));

        if (!m_setup.firmwarePath.isEmpty() && unit.versionBefore != m_setup.firmwareVersion) {
            if (!upgrade(unit))
                return true;
            if (stopped())
                return fail(unit, QStringLiteral("stopped"), {}, QStringLiteral("stopped after the firmware upgrade"));
        }

        const settings::ProfileRun run = settings::runProfile(link, m_setup.profile, false,
                                                              [this] { return !stopped(); });
        if (!run.ok()) {
            const ParameterInfo *setting = run.failedSetting();
            const QString step = stopped() && run.step == settings::ProfileRun::Step::Apply
                                     ? QStringLiteral("stopped")
                                     : settings::stepName(run.step);
            return fail(unit, step, setting ? QString::fromLatin1(setting->name) : QString(), run.failureText());
        }
        unit.ok = true;
        return true;
    }

    bool upgrade(UnitRecord &unit)
    {
        ReaderLink &link = m_rig.link;
        m_rig.out << "reader " << visibleText(unit.serial) << ": firmware " << visibleText(unit.versionBefore) << " -> "
                  << visibleText(m_setup.firmwareVersion) << " ...\n";
        m_rig.out.flush();
        QString said;
        // The upgrade ends on USB with the first reader there; the bench finds this one again.
        StationUpgradeView view(link, [&] {
            const QList<SeenReader> present = m_bench.look();
            if (present.size() == 1)
                m_bench.use(link, present.front().path);
        });
        firmware::Dfu dfu(m_rig.hid, m_rig.clock);
        firmware::FirmwareUpgrade procedure(link, m_rig.pause, dfu, view,
                                            [&said](firmware::UpgradeMessage message, int) {
                                                if (firmware::isUpgradeFailure(message))
                                                    said = QString::fromLatin1(firmware::upgradeMessageText(message));
                                            });
        const bool done = procedure.upgradeConnectedReader(m_setup.firmwarePath,
                                                           {firmware::hexWord(std::uint16_t(link.podRecord().VID)),
                                                            firmware::hexWord(std::uint16_t(link.podRecord().PID))});
        if (!done) {
            QString why = said;
            if (!dfu.lastError().isEmpty())
                why += (why.isEmpty() ? QString() : QStringLiteral(" ")) + dfu.lastError();
            return fail(unit, QStringLiteral("firmware"), {}, why.isEmpty() ? link.lastError() : why);
        }
        if (!view.reconnected())
            return fail(unit, QStringLiteral("firmware"), {},
                        QStringLiteral("the reader took the firmware but was not identified afterwards: ") +
                            link.lastError());
        if (link.SerialNumberText() != unit.serial)
            return fail(unit, QStringLiteral("firmware"), {},
                        QStringLiteral("after the upgrade another reader answered (%1)")
                            .arg(visibleText(link.SerialNumberText())));
        unit.versionAfter = readerVersion(link);
        return true;
    }

    bool fail(UnitRecord &unit, const QString &step, const QString &setting, const QString &why)
    {
        unit.ok = false;
        unit.step = step;
        unit.setting = setting;
        unit.why = why;
        return true;
    }

    bool recordUnit(UnitRecord &unit, qint64 ms)
    {
        if (unit.ok)
            unit.versionAfter = unit.versionAfter.isEmpty() ? unit.versionBefore : unit.versionAfter;
        unit.time = nowText();
        QString why;
        if (!m_record.append(unit, &why)) {
            m_summary.error = why;
            return false;
        }
        ++m_recorded;
        unit.ok ? ++m_summary.ok : ++m_summary.failed;
        m_summary.unitMs += ms;
        QString line = QStringLiteral("unit %1: %2 %3 %4")
                           .arg(m_recorded)
                           .arg(unit.serial.isEmpty() ? QStringLiteral("(no serial number)") : visibleText(unit.serial),
                                visibleText(unit.model), visibleText(unit.versionBefore));
        if (unit.versionAfter != unit.versionBefore)
            line += QStringLiteral(" -> ") + visibleText(unit.versionAfter);
        if (unit.ok)
            line += QStringLiteral(": ok");
        else
            line += QStringLiteral(": failed at %1%2: %3")
                        .arg(unit.step, unit.setting.isEmpty() ? QString() : QStringLiteral(" (") + unit.setting + ')',
                             unit.why);
        m_rig.out << line << " (" << secondsText(ms) << ")\n";
        m_rig.out.flush();
        return true;
    }

    StationRig m_rig;
    const StationSetup &m_setup;
    RecordFile &m_record;
    const StationBench &m_bench;
    StationSummary m_summary;
    int m_recorded = 0;
};

std::optional<QByteArray> readSmallFile(const QString &path, QString *why)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *why = QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
        return std::nullopt;
    }
    const QByteArray bytes = file.read(StationFileLimit + 1);
    if (bytes.size() > StationFileLimit) {
        *why = QStringLiteral("%1 is larger than %2 bytes").arg(path).arg(StationFileLimit);
        return std::nullopt;
    }
    return bytes;
}

QString sha256(const QByteArray &bytes)
{
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
}

}  // namespace

StationSummary runStation(StationRig rig, const StationSetup &setup, RecordFile &record, const StationBench &bench)
{
    return Station(rig, setup, record, bench).run();
}

QString takeProvision(const QCommandLineParser &parser, Options &o)
{
    if (!o.arguments.isEmpty())
        return QStringLiteral("unexpected %1").arg(o.arguments.join(QLatin1Char(' ')));
    if (parser.value(QStringLiteral("profile")).isEmpty())
        return QStringLiteral("provision needs --profile FILE");
    if (parser.value(QStringLiteral("record")).isEmpty())
        return QStringLiteral("provision needs --record FILE (units.csv, or units.jsonl for JSON lines)");
    if (parser.isSet(QStringLiteral("count"))) {
        bool ok = false;
        const int count = parser.value(QStringLiteral("count")).toInt(&ok);
        if (!ok || count < 1)
            return QStringLiteral("--count needs a number of units, 1 or more");
    }
    if (!o.usbPath.isEmpty() || !o.usbSerial.isEmpty())
        return QStringLiteral("provision takes the readers as they come: --path and --serial do not go with it");
    return {};
}

int provision(Session &s)
{
    const Options &o = s.options;
    const auto value = [&](const char *name) { return o.values.value(QLatin1String(name)).value(0); };
    StationSetup setup;
    setup.count = o.values.contains(QStringLiteral("count")) ? value("count").toInt() : 0;
    setup.again = o.values.contains(QStringLiteral("again"));

    // Everything is checked before any reader is touched.
    QString why;
    const QString profilePath = value("profile");
    const std::optional<QByteArray> profileBytes = readSmallFile(profilePath, &why);
    if (!profileBytes) {
        s.err << "kv350ctl: " << why << '\n';
        return ExitFailed;
    }
    settings::ProfileError problem;
    std::optional<settings::Profile> profile = settings::parseProfile(*profileBytes, &problem);
    if (!profile) {
        s.err << "kv350ctl: " << profilePath << ": " << problem.message << '\n';
        return ExitFailed;
    }
    setup.profile = std::move(*profile);
    setup.profileSha256 = sha256(*profileBytes);

    if (o.values.contains(QStringLiteral("firmware"))) {
        setup.firmwarePath = value("firmware");
        const std::optional<QByteArray> bytes = readSmallFile(setup.firmwarePath, &why);
        if (!bytes) {
            s.err << "kv350ctl: " << why << '\n';
            return ExitFailed;
        }
        auto state = std::make_unique<firmware::FirmwareState>();
        const firmware::KfwReadResult read = firmware::readKfwFile(setup.firmwarePath, *state);
        if (read.status != firmware::KfwRead::Loaded || state->FirmwareLength == 0) {
            s.err << "kv350ctl: " << setup.firmwarePath << " is no firmware file with a program\n";
            return ExitFailed;
        }
        if (!setup.profile.model.isEmpty() && read.header.codeType.trimmed() != setup.profile.model) {
            s.err << "kv350ctl: " << setup.firmwarePath << " is for " << visibleText(read.header.codeType)
                  << ", the profile for " << setup.profile.model << '\n';
            return ExitFailed;
        }
        setup.firmwareVersion = read.header.codeVersion.trimmed();
        setup.firmwareSha256 = sha256(*bytes);
    }

    RecordFile record;
    if (!record.open(value("record"), &why)) {
        s.err << "kv350ctl: " << why << '\n';
        return ExitFailed;
    }

    StationBench bench;
    ReaderLink &link = *s.link;
    if (o.via == Via::Serial) {
        // A reader on a serial port is there when it answers there.
        bench.look = [&]() -> QList<SeenReader> {
            link.useSerialPort(o.port);
            const bool there = link.ConnectReader();
            const QString serial = link.SerialNumberText();
            link.DisconnectReader();
            return there ? QList<SeenReader>{{o.port, serial}} : QList<SeenReader>{};
        };
        bench.use = [&o](ReaderLink &l, const QString &) { l.useSerialPort(o.port); };
    } else {
        bench.look = [&]() {
            QList<SeenReader> seen;
            for (const HidDeviceInfo &d : s.hid->enumerate(o.vid, o.pid))
                seen.append({d.path, d.serialNumber});
            return seen;
        };
        bench.use = [](ReaderLink &l, const QString &path) { l.useUsbDevice(path); };
    }
    bench.removalAsked = s.removalAsked;

    s.out << "profile " << profilePath << " (SHA-256 " << setup.profileSha256 << ")\n";
    if (!setup.firmwarePath.isEmpty())
        s.out << "firmware " << setup.firmwarePath << " version " << visibleText(setup.firmwareVersion) << " (SHA-256 "
              << setup.firmwareSha256 << ")\n";
    s.out << "record " << value("record") << "; Ctrl-C stops between steps\n";

    g_stopRequested.store(false);
    const auto previous = std::signal(SIGINT, stationInterrupted);
    const StationSummary summary = runStation({link, *s.hid, s.clock, s.pause, s.out, &g_stopRequested}, setup, record,
                                              bench);
    std::signal(SIGINT, previous == SIG_ERR ? SIG_DFL : previous);

    const int units = summary.ok + summary.failed;
    s.out << units << (units == 1 ? " unit" : " units") << ": " << summary.ok << " ok, " << summary.failed << " failed";
    if (summary.skipped)
        s.out << ", " << summary.skipped << " skipped";
    if (units)
        s.out << "; " << secondsText(summary.unitMs / units) << " per unit";
    if (summary.stopped)
        s.out << "; stopped by Ctrl-C";
    s.out << '\n';
    if (!summary.error.isEmpty()) {
        s.err << "kv350ctl: " << summary.error << "; the station stopped\n";
        return ExitFailed;
    }
    return summary.failed ? ExitFailed : ExitDone;
}

}  // namespace kv350::cli
