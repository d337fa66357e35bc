#include "ntagpage.h"

#include "cards/dump/dumpfiles.h"
#include "cards/mifare/mifareframes.h"
#include "cards/ntag/ndef.h"
#include "cards/ntag/ntagdump.h"
#include "cards/ntag/ntagframes.h"
#include "cards/ntag/ntaglocks.h"
#include "link/frame.h"
#include "pages/controls.h"
#include "pages/pagecommands.h"
#include "pages/pagewidgets.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QVBoxLayout>
#include <map>

namespace kv350::cards {

using namespace widgets;

NtagPage::NtagPage(PageContext &context, QWidget *parent) : Page(context, parent)
{
    setObjectName(QStringLiteral("tsNTAG"));

    m_gbNRW = group(this, "gbNRW");
    QWidget *g = m_gbNRW;
    const Bar block = scrollBar(g, "sbNBlock", "pnNBlock", 0, 41, 7, 2);
    m_sbNBlock = block.bar;
    m_lblNBlock = label(g, "lblNBlock");
    m_lblNWrite = label(g, "lblNWrite");
    m_rbNHex = radio(g, "rbNHex", QStringLiteral("HEX"));
    m_rbNAscii = radio(g, "rbNAscii", QStringLiteral("ASCII"), true);
    exclusive(this, {m_rbNHex, m_rbNAscii});
    m_edNWrite = upperEdit(g, "edNWrite", QString(32, QLatin1Char('F')), 32);
    m_edNWAscii = edit(g, "edNWAscii", QLatin1String(SampleAsciiText), 32);
    m_btnNWrite = button(g, "btnNWrite");
    m_lblNRead = label(g, "lblNRead");
    m_edNRead = upperEdit(g, "edNRead", {}, 0, true);
    fitHexDigits(m_edNWrite, 32);
    fitHexDigits(m_edNRead, 32);
    m_edNRAscii = edit(g, "edNRAscii", {}, 0, true);
    m_btnNRead = button(g, "btnNRead");
    m_edNUID = upperEdit(g, "edNUID", {}, 0, true);
    m_btnNUID = button(g, "btnNUID", QStringLiteral("&UID"));
    auto *rw = compact(new QGridLayout(g));
    addBarRow(rw, 0, m_lblNBlock, block);
    rw->addWidget(m_lblNWrite, 1, 0, 1, 3);
    rw->addWidget(m_rbNHex, 2, 0);
    rw->addWidget(m_edNWrite, 2, 1, 1, 2);
    rw->addWidget(m_btnNWrite, 2, 3);
    rw->addWidget(m_rbNAscii, 3, 0);
    rw->addWidget(m_edNWAscii, 3, 1, 1, 2);
    rw->addWidget(m_lblNRead, 4, 0, 1, 3);
    rw->addWidget(label(g, "lblNHex", QStringLiteral("HEX:")), 5, 0);
    rw->addWidget(m_edNRead, 5, 1, 1, 2);
    rw->addWidget(m_btnNRead, 5, 3);
    rw->addWidget(label(g, "lblNAscii", QStringLiteral("ASCII:")), 6, 0);
    rw->addWidget(m_edNRAscii, 6, 1, 1, 2);
    rw->addWidget(label(g, "lblNUID", QStringLiteral("UID:")), 7, 0);
    rw->addWidget(m_edNUID, 7, 1, 1, 2);
    rw->addWidget(m_btnNUID, 7, 3);
    rw->setColumnStretch(1, 1);

    m_gbNURL = group(this, "gbNURL");
    g = m_gbNURL;
    m_edNURL1 = edit(g, "edNURL1", QLatin1String(UrlHeaderHex), 0, true);
    m_edNURL2 = edit(g, "edNURL2");
    m_edNURL3 = edit(g, "edNURL3", {}, 0, true);
    for (QLineEdit *e : {m_edNURL1, m_edNURL3})
        e->setMinimumWidth(e->fontMetrics().horizontalAdvance(m_edNURL1->text()) + 12);
    m_edNURL1->setCursorPosition(0);
    m_btnNURLWrite = button(g, "btnNURLWrite");
    m_btnNURLRead = button(g, "btnNURLRead");
    m_btnNSample = button(g, "btnNSample", QStringLiteral("<<"));
    m_btnNSample->setFixedWidth(m_btnNSample->fontMetrics().horizontalAdvance(QStringLiteral("<<<<")) + 10);
    auto *url = compact(new QGridLayout(g));
    url->addWidget(m_edNURL1, 0, 0, 1, 2);
    url->addWidget(label(g, nullptr, QStringLiteral("(Block 3-6)")), 0, 2);
    url->addWidget(m_edNURL2, 1, 0);
    url->addWidget(m_btnNSample, 1, 1);
    // The URI and its terminator take as many pages from 7 on as the URL needs, up to 39.
    url->addWidget(label(g, nullptr, QStringLiteral("(Block 7-39)")), 1, 2);
    url->addWidget(m_edNURL3, 2, 0, 1, 2);
    auto *urlButtons = new QHBoxLayout;
    urlButtons->addWidget(m_btnNURLWrite);
    urlButtons->addWidget(m_btnNURLRead);
    url->addLayout(urlButtons, 2, 2);
    m_lblNURLProblem = problemLabel(g, "lblNURLProblem");
    url->addWidget(m_lblNURLProblem, 3, 0, 1, 3);
    url->setColumnStretch(0, 1);
    url->setRowStretch(4, 1);

    m_gbNReadAll = group(this, "gbNReadAll");
    g = m_gbNReadAll;
    m_edNAll = edit(g, "edNAll", QStringLiteral("16"), 2);
    fitHexDigits(m_edNAll, 3, true);
    m_btnNReadAll = button(g, "btnNReadAll");
    m_btnNSaveDump = button(g, "btnNSaveDump");
    m_lstNAll = listBox(g, "lstNAll", true);
    m_moNAllAscii = memo(g, "moNAllAscii", true);
    auto *all = compact(new QVBoxLayout(g));
    auto *count = new QHBoxLayout;
    count->addWidget(label(g, "Label5", QStringLiteral("NO:")));
    count->addWidget(m_edNAll);
    count->addWidget(m_btnNReadAll, 1);
    count->addWidget(m_btnNSaveDump);
    all->addLayout(count);
    all->addWidget(m_lstNAll, 3);
    all->addWidget(m_moNAllAscii, 2);

    auto *page = compact(new QGridLayout(this));
    page->setContentsMargins(4, 4, 4, 4);
    page->addWidget(m_gbNRW, 0, 0);
    page->addWidget(m_gbNURL, 1, 0);
    page->addWidget(m_gbNReadAll, 0, 1, 2, 1);
    page->setColumnStretch(0, 3);
    page->setColumnStretch(1, 2);

    connect(m_btnNRead, &QPushButton::clicked, this, &NtagPage::btnNReadClick);
    connect(m_btnNUID, &QPushButton::clicked, this, &NtagPage::btnNUIDClick);
    connect(m_btnNWrite, &QPushButton::clicked, this, &NtagPage::btnNWriteClick);
    connect(m_btnNReadAll, &QPushButton::clicked, this, &NtagPage::btnNReadAllClick);
    connect(m_btnNSaveDump, &QPushButton::clicked, this, &NtagPage::btnNSaveDumpClick);
    connect(m_btnNURLWrite, &QPushButton::clicked, this, &NtagPage::btnNURLWriteClick);
    connect(m_btnNURLRead, &QPushButton::clicked, this, &NtagPage::btnNURLReadClick);
    connect(m_btnNSample, &QPushButton::clicked, this, &NtagPage::btnNSampleClick);
    connect(m_edNAll, &QLineEdit::textChanged, this, &NtagPage::countChanged);
    connect(m_edNURL2, &QLineEdit::textEdited, this, [this] { showProblem(m_lblNURLProblem, {}); });

    applyLanguage();
    keepOwnFont({"edNAll"});
}

void NtagPage::applyLanguage()
{
    const std::pair<QWidget *, const char *> captions[] = {
        {m_gbNRW, "Card Data Read/Write Test"},
        {m_lblNBlock, "Block:"},
        {m_lblNWrite, "Write Card Data:"},
        {m_btnNWrite, "Write Card Data"},
        {m_lblNRead, "Read Card Data:"},
        {m_btnNRead, "Read Card Data"},
        {m_gbNReadAll, "Read Card All Data"},
        {m_btnNReadAll, "Read Card All Data"},
        {m_btnNSaveDump, "Save Dump..."},
        {m_gbNURL, "URL Address"},
        {m_btnNURLWrite, "Write"},
        {m_btnNURLRead, "Read"},
    };
    for (const auto &[control, english] : captions)
        setCaption(control, m_context.text(english));
}

void NtagPage::btnNReadClick()
{
    m_edNRAscii->clear();
    m_edNRead->clear();
    const CardResult result = cardCommand(m_context, ntagReadFrame(m_sbNBlock->value()), NtagReadReplyLimit, BlockSize);
    if (result == CardResult::Done) {
        const QByteArray data = m_context.link.responseData().left(BlockSize);
        m_edNRAscii->setText(blockText(data));
        m_edNRead->setText(BytesToHex(data));
    }
    report(m_context, result);
}

void NtagPage::btnNUIDClick()
{
    m_edNUID->clear();
    const CardResult result = cardCommand(m_context, uidFrame(), ReaderLink::DefaultResponseLimit);
    if (result == CardResult::Done)
        m_edNUID->setText(uidText(m_context.link.responseData()));
    report(m_context, result);
}

std::optional<QByteArray> NtagPage::readSixteen(int page, CardResult &result)
{
    result = cardCommand(m_context, ntagReadFrame(page), NtagReadReplyLimit, BlockSize);
    if (result != CardResult::Done)
        return std::nullopt;
    return m_context.link.responseData().left(BlockSize);
}

bool NtagPage::oneTimeWriteAllowed(int firstPage, const QByteArray &data16)
{
    CardResult result = CardResult::Done;
    const std::optional<std::vector<PermanentChange>> changes = permanentChangesOnTag(
        firstPage, data16, [&](int page) { return readSixteen(page, result); });
    // Not knowing what the tag holds, nothing is written over it.
    if (!changes) {
        report(m_context, result);
        return false;
    }
    return changes->empty() || m_context.askFirst(permanentQuestion(*changes, m_context.language.textLookup()));
}

void NtagPage::btnNWriteClick()
{
    if (m_rbNAscii->isChecked())
        m_edNWrite->setText(BytesToHex(textBlock(m_edNWAscii->text())));
    // Only the user's own bytes are written.
    const HexField data = ParseHexField(m_edNWrite, BlockSize, AllF);
    if (!data.ok) {
        m_context.reporter.ShowCommandError();
        return;
    }
    const int page = m_sbNBlock->value();
    if (!oneTimeWriteAllowed(page, data.bytes))
        return;
    report(m_context, cardCommand(m_context, ntagWriteFrame(page, data.bytes), ReaderLink::DefaultResponseLimit));
}

void NtagPage::btnNReadAllClick()
{
    const int limit = countOr(m_edNAll->text(), 16);
    WindowDisabled disabled(this);
    m_lstNAll->clear();
    m_moNAllAscii->clear();
    m_context.pause.processPending();
    try {
        bool lastBlockOk = false;
        QString text;
        QList<std::pair<int, QByteArray>> reads;
        m_lastRead.reset();
        for (int page = 0; page < limit; page += 4) {
            const CardResult result = runStep(m_context, ntagReadFrame(page), NtagReadReplyLimit);
            m_lstNAll->addItem(dumpPrefix(page) + runStepText(m_context, result));
            lastBlockOk = result == CardResult::Done;
            if (lastBlockOk) {
                reads.append({page, m_context.link.responseData().left(BlockSize)});
                m_lastRead = ntagImage(reads);
                text += blockText(m_context.link.responseData().left(BlockSize));
                m_moNAllAscii->setPlainText(text);
                m_context.pause.processPending();
            }
        }
        reportRun(m_context, limit, lastBlockOk);
    } catch (...) {
        m_context.reporter.ShowCommandError();
    }
}

void NtagPage::btnNSaveDumpClick()
{
    if (!m_lastRead) {
        m_context.dialogs.message(m_context.text("Save Dump"),
                                  m_context.text("Nothing has been read yet: Read Card All Data first."));
        return;
    }
    saveDump(m_context, *m_lastRead);
}

void NtagPage::btnNURLWriteClick()
{
    const QString url = m_edNURL2->text();
    const UrlBuild build = buildUrlRecord(url);
    if (build.problem != UrlProblem::None) {
        showProblem(m_lblNURLProblem, urlProblemText(build, url, m_context.language.textLookup()));
        m_context.reporter.ShowCommandError();
        return;
    }
    showProblem(m_lblNURLProblem, {});
    const std::vector<PageWrite> writes = urlWrites(build.record);
    // The first write covers the capability container, which takes bits and never gives them back.
    if (!oneTimeWriteAllowed(writes.front().page, writes.front().data))
        return;
    CardResult result = CardResult::Done;
    for (const PageWrite &w : writes) {
        result = cardCommand(m_context, ntagWriteFrame(w.page, w.data), ReaderLink::DefaultResponseLimit);
        // A refused write stops the rest: the tag keeps what it held or an empty message, never half a URL.
        if (result != CardResult::Done)
            break;
    }
    // The boxes show what the tag now holds: the header and the record's bytes.
    if (result == CardResult::Done) {
        m_edNURL1->setText(BytesToHex(build.record.header()));
        m_edNURL3->setText(BytesToHex(build.record.recordBytes()));
    }
    report(m_context, result);
}

void NtagPage::btnNURLReadClick()
{
    m_edNRAscii->clear();
    m_edNRead->clear();
    showProblem(m_lblNURLProblem, {});
    CardResult result = CardResult::Done;
    const std::optional<UrlReading> read = readUrlFromTag([&](int page) { return readSixteen(page, result); });
    if (!read) {
        report(m_context, result);
        return;
    }
    const UrlReading &reading = *read;
    if (reading.status == UrlReadStatus::Url) {
        m_edNURL1->setText(BytesToHex(reading.header));
        m_edNURL2->setText(reading.url);
        m_edNURL3->setText(BytesToHex(reading.recordBytes));
    } else {
        // What is there is shown as bytes, never as a URL.
        m_edNURL1->setText(BytesToHex(reading.header));
        m_edNURL2->clear();
        m_edNURL3->clear();
        showProblem(m_lblNURLProblem, urlReadingText(reading, m_context.language.textLookup()));
    }
    report(m_context, CardResult::Done);
}

void NtagPage::btnNSampleClick()
{
    m_edNURL2->setText(QLatin1String(SampleUrlText));
}

}  // namespace kv350::cards
