#include "dumpcommands.h"

#include "cards/dump/dumpformats.h"
#include "cards/dump/keysfile.h"
#include "cards/mifare/mifaredump.h"
#include "cards/mifare/mifarerestore.h"
#include "cards/ntag/ntagdump.h"
#include "exitstatus.h"
#include "link/frame.h"
#include "link/readerlink.h"
#include "readercommands.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

namespace kv350::cli {
namespace {

using namespace kv350::cards;

const QString FormatOption = QStringLiteral("format");
const QString KeysOption = QStringLiteral("keys");
const QString DryRunOption = QStringLiteral("dry-run");
const QString ForceOption = QStringLiteral("force");

QString takeOneFile(const Options &o, const QString &what)
{
    if (o.arguments.isEmpty())
        return QStringLiteral("%1 needs %2").arg(o.command, what);
    if (o.arguments.size() > 1)
        return QStringLiteral("unexpected %1").arg(o.arguments.mid(1).join(QLatin1Char(' ')));
    return {};
}

// OUT and --format: the format named, else the one of OUT's extension, else mct (bin for a tag).
QString takeDumpTarget(const Options &o, bool tag)
{
    if (const QString problem = takeOneFile(o, QStringLiteral("OUT")); !problem.isEmpty())
        return problem;
    const QStringList named = o.values.value(FormatOption);
    if (!named.isEmpty()) {
        const auto format = formatFromName(named.last());
        if (!format || (tag && !formatHolds(*format, CardKind::Ntag203)))
            return tag ? QStringLiteral("--format needs bin or nfc")
                       : QStringLiteral("--format needs mct, bin, json or nfc");
    }
    return {};
}

DumpFormat targetFormat(const Options &o, bool tag)
{
    const QStringList named = o.values.value(FormatOption);
    if (!named.isEmpty())
        return *formatFromName(named.last());
    const auto byName = formatFromFileName(o.arguments.value(0));
    if (byName && (!tag || formatHolds(*byName, CardKind::Ntag203)))
        return *byName;
    return tag ? DumpFormat::Bin : DumpFormat::Mct;
}

bool connected(Session &s)
{
    if (s.link->ConnectReader())
        return true;
    s.err << "kv350ctl: " << failureText(QStringLiteral("no reader identified on"), s.options, s.link->lastError())
          << '\n';
    return false;
}

int saveImage(Session &s, const CardImage &image, DumpFormat format)
{
    const QString path = s.options.arguments.value(0);
    const ExportResult exported = exportDump(image, format);
    if (!exported.refusal.isEmpty()) {
        s.err << "kv350ctl: " << path << " not written: " << exported.refusal.arg(exported.argument) << '\n';
        return ExitFailed;
    }
    // Written whole or not at all: an old file of that name stays until the new one is complete.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(exported.content) != exported.content.size() || !file.commit()) {
        s.err << "kv350ctl: " << path << ": " << file.errorString() << '\n';
        return ExitFailed;
    }
    return ExitDone;
}

std::optional<QByteArray> readFile(Session &s, const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        s.err << "kv350ctl: " << path << ": " << file.errorString() << '\n';
        return std::nullopt;
    }
    // No dump is near this size; a larger file is not one.
    constexpr qint64 Largest = 1 << 20;
    if (file.size() > Largest) {
        s.err << "kv350ctl: " << path << ": " << file.size() << " bytes is too large for a card dump\n";
        return std::nullopt;
    }
    return file.readAll();
}

// The --keys file's keys; nothing (and the reason said) when it is damaged.
std::optional<QList<QByteArray>> extraKeys(Session &s)
{
    const QStringList named = s.options.values.value(KeysOption);
    if (named.isEmpty())
        return QList<QByteArray>{};
    const auto content = readFile(s, named.last());
    if (!content)
        return std::nullopt;
    const KeysFile keys = parseKeysFile(*content);
    if (!keys.ok()) {
        s.err << "kv350ctl: " << named.last() << ": " << importErrorText(keys.error, englishText) << '\n';
        return std::nullopt;
    }
    return keys.keys;
}

