#include "pagecommands.h"

#include "link/frame.h"
#include "settings/readersettings.h"

namespace kv350 {

bool ExecuteWithRetry(PageContext &context, const QByteArray &request, int responseLimit)
{
    if (context.link.ExecuteCommand(request, responseLimit))
        return true;
    context.pause.processPending();
    context.pause.wait(RetryWaitMs);
    return context.link.ExecuteCommand(request, responseLimit);
}

CardResult cardCommand(PageContext &context, const QByteArray &request, int responseLimit, int minData)
{
    ReaderLink &link = context.link;
    if (!link.ExecuteCommand(request, responseLimit))
        return CardResult::Failed;
    if (link.responseStatus() != proto::StaOk)
        return CardResult::NoCard;
    return link.responseData().size() >= minData ? CardResult::Done : CardResult::Failed;
}

void report(PageContext &context, CardResult result)
{
    switch (result) {
    case CardResult::Failed:
        context.reporter.ShowCommandError();
        break;
    case CardResult::NoCard:
        context.reporter.ShowNoCardOrKeyError();
        break;
    case CardResult::Done:
        context.reporter.ShowCommandDone();
        break;
    }
}

CardResult runStep(PageContext &context, const QByteArray &request, int responseLimit)
{
    if (!ExecuteWithRetry(context, request, responseLimit))
        return CardResult::Failed;
    return context.link.responseStatus() == proto::StaOk ? CardResult::Done : CardResult::NoCard;
}

QString runStepText(PageContext &context, CardResult result)
{
    switch (result) {
    case CardResult::Failed:
        return QStringLiteral("Error");
    case CardResult::NoCard:
        return QStringLiteral("No Card");
    case CardResult::Done:
        break;
    }
    return BytesToHex(context.link.responseData().left(16));
}

void reportRun(PageContext &context, int steps, bool lastStepDone)
{
    if (steps <= 0)
        context.reporter.ShowCommandError();
    else
        report(context, lastStepDone ? CardResult::Done : CardResult::NoCard);
}

std::optional<ParameterValue> exchangeSetting(PageContext &context, const ParameterInfo &info,
                                              const std::optional<ParameterValue> &value)
{
    std::optional<ParameterValue> held = settings::exchangeSetting(context.link, info, value);
    if (!held)
        context.reporter.ShowCommandError();
    return held;
}

void applySetting(PageContext &context, const ParameterInfo &info, const std::optional<ParameterValue> &value,
                  const std::function<void(const ParameterValue &)> &show)
{
    if (const auto held = exchangeSetting(context, info, value)) {
        show(*held);
        context.reporter.ShowCommandDone();
    }
}

}  // namespace kv350
