#include "firmwarecommands.h"

#include "exitstatus.h"
#include "firmware/dfu.h"
#include "firmware/kfwfile.h"
#include "firmware/upgrade.h"
#include "link/frame.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <memory>

namespace kv350::cli {

using namespace kv350::firmware;

namespace {

// The progress bar and the message panel of the Firmware page, on a terminal.
// Like the window, it draws when the procedure lets it repaint: one line
// redrawn in place, or a line per step when the output is no terminal.
class TerminalView final : public UpgradeView, public Pause {
public:
    static constexpr int BarWidth = 30;

    TerminalView(ReaderLink &link, Pause &pause, QTextStream &out, bool terminal)
        : m_link(link), m_pause(pause), m_out(out), m_terminal(terminal)
    {
    }

    bool reconnected() const { return m_reconnected; }
    void finishLine()
    {
        if (m_terminal && m_lineOpen)
            m_out << '\n';
        m_lineOpen = false;
        m_drawnWidth = 0;
        m_out.flush();
    }

    // UpgradeView
    void setBusy(bool) override {}
    void setProgressMaximum(int maximum) override { m_maximum = qMax(1, maximum); }
    void setProgress(int position) override { m_position = position; }
    void showFileHeader(const QString &size, const QString &checksum, const QString &type,
                        const QString &version) override
    {
        finishLine();
        m_out << "File:    size " << size << "  checksum " << checksum << "  type " << visibleText(type) << "  version "
              << visibleText(version) << '\n';
        m_out.flush();
    }
    void reconnect() override
    {
        finishLine();
        m_reconnected = m_link.Reconnect();
        if (m_reconnected)
            m_out << "Model:   " << visibleText(m_link.ModelName()) << '\n'
                  << "Version: " << visibleText(m_link.ModelVersionText().mid(12)) << '\n'
                  << "Serial:  " << visibleText(m_link.SerialNumberText()) << '\n';
        m_out.flush();
    }

    // The messages: an outcome (error or completion) ends the line, so it stays on screen.
    void showMessage(UpgradeMessage message, int dots)
    {
        m_caption = QLatin1String(upgradeMessageText(message));
        if (message == UpgradeMessage::Updating)
            m_caption += QString(qMax(0, dots), QLatin1Char('.'));
        if (isUpgradeOutcome(message)) {
            draw();
            finishLine();
        }
    }

    // Pause
    void wait(int ms) override
    {
        draw();
        m_pause.wait(ms);
    }
    void processPending() override { draw(); }

private:
    void draw()
    {
        const int filled = qBound(0, m_position * BarWidth / m_maximum, BarWidth);
        const QString line = QStringLiteral("[%1%2] %3%  %4")
                                 .arg(QString(filled, QLatin1Char('#')), QString(BarWidth - filled, QLatin1Char('-')))
                                 .arg(m_position * 100 / m_maximum, 3)
                                 .arg(m_caption);
        if (line == m_last)
            return;
        m_last = line;
        if (m_terminal) {
            m_out << '\r' << line << QString(qMax(0, m_drawnWidth - int(line.size())), QLatin1Char(' '));
            m_drawnWidth = int(line.size());
            m_lineOpen = true;
        } else {
            m_out << line << '\n';
        }
        m_out.flush();
    }