int mifareDump(Session &s)
{
    const auto keys = extraKeys(s);
    if (!keys)
        return ExitBadArguments;
    // The keys of the file, then the transport key of every new card.
    QList<QByteArray> tried = *keys;
    if (!tried.contains(transportKey()))
        tried.append(transportKey());
    if (!connected(s))
        return exitStatusFor(s.link->error());
    const MifareDump dump = dumpMifare(
        linkExchange(*s.link, s.pause), [&](int) { return tried; }, englishText);
    if (dump.noCard) {
        s.err << "kv350ctl: no card on the reader\n";
        return ExitNoCard;
    }
    if (dump.readerLost) {
        s.err << "kv350ctl: " << s.link->lastError() << '\n';
        return exitStatusFor(s.link->error());
    }
    if (dump.sectorsOpened() == 0) {
        s.err << "kv350ctl: no key given opens any sector of the card; nothing written\n";
        return ExitCardRefused;
    }
    const DumpFormat format = targetFormat(s.options, false);
    const int status = saveImage(s, dump.image, format);
    if (status != ExitDone)
        return status;
    if (s.options.json) {
        QJsonArray sectors;
        for (int i = 0; i < dump.sectors.size(); ++i) {
            const SectorAccess &a = dump.sectors.at(i);
            QJsonObject o{{QStringLiteral("sector"), i}};
            o.insert(QStringLiteral("keyA"), a.keyA ? QJsonValue(BytesToHex(*a.keyA)) : QJsonValue());
            o.insert(QStringLiteral("keyB"), a.keyB ? QJsonValue(BytesToHex(*a.keyB)) : QJsonValue());
            sectors.append(o);
        }
        const QJsonObject result{{QStringLiteral("file"), s.options.arguments.value(0)},
                                 {QStringLiteral("format"), formatName(format)},
                                 {QStringLiteral("card"), cardKindName(dump.image.kind)},
                                 {QStringLiteral("uid"), BytesToHex(dump.image.uid)},
                                 {QStringLiteral("blocksRead"), dump.image.knownUnits()},
                                 {QStringLiteral("blocks"), dump.image.units()},
                                 {QStringLiteral("sectors"), sectors}};
        s.out << QJsonDocument(result).toJson(QJsonDocument::Compact) << '\n';
        return ExitDone;
    }
    s.out << cardKindName(dump.image.kind) << " UID " << BytesToHex(dump.image.uid) << '\n';
    for (const QString &line : dump.lines)
        s.out << line << '\n';
    s.out << dump.image.knownUnits() << " of " << dump.image.units() << " blocks read whole; written to "
          << s.options.arguments.value(0) << " (" << formatName(format) << ")\n";
    return ExitDone;
}

int mifareRestore(Session &s)
{
    const QString path = s.options.arguments.value(0);
    const auto content = readFile(s, path);
    if (!content)
        return ExitFailed;
    const ImportResult imported = importDump(*content);
    if (!imported.image) {
        s.err << "kv350ctl: " << path << ": " << importErrorText(imported.error, englishText)
              << "; nothing was written\n";
        return ExitBadArguments;
    }
    if (!isMifare(imported.image->kind)) {
        s.err << "kv350ctl: " << path << " holds an " << cardKindName(imported.image->kind)
              << ", not a MIFARE Classic card; nothing was written\n";
        return ExitBadArguments;
    }
    const auto keys = extraKeys(s);
    if (!keys)
        return ExitBadArguments;
    if (!connected(s))
        return exitStatusFor(s.link->error());
    const CardExchange exchange = linkExchange(*s.link, s.pause);
    const RestorePlan plan = planRestore(*imported.image, exchange, *keys, englishText);
    const QStringList report = restoreReport(plan, englishText);
    const bool json = s.options.json;
    if (!plan.refusal.isEmpty()) {
        s.err << "kv350ctl: " << plan.refusal << '\n';
        return plan.noCard ? ExitNoCard : plan.readerLost ? exitStatusFor(s.link->error()) : ExitFailed;
    }
    if (!json)
        for (const QString &line : report)
            s.out << line << '\n';
    const auto jsonOut = [&](const RestoreResult *result) {
        QJsonObject o{{QStringLiteral("report"), QJsonArray::fromStringList(report)},
                      {QStringLiteral("toWrite"), plan.count(RestoreStep::Action::Write)},
                      {QStringLiteral("equal"), plan.count(RestoreStep::Action::Equal)},
                      {QStringLiteral("refused"), plan.count(RestoreStep::Action::Refused)}};
        if (result) {
            o.insert(QStringLiteral("lines"), QJsonArray::fromStringList(result->lines));
            o.insert(QStringLiteral("written"), int(result->written.size()));
            o.insert(QStringLiteral("verified"), int(result->verified.size()));
            o.insert(QStringLiteral("complete"), result->complete());
        }
        s.out << QJsonDocument(o).toJson(QJsonDocument::Compact) << '\n';
    };
    if (s.options.values.contains(DryRunOption) || plan.count(RestoreStep::Action::Write) == 0) {
        if (json)
            jsonOut(nullptr);
        return ExitDone;
    }
    if (plan.permanent() && !s.options.values.contains(ForceOption)) {
        if (json)
            jsonOut(nullptr);
        s.err << "kv350ctl: refused: the restore makes access conditions or keys permanent (see the report); "
                 "nothing was written. Add --force to write it.\n";
        return ExitNeedsForce;
    }
    const RestoreResult result = runRestore(plan, exchange, englishText);
    if (json) {
        jsonOut(&result);
    } else {
        for (const QString &line : result.lines)
            s.out << line << '\n';
        s.out << result.written.size() << " block(s) written, " << result.verified.size() << " read back equal\n";
    }
    if (result.complete())
        return ExitDone;
    if (result.cardGone) {
        s.err << "kv350ctl: the card left the field; blocks written: " << result.written.size() << '\n';
        return ExitNoCard;
    }
    return result.readerLost ? exitStatusFor(s.link->error()) : ExitFailed;
}

