#include "mifarepage.h"

#include "cards/dump/dumpfiles.h"
#include "cards/dump/keysfile.h"
#include "cards/hextext.h"
#include "cards/mifare/mifaredump.h"
#include "cards/mifare/mifarerestore.h"
#include "cards/mifare/trailerwrite.h"
#include "link/frame.h"
#include "pages/controls.h"
#include "pages/pagecommands.h"
#include "pages/pagewidgets.h"

#include <QCheckBox>
#include <QFile>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QVBoxLayout>

namespace kv350::cards {

using namespace widgets;

MifarePage::MifarePage(PageContext &context, QWidget *parent) : Page(context, parent)
{
    setObjectName(QStringLiteral("tsMifare"));

    m_gbM1RW = group(this, "gbM1RW");
    QWidget *g = m_gbM1RW;
    const Bar sector = scrollBar(g, "sbM1Sector", "pnM1Sector", 0, 39, 1, 10);
    const Bar block = scrollBar(g, "sbM1Block", "pnM1Block", 0, 3, 0, 2);
    m_sbM1Sector = sector.bar;
    m_sbM1Block = block.bar;
    m_lblM1Sector = label(g, "lblM1Sector");
    m_lblM1Block = label(g, "lblM1Block");
    m_lblM1RWKey = label(g, "lblM1RWKey", QStringLiteral("Key:"));
    m_edM1RWKey = upperEdit(g, "edM1RWKey", QStringLiteral("FFFFFFFFFFFF"), 12);
    m_rbM1RWKeyA = radio(g, "rbM1RWKeyA", QStringLiteral("Key A"), true);
    m_rbM1RWKeyB = radio(g, "rbM1RWKeyB", QStringLiteral("Key B"));
    exclusive(this, {m_rbM1RWKeyA, m_rbM1RWKeyB});
    m_chkEEPROM = checkBox(g, "chkEEPROM", QStringLiteral("EEPROM"));
    m_lblM1Write = label(g, "lblM1Write");
    // The data source choice belongs to the page, not to the key group.
    m_rbM1Hex = radio(this, "rbM1Hex", QStringLiteral("HEX"), true);
    m_rbM1Ascii = radio(this, "rbM1Ascii", QStringLiteral("ASCII"));
    exclusive(this, {m_rbM1Hex, m_rbM1Ascii});
    m_edM1Write = upperEdit(g, "edM1Write", QString(32, QLatin1Char('F')), 32);
    m_edM1WAscii = edit(g, "edM1WAscii");
    m_btnM1Write = button(g, "btnM1Write");
    m_lblM1WriteProblem = problemLabel(g, "lblM1WriteProblem");
    m_lblM1Read = label(g, "lblM1Read");
    m_edM1Read = upperEdit(g, "edM1Read", {}, 0, true);
    m_edM1RAscii = edit(g, "edM1RAscii", {}, 0, true);
    m_btnM1Read = button(g, "btnM1Read");
    m_btnM1UID = button(g, "btnM1UID", QStringLiteral("&UID"));

    // Block, key and buttons on the left, the data boxes (32 hex digits each)
    // on the right; the read-all list below takes the page's whole width, so
    // that a loop test line and its verdict show whole.
    fitHexDigits(m_edM1Write, 32);
    fitHexDigits(m_edM1Read, 32);
    auto *rw = compact(new QGridLayout(g));
    addBarRow(rw, 0, m_lblM1Sector, sector);
    addBarRow(rw, 1, m_lblM1Block, block);
    rw->addWidget(m_lblM1RWKey, 2, 0);
    rw->addWidget(m_edM1RWKey, 2, 1, 1, 2);
    addRowAcross(rw, 3, {m_rbM1RWKeyA, m_rbM1RWKeyB, m_chkEEPROM}, true);
    addRowAcross(rw, 4, {m_btnM1Write, m_btnM1Read}, false);
    addRowAcross(rw, 5, {m_btnM1UID}, true);
    rw->setColumnMinimumWidth(3, 10);
    rw->addWidget(m_lblM1Write, 0, 4, 1, 2);
    rw->addWidget(m_rbM1Hex, 1, 4);
    rw->addWidget(m_edM1Write, 1, 5);
    rw->addWidget(m_rbM1Ascii, 2, 4);
    rw->addWidget(m_edM1WAscii, 2, 5);
    rw->addWidget(m_lblM1Read, 3, 4, 1, 2);
    rw->addWidget(label(g, "Label1", QStringLiteral("HEX:")), 4, 4);
    rw->addWidget(m_edM1Read, 4, 5);
    rw->addWidget(label(g, "Label4", QStringLiteral("ASCII:")), 5, 4);
    rw->addWidget(m_edM1RAscii, 5, 5);
    rw->addWidget(m_lblM1WriteProblem, 6, 4, 1, 2);
    rw->setColumnStretch(1, 1);
    rw->setColumnStretch(5, 1);

    m_gbM1ReadAll = group(this, "gbM1ReadAll");
    g = m_gbM1ReadAll;
    m_edM1All = edit(g, "edM1All", QStringLiteral("16"), 2);
    m_edM1Num = edit(g, "edM1Num", QStringLiteral("3"), 3);
    for (QLineEdit *e : {m_edM1All, m_edM1Num})
        fitHexDigits(e, 3, true);
    m_btnM1ReadAll = button(g, "btnM1ReadAll");
    m_btnM1WR = button(g, "btnM1WR");
    m_btnM1SaveDump = button(g, "btnM1SaveDump");
    m_btnM1WriteDump = button(g, "btnM1WriteDump");
    m_lstM1 = listBox(g, "lstM1", true);
    auto *all = compact(new QVBoxLayout(g));
    auto *counts = new QHBoxLayout;
    counts->addWidget(label(g, "lblM1All", QStringLiteral("NO")));
    counts->addWidget(m_edM1All);
    counts->addWidget(label(g, "Label3", QStringLiteral("NUM")));
    counts->addWidget(m_edM1Num);
    counts->addSpacing(10);
    counts->addWidget(m_btnM1ReadAll);
    counts->addWidget(m_btnM1WR);
    counts->addWidget(m_btnM1SaveDump);
    counts->addWidget(m_btnM1WriteDump);
    counts->addStretch();
    all->addLayout(counts);
    all->addWidget(m_lstM1, 1);

    auto *page = compact(new QVBoxLayout(this));
    page->setContentsMargins(4, 4, 4, 4);
    page->addWidget(m_gbM1RW);
    page->addWidget(m_gbM1ReadAll, 1);

    connect(m_btnM1Read, &QPushButton::clicked, this, &MifarePage::btnM1ReadClick);
    connect(m_btnM1Write, &QPushButton::clicked, this, &MifarePage::btnM1WriteClick);
    connect(m_btnM1UID, &QPushButton::clicked, this, &MifarePage::btnM1UIDClick);
    connect(m_btnM1ReadAll, &QPushButton::clicked, this, &MifarePage::btnM1ReadAllClick);
    connect(m_btnM1WR, &QPushButton::clicked, this, &MifarePage::btnM1WRClick);
    connect(m_btnM1SaveDump, &QPushButton::clicked, this, &MifarePage::btnM1SaveDumpClick);
    connect(m_btnM1WriteDump, &QPushButton::clicked, this, &MifarePage::btnM1WriteDumpClick);
    connect(m_sbM1Sector, &QScrollBar::valueChanged, this, &MifarePage::sbM1SectorChange);
    connect(m_edM1All, &QLineEdit::textChanged, this, &MifarePage::countChanged);
    connect(m_edM1Num, &QLineEdit::textChanged, this, &MifarePage::countChanged);
    // A reason stays only as long as what it speaks of.
    connect(m_edM1Write, &QLineEdit::textChanged, this, [this] { showProblem(m_lblM1WriteProblem, {}); });
    for (QScrollBar *bar : {m_sbM1Sector, m_sbM1Block})
        connect(bar, &QScrollBar::valueChanged, this, [this] { showProblem(m_lblM1WriteProblem, {}); });

    applyLanguage();
    keepOwnFont({"edM1All", "edM1Num"});
}

void MifarePage::applyLanguage()
{
    const std::pair<QWidget *, const char *> captions[] = {
        {m_gbM1RW, "Card Data Read/Write Test"},
        {m_gbM1ReadAll, "Read Card All Data"},
        {m_lblM1Sector, "Sector:"},
        {m_lblM1Block, "Block:"},
        {m_lblM1Write, "Write Card Data:"},
        {m_btnM1Write, "Write Card Data"},
        {m_lblM1Read, "Read Card Data:"},
        {m_btnM1Read, "Read Card Data"},
        {m_btnM1ReadAll, "Read Card All Data"},
        {m_btnM1WR, "Read Write Card Loop"},
        {m_btnM1SaveDump, "Save Dump..."},
        {m_btnM1WriteDump, "Write Dump..."},
    };
    for (const auto &[control, english] : captions)
        setCaption(control, m_context.text(english));
}

namespace {
const QString TransportKey = QStringLiteral("FFFFFFFFFFFF");
}  // namespace

MifareKey MifarePage::key()
{
    MifareKey k;
    k.type = KeyTypeByte(m_rbM1RWKeyA->isChecked());
    if (!m_chkEEPROM->isChecked())
        k.typed = ParseHexField(m_edM1RWKey, 6, TransportKey).bytes;
    return k;
}

void MifarePage::sbM1SectorChange(int sector)
{
    // Sectors 32-39 of a 4K card have 16 blocks; the bar moves its position down itself.
    m_sbM1Block->setMaximum(trailerBlock(sector));
}

void MifarePage::btnM1ReadClick()
{
    m_edM1Read->clear();
    const QByteArray request = mifareReadFrame(key(), m_sbM1Sector->value(), m_sbM1Block->value());
    // A reply too short to be a block shows nothing of it.
    const CardResult result = cardCommand(m_context, request, MifareReadReplyLimit, BlockSize);
    if (result == CardResult::Done) {
        const QByteArray data = m_context.link.responseData().left(BlockSize);
        m_edM1Read->setText(BytesToHex(data));
        m_edM1RAscii->setText(blockText(data));
    }
    report(m_context, result);
}

void MifarePage::btnM1WriteClick()
{
    if (m_rbM1Ascii->isChecked()) {
        m_edM1Write->setText(BytesToHex(textBlock(m_edM1WAscii->text())));
        m_context.pause.processPending();
    }
    const MifareKey k = key();
    // Only the user's own bytes are written: a block text that does not
    // convert goes back to its default and nothing is sent.
    const HexField data = ParseHexField(m_edM1Write, BlockSize, AllF);
    if (!data.ok) {
        m_context.reporter.ShowCommandError();
        return;
    }
    const int sector = m_sbM1Sector->value(), block = m_sbM1Block->value();
    // A sector trailer goes through the guard: never invalid, never permanent without a Yes.
    if (!trailerWriteAllowed(m_context, sector, block, data.bytes, m_lblM1WriteProblem))
        return;
    report(m_context,
           cardCommand(m_context, mifareWriteFrame(k, sector, block, data.bytes), ReaderLink::DefaultResponseLimit));
}

void MifarePage::btnM1UIDClick()
{
    m_edM1Read->clear();
    const CardResult result = cardCommand(m_context, uidFrame(), ReaderLink::DefaultResponseLimit);
    if (result == CardResult::Done)
        m_edM1Read->setText(uidText(m_context.link.responseData()));
    report(m_context, result);
}

void MifarePage::addLine(const QString &line)
{
    m_lstM1->addItem(line);
    m_lstM1->setCurrentRow(m_lstM1->count() - 1);
    m_context.pause.processPending();
}

void MifarePage::btnM1ReadAllClick()
{
    const int count = countOr(m_edM1All->text(), 16);
    WindowDisabled disabled(this);
    m_lstM1->clear();
    m_context.pause.processPending();
    try {
        const MifareKey k = key();
        bool lastBlockOk = false;
        QList<std::pair<int, QByteArray>> reads;
        m_lastRead.reset();
        for (int i = 0; i < count; ++i) {
            const CardResult result = runStep(m_context, mifareReadFrame(k, i / 4, i % 4), MifareReadReplyLimit);
            addLine(readAllPrefix(i) + runStepText(m_context, result));
            lastBlockOk = result == CardResult::Done;
            if (lastBlockOk) {
                reads.append({i, m_context.link.responseData().left(BlockSize)});
                m_lastRead = readAllImage(reads, k);
            }
            if (result == CardResult::Failed && readerOutOfReach(m_context.link.error())) {
                // The reader is gone (the status says "Disconnected"): the
                // rest would only fail one by one, 200 ms each.
                m_context.reporter.ShowCommandError();
                return;
            }
        }
        reportRun(m_context, count, lastBlockOk);
    } catch (...) {
        m_context.reporter.ShowCommandError();
    }
}

void MifarePage::btnM1WRClick()
{
    // The patterns overwrite what the blocks hold: the user says Yes first.
    const std::vector<int> blocks = loopTestBlocks(countOr(m_edM1All->text(), 16));
    const int passes = countOr(m_edM1Num->text(), 10);
    if (passes > 0 && !m_context.askFirst(loopTestQuestion(blocks, m_context.language.textLookup())))
        return;
    WindowDisabled disabled(this);
    try {
        runLoopTest(blocks, passes);
    } catch (...) {
        m_context.reporter.ShowCommandError();
    }
}

void MifarePage::runLoopTest(const std::vector<int> &blocks, int passes)
{
    LoopCounters counters;
    m_lstM1->clear();
    bool lastBlockOk = false;

    bool readerLost = false;
    // One block, written or read: its line, and the counters it moves.
    auto exchange = [&](char op, int pass, int b, const QByteArray &request, int &mismatches) {
        const CardResult result = runStep(m_context, request, MifareReadReplyLimit);
        const QString prefix = loopBlockPrefix(op, pass + 1, b);
        const QString got = runStepText(m_context, result);
        lastBlockOk = result == CardResult::Done;
        if (result != CardResult::Done) {
            if (result == CardResult::Failed) {
                ++counters.commandErrors;
                // The reader is gone (the status says "Disconnected"): every block
                // left would only fail, for as long as the run has passes.
                readerLost = readerOutOfReach(m_context.link.error());
            }
            addLine(prefix + got);
            return;
        }
        const bool same = got == m_edM1Write->text();
        if (!same)
            ++mismatches;
        addLine(prefix + got + (same ? QStringLiteral("   OK") : QStringLiteral("   ERR")));
    };

    int pass = 0;
    for (; pass < passes; ++pass) {
        addLine(loopCounterLine("WRITE_NUM=", pass + 1, counters));
        m_edM1Write->setText(loopPattern(pass));
        m_context.pause.processPending();
        MifareKey k = key();
        for (auto b = blocks.begin(); b != blocks.end() && !readerLost; ++b) {
            const QByteArray data = ParseHexField(m_edM1Write, BlockSize, AllF).bytes;
            exchange('W', pass, *b, mifareWriteFrame(k, *b / 4, *b % 4, data), counters.writeErrors);
        }
        if (readerLost)
            break;
        addLine(loopCounterLine("READ_NUM=", pass + 1, counters));
        k = key();
        for (auto b = blocks.begin(); b != blocks.end() && !readerLost; ++b) {
            m_context.pause.processPending();
            exchange('R', pass, *b, mifareReadFrame(k, *b / 4, *b % 4), counters.checkErrors);
        }
        if (readerLost)
            break;
    }
    // A run cut short by a lost reader counts the pass it was in.
    addLine(loopCounterLine("TOTAL_NUM=", readerLost ? pass + 1 : passes, counters));
    // The last block decides; a run of no pass checked nothing, and a run
    // that lost its reader or counted errors did not pass, whatever its last block did.
    const bool errorsCounted = counters.commandErrors + counters.writeErrors + counters.checkErrors > 0;
    if (readerLost || (lastBlockOk && errorsCounted))
        m_context.reporter.ShowCommandError();
    else
        reportRun(m_context, passes, lastBlockOk);
}

void MifarePage::btnM1SaveDumpClick()
{
    if (!m_lastRead) {
        m_context.dialogs.message(m_context.text("Save Dump"),
                                  m_context.text("Nothing has been read yet: Read Card All Data first."));
        return;
    }
    saveDump(m_context, *m_lastRead);
}

void MifarePage::btnM1WriteDumpClick()
{
    const QString caption = m_context.text("Write Dump");
    const QString path = m_context.dialogs.openFile(caption, dumpFilter(CardKind::Mifare4K));
    if (path.isEmpty())
        return;
    QFile file(path);
    // No dump is near this size; a larger file is not one.
    constexpr qint64 Largest = 1 << 20;
    if (!file.open(QIODevice::ReadOnly) || file.size() > Largest) {
        m_context.dialogs.message(caption, m_context.text("The file cannot be used: %1").arg(file.errorString()));
        return;
    }
    const ImportResult imported = importDump(file.readAll());
    const TextLookup text = m_context.language.textLookup();
    if (!imported.image || !isMifare(imported.image->kind)) {
        const QString why = imported.image ? m_context.text("it holds no MIFARE Classic card")
                                           : importErrorText(imported.error, text);
        m_context.dialogs.message(caption, m_context.text("The file cannot be used: %1").arg(why));
        return;
    }
    // The file's keys, the key typed on this page, and the transport key open the card's sectors.
    QList<QByteArray> keys;
    if (const auto typed = parseHexBytes(m_edM1RWKey->text(), 6))
        keys << *typed;
    // The window is disabled while the card is read and written, not while the question is open.
    std::optional<WindowDisabled> disabled(std::in_place, this);
    m_lstM1->clear();
    try {
        const CardExchange exchange = pageExchange(m_context);
        const RestorePlan plan = planRestore(*imported.image, exchange, keys, text);
        for (const QString &line : restoreReport(plan, text))
            addLine(line);
        if (!plan.refusal.isEmpty()) {
            if (plan.noCard)
                m_context.reporter.ShowNoCardOrKeyError();
            else
                m_context.reporter.ShowCommandError();
            return;
        }
        if (plan.count(RestoreStep::Action::Write) == 0) {
            m_context.reporter.ShowText(m_context.text("The card holds the dump already: nothing to write."));
            return;
        }
        QStringList question{restoreReport(plan, text).first()};
        for (const RestoreStep &s : plan.steps)
            if (s.action == RestoreStep::Action::Write && s.trailer && s.check.permanent())
                question << QString() << trailerQuestion(s.check, text).section(QLatin1Char('\n'), 0, -3);
        question << QString() << m_context.text("The report is in the list. Write the dump to the card?");
        disabled.reset();
        if (!m_context.askFirst(question.join(QLatin1Char('\n'))))
            return;
        disabled.emplace(this);
        const RestoreResult result = runRestore(plan, exchange, text);
        for (const QString &line : result.lines)
            addLine(line);
        addLine(m_context.text("%1 block(s) written, %2 read back equal.")
                    .arg(result.written.size())
                    .arg(result.verified.size()));
        if (result.complete())
            m_context.reporter.ShowCommandDone();
        else if (result.cardGone)
            m_context.reporter.ShowNoCardOrKeyError();
        else
            m_context.reporter.ShowCommandError();
    } catch (...) {
        m_context.reporter.ShowCommandError();
    }
}

}  // namespace kv350::cards
