#include "settingscommands.h"

#include "exitstatus.h"
#include "link/frame.h"
#include "link/parameters.h"
#include "link/readerlink.h"
#include "readercommands.h"
#include "settings/readersettings.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace kv350::cli {
namespace {

QStringList parameterNames()
{
    QStringList names;
    for (const ParameterInfo &p : parameters())
        names.append(QLatin1String(p.name));
    return names;
}

}  // namespace

QString takeSettingName(const QCommandLineParser &, Options &o)
{
    if (o.arguments.size() > 1)
        return QStringLiteral("unexpected %1").arg(o.arguments.mid(1).join(QLatin1Char(' ')));
    if (!o.arguments.isEmpty() && !findParameter(o.arguments.first()))
        return QStringLiteral("settings get: %1 is no setting; the settings are %2")
            .arg(o.arguments.first(), parameterNames().join(QStringLiteral(", ")));
    return {};
}

int settingsGet(Session &s)
{
    ReaderLink &link = *s.link;
    const Options &o = s.options;
    if (!link.ConnectReader()) {
        s.err << "kv350ctl: " << failureText(QStringLiteral("no reader identified on"), o, link.lastError()) << '\n';
        return exitStatusFor(link.error());
    }
    const ModelInfo *model = findModel(link.ModelName());
    std::vector<const ParameterInfo *> wanted;
    if (!o.arguments.isEmpty()) {
        const ParameterInfo *info = findParameter(o.arguments.first());
        if (!modelHasParameter(model, *info)) {
            s.err << "kv350ctl: a " << visibleText(link.ModelName()) << " has no setting " << info->name << '\n';
            return ExitFailed;
        }
        wanted.push_back(info);
    } else {
        for (const ParameterInfo &p : parameters())
            if (modelHasParameter(model, p))
                wanted.push_back(&p);
    }

    QJsonObject values;
    int status = ExitDone;
    for (const ParameterInfo *info : wanted) {
        const std::optional<ParameterValue> value = settings::exchangeSetting(link, *info);
        if (!value) {
            s.err << "kv350ctl: " << info->name << ": " << settings::exchangeFailure(link) << '\n';
            status = link.error() != LinkError::None ? exitStatusFor(link.error()) : ExitFailed;
            if (readerOutOfReach(link.error()))
                break;
            continue;
        }
        const QJsonValue named = parameterToJson(*info, *value);
        if (o.json)
            values.insert(QLatin1String(info->name), named);
        else
            s.out << info->name << ": " << jsonText(named) << '\n';
    }
    if (o.json)
        s.out << QJsonDocument(values).toJson(QJsonDocument::Compact) << '\n';
    return status;
}

}  // namespace kv350::cli