int ntagDump(Session &s)
{
    if (!connected(s))
        return exitStatusFor(s.link->error());
    const NtagDump dump = dumpNtag(linkExchange(*s.link, s.pause));
    if (dump.noCard) {
        s.err << "kv350ctl: no tag on the reader\n";
        return ExitNoCard;
    }
    if (dump.readerLost) {
        s.err << "kv350ctl: " << s.link->lastError() << '\n';
        return exitStatusFor(s.link->error());
    }
    const DumpFormat format = targetFormat(s.options, true);
    const int status = saveImage(s, dump.image, format);
    if (status != ExitDone)
        return status;
    if (s.options.json) {
        const QJsonObject result{{QStringLiteral("file"), s.options.arguments.value(0)},
                                 {QStringLiteral("format"), formatName(format)},
                                 {QStringLiteral("uid"), BytesToHex(dump.image.uid)},
                                 {QStringLiteral("pagesRead"), dump.pagesRead()},
                                 {QStringLiteral("pages"), dump.image.units()}};
        s.out << QJsonDocument(result).toJson(QJsonDocument::Compact) << '\n';
    } else {
        s.out << "NTAG203 UID " << BytesToHex(dump.image.uid) << ": " << dump.pagesRead() << " of "
              << dump.image.units() << " pages read; written to " << s.options.arguments.value(0) << " ("
              << formatName(format) << ")\n";
    }
    return ExitDone;
}

}  // namespace

std::vector<CommandSpec> dumpCommands()
{
    const QCommandLineOption keys(KeysOption, QStringLiteral("more keys to try: 12 hex digits a line, # comments"),
                                  QStringLiteral("FILE"));
    return {
        {{"mifare", "dump"},
         "OUT [--format mct|bin|json|nfc] [--keys FILE] [--json]",
         "read every sector of a MIFARE Classic card into a dump file",
         true,
         true,
         {QCommandLineOption(FormatOption,
                             QStringLiteral("mct, bin, json or nfc (default: by OUT's extension, else mct)"),
                             QStringLiteral("NAME")),
          keys},
         [](const QCommandLineParser &, Options &o) { return takeDumpTarget(o, false); },
         mifareDump},
        {{"mifare", "restore"},
         "FILE [--dry-run] [--force] [--keys FILE] [--json]",
         "write a dump back to a MIFARE Classic card: report, write, read back",
         true,
         true,
         {QCommandLineOption(DryRunOption, QStringLiteral("print the report only; write nothing")),
          QCommandLineOption(ForceOption,
                             QStringLiteral("write even where the report makes access conditions or keys permanent")),
          keys},
         [](const QCommandLineParser &, Options &o) { return takeOneFile(o, QStringLiteral("FILE")); },
         mifareRestore},
        {{"ntag", "dump"},
         "OUT [--format bin|nfc] [--json]",
         "read every page of an NTAG203 into a dump file",
         true,
         true,
         {QCommandLineOption(FormatOption, QStringLiteral("bin or nfc (default: by OUT's extension, else bin)"),
                             QStringLiteral("NAME"))},
         [](const QCommandLineParser &, Options &o) { return takeDumpTarget(o, true); },
         ntagDump},
    };
}

}  // namespace kv350::cli
