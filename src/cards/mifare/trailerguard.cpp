#include "trailerguard.h"

#include "cards/mifare/accessbits.h"
#include "cards/mifare/mifareframes.h"

#include <QStringList>
#include <algorithm>

namespace kv350::cards {
namespace {

constexpr int SectorCount = 40;

// Trailer rows 000, 001 and 010 let key B be read: the card then takes it as
// data, and an authentication with it is good for nothing.
bool keyBUsable(int trailerRow)
{
    return trailerRow > 2;
}

bool grants(Who who, bool keyB)
{
    return who == Who::AB || who == Who::A || (who == Who::B && keyB);
}

BlockRange groupBlocks(int sector, int group)
{
    if (blocksInSector(sector) == 4)
        return {group, group};
    return {group * 5, group * 5 + 4};
}

QString rangeLine(const BlockRange &r, const char *one, const char *many, const TextLookup &text)
{
    if (r.first == r.last)
        return text(QLatin1String(one)).arg(r.first);
    return text(QLatin1String(many)).arg(r.first).arg(r.last);
}

}  // namespace

TrailerCheck checkTrailer(int sector, int block, const QByteArray &data16)
{
    TrailerCheck check;
    check.sector = sector;
    if (sector < 0 || sector >= SectorCount || block != trailerBlock(sector))
        return check;
    check.accessBytes = data16.mid(6, 3);
    const std::optional<std::array<int, 4>> rows = accessRows(check.accessBytes);
    if (!rows) {
        check.verdict = TrailerCheck::Verdict::InvalidAccess;
        check.invalidGroups = invalidAccessGroups(check.accessBytes);
        return check;
    }
    check.verdict = TrailerCheck::Verdict::Valid;
    check.rows = *rows;
    const int trailer = check.rows[TrailerIndex];
    check.accessConditionsPermanent = rowChoice(TrailerIndex, trailer, Op::AccessWrite) == Who::Never;
    check.keysPermanent = rowChoice(TrailerIndex, trailer, Op::KeyAWrite) == Who::Never &&
                          rowChoice(TrailerIndex, trailer, Op::KeyBWrite) == Who::Never;
    // Data conditions that the access bits may still change are not permanent.
    if (check.accessConditionsPermanent) {
        const bool keyB = keyBUsable(trailer);
        for (int group = 0; group < TrailerIndex; ++group) {
            const int row = check.rows[group];
            const bool write = grants(rowChoice(group, row, Op::Write), keyB);
            const bool read = grants(rowChoice(group, row, Op::Read), keyB);
            if (!write)
                check.neverWritable.push_back(groupBlocks(sector, group));
            if (!read)
                check.neverReadable.push_back(groupBlocks(sector, group));
        }
    }
    return check;
}

TrailerCheck checkTrailerFrame(const QByteArray &frame)
{
    const std::optional<BlockWrite> write = parseBlockWrite(frame);
    if (!write)
        return {};
    return checkTrailer(write->sector, write->block, write->data);
}

QString trailerRefusal(const TrailerCheck &check, const TextLookup &text)
{
    return text(QStringLiteral("Access bytes %1 are not a valid encoding: the card would lock its sector for good. "
                               "Nothing was written."))
        .arg(QString::fromLatin1(check.accessBytes.toHex().toUpper()));
}

QString trailerQuestion(const TrailerCheck &check, const TextLookup &text)
{
    QStringList lines;
    lines << text(QStringLiteral("Writing this trailer to sector %1 cannot be undone:")).arg(check.sector);
    if (check.accessConditionsPermanent)
        lines
            << text(QStringLiteral("The access conditions of sector %1 can never be changed again.")).arg(check.sector);
    if (check.keysPermanent)
        lines << text(QStringLiteral("Key A and key B of sector %1 can never be changed again.")).arg(check.sector);
    for (const BlockRange &r : check.neverWritable) {
        const bool unreadable = std::find(check.neverReadable.begin(), check.neverReadable.end(), r) !=
                                check.neverReadable.end();
        if (unreadable)
            lines << rangeLine(r, "Block %1 can never be read or written again.",
                               "Blocks %1-%2 can never be read or written again.", text);
        else
            lines << rangeLine(r, "Block %1 can never be written again.", "Blocks %1-%2 can never be written again.",
                               text);
    }
    lines << QString() << text(QStringLiteral("Write it?"));
    return lines.join(QLatin1Char('\n'));
}

}  // namespace kv350::cards
