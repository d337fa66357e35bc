#include "ntagdump.h"

#include "cards/mifare/mifareframes.h"
#include "cards/ntag/ntagframes.h"
#include "link/readerlink.h"

#include <QList>

namespace kv350::cards {

CardImage ntagImage(const QList<std::pair<int, QByteArray>> &reads)
{
    CardImage image = CardImage::blank(CardKind::Ntag203);
    for (const auto &[page, data] : reads) {
        // A READ rolls over from the last page to page 0: only pages the tag has are taken.
        for (int i = 0; i < 4 && page + i < Ntag203Pages && 4 * i + 4 <= data.size(); ++i)
            image.setUnit(page + i, data.mid(4 * i, 4));
    }
    if (image.unitKnown(0) && image.unitKnown(1))
        image.uid = ntagUid(image.unit(0), image.unit(1));
    return image;
}

NtagDump dumpNtag(const CardExchange &exchange)
{
    NtagDump dump;
    const CardReply uid = exchange(uidFrame(), ReaderLink::DefaultResponseLimit);
    if (!uid.done()) {
        dump.noCard = uid.outcome == CardReply::Outcome::NoCard;
        dump.readerLost = !dump.noCard;
        return dump;
    }
    QList<std::pair<int, QByteArray>> reads;
    for (int page = 0; page < Ntag203Pages; page += 4) {
        const CardReply r = exchange(ntagReadFrame(page), NtagReadReplyLimit);
        if (r.readerLost) {
            dump.readerLost = true;
            break;
        }
        if (r.done() && r.data.size() >= 16)
            reads.append({page, r.data.left(16)});
    }
    dump.image = ntagImage(reads);
    if (uid.data.size() == 7 || uid.data.size() == 4 || uid.data.size() == 10)
        dump.image.uid = uid.data;
    return dump;
}

}  // namespace kv350::cards
