// uid, mifare read, mifare write.
#include "cardcommands.h"
#include "cards/mifare/mifareframes.h"
#include "cards/mifare/trailerguard.h"
#include "exitstatus.h"
#include "link/frame.h"
#include "link/models.h"
#include "link/readerlink.h"

namespace kv350::cli {
namespace {

const QString TransportKey = QStringLiteral("FFFFFFFFFFFF");

struct BlockArgs {
    int sector = 0;
    int block = 0;
    cards::MifareKey key;
    QByteArray data;  // write: 16 bytes
};

// SECTOR BLOCK [HEX] and the key options; nothing, and why, when they do not hold.
std::optional<BlockArgs> blockArgs(const Options &o, bool write, QString &why)
{
    const QString command = write ? QStringLiteral("mifare write") : QStringLiteral("mifare read");
    const int wanted = write ? 3 : 2;
    if (o.arguments.size() != wanted) {
        why = write ? QStringLiteral("mifare write needs SECTOR BLOCK HEX")
                    : QStringLiteral("mifare read needs SECTOR BLOCK");
        return std::nullopt;
    }
    BlockArgs a;
    const std::optional<int> sector = card::number(o.arguments[0], 0, 39);
    if (!sector) {
        why = QStringLiteral("%1: SECTOR is 0 to 39 (16 on a 1K card, 40 on a 4K card)").arg(command);
        return std::nullopt;
    }
    const int last = cards::blocksInSector(*sector) - 1;
    const std::optional<int> block = card::number(o.arguments[1], 0, last);
    if (!block) {
        why = QStringLiteral("%1: BLOCK of sector %2 is 0 to %3").arg(command).arg(*sector).arg(last);
        return std::nullopt;
    }
    a.sector = *sector;
    a.block = *block;
    const bool stored = o.values.contains(QStringLiteral("stored"));
    const bool typed = o.values.contains(QStringLiteral("key"));
    if (stored && typed) {
        why = QStringLiteral("%1: choose --key or --stored").arg(command);
        return std::nullopt;
    }
    a.key.type = cards::KeyTypeByte(!o.values.contains(QStringLiteral("key-b")));
    if (!stored) {
        const QString text = typed ? o.values.value(QStringLiteral("key")).value(0) : TransportKey;
        const std::optional<QByteArray> key = parseHexWords({text});
        if (!key || key->size() != cards::KeySize) {
            why = QStringLiteral("%1: --key needs 12 hex digits (six bytes)").arg(command);
            return std::nullopt;
        }
        a.key.typed = *key;
    }
    if (write) {
        const std::optional<QByteArray> data = parseHexWords({o.arguments[2]});
        if (!data || data->size() != cards::BlockSize) {
            why = QStringLiteral("mifare write: HEX is the block's 16 bytes, 32 hex digits");
            return std::nullopt;
        }
        a.data = *data;
    }
    return a;
}

QString keyName(const BlockArgs &a)
{
    return QStringLiteral("key %1%2")
        .arg(a.key.type == cards::KeyB ? QLatin1Char('B') : QLatin1Char('A'))
        .arg(a.key.typed ? QString() : QStringLiteral(" stored in the reader"));
}

int uid(Session &s)
{
    int status = ExitDone;
    if (!card::ready(s, CapMifareNtag, "MIFARE / NTAG card module", status))
        return status;
    ReaderLink &link = *s.link;
    const card::Step step = card::send(link, cards::uidFrame(), ReaderLink::DefaultResponseLimit, 1);
    if (step == card::Step::Refused)
        return card::say(s, ExitNoCard, QStringLiteral("uid: no card in the reader's field"));
    if (step != card::Step::Done)
        return card::failure(s, step, QStringLiteral("uid"), {});
    const QString uidHex = BytesToHex(link.responseData());
    card::print(s, {{"uid", uidHex}}, uidHex);
    return ExitDone;
}

int mifareRead(Session &s)
{
    QString why;
    const BlockArgs a = *blockArgs(s.options, false, why);
    int status = ExitDone;
    if (!card::ready(s, CapMifareNtag, "MIFARE / NTAG card module", status))
        return status;
    ReaderLink &link = *s.link;
    const card::Step step = card::send(link, cards::mifareReadFrame(a.key, a.sector, a.block),
                                       cards::MifareReadReplyLimit, cards::BlockSize);
    if (step != card::Step::Done)
        return card::failure(
            s, step, QStringLiteral("mifare read %1 %2").arg(a.sector).arg(a.block),
            QStringLiteral("the card refused the read: %1 was not accepted, or the block may not be read with it")
                .arg(keyName(a)));
    const QString data = BytesToHex(link.responseData().left(cards::BlockSize));
    card::print(s, {{"sector", a.sector}, {"block", a.block}, {"data", data}}, data);
    return ExitDone;
}

int mifareWrite(Session &s)
{
    QString why;
    const BlockArgs a = *blockArgs(s.options, true, why);
    const QString what = QStringLiteral("mifare write %1 %2").arg(a.sector).arg(a.block);
    // The trailer guard, before anything goes out.
    const cards::TrailerCheck check = cards::checkTrailer(a.sector, a.block, a.data);
    if (check.verdict == cards::TrailerCheck::Verdict::InvalidAccess)
        return card::say(s, ExitBadArguments,
                         QStringLiteral("%1: not written: %2").arg(what, cards::trailerRefusal(check, englishText)));
    if (check.permanent() && !s.options.values.contains(QStringLiteral("force")))
        return card::say(s, ExitNeedsForce,
                         QStringLiteral("%1: not written: %2\n%3")
                             .arg(what, cards::trailerQuestion(check, englishText), QLatin1String(card::ForceHint)));
    int status = ExitDone;
    if (!card::ready(s, CapMifareNtag, "MIFARE / NTAG card module", status))
        return status;
    const card::Step step = card::send(*s.link, cards::mifareWriteFrame(a.key, a.sector, a.block, a.data),
                                       ReaderLink::DefaultResponseLimit);
    if (step != card::Step::Done)
        return card::failure(
            s, step, what,
            QStringLiteral("the card refused the write: %1 was not accepted, or the block may not be written with it")
                .arg(keyName(a)));
    card::print(s, {{"sector", a.sector}, {"block", a.block}, {"written", true}},
                QStringLiteral("sector %1 block %2 written").arg(a.sector).arg(a.block));
    return ExitDone;
}

QList<QCommandLineOption> keyOptions()
{
    return {QCommandLineOption(QStringLiteral("key"),
                               QStringLiteral("the key, 12 hex digits (default FFFFFFFFFFFF, the transport key)"),
                               QStringLiteral("HEX")),
            QCommandLineOption(QStringLiteral("stored"),
                               QStringLiteral("the key the reader holds for the sector instead of a typed one")),
            QCommandLineOption(QStringLiteral("key-b"), QStringLiteral("authenticate with key B (default key A)"))};
}

QString takeBlock(const Options &o, bool write)
{
    QString why;
    return blockArgs(o, write, why) ? QString() : why;
}

}  // namespace

void addMifareCommands(std::vector<CommandSpec> &table)
{
    table.push_back(
        {{"uid"}, "[--json]", "read the UID of the card in the field (MIFARE, NTAG)", true, true, {}, {}, uid});
    table.push_back({{"mifare", "read"},
                     "SECTOR BLOCK [--key HEX | --stored] [--key-b] [--json]",
                     "read one 16-byte block of a MIFARE Classic card",
                     true,
                     true,
                     keyOptions(),
                     [](const QCommandLineParser &, Options &o) { return takeBlock(o, false); },
                     mifareRead});
    table.push_back({{"mifare", "write"},
                     "SECTOR BLOCK HEX [--key HEX | --stored] [--key-b] [--force] [--json]",
                     "write one block; a sector trailer is checked first (permanent conditions need --force)",
                     true,
                     true,
                     keyOptions() << card::forceOption(),
                     [](const QCommandLineParser &, Options &o) { return takeBlock(o, true); },
                     mifareWrite});
}

}  // namespace kv350::cli
