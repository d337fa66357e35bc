#include "dumpfiles.h"

#include "link/linkerror.h"
#include "pages/pagecommands.h"

#include <QFileInfo>
#include <QSaveFile>

namespace kv350::cards {
namespace {

struct FilterEntry {
    DumpFormat format;
    const char *name;
    const char *patterns;
};
constexpr FilterEntry FilterEntries[] = {
    {DumpFormat::Mct, "MIFARE Classic Tool", "*.mct"},
    {DumpFormat::Bin, "Raw binary", "*.bin *.mfd"},
    {DumpFormat::Json, "proxmark3 JSON", "*.json"},
    {DumpFormat::Nfc, "Flipper Zero", "*.nfc"},
};

}  // namespace

CardExchange pageExchange(PageContext &context)
{
    return [&context](const QByteArray &request, int responseLimit) {
        CardReply reply;
        switch (runStep(context, request, responseLimit)) {
        case CardResult::Failed:
            reply.readerLost = readerOutOfReach(context.link.error());
            break;
        case CardResult::NoCard:
            reply.outcome = CardReply::Outcome::NoCard;
            break;
        case CardResult::Done:
            reply.outcome = CardReply::Outcome::Done;
            reply.data = context.link.responseData();
            break;
        }
        context.pause.processPending();
        return reply;
    };
}

QString dumpFilter(CardKind kind)
{
    QStringList entries;
    for (const FilterEntry &e : FilterEntries)
        if (formatHolds(e.format, kind))
            entries << QStringLiteral("%1 (%2)").arg(QLatin1String(e.name), QLatin1String(e.patterns));
    return entries.join(QStringLiteral(";;"));
}

DumpFormat chosenFormat(const QString &path, CardKind kind)
{
    if (const auto byName = formatFromFileName(path); byName && formatHolds(*byName, kind))
        return *byName;
    return isMifare(kind) ? DumpFormat::Mct : DumpFormat::Bin;
}

void saveDump(PageContext &context, const CardImage &image)
{
    QString path = context.dialogs.saveFile(context.text("Save Dump"), dumpFilter(image.kind));
    if (path.isEmpty())
        return;
    const DumpFormat format = chosenFormat(path, image.kind);
    // A name without an extension gets the format's, so that the file says what it is.
    if (QFileInfo(path).suffix().isEmpty())
        path += QLatin1Char('.') + formatName(format);
    const ExportResult exported = exportDump(image, format);
    if (!exported.refusal.isEmpty()) {
        context.dialogs.message(context.text("Save Dump"),
                                context.language.LocalText(exported.refusal).arg(exported.argument));
        return;
    }
    // Written whole or not at all: a file of that name stays as it was until the new one is complete.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(exported.content) != exported.content.size() || !file.commit()) {
        context.dialogs.message(context.text("Save Dump"),
                                context.text("The dump could not be written to %1: %2").arg(path, file.errorString()));
        return;
    }
    context.reporter.ShowText(context.text("Dump saved: %1 (%2 of %3 blocks or pages known).")
                                  .arg(QFileInfo(path).fileName())
                                  .arg(image.knownUnits())
                                  .arg(image.units()));
}

}  // namespace kv350::cards
