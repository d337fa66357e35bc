// iso15693 inventory, info, read, write; epc read, write; etag read, write.
#include "cardcommands.h"
#include "cards/epc/epccommands.h"
#include "cards/iso15693/isoframes.h"
#include "exitstatus.h"
#include "link/frame.h"
#include "link/models.h"
#include "link/readerlink.h"

namespace kv350::cli {
namespace {

const char *const IsoHardware = "ISO 15693 card module";
const char *const UhfHardware = "UHF tag module";
constexpr int LastIsoBlock = 255;
constexpr int LastEpcAddress = 1023;
constexpr int MostEpcWords = 32;
// A write is accepted as the page accepts it (9 bytes, "OK"), but read whole:
// a refusal ("W:NOTAG", "W:LOCKED") is longer than the 9 bytes the page reads,
// and the command line says why.
constexpr int WriteReplyLimit = ReaderLink::DefaultResponseLimit;

// ---- ISO 15693 ----

// The card in the field, by inventory: its UID, or the exit status after saying why.
std::optional<QByteArray> inventoryUid(Session &s, const QString &what, QByteArray *data, int &status)
{
    ReaderLink &link = *s.link;
    const card::Step step = card::send(link, cards::isoInventoryFrame(), ReaderLink::DefaultResponseLimit);
    if (step == card::Step::Failed) {
        status = card::linkFailure(s, what);
        return std::nullopt;
    }
    const std::optional<QByteArray> uid = step == card::Step::Done ? cards::inventoryUid(link.responseData())
                                                                   : std::nullopt;
    if (!uid) {
        status = card::say(s, ExitNoCard, QStringLiteral("%1: no ISO 15693 card in the reader's field").arg(what));
        return std::nullopt;
    }
    if (data)
        *data = link.responseData();
    return uid;
}

// An addressed command after the inventory: refused means the card would not (locked, no such block).
int addressedFailure(Session &s, card::Step step, const QString &what)
{
    if (step == card::Step::Failed)
        return card::linkFailure(s, what);
    const std::uint8_t status = s.link->responseStatus();
    return card::say(s, step == card::Step::Refused ? ExitCardRefused : ExitFailed,
                     step == card::Step::Refused
                         ? QStringLiteral("%1: the card refused it (locked, or no such block; status %2)")
                               .arg(what, BytesToHex(&status, 1))
                         : QStringLiteral("%1: the reply is too short").arg(what));
}

int isoInventory(Session &s)
{
    int status = ExitDone;
    if (!card::ready(s, CapIso15693, IsoHardware, status))
        return status;
    QByteArray data;
    const std::optional<QByteArray> uid = inventoryUid(s, QStringLiteral("iso15693 inventory"), &data, status);
    if (!uid)
        return status;
    const QString dsfid = BytesToHex(data.mid(1, 1));
    card::print(s, {{"uid", BytesToHex(*uid)}, {"dsfid", dsfid}, {"data", BytesToHex(data)}},
                QStringLiteral("UID %1  DSFID %2").arg(BytesToHex(*uid), dsfid));
    return ExitDone;
}

int isoInfo(Session &s)
{
    const QString what = QStringLiteral("iso15693 info");
    int status = ExitDone;
    if (!card::ready(s, CapIso15693, IsoHardware, status))
        return status;
    const std::optional<QByteArray> uid = inventoryUid(s, what, nullptr, status);
    if (!uid)
        return status;
    const card::Step step = card::send(*s.link, cards::isoInformationFrame(*uid), ReaderLink::DefaultResponseLimit);
    if (step != card::Step::Done)
        return addressedFailure(s, step, what);
    const QString data = BytesToHex(s.link->responseData());
    card::print(s, {{"uid", BytesToHex(*uid)}, {"data", data}}, data);
    return ExitDone;
}

QString takeIsoRead(const Options &o)
{
    if (o.arguments.isEmpty() || o.arguments.size() > 2)
        return QStringLiteral("iso15693 read needs BLOCK [COUNT]");
    if (!card::number(o.arguments[0], 0, LastIsoBlock))
        return QStringLiteral("iso15693 read: BLOCK is 0 to %1").arg(LastIsoBlock);
    if (o.arguments.size() == 2 && !card::number(o.arguments[1], 1, cards::IsoMaxBlocks))
        return QStringLiteral("iso15693 read: COUNT is 1 to %1 blocks").arg(cards::IsoMaxBlocks);
    return {};
}

int isoRead(Session &s)
{
    const int block = s.options.arguments[0].toInt();
    const int count = s.options.arguments.size() > 1 ? s.options.arguments[1].toInt() : 1;
    const QString what = QStringLiteral("iso15693 read %1 %2").arg(block).arg(count);
    int status = ExitDone;
    if (!card::ready(s, CapIso15693, IsoHardware, status))
        return status;
    const std::optional<QByteArray> uid = inventoryUid(s, what, nullptr, status);
    if (!uid)
        return status;
    const card::Step step = card::send(*s.link, cards::isoReadFrame(*uid, block, count),
                                       ReaderLink::DefaultResponseLimit);
    const std::optional<QByteArray> blocks = step == card::Step::Done ? cards::isoBlocks(s.link->responseData(), count)
                                                                      : std::nullopt;
    if (!blocks)
        return addressedFailure(s, step == card::Step::Done ? card::Step::Short : step, what);
    const QString data = BytesToHex(*blocks);
    card::print(s, {{"uid", BytesToHex(*uid)}, {"block", block}, {"count", count}, {"data", data}}, data);
    return ExitDone;
}

QString takeIsoWrite(const Options &o)
{
    if (o.arguments.size() != 2)
        return QStringLiteral("iso15693 write needs BLOCK HEX");
    if (!card::number(o.arguments[0], 0, LastIsoBlock))
        return QStringLiteral("iso15693 write: BLOCK is 0 to %1").arg(LastIsoBlock);
    const std::optional<QByteArray> data = parseHexWords({o.arguments[1]});
    if (!data || data->size() % cards::IsoBlockSize != 0 || data->size() > cards::IsoMaxBlocks * cards::IsoBlockSize)
        return QStringLiteral("iso15693 write: HEX is 1 to %1 whole blocks of 4 bytes (8 hex digits each)")
            .arg(cards::IsoMaxBlocks);
    return {};
}

int isoWrite(Session &s)
{
    const int block = s.options.arguments[0].toInt();
    const QByteArray data = *parseHexWords({s.options.arguments[1]});
    const int count = int(data.size()) / cards::IsoBlockSize;
    const QString what = QStringLiteral("iso15693 write %1").arg(block);
    int status = ExitDone;
    if (!card::ready(s, CapIso15693, IsoHardware, status))
        return status;
    const std::optional<QByteArray> uid = inventoryUid(s, what, nullptr, status);
    if (!uid)
        return status;
    const card::Step step = card::send(*s.link, cards::isoWriteFrame(*uid, block, count, data),
                                       ReaderLink::DefaultResponseLimit);
    if (step != card::Step::Done)
        return addressedFailure(s, step, what);
    card::print(s, {{"uid", BytesToHex(*uid)}, {"block", block}, {"count", count}, {"written", true}},
                QStringLiteral("%1 block(s) from block %2 written").arg(count).arg(block));
    return ExitDone;
}

// ---- EPC and eTag (the UHF module) ----

std::optional<EpcBank> bankOf(const QString &text)
{
    const QString t = text.toLower();
    if (t == QLatin1String("epc") || t == QLatin1String("1"))
        return EpcBank::Epc;
    if (t == QLatin1String("tid") || t == QLatin1String("2"))
        return EpcBank::Tid;
    if (t == QLatin1String("user") || t == QLatin1String("3"))
        return EpcBank::User;
    return std::nullopt;
}

bool hexCharacters(const QString &text)
{
    return !text.isEmpty() && std::all_of(text.begin(), text.end(), [](QChar c) { return hexDigitValue(c) >= 0; });
}

// A tag command with the page's three attempts; the module's refusal (its
// text, e.g. "R:NOTAG") decides between no tag and a refusal.
int tagFailure(Session &s, const QString &what)
{
    ReaderLink &link = *s.link;
    if (link.error() != LinkError::None)
        return card::linkFailure(s, what);
    if (link.responseStatus() == proto::StaOk)
        return card::say(s, ExitFailed, QStringLiteral("%1: the module's reply is not what was asked").arg(what));
    const QString answer = visibleText(QString::fromLatin1(link.responseData()).trimmed());
    if (answer.contains(QLatin1String("NOTAG")))
        return card::say(s, ExitNoCard, QStringLiteral("%1: no tag in the reader's field (%2)").arg(what, answer));
    return card::say(s, ExitCardRefused, QStringLiteral("%1: the module refused it (%2)").arg(what, answer));
}

bool tagCommand(Session &s, const QByteArray &request, int responseLimit, const cards::TagReply &want)
{
    return cards::ExecuteTagCommand(*s.link, s.pause, request, responseLimit, want);
}

QString takeEpc(const Options &o, bool write)
{
    const QString command = write ? QStringLiteral("epc write") : QStringLiteral("epc read");
    if (o.arguments.size() != 3)
        return write ? QStringLiteral("epc write needs BANK ADDRESS HEX")
                     : QStringLiteral("epc read needs BANK ADDRESS LENGTH");
    if (!bankOf(o.arguments[0]))
        return QStringLiteral("%1: BANK is epc, tid or user (or 1, 2, 3)").arg(command);
    if (!card::number(o.arguments[1], 0, LastEpcAddress))
        return QStringLiteral("%1: ADDRESS is the first word, 0 to %2").arg(command).arg(LastEpcAddress);
    if (!write && !card::number(o.arguments[2], 1, MostEpcWords))
        return QStringLiteral("epc read: LENGTH is 1 to %1 words").arg(MostEpcWords);
    if (write) {
        const QString &hex = o.arguments[2];
        if (!hexCharacters(hex) || hex.size() % 4 != 0 || hex.size() > 4 * MostEpcWords)
            return QStringLiteral("epc write: HEX is 1 to %1 words of 4 hex digits").arg(MostEpcWords);
    }
    return {};
}

int epcRead(Session &s)
{
    const EpcBank bank = *bankOf(s.options.arguments[0]);
    const int address = s.options.arguments[1].toInt();
    const int words = s.options.arguments[2].toInt();
    const QString text = cards::EpcCommandText(bank, address, words);
    const QString what = QStringLiteral("epc read ") + text;
    int status = ExitDone;
    if (!card::ready(s, CapUhfTags, UhfHardware, status))
        return status;
    const int size = cards::readEpcResponseSize(words);
    if (!tagCommand(s, cards::readEpcRequest(text), size, {size, false}))
        return tagFailure(s, what);
    const QString data = visibleText(cards::tagReadText(s.link->ResponseBuffer().data(), cards::epcDataChars(words)));
    card::print(s, {{"bank", s.options.arguments[0].toLower()}, {"address", address}, {"words", words}, {"data", data}},
                data);
    return ExitDone;
}

int epcWrite(Session &s)
{
    const EpcBank bank = *bankOf(s.options.arguments[0]);
    const int address = s.options.arguments[1].toInt();
    const QString hex = s.options.arguments[2].toUpper();
    const int words = int(hex.size()) / 4;
    const QString text = cards::EpcCommandText(bank, address, words);
    const QString what = QStringLiteral("epc write ") + text;
    int status = ExitDone;
    if (!card::ready(s, CapUhfTags, UhfHardware, status))
        return status;
    if (!tagCommand(s, cards::writeEpcRequest(text, hex, words), WriteReplyLimit, cards::TagWriteReply))
        return tagFailure(s, what);
    card::print(s,
                {{"bank", s.options.arguments[0].toLower()}, {"address", address}, {"words", words}, {"written", true}},
                QStringLiteral("%1 word(s) from word %2 written").arg(words).arg(address));
    return ExitDone;
}

int etagRead(Session &s)
{
    int status = ExitDone;
    if (!card::ready(s, CapUhfTags, UhfHardware, status))
        return status;
    if (!tagCommand(s, cards::readEtagRequest(), cards::EtagReadResponseSize, cards::EtagReadReply))
        return tagFailure(s, QStringLiteral("etag read"));
    const QString data = visibleText(cards::tagReadText(s.link->ResponseBuffer().data(), cards::EtagChars));
    card::print(s, {{"data", data}}, data);
    return ExitDone;
}

QString takeEtag(const Options &o)
{
    if (o.arguments.size() != 1)
        return QStringLiteral("etag write needs HEX");
    if (!hexCharacters(o.arguments[0]) || o.arguments[0].size() != cards::EtagChars)
        return QStringLiteral("etag write: HEX is the tag's %1 hex digits").arg(cards::EtagChars);
    return {};
}

int etagWrite(Session &s)
{
    const QString hex = s.options.arguments[0].toUpper();
    int status = ExitDone;
    if (!card::ready(s, CapUhfTags, UhfHardware, status))
        return status;
    if (!tagCommand(s, cards::writeEtagRequest(hex), WriteReplyLimit, cards::TagWriteReply))
        return tagFailure(s, QStringLiteral("etag write"));
    card::print(s, {{"data", hex}, {"written", true}}, QStringLiteral("eTag written: %1").arg(hex));
    return ExitDone;
}

}  // namespace

void addTagCommands(std::vector<CommandSpec> &table)
{
    table.push_back({{"iso15693", "inventory"},
                     "[--json]",
                     "find the ISO 15693 card in the field: UID and DSFID",
                     true,
                     true,
                     {},
                     {},
                     isoInventory});
    table.push_back({{"iso15693", "info"},
                     "[--json]",
                     "the card's system information (after an inventory)",
                     true,
                     true,
                     {},
                     {},
                     isoInfo});
    table.push_back({{"iso15693", "read"},
                     "BLOCK [COUNT] [--json]",
                     "read COUNT (1-6, default 1) 4-byte blocks from BLOCK",
                     true,
                     true,
                     {},
                     [](const QCommandLineParser &, Options &o) { return takeIsoRead(o); },
                     isoRead});
    table.push_back({{"iso15693", "write"},
                     "BLOCK HEX [--json]",
                     "write 1 to 6 blocks (8 hex digits each) from BLOCK",
                     true,
                     true,
                     {},
                     [](const QCommandLineParser &, Options &o) { return takeIsoWrite(o); },
                     isoWrite});
    table.push_back({{"epc", "read"},
                     "BANK ADDRESS LENGTH [--json]",
                     "read LENGTH words of an EPC tag's bank (epc, tid, user) from word ADDRESS",
                     true,
                     true,
                     {},
                     [](const QCommandLineParser &, Options &o) { return takeEpc(o, false); },
                     epcRead});
    table.push_back({{"epc", "write"},
                     "BANK ADDRESS HEX [--json]",
                     "write words (4 hex digits each) into an EPC tag's bank from word ADDRESS",
                     true,
                     true,
                     {},
                     [](const QCommandLineParser &, Options &o) { return takeEpc(o, true); },
                     epcWrite});
    table.push_back({{"etag", "read"},
                     "[--json]",
                     "read the eTag number (EPC bank, word 2, 4 words)",
                     true,
                     true,
                     {},
                     {},
                     etagRead});
    table.push_back({{"etag", "write"},
                     "HEX [--json]",
                     "write the eTag number, 16 hex digits",
                     true,
                     true,
                     {},
                     [](const QCommandLineParser &, Options &o) { return takeEtag(o); },
                     etagWrite});
}

}  // namespace kv350::cli
