#include "cardexchange.h"

#include "common/protocol.h"
#include "link/linkerror.h"
#include "link/pause.h"
#include "link/readerlink.h"

namespace kv350::cards {

CardExchange linkExchange(ReaderLink &link, Pause &pause)
{
    return [&link, &pause](const QByteArray &request, int responseLimit) {
        constexpr int RetryMs = 200;
        bool accepted = link.ExecuteCommand(request, responseLimit);
        if (!accepted && !readerOutOfReach(link.error())) {
            pause.wait(RetryMs);
            accepted = link.ExecuteCommand(request, responseLimit);
        }
        CardReply reply;
        if (!accepted) {
            reply.readerLost = readerOutOfReach(link.error());
            return reply;
        }
        if (link.responseStatus() != proto::StaOk) {
            reply.outcome = CardReply::Outcome::NoCard;
            return reply;
        }
        reply.outcome = CardReply::Outcome::Done;
        reply.data = link.responseData();
        return reply;
    };
}

}  // namespace kv350::cards
