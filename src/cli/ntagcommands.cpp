// ntag read, ntag write, ntag url get, ntag url set.
#include "cardcommands.h"
#include "cards/mifare/mifareframes.h"
#include "cards/ntag/ndef.h"
#include "cards/ntag/ntagframes.h"
#include "cards/ntag/ntaglocks.h"
#include "exitstatus.h"
#include "link/frame.h"
#include "link/models.h"
#include "link/readerlink.h"

namespace kv350::cli {
namespace {

constexpr int LastNtagPage = 41;  // NTAG203: pages 0-41
const char *const NtagHardware = "MIFARE / NTAG card module";

QString takePage(const Options &o, bool write)
{
    if (o.arguments.size() != (write ? 2 : 1))
        return write ? QStringLiteral("ntag write needs PAGE HEX") : QStringLiteral("ntag read needs PAGE");
    if (!card::number(o.arguments[0], 0, LastNtagPage))
        return QStringLiteral("ntag %1: PAGE is 0 to %2").arg(write ? "write" : "read").arg(LastNtagPage);
    if (write) {
        const std::optional<QByteArray> data = parseHexWords({o.arguments[1]});
        if (!data || data->size() != cards::BlockSize)
            return QStringLiteral("ntag write: HEX is the 16 bytes of four pages, 32 hex digits");
    }
    return {};
}

// 16 bytes from `page` for the checks; what went wrong, when not, in `step`.
cards::TagRead sixteenFrom(ReaderLink &link, card::Step &step)
{
    return [&link, &step](int page) -> std::optional<QByteArray> {
        step = card::send(link, cards::ntagReadFrame(page), cards::NtagReadReplyLimit, cards::BlockSize);
        if (step != card::Step::Done)
            return std::nullopt;
        return link.responseData().left(cards::BlockSize);
    };
}

const QString ReadRefused = QStringLiteral("the tag refused the read (no such page)");
const QString WriteRefused = QStringLiteral("the tag refused the write (a locked page, or no such page)");

// The lock bytes and the capability container, read and compared before a
// write that covers them. ExitDone: the write may go out.
int oneTimeCheck(Session &s, const QString &what, int page, const QByteArray &data16)
{
    card::Step step = card::Step::Done;
    const auto changes = cards::permanentChangesOnTag(page, data16, sixteenFrom(*s.link, step));
    if (!changes)
        return card::failure(s, step, what + QStringLiteral(" (reading the lock bytes first)"), ReadRefused);
    if (!changes->empty() && !s.options.values.contains(QStringLiteral("force")))
        return card::say(
            s, ExitNeedsForce,
            QStringLiteral("%1: not written: %2\n%3")
                .arg(what, cards::permanentQuestion(*changes, englishText), QLatin1String(card::ForceHint)));
    return ExitDone;
}

int ntagRead(Session &s)
{
    const int page = s.options.arguments[0].toInt();
    int status = ExitDone;
    if (!card::ready(s, CapMifareNtag, NtagHardware, status))
        return status;
    ReaderLink &link = *s.link;
    const card::Step step = card::send(link, cards::ntagReadFrame(page), cards::NtagReadReplyLimit, cards::BlockSize);
    if (step != card::Step::Done)
        return card::failure(s, step, QStringLiteral("ntag read %1").arg(page), ReadRefused);
    const QString data = BytesToHex(link.responseData().left(cards::BlockSize));
    card::print(s, {{"page", page}, {"data", data}}, data);
    return ExitDone;
}

int ntagWrite(Session &s)
{
    const int page = s.options.arguments[0].toInt();
    const QByteArray data = *parseHexWords({s.options.arguments[1]});
    const QString what = QStringLiteral("ntag write %1").arg(page);
    int status = ExitDone;
    if (!card::ready(s, CapMifareNtag, NtagHardware, status))
        return status;
    if (const int checked = oneTimeCheck(s, what, page, data); checked != ExitDone)
        return checked;
    const card::Step step = card::send(*s.link, cards::ntagWriteFrame(page, data), ReaderLink::DefaultResponseLimit);
    if (step != card::Step::Done)
        return card::failure(s, step, what, WriteRefused);
    card::print(s, {{"page", page}, {"written", true}}, QStringLiteral("pages %1-%2 written").arg(page).arg(page + 3));
    return ExitDone;
}

int urlGet(Session &s)
{
    int status = ExitDone;
    if (!card::ready(s, CapMifareNtag, NtagHardware, status))
        return status;
    card::Step step = card::Step::Done;
    const std::optional<cards::UrlReading> reading = cards::readUrlFromTag(sixteenFrom(*s.link, step));
    if (!reading)
        return card::failure(s, step, QStringLiteral("ntag url get"), ReadRefused);
    if (reading->status != cards::UrlReadStatus::Url)
        return card::say(s, ExitFailed,
                         QStringLiteral("ntag url get: %1 (pages 3-6: %2)")
                             .arg(cards::urlReadingText(*reading, englishText), BytesToHex(reading->header)));
    card::print(
        s,
        {{"url", reading->url}, {"header", BytesToHex(reading->header)}, {"record", BytesToHex(reading->recordBytes)}},
        visibleText(reading->url));
    return ExitDone;
}

QString takeUrl(const Options &o)
{
    if (o.arguments.size() != 1)
        return QStringLiteral("ntag url set needs the URL (quoted when it holds blanks)");
    const cards::UrlBuild build = cards::buildUrlRecord(o.arguments[0]);
    if (build.problem != cards::UrlProblem::None)
        return QStringLiteral("ntag url set: %1").arg(cards::urlProblemText(build, o.arguments[0], englishText));
    return {};
}

int urlSet(Session &s)
{
    const QString url = s.options.arguments[0];
    const cards::UrlBuild build = cards::buildUrlRecord(url);
    const std::vector<cards::PageWrite> writes = cards::urlWrites(build.record);
    const QString what = QStringLiteral("ntag url set");
    int status = ExitDone;
    if (!card::ready(s, CapMifareNtag, NtagHardware, status))
        return status;
    // The first write covers the capability container, which takes bits and never gives them back.
    if (const int checked = oneTimeCheck(s, what, writes.front().page, writes.front().data); checked != ExitDone)
        return checked;
    for (const cards::PageWrite &w : writes) {
        // A refused write stops the rest: the tag keeps an empty message, never half a URL.
        const card::Step step = card::send(*s.link, cards::ntagWriteFrame(w.page, w.data),
                                           ReaderLink::DefaultResponseLimit);
        if (step != card::Step::Done)
            return card::failure(s, step, QStringLiteral("%1 (pages %2-%3)").arg(what).arg(w.page).arg(w.page + 3),
                                 WriteRefused);
    }
    card::print(s, {{"url", url}, {"written", true}, {"header", BytesToHex(build.record.header())}},
                QStringLiteral("URL written: %1").arg(visibleText(url)));
    return ExitDone;
}

}  // namespace

void addNtagCommands(std::vector<CommandSpec> &table)
{
    table.push_back({{"ntag", "read"},
                     "PAGE [--json]",
                     "read 16 bytes (four pages) of an NTAG203 / Ultralight tag from PAGE",
                     true,
                     true,
                     {},
                     [](const QCommandLineParser &, Options &o) { return takePage(o, false); },
                     ntagRead});
    table.push_back({{"ntag", "write"},
                     "PAGE HEX [--force] [--json]",
                     "write 16 bytes from PAGE; lock bytes or the capability container changed need --force",
                     true,
                     true,
                     {card::forceOption()},
                     [](const QCommandLineParser &, Options &o) { return takePage(o, true); },
                     ntagWrite});
    table.push_back({{"ntag", "url", "get"},
                     "[--json]",
                     "read the tag's NDEF URI record and print the URL",
                     true,
                     true,
                     {},
                     {},
                     urlGet});
    table.push_back({{"ntag", "url", "set"},
                     "URL [--force] [--json]",
                     "write URL as the tag's NDEF URI record (a blank tag's capability container needs --force)",
                     true,
                     true,
                     {card::forceOption()},
                     [](const QCommandLineParser &, Options &o) { return takeUrl(o); },
                     urlSet});
}

}  // namespace kv350::cli
