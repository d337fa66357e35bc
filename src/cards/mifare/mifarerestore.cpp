#include "mifarerestore.h"

#include "cards/dump/keysfile.h"
#include "cards/mifare/accessbits.h"
#include "cards/mifare/mifareframes.h"
#include "link/frame.h"
#include "link/readerlink.h"

#include <algorithm>

namespace kv350::cards {
namespace {

using Action = RestoreStep::Action;

bool whoIncludes(Who who, std::uint8_t type)
{
    return who == Who::AB || (who == Who::A && type == KeyA) || (who == Who::B && type == KeyB);
}

QString whoText(Who who, const TextLookup &text)
{
    switch (who) {
    case Who::AB:
        return QStringLiteral("A/B");
    case Who::A:
        return QStringLiteral("A");
    case Who::B:
        return QStringLiteral("B");
    case Who::Never:
        break;
    }
    return text(QStringLiteral("never"));
}

// The keys that may be used on the card's sector: key B only where the
// trailer hides it (a readable key B opens nothing).
std::optional<QByteArray> usableKey(const SectorAccess &access, std::uint8_t type)
{
    if (type == KeyA)
        return access.keyA;
    return access.keyBReadable ? std::nullopt : access.keyB;
}

void planDataBlock(RestoreStep &step, const SectorAccess &access, const TextLookup &text)
{
    if (step.block == 0) {
        step.action = Action::Refused;
        step.reason = text(QStringLiteral("the manufacturer block is read-only on this card"));
        return;
    }
    if (!access.opened() || !access.rows) {
        step.action = Action::Refused;
        step.reason = text(QStringLiteral("no key known opens sector %1 of this card")).arg(step.sector);
        return;
    }
    const int group = blocksInSector(step.sector) == 4 ? step.blockInSector : step.blockInSector / 5;
    const Who who = rowChoice(group, (*access.rows)[group], Op::Write);
    for (std::uint8_t type : {KeyA, KeyB}) {
        const auto key = usableKey(access, type);
        if (key && whoIncludes(who, type)) {
            step.keyType = type;
            step.key = *key;
            return;
        }
    }
    step.action = Action::Refused;
    step.reason = who == Who::Never ? text(QStringLiteral("the card's access conditions let no key write this block"))
                                    : text(QStringLiteral("the card lets only key %1 write this block, and key %1 of "
                                                          "sector %2 is not known"))
                                          .arg(who == Who::B ? QStringLiteral("B") : QStringLiteral("A"))
                                          .arg(step.sector);
}

void planTrailer(RestoreStep &step, const CardImage &image, const MifareDump &card, const SectorAccess &access,
                 const TextLookup &text)
{
    const int at = step.block * BlockSize;
    // A key the file does not know stays as the card has it, where that is known.
    for (const auto &[offset, cardKey, name] : {std::tuple{0, access.keyA, "A"}, std::tuple{10, access.keyB, "B"}}) {
        if (image.known.mid(at + offset, 6) == QByteArray(6, '\1'))
            continue;
        if (!cardKey) {
            step.action = Action::Refused;
            step.reason = text(QStringLiteral("key %1 of sector %2 is neither in the file nor known for this card"))
                              .arg(QLatin1String(name))
                              .arg(step.sector);
            return;
        }
        step.data.replace(offset, 6, *cardKey);
    }
    step.check = checkTrailer(step.sector, step.blockInSector, step.data);
    if (step.check.verdict == TrailerCheck::Verdict::InvalidAccess) {
        step.action = Action::Refused;
        step.reason = trailerRefusal(step.check, text);
        return;
    }
    const QByteArray newA = step.data.left(6), newAccess = step.data.mid(6, 4), newB = step.data.mid(10, 6);
    const bool accessKnown = card.image.known.mid(at + 6, 4) == QByteArray(4, '\1');
    const bool accessChanges = !accessKnown || card.image.bytes.mid(at + 6, 4) != newAccess;
    const bool keyAChanges = access.keyA != newA;
    const bool keyBChanges = access.keyB != newB;
    if (!accessChanges && !keyAChanges && !keyBChanges) {
        step.action = Action::Equal;
        return;
    }
    if (!access.opened() || !access.rows) {
        step.action = Action::Refused;
        step.reason = text(QStringLiteral("no key known opens sector %1 of this card")).arg(step.sector);
        return;
    }
    const int row = (*access.rows)[TrailerIndex];
    for (std::uint8_t type : {KeyA, KeyB}) {
        const auto key = usableKey(access, type);
        if (!key)
            continue;
        const bool may = (!keyAChanges || whoIncludes(rowChoice(TrailerIndex, row, Op::KeyAWrite), type)) &&
                         (!accessChanges || whoIncludes(rowChoice(TrailerIndex, row, Op::AccessWrite), type)) &&
                         (!keyBChanges || whoIncludes(rowChoice(TrailerIndex, row, Op::KeyBWrite), type));
        if (may) {
            step.keyType = type;
            step.key = *key;
            return;
        }
    }
    step.action = Action::Refused;
    step.reason = text(QStringLiteral("the card's access conditions do not let the keys known for sector %1 change "
                                      "its trailer this way"))
                      .arg(step.sector);
}

}  // namespace

bool RestorePlan::permanent() const
{
    return std::any_of(steps.begin(), steps.end(), [](const RestoreStep &s) {
        return s.action == Action::Write && s.trailer && s.check.permanent();
    });
}

int RestorePlan::count(RestoreStep::Action action) const
{
    return int(
        std::count_if(steps.begin(), steps.end(), [action](const RestoreStep &s) { return s.action == action; }));
}

QString blockLabel(int block, const TextLookup &text)
{
    const int sector = sectorOfBlock(block);
    return text(QStringLiteral("block %1 (%2/%3)")).arg(block).arg(sector).arg(block - firstBlockOf(sector));
}

QStringList accessWords(int sector, const std::array<int, 4> &rows, const TextLookup &text)
{
    QStringList lines;
    const int first = firstBlockOf(sector);
    const bool large = blocksInSector(sector) == 16;
    for (int g = 0; g < 3; ++g) {
        const QString blocks = large ? text(QStringLiteral("blocks %1-%2")).arg(first + 5 * g).arg(first + 5 * g + 4)
                                     : text(QStringLiteral("block %1")).arg(first + g);
        lines << text(QStringLiteral("%1: read %2, write %3, increment %4, decrement %5"))
                     .arg(blocks, whoText(rowChoice(g, rows[g], Op::Read), text),
                          whoText(rowChoice(g, rows[g], Op::Write), text),
                          whoText(rowChoice(g, rows[g], Op::Inc), text), whoText(rowChoice(g, rows[g], Op::Dec), text));
    }
    const int t = rows[TrailerIndex];
    lines << text(QStringLiteral("trailer: key A written by %1; access bits read by %2, written by %3; key B read by "
                                 "%4, written by %5"))
                 .arg(whoText(rowChoice(TrailerIndex, t, Op::KeyAWrite), text),
                      whoText(rowChoice(TrailerIndex, t, Op::AccessRead), text),
                      whoText(rowChoice(TrailerIndex, t, Op::AccessWrite), text),
                      whoText(rowChoice(TrailerIndex, t, Op::KeyBRead), text),
                      whoText(rowChoice(TrailerIndex, t, Op::KeyBWrite), text));
    return lines;
}

RestorePlan planRestore(const CardImage &image, const CardExchange &exchange, const QList<QByteArray> &extraKeys,
                        const TextLookup &text)
{
    RestorePlan plan;
    const KeysFor keysFor = [&](int sector) {
        QList<QByteArray> keys;
        if (sector < sectorCount(image.kind)) {
            if (const auto a = image.keyA(sector))
                keys << *a;
            if (const auto b = image.keyB(sector); b && !keys.contains(*b))
                keys << *b;
        }
        for (const QByteArray &k : extraKeys + QList<QByteArray>{transportKey()})
            if (!keys.contains(k))
                keys << k;
        return keys;
    };
    plan.card = dumpMifare(exchange, keysFor, text);
    if (plan.card.noCard) {
        plan.noCard = true;
        plan.refusal = text(QStringLiteral("No card on the reader. Nothing was written."));
        return plan;
    }
    if (plan.card.readerLost) {
        plan.readerLost = true;
        plan.refusal = text(QStringLiteral("The reader did not answer. Nothing was written."));
        return plan;
    }
    plan.cardKind = plan.card.image.kind;
    if (plan.cardKind != image.kind) {
        plan.refusal = text(QStringLiteral("The card is a %1 and the file holds a %2. Nothing was written."))
                           .arg(cardKindName(plan.cardKind), cardKindName(image.kind));
        return plan;
    }
    for (int block = 0; block < image.units(); ++block) {
        RestoreStep step;
        step.block = block;
        step.sector = sectorOfBlock(block);
        step.blockInSector = block - firstBlockOf(step.sector);
        step.trailer = isTrailerBlock(block);
        step.data = image.unit(block);
        const SectorAccess access = plan.card.sectors.value(step.sector);
        if (step.trailer) {
            if (image.known.mid(block * BlockSize + 6, 4) != QByteArray(4, '\1'))
                step.action = Action::NotInFile;
            else
                planTrailer(step, image, plan.card, access, text);
        } else if (!image.unitKnown(block)) {
            step.action = Action::NotInFile;
        } else if (plan.card.image.unitKnown(block) && plan.card.image.unit(block) == step.data) {
            step.action = Action::Equal;
        } else {
            planDataBlock(step, access, text);
        }
        plan.steps.append(step);
    }
    return plan;
}

QStringList restoreReport(const RestorePlan &plan, const TextLookup &text)
{
    if (!plan.refusal.isEmpty())
        return {plan.refusal};
    QStringList lines;
    lines << text(QStringLiteral("%1 block(s) to write, %2 equal already, %3 refused, %4 not in the file."))
                 .arg(plan.count(Action::Write))
                 .arg(plan.count(Action::Equal))
                 .arg(plan.count(Action::Refused))
                 .arg(plan.count(Action::NotInFile));
    for (const RestoreStep &s : plan.steps) {
        const QString label = blockLabel(s.block, text);
        switch (s.action) {
        case Action::Equal:
            break;
        case Action::NotInFile:
            lines << text(QStringLiteral("%1: not in the file whole, left as it is")).arg(label);
            break;
        case Action::Refused:
            lines << text(QStringLiteral("%1: refused: %2")).arg(label, s.reason);
            break;
        case Action::Write:
            lines << text(QStringLiteral("%1: write %2 with key %3"))
                         .arg(label, BytesToHex(s.data), s.keyType == KeyA ? QStringLiteral("A") : QStringLiteral("B"));
            if (s.trailer && s.check.verdict == TrailerCheck::Verdict::Valid) {
                for (const QString &w : accessWords(s.sector, s.check.rows, text))
                    lines << QStringLiteral("    ") + w;
                if (s.check.permanent()) {
                    QStringList question = trailerQuestion(s.check, text).split(QLatin1Char('\n'));
                    question.removeLast();  // "Write it?"
                    question.removeLast();  // the blank line before it
                    for (const QString &q : question)
                        lines << QStringLiteral("    ") + q;
                }
            }
            break;
        }
    }
    return lines;
}

namespace {

// Reads a written block back with the keys that open it now, and compares
// what a read can show: a data block whole; a trailer's access bytes and user
// byte, key B where readable, and both keys by opening the sector with them.
bool verifyBlock(const RestoreStep &step, const CardExchange &exchange, const std::optional<QByteArray> &newTrailer,
                 QByteArray &seen)
{
    const auto read = [&](std::uint8_t type, const QByteArray &key) {
        CardReply r = exchange(mifareReadFrame({type, key}, step.sector, step.blockInSector), MifareReadReplyLimit);
        if (r.done() && r.data.size() >= BlockSize) {
            seen = r.data.left(BlockSize);
            return true;
        }
        return false;
    };
    if (!step.trailer) {
        QList<std::pair<std::uint8_t, QByteArray>> tries;
        if (newTrailer)
            tries << std::pair{KeyA, newTrailer->left(6)} << std::pair{KeyB, newTrailer->mid(10, 6)};
        tries << std::pair{step.keyType, step.key};
        for (const auto &[type, key] : tries)
            if (read(type, key))
                return seen == step.data;
        return false;
    }
    if (!read(KeyA, step.data.left(6)) || seen.mid(6, 4) != step.data.mid(6, 4))
        return false;
    const auto rows = accessRows(step.data.mid(6, 3));
    if (rows && rowChoice(TrailerIndex, (*rows)[TrailerIndex], Op::KeyBRead) != Who::Never)
        return seen.mid(10, 6) == step.data.mid(10, 6);
    QByteArray viaA = seen;
    const bool keyBOpens = read(KeyB, step.data.mid(10, 6));
    seen = viaA;
    return keyBOpens;
}

}  // namespace

RestoreResult runRestore(const RestorePlan &plan, const CardExchange &exchange, const TextLookup &text)
{
    RestoreResult result;
    QList<const RestoreStep *> order;
    for (bool trailers : {false, true})
        for (const RestoreStep &s : plan.steps)
            if (s.action == Action::Write && s.trailer == trailers)
                order << &s;

    int failedAt = -1;
    for (int i = 0; i < order.size(); ++i) {
        const RestoreStep &s = *order.at(i);
        const CardReply r = exchange(mifareWriteFrame({s.keyType, s.key}, s.sector, s.blockInSector, s.data),
                                     ReaderLink::DefaultResponseLimit);
        if (r.done()) {
            result.written << s.block;
            continue;
        }
        result.stopped = true;
        result.readerLost = r.readerLost;
        if (!r.readerLost)
            result.cardGone = exchange(uidFrame(), ReaderLink::DefaultResponseLimit).outcome ==
                              CardReply::Outcome::NoCard;
        failedAt = i;
        break;
    }

    for (int i = 0; i < order.size(); ++i) {
        const RestoreStep &s = *order.at(i);
        const QString label = blockLabel(s.block, text);
        if (i == failedAt) {
            const QString why = result.readerLost ? text(QStringLiteral("the reader did not answer"))
                                : result.cardGone ? text(QStringLiteral("the card left the field"))
                                                  : text(QStringLiteral("the card refused it"));
            result.lines << text(QStringLiteral("%1: not written: %2")).arg(label, why);
            continue;
        }
        if (failedAt >= 0 && i > failedAt) {
            result.lines << text(QStringLiteral("%1: not written: the restore stopped before it")).arg(label);
            continue;
        }
        std::optional<QByteArray> newTrailer;
        const int trailer = firstBlockOf(s.sector) + trailerBlock(s.sector);
        if (result.written.contains(trailer))
            newTrailer = plan.steps.at(trailer).data;
        QByteArray seen;
        if (!result.readerLost && verifyBlock(s, exchange, newTrailer, seen)) {
            result.verified << s.block;
            result.lines << text(QStringLiteral("%1: written, read back equal")).arg(label);
        } else if (seen.isEmpty()) {
            result.lines << text(QStringLiteral("%1: written, but could not be read back")).arg(label);
        } else {
            result.lines << text(QStringLiteral("%1: written, but reads back %2")).arg(label, BytesToHex(seen));
        }
    }
    return result;
}

}  // namespace kv350::cards
