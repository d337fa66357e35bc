#pragma once
// The dump and the restore talking straight to a virtual reader, reply by reply.
#include "cards/dump/cardexchange.h"
#include "sim/core/virtualreader.h"

namespace kv350::testing {

inline cards::CardExchange simExchange(sim::VirtualReader &reader)
{
    return [&reader](const QByteArray &request, int) {
        cards::CardReply reply;
        const std::vector<QByteArray> replies = reader.handle(request);
        if (replies.empty() || replies.front().size() < 4)
            return reply;
        const QByteArray &frame = replies.front();
        reply.outcome = frame.at(3) == 0 ? cards::CardReply::Outcome::Done : cards::CardReply::Outcome::NoCard;
        if (reply.done())
            reply.data = frame.mid(4);
        return reply;
    };
}

// The write commands (0x16 MIFARE, 0x14 NTAG) the reader was sent.
inline int writesSent(const sim::VirtualReader &reader)
{
    int n = 0;
    for (const QByteArray &r : reader.requests())
        n += r.size() > 2 && (r.at(2) == 0x16 || r.at(2) == 0x14) ? 1 : 0;
    return n;
}

}  // namespace kv350::testing
