#pragma once
// The properties every dump importer's fuzz target checks (dumpmct, dumpbin,
// dumpjson, dumpnfc):
// - an import yields a well-formed card image, or is refused with a reason and
//   a position (a line of the text formats, a byte offset);
// - a refused file writes nothing: the restore that kv350ctl and the MIFARE
//   page run on a file never starts on it, and no write reaches the card;
// - an image goes out through every format that holds it and comes back the
//   same (bytes where known, and what is unknown stays unknown; the JSON
//   format keeps only whole blocks and whole keys);
// - an imported MIFARE Classic 1K restored onto a virtual card never leaves a
//   sector locked by invalid access bytes, and never changes block 0.
#include "cards/dump/dumpformats.h"
#include "cards/mifare/mifarerestore.h"
#include "fuzztarget.h"
#include "sim/cards/mifareclassic.h"
#include "sim/core/virtualreader.h"

#include <algorithm>
#include <memory>

namespace kv350::fuzz::dumps {

inline cards::CardExchange virtualExchange(sim::VirtualReader &reader, int &writes)
{
    return [&reader, &writes](const QByteArray &request, int) {
        cards::CardReply reply;
        writes += request.size() > 2 && (request.at(2) == 0x16 || request.at(2) == 0x14) ? 1 : 0;
        const std::vector<QByteArray> replies = reader.handle(request);
        if (replies.empty() || replies.front().size() < 4)
            return reply;
        reply.outcome = replies.front().at(3) == 0 ? cards::CardReply::Outcome::Done
                                                   : cards::CardReply::Outcome::NoCard;
        if (reply.done())
            reply.data = replies.front().mid(4);
        return reply;
    };
}

// The restore as its callers run it: import first, plan and write only an image.
inline int restoreFile(const QByteArray &content, sim::VirtualReader &reader)
{
    int writes = 0;
    const cards::ImportResult imported = cards::importDump(content);
    if (!imported.image || !cards::isMifare(imported.image->kind))
        return writes;
    const cards::CardExchange exchange = virtualExchange(reader, writes);
    const cards::RestorePlan plan = cards::planRestore(*imported.image, exchange, {}, englishText);
    if (plan.refusal.isEmpty())
        cards::runRestore(plan, exchange, englishText);
    return writes;
}

inline void checkRoundTrip(const cards::CardImage &image)
{
    using namespace kv350::cards;
    for (DumpFormat f : {DumpFormat::Mct, DumpFormat::Bin, DumpFormat::Json, DumpFormat::Nfc}) {
        const ExportResult out = exportDump(image, f);
        if (!out.refusal.isEmpty()) {
            KV350_FUZZ_CHECK(!formatHolds(f, image.kind) ||
                                 (f == DumpFormat::Bin && image.knownUnits() < image.units()),
                             "an export refused without cause");
            continue;
        }
        const ImportResult back = importDump(out.content);
        KV350_FUZZ_CHECK(back.image.has_value(), "an export does not read back: " + formatName(f).toStdString() + ": " +
                                                     importErrorText(back.error, englishText).toStdString());
        // JSON tells a 4K from a 1K by its blocks and keys alone: a 4K image with
        // nothing whole above sector 15 comes back as a 1K.
        const auto beyond1k = [&](const CardImage &i) {
            for (int b = 64; b < i.units(); ++b)
                if (i.unitKnown(b))
                    return true;
            for (int s = 16; s < sectorCount(i.kind); ++s)
                if (i.keyA(s) || i.keyB(s) ||
                    i.known.mid((firstBlockOf(s) + trailerBlock(s)) * 16 + 6, 4) == QByteArray(4, '\1'))
                    return true;
            return false;
        };
        KV350_FUZZ_CHECK(back.image->kind == image.kind || (f == DumpFormat::Json && !beyond1k(image)),
                         "the kind changed through " + formatName(f).toStdString());
        for (int i = 0; i < std::min(image.bytes.size(), back.image->bytes.size()); ++i) {
            const bool was = image.byteKnown(i), is = back.image->byteKnown(i);
            KV350_FUZZ_CHECK(!is || was, "an unknown byte became known through " + formatName(f).toStdString());
            KV350_FUZZ_CHECK(!is || back.image->bytes.at(i) == image.bytes.at(i), "a byte changed");
            KV350_FUZZ_CHECK(f == DumpFormat::Json || is == was, "a known byte was lost");
        }
    }
}

inline void checkImport(const cards::ImportResult &result, const QByteArray &content)
{
    if (!result.image) {
        KV350_FUZZ_CHECK(!result.error.reason.isEmpty(), "refused without a reason");
        KV350_FUZZ_CHECK(result.error.line > 0 || result.error.offset >= 0, "refused without a position");
        KV350_FUZZ_CHECK(result.error.offset <= content.size(), "a position beyond the file");
        return;
    }
    KV350_FUZZ_CHECK(cards::wellFormed(*result.image), "an ill-formed image");
    checkRoundTrip(*result.image);
}

// The whole property set for one importer on one input.
inline void checkImporter(cards::ImportResult (*importer)(const QByteArray &), const std::uint8_t *data,
                          std::size_t size)
{
    const QByteArray content(reinterpret_cast<const char *>(data), qsizetype(size));
    const cards::ImportResult result = importer(content);
    checkImport(result, content);

    sim::VirtualReader reader;
    auto card = std::make_shared<sim::MifareClassicCard>(sim::MifareClassicCard::Size::K1);
    reader.field().place(card);
    const QByteArray block0 = card->block(0, 0);
    const bool refused = !cards::importDump(content).image;
    const int writes = restoreFile(content, reader);
    KV350_FUZZ_CHECK(!refused || writes == 0, "a refused file wrote to the card");
    for (int sector = 0; sector < card->sectorCount(); ++sector)
        KV350_FUZZ_CHECK(card->sectorUsable(sector), "a restore locked sector " + std::to_string(sector));
    KV350_FUZZ_CHECK(card->block(0, 0) == block0, "a restore changed block 0");
}

}  // namespace kv350::fuzz::dumps
