#include "profilecommands.h"

#include "exitstatus.h"
#include "link/frame.h"
#include "link/readerlink.h"
#include "readercommands.h"
#include "settings/profile.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace kv350::cli {
namespace {

using namespace kv350::settings;

const QString DryRunOption = QStringLiteral("dry-run");

// A value on the command line: JSON where it is JSON (120, ["auto"],
// {"bank":"tid",...}), else the word as a text (FRENCH, 8H).
QJsonValue valueArgument(const QString &text)
{
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(QByteArray("[") + text.toUtf8() + ']', &error);
    if (error.error == QJsonParseError::NoError && doc.array().size() == 1)
        return doc.array().first();
    return QJsonValue(text);
}

bool connected(Session &s)
{
    // An identified link is kept (a second ConnectReader would refuse it).
    if (s.link->Connected() && !s.link->SerialNumberText().isEmpty())
        return true;
    if (s.link->ConnectReader())
        return true;
    s.err << "kv350ctl: " << failureText(QStringLiteral("no reader identified on"), s.options, s.link->lastError())
          << '\n';
    return false;
}

int linkStatus(const ReaderLink &link)
{
    return link.error() != LinkError::None ? exitStatusFor(link.error()) : ExitFailed;
}

std::optional<Profile> loadProfile(Session &s, const QString &path)
{
    ProfileError error;
    std::optional<Profile> profile = readProfileFile(path, &error);
    if (!profile)
        s.err << "kv350ctl: " << error.message << "\nkv350ctl: nothing was sent to the reader\n";
    return profile;
}

QJsonObject readerJson(const ReaderLink &link)
{
    return QJsonObject{{"model", visibleText(link.ModelName())},
                       {"version", visibleText(readerFirmware(link))},
                       {"serial", visibleText(link.SerialNumberText())}};
}

QJsonValue jsonOf(const ParameterInfo &info, const std::optional<ParameterValue> &value)
{
    return value ? parameterToJson(info, *value) : QJsonValue();
}

// The run as text lines or as one JSON object; the exit status it means.
int report(Session &s, const QString &file, const ProfileRun &run, bool dryRun, bool diffOnly)
{
    ReaderLink &link = *s.link;
    const QString what = diffOnly ? QStringLiteral("compare") : QStringLiteral("apply");
    int status = ExitDone;
    if (run.step == ProfileRun::Step::Check || run.step == ProfileRun::Step::Read)
        status = run.step == ProfileRun::Step::Read ? linkStatus(link) : ExitFailed;
    else if (run.step == ProfileRun::Step::Apply)
        status = std::any_of(run.applied.begin(), run.applied.end(),
                             [](const AppliedSetting &a) {
                                 return a.outcome == SettingOutcome::Failed || a.outcome == SettingOutcome::NotTried;
                             })
                     ? (readerOutOfReach(link.error()) ? exitStatusFor(link.error()) : ExitFailed)
                     : ExitDiffers;
    else if (diffOnly && anyDifference(run.changes))
        status = ExitDiffers;

    if (s.options.json) {
        QJsonObject o = readerJson(link);
        if (!file.isEmpty())
            o.insert("file", file);
        o.insert("dryRun", dryRun);
        o.insert("step", stepName(run.step));
        o.insert("matches", run.step != ProfileRun::Step::Check && run.step != ProfileRun::Step::Read &&
                                !anyDifference(run.changes) && (dryRun || diffOnly || allApplied(run.applied)));
        o.insert("ok", status == ExitDone);
        if (!run.problems.isEmpty())
            o.insert("problems", QJsonArray::fromStringList(run.problems));
        if (run.read.failed)
            o.insert("failed", QJsonObject{{"setting", QLatin1String(run.read.failed->name)}, {"why", run.read.why}});
        QJsonArray rows;
        for (size_t i = 0; i < run.changes.size(); ++i) {
            const SettingChange &c = run.changes[i];
            QJsonObject row{{"setting", QLatin1String(c.info->name)},
                            {"reader", parameterToJson(*c.info, c.reader)},
                            {"file", parameterToJson(*c.info, c.file)},
                            {"differs", c.differs}};
            if (i < run.applied.size()) {
                const AppliedSetting &a = run.applied[i];
                row.insert("outcome", outcomeName(a.outcome));
                if (a.readBack)
                    row.insert("readBack", jsonOf(*c.info, a.readBack));
                if (!a.why.isEmpty())
                    row.insert("why", a.why);
            }
            rows.append(row);
        }
        o.insert("settings", rows);
        s.out << QJsonDocument(o).toJson(QJsonDocument::Compact) << '\n';
        return status;
    }

    for (const QString &problem : run.problems)
        s.err << "kv350ctl: " << problem << '\n';
    if (run.step == ProfileRun::Step::Check) {
        s.err << "kv350ctl: the profile does not fit this reader; nothing was sent to it\n";
        return status;
    }
    if (run.step == ProfileRun::Step::Read) {
        s.err << "kv350ctl: " << run.failureText() << "\nkv350ctl: nothing was written\n";
        return status;
    }
    int written = 0, verified = 0, same = 0;
    for (size_t i = 0; i < run.changes.size(); ++i) {
        const SettingChange &c = run.changes[i];
        const QString name = QLatin1String(c.info->name);
        const QString now = valueText(*c.info, c.reader), wanted = valueText(*c.info, c.file);
        if (!c.differs) {
            ++same;
            s.out << name << ": " << now << " (same)\n";
            continue;
        }
        if (i >= run.applied.size()) {
            s.out << name << ": reader " << now << ", file " << wanted << '\n';
            continue;
        }
        const AppliedSetting &a = run.applied[i];
        if (a.outcome != SettingOutcome::NotTried)
            ++written;
        if (a.outcome == SettingOutcome::Ok)
            ++verified;
        s.out << name << ": " << now << " -> " << wanted << ' ' << outcomeName(a.outcome);
        if (!a.why.isEmpty())
            s.out << ": " << a.why;
        s.out << '\n';
    }
    const int differing = int(run.changes.size()) - same;
    if (diffOnly || dryRun)
        s.out << (differing == 0 ? QStringLiteral("the reader matches %1 (%2 settings)").arg(file).arg(same)
                                 : QStringLiteral("%1 of %2 settings differ from %3%4")
                                       .arg(differing)
                                       .arg(run.changes.size())
                                       .arg(file, dryRun ? QStringLiteral("; nothing was written") : QString()))
              << '\n';
    else
        s.out << QStringLiteral("%1: %2 written, %3 verified by read-back, %4 already held")
                     .arg(what)
                     .arg(written)
                     .arg(verified)
                     .arg(same)
              << '\n';
    return status;
}

}  // namespace

