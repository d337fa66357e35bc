#include "cardcommon.h"

#include "cards/mifare/trailerguard.h"
#include "link/frame.h"
#include "widgets/controls.h"

#include <QLineEdit>
#include <QWidget>

namespace kv350::cards {
std::optional<QByteArray> parseHexBytes(const QString &text, int n)
{
    QByteArray bytes;
    bytes.reserve(n);
    for (int i = 0; i < n; ++i) {
        const QString pair = text.mid(2 * i, 2);
        if (pair.isEmpty())
            return std::nullopt;
        int value = 0;
        for (QChar c : pair) {
            const int digit = hexDigitValue(c);
            if (digit < 0)
                return std::nullopt;
            value = value * 16 + digit;
        }
        bytes.append(char(value));
    }
    return bytes;
}

HexField ParseHexField(QLineEdit *box, int n, const QString &defaultText)
{
    if (auto bytes = parseHexBytes(box->text(), n))
        return {*bytes, true};
    box->setText(defaultText);
    return {QByteArray(n, char(0xFF)), false};
}

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

bool trailerWriteAllowed(PageContext &context, int sector, int block, const QByteArray &data16, QLabel *problem)
{
    const TrailerCheck check = checkTrailer(sector, block, data16);
    const TextLookup text = context.language.textLookup();
    if (check.verdict == TrailerCheck::Verdict::InvalidAccess) {
        widgets::showProblem(problem, trailerRefusal(check, text));
        context.reporter.ShowCommandError();
        return false;
    }
    widgets::showProblem(problem, {});
    return !check.permanent() || context.askFirst(trailerQuestion(check, text));
}

WindowDisabled::WindowDisabled(QWidget *anyWidget) : m_window(anyWidget->window())
{
    m_window->setEnabled(false);
}

WindowDisabled::~WindowDisabled()
{
    m_window->setEnabled(true);
}

}  // namespace kv350::cards