    ReaderLink &m_link;
    Pause &m_pause;
    QTextStream &m_out;
    bool m_terminal;
    int m_maximum = 100;
    int m_position = 0;
    QString m_caption;
    QString m_last;
    int m_drawnWidth = 0;
    bool m_lineOpen = false;
    bool m_reconnected = false;
};

// The model and version an image's identity record names, blanks and NULs trimmed.
QString recordField(const QByteArray &payload, int from, int width)
{
    QByteArray field = payload.mid(from, width);
    const qsizetype nul = field.indexOf('\0');
    if (nul >= 0)
        field.truncate(nul);
    return QString::fromLatin1(field).trimmed();
}

}  // namespace

int firmwarePack(const Options &o, QTextStream &out, QTextStream &err)
{
    const QString &payloadPath = o.files.value(0);
    const QString &outPath = o.files.value(1);
    QFile in(payloadPath);
    if (!in.open(QIODevice::ReadOnly)) {
        err << "kv350ctl: cannot read " << payloadPath << ": " << in.errorString() << '\n';
        return ExitFailed;
    }
    const QByteArray payload = in.read(MaxFirmwareLength + 1);
    if (payload.isEmpty()) {
        err << "kv350ctl: " << payloadPath << " is empty\n";
        return ExitFailed;
    }
    if (payload.size() > MaxFirmwareLength) {
        err << "kv350ctl: " << payloadPath << " is larger than the " << MaxFirmwareLength
            << " bytes (3400 hex) a firmware image can hold\n";
        return ExitFailed;
    }
    // The file is written aside and renamed over OUT: a device node, FIFO or
    // socket there would be replaced by a regular file, not written to.
    const QFileInfo target(outPath);
    if (target.exists() && !target.isFile()) {
        err << "kv350ctl: " << outPath
            << " is not a regular file (a device, FIFO, socket or folder); give the path of a file to write\n";
        return ExitFailed;
    }
    const QByteArray file = packKfwFile(o.codeType.toLatin1(), o.codeVersion.toLatin1(), payload);
    QSaveFile save(outPath);
    if (!save.open(QIODevice::WriteOnly) || save.write(file) != file.size() || !save.commit()) {
        err << "kv350ctl: cannot write " << outPath << ": " << save.errorString() << '\n';
        return ExitFailed;
    }
    const auto *bytes = reinterpret_cast<const std::uint8_t *>(payload.constData());
    out << "Wrote " << outPath << ": size " << hexWord(std::uint16_t(payload.size())) << "  checksum "
        << hexWord(imageChecksum(bytes, int(payload.size()))) << "  type " << o.codeType << "  version "
        << o.codeVersion << '\n';
    // The reader reports the identity its image carries, not the file's header.
    if (recordField(payload, 0, 12) != o.codeType.trimmed() || recordField(payload, 12, 4) != o.codeVersion.trimmed())
        err << "note: " << payloadPath << " does not start with the identity record \"" << o.codeType.leftJustified(12)
            << o.codeVersion.leftJustified(4) << "\" (docs/boot-loader-protocol.md)\n";
    return ExitDone;
}

int firmwareInfo(const Options &o, QTextStream &out, QTextStream &err)
{
    const QString &path = o.files.value(0);
    auto state = std::make_unique<FirmwareState>();
    const KfwReadResult read = readKfwFile(path, *state);
    switch (read.status) {
    case KfwRead::CannotOpen:
        err << "kv350ctl: cannot open " << path << '\n';
        return ExitFailed;
    case KfwRead::TooShort:
        err << "kv350ctl: " << path << " is no firmware file: shorter than its 16-byte header\n";
        return ExitFailed;
    case KfwRead::Loaded:
        break;
    }
    out << "Size:     " << hexWord(state->FirmwareLength) << '\n'
        << "Checksum: " << hexWord(state->FirmwareChecksum) << '\n'
        << "Type:     " << visibleText(read.header.codeType) << '\n'
        << "Version:  " << visibleText(read.header.codeVersion) << '\n';
    return ExitDone;
}

int firmwareUpgrade(UpgradeRig rig, const Options &o, QTextStream &out, QTextStream &err, bool terminal)
{
    // The boot loader is reached by the ids alone: with several readers
    // attached it may be another one than the reader --path or --serial picked.
    if (const auto attached = rig.hid.enumerate(o.vid, o.pid); attached.size() > 1) {
        err << "kv350ctl: " << attached.size() << " readers " << usbIdText(o.vid, o.pid)
            << " are attached; the boot loader is reached by the ids, so take out all but the one to upgrade\n";
        return ExitFailed;
    }
    TerminalView view(rig.link, rig.pause, out, terminal);
    Dfu dfu(rig.hid, rig.clock);
    FirmwareUpgrade upgrade(rig.link, view, dfu, view,
                            [&view](UpgradeMessage message, int dots) { view.showMessage(message, dots); });
    const bool done = upgrade.upgradeConnectedReader(o.files.value(0), {hexWord(o.vid), hexWord(o.pid)});
    view.finishLine();
    if (!done) {
        const QString why = !dfu.lastError().isEmpty() ? dfu.lastError() : rig.link.lastError();
        if (!why.isEmpty())
            err << "kv350ctl: " << why << '\n';
        return ExitFailed;
    }
    if (!view.reconnected()) {
        err << "kv350ctl: the reader took the firmware but was not identified afterwards: " << rig.link.lastError()
            << '\n';
        return ExitFailed;
    }
    return ExitDone;
}

}  // namespace kv350::cli
