#include "profile.h"

#include "link/models.h"
#include "link/readerlink.h"
#include "readersettings.h"

#include <QDateTime>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSaveFile>

namespace kv350::settings {
namespace {

// A profile is a page of text; anything far larger is not one.
constexpr qint64 ProfileSizeLimit = 1 << 20;

const QStringList &profileKeys()
{
    static const QStringList keys{"format", "version", "model", "minimumFirmware", "source", "settings"};
    return keys;
}

const QStringList &sourceKeys()
{
    static const QStringList keys{"serialNumber", "firmware", "saved"};
    return keys;
}

QString settingNames()
{
    QStringList names;
    for (const ParameterInfo &p : parameters())
        names.append(QLatin1String(p.name));
    return names.join(QStringLiteral(", "));
}

bool sameSetting(const ParameterInfo &info, const ParameterValue &a, const ParameterValue &b)
{
    // By the names a file gives: bits without a name cannot differ from a file.
    return parameterToJson(info, a) == parameterToJson(info, b);
}

// Line and column (from 1) of a byte offset, for a person looking at the file.
QString positionOf(const QByteArray &bytes, qint64 offset)
{
    const qint64 end = std::min<qint64>(offset, bytes.size());
    int line = 1;
    qint64 lineStart = 0;
    for (qint64 i = 0; i < end; ++i)
        if (bytes[i] == '\n') {
            ++line;
            lineStart = i + 1;
        }
    return QStringLiteral("line %1, column %2 (byte %3)").arg(line).arg(end - lineStart + 1).arg(offset);
}

std::optional<Profile> refuse(ProfileError *error, const QString &setting, const QString &message, qint64 offset = -1)
{
    if (error)
        *error = ProfileError{message, offset, setting};
    return std::nullopt;
}

std::optional<QString> stringField(const QJsonObject &o, const QString &key, const QString &where, QString *why)
{
    const QJsonValue v = o.value(key);
    if (v.isUndefined())
        return QString();
    if (!v.isString() || v.toString().trimmed().isEmpty()) {
        *why = QStringLiteral("%1: %2 is not allowed; it takes a text").arg(where, jsonText(v));
        return std::nullopt;
    }
    return v.toString().trimmed();
}

QList<int> versionNumbers(const QString &version)
{
    QList<int> numbers;
    static const QRegularExpression digits(QStringLiteral("\\d+"));
    for (auto it = digits.globalMatch(version); it.hasNext();)
        numbers.append(it.next().captured().left(6).toInt());
    return numbers;
}

QString failedWhy(const QString &what, const ReaderLink &link)
{
    return QStringLiteral("%1: %2").arg(what, exchangeFailure(link));
}

}  // namespace

std::optional<Profile> parseProfile(const QByteArray &bytes, ProfileError *error)
{
    if (bytes.size() > ProfileSizeLimit)
        return refuse(
            error, {},
            QStringLiteral("the file has %1 bytes; a profile has at most %2").arg(bytes.size()).arg(ProfileSizeLimit));
    QJsonParseError parse{};
    const QJsonDocument doc = QJsonDocument::fromJson(bytes, &parse);
    if (parse.error != QJsonParseError::NoError) {
        // Qt may place an error at the end one past the last byte; it is named as the end.
        const qint64 at = std::min<qint64>(parse.offset, bytes.size());
        return refuse(error, {}, QStringLiteral("not JSON: %1 at %2").arg(parse.errorString(), positionOf(bytes, at)),
                      at);
    }
    if (!doc.isObject())
        return refuse(error, {}, QStringLiteral("not a profile: the file must hold one JSON object"));
    const QJsonObject top = doc.object();

    // Another kind of file is named as such before its keys are looked at.
    if (top.value(QStringLiteral("format")) != QJsonValue(QLatin1String(ProfileFormatName)))
        return refuse(error, QStringLiteral("format"),
                      QStringLiteral("not a profile: \"format\" must be \"%1\"").arg(QLatin1String(ProfileFormatName)));
    const QJsonValue version = top.value(QStringLiteral("version"));
    if (!version.isDouble() || version.toDouble() != ProfileFormatVersion)
        return refuse(
            error, QStringLiteral("version"),
            version.isDouble() && version.toDouble() > ProfileFormatVersion
                ? QStringLiteral("version: %1 is a newer version of the format; this program reads version %2")
                      .arg(jsonText(version))
                      .arg(ProfileFormatVersion)
                : QStringLiteral("version: %1 is not allowed; it takes %2")
                      .arg(version.isUndefined() ? QStringLiteral("nothing") : jsonText(version))
                      .arg(ProfileFormatVersion));

    for (auto it = top.begin(); it != top.end(); ++it)
        if (!profileKeys().contains(it.key()))
            return refuse(error, it.key(),
                          QStringLiteral("unknown key \"%1\"; a profile holds %2")
                              .arg(it.key(), profileKeys().join(QStringLiteral(", "))));

    Profile profile;
    QString why;
    const auto model = stringField(top, QStringLiteral("model"), QStringLiteral("model"), &why);
    if (!model)
        return refuse(error, QStringLiteral("model"), why + QStringLiteral(", the name of a model"));
    if (!model->isEmpty() && !findModel(*model))
        return refuse(error, QStringLiteral("model"),
                      QStringLiteral("model: \"%1\" is no model this program knows; the models are %2")
                          .arg(*model, knownModels().join(QStringLiteral(", "))));
    profile.model = *model;

    const auto minimum = stringField(top, QStringLiteral("minimumFirmware"), QStringLiteral("minimumFirmware"), &why);
    if (!minimum)
        return refuse(error, QStringLiteral("minimumFirmware"), why + QStringLiteral(", a version such as \"V1.2\""));
    if (!minimum->isEmpty() && versionNumbers(*minimum).isEmpty())
        return refuse(error, QStringLiteral("minimumFirmware"),
                      QStringLiteral("minimumFirmware: \"%1\" holds no version number; it takes a version such as "
                                     "\"V1.2\"")
                          .arg(*minimum));
    profile.minimumFirmware = *minimum;

    if (top.contains(QStringLiteral("source"))) {
        const QJsonValue sourceValue = top.value(QStringLiteral("source"));
        if (!sourceValue.isObject())
            return refuse(error, QStringLiteral("source"),
                          QStringLiteral("source: %1 is not allowed; it takes an object with %2")
                              .arg(jsonText(sourceValue), sourceKeys().join(QStringLiteral(", "))));
        const QJsonObject o = sourceValue.toObject();
        for (auto it = o.begin(); it != o.end(); ++it)
            if (!sourceKeys().contains(it.key()))
                return refuse(error, QStringLiteral("source"),
                              QStringLiteral("source: unknown field \"%1\"; the fields are %2")
                                  .arg(it.key(), sourceKeys().join(QStringLiteral(", "))));
        ProfileSource source;
        QString *fields[] = {&source.serialNumber, &source.firmware, &source.saved};
        for (int i = 0; i < 3; ++i) {
            const QString &key = sourceKeys()[i];
            const auto text = stringField(o, key, QStringLiteral("source.") + key, &why);
            if (!text)
                return refuse(error, QStringLiteral("source"), why);
            *fields[i] = *text;
        }
        profile.source = source;
    }

    const QJsonValue settingsValue = top.value(QStringLiteral("settings"));
    if (!settingsValue.isObject())
        return refuse(error, QStringLiteral("settings"),
                      QStringLiteral("settings: %1 is not allowed; it takes an object of settings by name (%2)")
                          .arg(settingsValue.isUndefined() ? QStringLiteral("nothing") : jsonText(settingsValue),
                               settingNames()));
    const QJsonObject named = settingsValue.toObject();
    for (auto it = named.begin(); it != named.end(); ++it)
        if (!findParameter(it.key()))
            return refuse(
                error, it.key(),
                QStringLiteral("settings: unknown setting \"%1\"; the settings are %2").arg(it.key(), settingNames()));
    if (named.isEmpty())
        return refuse(
            error, QStringLiteral("settings"),
            QStringLiteral("settings: the profile holds no setting; name at least one of %1").arg(settingNames()));

    const ModelInfo *modelRow = profile.model.isEmpty() ? nullptr : findModel(profile.model);
    for (const ParameterInfo &p : parameters()) {
        const QString name = QLatin1String(p.name);
        if (!named.contains(name))
            continue;
        if (modelRow && !modelHasParameter(modelRow, p))
            return refuse(error, name,
                          QStringLiteral("%1: a %2 has no such setting; leave it out of a profile for that model")
                              .arg(name, profile.model));
        const std::optional<ParameterValue> value = parameterFromJson(p, named.value(name), &why);
        if (!value)
            return refuse(error, name, why);
        profile.settings.push_back({&p, *value});
    }
    return profile;
}

std::optional<Profile> readProfileFile(const QString &path, ProfileError *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return refuse(error, {}, QStringLiteral("cannot read %1: %2").arg(path, file.errorString()));
    if (file.size() > ProfileSizeLimit)
        return refuse(error, {},
                      QStringLiteral("%1 has %2 bytes; a profile has at most %3")
                          .arg(path)
                          .arg(file.size())
                          .arg(ProfileSizeLimit));
    const QByteArray bytes = file.read(ProfileSizeLimit + 1);
    std::optional<Profile> profile = parseProfile(bytes, error);
    if (!profile && error)
        error->message = QStringLiteral("%1: %2").arg(path, error->message);
    return profile;
}

QByteArray profileToJson(const Profile &profile)
{
    // Written by hand so that the settings keep the table's order (a JSON
    // object of Qt's sorts its keys), one setting a line.
    const auto text = [](const QString &s) { return jsonText(QJsonValue(s)); };
    QStringList lines;
    lines << QStringLiteral("  \"format\": %1").arg(text(QLatin1String(ProfileFormatName)))
          << QStringLiteral("  \"version\": %1").arg(ProfileFormatVersion);
    if (!profile.model.isEmpty())
        lines << QStringLiteral("  \"model\": %1").arg(text(profile.model));
    if (!profile.minimumFirmware.isEmpty())
        lines << QStringLiteral("  \"minimumFirmware\": %1").arg(text(profile.minimumFirmware));
    if (profile.source) {
        QStringList fields;
        const QString values[] = {profile.source->serialNumber, profile.source->firmware, profile.source->saved};
        for (int i = 0; i < 3; ++i)
            if (!values[i].isEmpty())
                fields << QStringLiteral("%1: %2").arg(text(sourceKeys()[i]), text(values[i]));
        lines << QStringLiteral("  \"source\": {%1}").arg(fields.join(QStringLiteral(", ")));
    }
    QStringList settings;
    for (const SettingValue &s : profile.settings)
        settings << QStringLiteral("    %1: %2").arg(text(QLatin1String(s.info->name)), valueText(*s.info, s.value));
    lines << QStringLiteral("  \"settings\": {\n%1\n  }").arg(settings.join(QStringLiteral(",\n")));
    return (QStringLiteral("{\n") + lines.join(QStringLiteral(",\n")) + QStringLiteral("\n}\n")).toUtf8();
}

bool writeProfileFile(const QString &path, const Profile &profile, QString *why)
{
    QSaveFile file(path);
    const QByteArray bytes = profileToJson(profile);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        if (why)
            *why = QStringLiteral("cannot write %1: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}

std::optional<int> compareVersions(const QString &a, const QString &b)
{
    const QList<int> x = versionNumbers(a), y = versionNumbers(b);
    if (x.isEmpty() || y.isEmpty())
        return std::nullopt;
    for (qsizetype i = 0; i < std::max(x.size(), y.size()); ++i) {
        const int p = i < x.size() ? x[i] : 0, q = i < y.size() ? y[i] : 0;
        if (p != q)
            return p < q ? -1 : 1;
    }
    return 0;
}

QStringList checkProfile(const Profile &profile, const QString &modelName, const QString &firmwareVersion)
{
    QStringList problems;
    if (!profile.model.isEmpty() && profile.model != modelName)
        problems << QStringLiteral("model: the profile is for a %1; this reader is a %2")
                        .arg(profile.model, visibleText(modelName));
    if (!profile.minimumFirmware.isEmpty()) {
        const std::optional<int> order = compareVersions(firmwareVersion, profile.minimumFirmware);
        if (!order)
            problems << QStringLiteral("minimumFirmware: the reader's version \"%1\" cannot be compared with %2")
                            .arg(visibleText(firmwareVersion), profile.minimumFirmware);
        else if (*order < 0)
            problems << QStringLiteral("minimumFirmware: the profile needs %1 or later; this reader has %2")
                            .arg(profile.minimumFirmware, visibleText(firmwareVersion));
    }
    const ModelInfo *model = findModel(modelName);
    for (const SettingValue &s : profile.settings)
        if (!modelHasParameter(model, *s.info))
            problems << QStringLiteral("%1: a %2 has no such setting")
                            .arg(QLatin1String(s.info->name), modelName.isEmpty()
                                                                  ? QStringLiteral("reader of unknown model")
                                                                  : visibleText(modelName));
    return problems;
}

std::vector<const ParameterInfo *> settingsOfModel(const QString &modelName)
{
    const ModelInfo *model = findModel(modelName);
    std::vector<const ParameterInfo *> which;
    for (const ParameterInfo &p : parameters())
        if (!model || modelHasParameter(model, p))
            which.push_back(&p);
    return which;
}

ReadResult readSettings(ReaderLink &link, const std::vector<const ParameterInfo *> &which)
{
    ReadResult result;
    for (const ParameterInfo *info : which) {
        const std::optional<ParameterValue> value = exchangeSetting(link, *info);
        if (!value) {
            result.failed = info;
            result.why = exchangeFailure(link);
            break;
        }
        result.values.push_back({info, *value});
    }
    return result;
}

QString readerFirmware(const ReaderLink &link)
{
    return link.ModelVersionText().mid(proto::ModelNameWidth).trimmed();
}

std::optional<Profile> profileFromReader(ReaderLink &link, ReadResult *read)
{
    ReadResult result = readSettings(link, settingsOfModel(link.ModelName()));
    const bool ok = result.ok();
    Profile profile;
    if (ok) {
        profile.model = findModel(link.ModelName()) ? link.ModelName() : QString();
        profile.source = ProfileSource{link.SerialNumberText(), readerFirmware(link),
                                       QDateTime::currentDateTimeUtc().toString(Qt::ISODate)};
        profile.settings = result.values;
    }
    if (read)
        *read = std::move(result);
    return ok ? std::optional<Profile>(profile) : std::nullopt;
}

std::vector<SettingChange> diffProfile(const Profile &profile, const SettingValues &reader)
{
    std::vector<SettingChange> changes;
    for (const SettingValue &s : profile.settings)
        for (const SettingValue &r : reader)
            if (r.info == s.info) {
                changes.push_back({s.info, r.value, s.value, !sameSetting(*s.info, r.value, s.value)});
                break;
            }
    return changes;
}

bool anyDifference(const std::vector<SettingChange> &changes)
{
    return std::any_of(changes.begin(), changes.end(), [](const SettingChange &c) { return c.differs; });
}

QString valueText(const ParameterInfo &info, const ParameterValue &value)
{
    return jsonText(parameterToJson(info, value));
}

QString outcomeName(SettingOutcome outcome)
{
    switch (outcome) {
    case SettingOutcome::Unchanged:
        return QStringLiteral("unchanged");
    case SettingOutcome::Ok:
        return QStringLiteral("ok");
    case SettingOutcome::Differs:
        return QStringLiteral("differs");
    case SettingOutcome::Failed:
        return QStringLiteral("failed");
    case SettingOutcome::NotTried:
        break;
    }
    return QStringLiteral("not tried");
}

std::vector<AppliedSetting> applyChanges(ReaderLink &link, const std::vector<SettingChange> &changes,
                                         const ContinueCheck &mayContinue)
{
    std::vector<AppliedSetting> applied;
    QString halted;  // why the remaining settings are not tried
    for (const SettingChange &c : changes) {
        AppliedSetting a{c.info, SettingOutcome::Unchanged, {}, {}};
        if (!c.differs) {
            applied.push_back(a);
            continue;
        }
        if (halted.isEmpty() && mayContinue && !mayContinue())
            halted = QStringLiteral("stopped before it was written");
        if (!halted.isEmpty()) {
            applied.push_back({c.info, SettingOutcome::NotTried, {}, halted});
            continue;
        }
        if (!exchangeSetting(link, *c.info, c.file)) {
            a.outcome = SettingOutcome::Failed;
            a.why = failedWhy(QStringLiteral("write"), link);
        } else if (const std::optional<ParameterValue> back = exchangeSetting(link, *c.info)) {
            a.readBack = back;
            if (sameSetting(*c.info, *back, c.file)) {
                a.outcome = SettingOutcome::Ok;
            } else {
                a.outcome = SettingOutcome::Differs;
                a.why = QStringLiteral("read back %1 after writing %2")
                            .arg(valueText(*c.info, *back), valueText(*c.info, c.file));
            }
        } else {
            a.outcome = SettingOutcome::Failed;
            a.why = failedWhy(QStringLiteral("read-back"), link);
        }
        if (a.outcome == SettingOutcome::Failed && readerOutOfReach(link.error()))
            halted = QStringLiteral("not written: the reader was lost at %1").arg(QLatin1String(c.info->name));
        applied.push_back(a);
    }
    return applied;
}

bool allApplied(const std::vector<AppliedSetting> &applied)
{
    return std::all_of(applied.begin(), applied.end(), [](const AppliedSetting &a) {
        return a.outcome == SettingOutcome::Ok || a.outcome == SettingOutcome::Unchanged;
    });
}

QString stepName(ProfileRun::Step step)
{
    switch (step) {
    case ProfileRun::Step::Check:
        return QStringLiteral("check");
    case ProfileRun::Step::Read:
        return QStringLiteral("read");
    case ProfileRun::Step::Apply:
        return QStringLiteral("apply");
    case ProfileRun::Step::Done:
        break;
    }
    return QStringLiteral("done");
}

const ParameterInfo *ProfileRun::failedSetting() const
{
    switch (step) {
    case Step::Read:
        return read.failed;
    case Step::Apply:
        for (const AppliedSetting &a : applied)
            if (a.outcome == SettingOutcome::Differs || a.outcome == SettingOutcome::Failed ||
                a.outcome == SettingOutcome::NotTried)
                return a.info;
        return nullptr;
    default:
        return nullptr;
    }
}

QString ProfileRun::failureText() const
{
    switch (step) {
    case Step::Check:
        return problems.join(QStringLiteral("; "));
    case Step::Read:
        return read.failed ? QStringLiteral("%1: cannot read it: %2").arg(QLatin1String(read.failed->name), read.why)
                           : read.why;
    case Step::Apply:
        if (const ParameterInfo *info = failedSetting())
            for (const AppliedSetting &a : applied)
                if (a.info == info)
                    return QStringLiteral("%1: %2 (%3)").arg(QLatin1String(info->name), outcomeName(a.outcome), a.why);
        return {};
    case Step::Done:
        break;
    }
    return {};
}

ProfileRun runProfile(ReaderLink &link, const Profile &profile, bool dryRun, const ContinueCheck &mayContinue)
{
    ProfileRun run;
    run.problems = checkProfile(profile, link.ModelName(), readerFirmware(link));
    if (!run.problems.isEmpty())
        return run;
    run.step = ProfileRun::Step::Read;
    std::vector<const ParameterInfo *> which;
    for (const SettingValue &s : profile.settings)
        which.push_back(s.info);
    run.read = readSettings(link, which);
    if (!run.read.ok())
        return run;
    run.changes = diffProfile(profile, run.read.values);
    if (!dryRun) {
        run.step = ProfileRun::Step::Apply;
        run.applied = applyChanges(link, run.changes, mayContinue);
        if (!allApplied(run.applied))
            return run;
    }
    run.step = ProfileRun::Step::Done;
    return run;
}

}  // namespace kv350::settings