QString takeSettingValue(const QCommandLineParser &, Options &o)
{
    if (o.arguments.size() != 2)
        return o.arguments.size() < 2
                   ? QStringLiteral("settings set needs NAME and VALUE, e.g. settings set scanTime 120")
                   : QStringLiteral("unexpected %1").arg(o.arguments.mid(2).join(QLatin1Char(' ')));
    const ParameterInfo *info = findParameter(o.arguments.first());
    if (!info) {
        QStringList names;
        for (const ParameterInfo &p : parameters())
            names.append(QLatin1String(p.name));
        return QStringLiteral("settings set: %1 is no setting; the settings are %2")
            .arg(o.arguments.first(), names.join(QStringLiteral(", ")));
    }
    QString why;
    if (!parameterFromJson(*info, valueArgument(o.arguments[1]), &why))
        return QStringLiteral("settings set: ") + why;
    return {};
}

QString takeProfileFile(const QCommandLineParser &, Options &o)
{
    if (o.arguments.isEmpty())
        return QStringLiteral("%1 needs FILE").arg(o.command);
    if (o.arguments.size() > 1)
        return QStringLiteral("unexpected %1").arg(o.arguments.mid(1).join(QLatin1Char(' ')));
    o.files = o.arguments;
    return {};
}

int settingsSet(Session &s)
{
    const ParameterInfo &info = *findParameter(s.options.arguments[0]);
    Profile one;
    one.settings.push_back({&info, *parameterFromJson(info, valueArgument(s.options.arguments[1]), nullptr)});
    if (!connected(s))
        return linkStatus(*s.link);
    return report(s, {}, runProfile(*s.link, one, false), false, false);
}

int settingsSave(Session &s)
{
    const QString path = s.options.files.value(0);
    if (!connected(s))
        return linkStatus(*s.link);
    ReadResult read;
    const std::optional<Profile> profile = profileFromReader(*s.link, &read);
    if (!profile) {
        s.err << "kv350ctl: " << QLatin1String(read.failed->name) << ": cannot read it: " << read.why
              << "\nkv350ctl: " << path << " was not written\n";
        return linkStatus(*s.link);
    }
    QString why;
    if (!writeProfileFile(path, *profile, &why)) {
        s.err << "kv350ctl: " << why << '\n';
        return ExitFailed;
    }
    if (s.options.json) {
        QJsonObject o = readerJson(*s.link);
        o.insert("file", path);
        o.insert("settings", int(profile->settings.size()));
        s.out << QJsonDocument(o).toJson(QJsonDocument::Compact) << '\n';
    } else {
        s.out << "saved " << profile->settings.size() << " settings of the " << visibleText(s.link->ModelName()) << ' '
              << visibleText(s.link->SerialNumberText()) << " to " << path << '\n';
    }
    return ExitDone;
}

int settingsApply(Session &s)
{
    const QString path = s.options.files.value(0);
    const std::optional<Profile> profile = loadProfile(s, path);
    if (!profile)
        return ExitFailed;
    if (!connected(s))
        return linkStatus(*s.link);
    const bool dryRun = s.options.values.contains(DryRunOption);
    return report(s, path, runProfile(*s.link, *profile, dryRun), dryRun, false);
}

int settingsDiff(Session &s)
{
    const QString path = s.options.files.value(0);
    const std::optional<Profile> profile = loadProfile(s, path);
    if (!profile)
        return ExitFailed;
    if (!connected(s))
        return linkStatus(*s.link);
    return report(s, path, runProfile(*s.link, *profile, true), false, true);
}

void addProfileCommands(std::vector<CommandSpec> &table)
{
    table.push_back({{"settings", "set"},
                     "NAME VALUE [--json]",
                     "change one setting (VALUE as a profile names it) and read it back",
                     true,
                     true,
                     {},
                     takeSettingValue,
                     settingsSet});
    table.push_back({{"settings", "save"},
                     "FILE [--json]",
                     "read every setting the reader's model has and save them as a profile",
                     true,
                     true,
                     {},
                     takeProfileFile,
                     settingsSave});
    table.push_back({{"settings", "apply"},
                     "FILE [--dry-run] [--json]",
                     "write what differs from the profile FILE, reading each setting back",
                     true,
                     true,
                     {QCommandLineOption(DryRunOption, QStringLiteral("show what would change; write nothing"))},
                     takeProfileFile,
                     settingsApply});
    table.push_back({{"settings", "diff"},
                     "FILE [--json]",
                     "compare the reader with the profile FILE, setting by setting (6 when they differ)",
                     true,
                     true,
                     {},
                     takeProfileFile,
                     settingsDiff});
}

}  // namespace kv350::cli
