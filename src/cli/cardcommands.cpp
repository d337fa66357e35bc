#include "cardcommands.h"

#include "cards/mifare/mifareframes.h"
#include "exitstatus.h"
#include "link/frame.h"
#include "link/models.h"
#include "link/readerlink.h"
#include "readercommands.h"

#include <QJsonDocument>

namespace kv350::cli {

void addMifareCommands(std::vector<CommandSpec> &table);
void addNtagCommands(std::vector<CommandSpec> &table);
void addTagCommands(std::vector<CommandSpec> &table);

void addCardCommands(std::vector<CommandSpec> &table)
{
    addMifareCommands(table);
    addNtagCommands(table);
    addTagCommands(table);
}

namespace card {

bool ready(Session &s, unsigned capability, const char *hardware, int &status)
{
    ReaderLink &link = *s.link;
    if (!link.ConnectReader()) {
        s.err << "kv350ctl: " << failureText(QStringLiteral("no reader identified on"), s.options, link.lastError())
              << '\n';
        status = exitStatusFor(link.error());
        return false;
    }
    const ModelInfo *model = findModel(link.ModelName());
    if (!model || !(model->capabilities & capability)) {
        s.err << "kv350ctl: a " << visibleText(link.ModelName()) << " reader has no " << hardware << '\n';
        status = ExitFailed;
        return false;
    }
    return true;
}

Step send(ReaderLink &link, const QByteArray &request, int responseLimit, int minData)
{
    if (!link.ExecuteCommand(request, responseLimit))
        return Step::Failed;
    if (link.responseStatus() != proto::StaOk)
        return Step::Refused;
    return link.responseData().size() >= minData ? Step::Done : Step::Short;
}

int say(Session &s, int status, const QString &message)
{
    s.err << "kv350ctl: " << message << '\n';
    return status;
}

int linkFailure(Session &s, const QString &what)
{
    return say(s, exitStatusFor(s.link->error()),
               failureText(what + QStringLiteral(": no reply accepted from"), s.options, s.link->lastError()));
}

int failure(Session &s, Step step, const QString &what, const QString &refusal)
{
    ReaderLink &link = *s.link;
    switch (step) {
    case Step::Done:
        return ExitDone;
    case Step::Failed:
        return linkFailure(s, what);
    case Step::Short:
        return say(
            s, ExitFailed,
            QStringLiteral("%1: the reply is too short (%2 bytes of data)").arg(what).arg(link.responseData().size()));
    case Step::Refused:
        break;
    }
    const std::uint8_t status = link.responseStatus();
    const QString code = BytesToHex(&status, 1);
    // The reader's status says "not done", not why: a card that still answers
    // with its UID is there and refused.
    const Step probe = send(link, cards::uidFrame(), ReaderLink::DefaultResponseLimit, 1);
    if (probe == Step::Failed)
        return linkFailure(s, what);
    if (probe != Step::Done)
        return say(s, ExitNoCard, QStringLiteral("%1: no card in the reader's field (status %2)").arg(what, code));
    return say(s, ExitCardRefused, QStringLiteral("%1: %2 (status %3)").arg(what, refusal, code));
}

void print(Session &s, const QJsonObject &json, const QString &text)
{
    if (s.options.json)
        s.out << QJsonDocument(json).toJson(QJsonDocument::Compact) << '\n';
    else
        s.out << text << '\n';
}

std::optional<int> number(const QString &text, int min, int max)
{
    bool ok = false;
    const int n = text.toInt(&ok, 10);
    if (!ok || text.trimmed() != text || text.startsWith(QLatin1Char('+')) || n < min || n > max)
        return std::nullopt;
    return n;
}

QCommandLineOption forceOption()
{
    return QCommandLineOption(QStringLiteral("force"),
                              QStringLiteral("make a write that cannot be undone (the answer Yes to its question)"));
}

}  // namespace card
}  // namespace kv350::cli
