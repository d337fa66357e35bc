#include "profileactions.h"

#include "commonpage.h"
#include "link/readerlink.h"

#include <QFileInfo>

namespace kv350::settings {

bool ProfileActions::readerReady()
{
    ReaderLink &link = m_context.link;
    if (link.Connected() && !link.SerialNumberText().isEmpty())
        return true;
    if (!link.Connected() && link.ConnectReader())
        return true;
    QString text = m_context.text("No reader is identified; nothing was read or sent.");
    if (!link.lastError().isEmpty())
        text += QStringLiteral("\n\n") + link.lastError();
    m_context.dialogs.message(m_context.text("Reader Settings"), text);
    m_context.reporter.ShowCommandError();
    return false;
}

QString ProfileActions::cellText(const ParameterInfo &info, const ParameterValue &value) const
{
    return valueText(info, value);
}

QString ProfileActions::outcomeText(SettingOutcome outcome) const
{
    return m_context.language.LocalText(outcomeName(outcome));
}

void ProfileActions::refreshCommonPage()
{
    // The settings the Common page shows are those every model has.
    std::vector<const ParameterInfo *> common;
    for (const ParameterInfo &p : parameters())
        if (p.capability == 0)
            common.push_back(&p);
    m_common.showReaderValues(readSettings(m_context.link, common).values);
}

void ProfileActions::saveReaderSettings()
{
    const QString caption = m_context.text("Reader Settings");
    if (!readerReady())
        return;
    const QString path = m_context.dialogs.saveFile(caption, m_context.text("Reader settings (*.json)"));
    if (path.isEmpty())
        return;
    ReadResult read;
    const std::optional<Profile> profile = profileFromReader(m_context.link, &read);
    if (!profile) {
        m_context.reporter.ShowCommandError();
        m_context.dialogs.message(caption,
                                  m_context.text("The file was not written:") + QLatin1Char('\n') +
                                      QStringLiteral("%1: %2").arg(QLatin1String(read.failed->name), read.why));
        return;
    }
    QString why;
    if (!writeProfileFile(path, *profile, &why)) {
        m_context.reporter.ShowCommandError();
        m_context.dialogs.message(caption, m_context.text("The file was not written:") + QLatin1Char('\n') + why);
        return;
    }
    m_context.reporter.ShowCommandDone();
    m_context.reporter.ShowText(
        m_context.text("Saved %1 settings to %2.").arg(profile->settings.size()).arg(QFileInfo(path).fileName()));
}

std::optional<std::vector<SettingChange>> ProfileActions::compareFile()
{
    const QString caption = m_context.text("Reader Settings");
    const QString path = m_context.dialogs.openFile(caption, m_context.text("Reader settings (*.json)"));
    if (path.isEmpty())
        return std::nullopt;
    ProfileError error;
    const std::optional<Profile> profile = readProfileFile(path, &error);
    if (!profile) {
        m_context.dialogs.message(caption, m_context.text("The file is refused; nothing was sent to the reader:") +
                                               QLatin1Char('\n') + error.message);
        return std::nullopt;
    }
    if (!readerReady())
        return std::nullopt;
    ReaderLink &link = m_context.link;
    const QStringList problems = checkProfile(*profile, link.ModelName(), readerFirmware(link));
    if (!problems.isEmpty()) {
        m_context.dialogs.message(caption, m_context.text("The file does not fit this reader; nothing was written:") +
                                               QLatin1Char('\n') + problems.join(QLatin1Char('\n')));
        return std::nullopt;
    }
    std::vector<const ParameterInfo *> which;
    for (const SettingValue &s : profile->settings)
        which.push_back(s.info);
    const ReadResult read = readSettings(link, which);
    if (!read.ok()) {
        m_context.reporter.ShowCommandError();
        m_context.dialogs.message(
            caption, m_context.text("The reader's settings could not be read; nothing was written:") +
                         QLatin1Char('\n') + QStringLiteral("%1: %2").arg(QLatin1String(read.failed->name), read.why));
        return std::nullopt;
    }
    return diffProfile(*profile, read.values);
}

void ProfileActions::compareWithSettingsFile()
{
    const std::optional<std::vector<SettingChange>> changes = compareFile();
    if (!changes)
        return;
    TextTable table{{m_context.text("Setting"), m_context.text("Reader now"), m_context.text("In the file"),
                     m_context.text("Result")},
                    {}};
    int differing = 0;
    for (const SettingChange &c : *changes) {
        differing += c.differs ? 1 : 0;
        table.rows.append({QLatin1String(c.info->name), cellText(*c.info, c.reader), cellText(*c.info, c.file),
                           m_context.text(c.differs ? "differs" : "same")});
    }
    const QString summary =
        differing == 0 ? m_context.text("The reader matches the file.")
                       : m_context.text("%1 of %2 settings differ from the file.").arg(differing).arg(changes->size());
    m_context.reporter.ShowText(summary);
    m_context.dialogs.showTable(m_context.text("Reader Settings"), summary, table);
}

void ProfileActions::applySettingsFile()
{
    const std::optional<std::vector<SettingChange>> changes = compareFile();
    if (!changes)
        return;
    const QString caption = m_context.text("Reader Settings");
    if (!anyDifference(*changes)) {
        const QString text = m_context.text("The reader already holds every setting of the file; nothing was written.");
        m_context.reporter.ShowText(text);
        m_context.dialogs.message(caption, text);
        return;
    }
    TextTable question{{m_context.text("Setting"), m_context.text("Reader now"), m_context.text("In the file")}, {}};
    int differing = 0;
    for (const SettingChange &c : *changes)
        if (c.differs) {
            ++differing;
            question.rows.append({QLatin1String(c.info->name), cellText(*c.info, c.reader), cellText(*c.info, c.file)});
        }
    if (!m_context.dialogs.confirmTable(
            {caption,
             m_context.text("Write these %1 settings to the reader? Each is read back afterwards.").arg(differing),
             m_context.text("Yes"), m_context.text("No")},
            question)) {
        m_context.reporter.ShowText(m_context.text("Cancelled: nothing was sent to the reader."));
        return;
    }

    const std::vector<AppliedSetting> applied = applyChanges(m_context.link, *changes);
    TextTable result{{m_context.text("Setting"), m_context.text("Reader now"), m_context.text("In the file"),
                      m_context.text("Result")},
                     {}};
    for (size_t i = 0; i < applied.size(); ++i) {
        const SettingChange &c = (*changes)[i];
        const AppliedSetting &a = applied[i];
        if (a.outcome == SettingOutcome::Unchanged)
            continue;
        QString outcome = outcomeText(a.outcome);
        if (!a.why.isEmpty())
            outcome += QStringLiteral(": ") + a.why;
        result.rows.append({QLatin1String(c.info->name),
                            a.readBack ? cellText(*c.info, *a.readBack) : cellText(*c.info, c.reader),
                            cellText(*c.info, c.file), outcome});
    }
    const bool ok = allApplied(applied);
    if (!readerOutOfReach(m_context.link.error()))
        refreshCommonPage();
    const QString summary = ok ? m_context.text("Every setting was written and verified by reading it back.")
                               : m_context.text("Some settings do not hold the file's value; see the table.");
    if (ok)
        m_context.reporter.ShowCommandDone();
    else
        m_context.reporter.ShowCommandError();
    m_context.reporter.ShowText(summary);
    m_context.dialogs.showTable(caption, summary, result);
}

}  // namespace kv350::settings
