#pragma once
// kv350ctl's card commands (uid, mifare, ntag, iso15693, epc, etag): the same
// frame builders and checks as the card pages, each with --json, an exit
// status by outcome (exitstatus.h), and --force where a write cannot be undone.
// The rows go into the command table with addCardCommands().

#include "commandtable.h"

#include <QByteArray>
#include <QJsonObject>
#include <optional>

namespace kv350::cli {

void addCardCommands(std::vector<CommandSpec> &table);

// What the card commands share.
namespace card {

// The reader connected and identified, with the hardware the command needs
// (a ModelInfo capability). False after saying why on stderr; `status` is the exit status.
bool ready(Session &s, unsigned capability, const char *hardware, int &status);

// One card command: Done with STA 0 and at least minData DATA bytes; Failed
// when no reply was accepted (the link says why); Refused when the reader
// answered with another STA; Short when DATA is too short.
enum class Step { Done, Failed, Refused, Short };
Step send(ReaderLink &link, const QByteArray &request, int responseLimit, int minData = 0);

// The message and exit status of a step that did not end Done. A refusal is
// told apart by asking for the card's UID: none answers, "no card"; one does,
// the card refused (`refusal` says what, e.g. "the key was not accepted").
int failure(Session &s, Step step, const QString &what, const QString &refusal);
// The same for an ISO 15693 or UHF command, whose refusals say no more.
int linkFailure(Session &s, const QString &what);
int say(Session &s, int status, const QString &message);

// The result: the JSON object with --json, else the text (a line end is added).
void print(Session &s, const QJsonObject &json, const QString &text);

// A decimal number within [min, max]; nothing for anything else. (Hex
// arguments are read by parseHexWords, options.h.)
std::optional<int> number(const QString &text, int min, int max);
// The --force option of the writes that cannot be undone.
QCommandLineOption forceOption();
inline constexpr const char *ForceHint = "add --force to write it anyway";

}  // namespace card
}  // namespace kv350::cli
