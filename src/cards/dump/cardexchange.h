#pragma once
// One card command as the dump and the restore see it: sent, retried once
// after a failed transaction, and judged by its reply. The pages give one
// over their context, kv350ctl over its link; the tests script one.

#include <QByteArray>
#include <functional>

namespace kv350 {
class Pause;
class ReaderLink;
}  // namespace kv350

namespace kv350::cards {

struct CardReply {
    enum class Outcome {
        Failed,  // no reply accepted, twice
        NoCard,  // the reader said no (no card, key refused, access refused)
        Done,
    };
    Outcome outcome = Outcome::Failed;
    QByteArray data;          // DATA of a Done reply
    bool readerLost = false;  // Failed, and the reader is out of reach: stop
    bool done() const { return outcome == Outcome::Done; }
};
using CardExchange = std::function<CardReply(const QByteArray &request, int responseLimit)>;

// Over a link: ExecuteCommand, and once more after 200 ms when it failed.
CardExchange linkExchange(ReaderLink &link, Pause &pause);

}  // namespace kv350::cards
