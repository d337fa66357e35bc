#include "commandpage.h"

#include "cards/mifare/trailerguard.h"

#include "i18n/texttable.h"
#include "pages/controls.h"
#include "requesttext.h"

#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

namespace kv350::console {
namespace {

QLineEdit *edit(QWidget *parent, const char *name, const QString &text, int maxLength = 0, bool readOnly = false)
{
    auto *e = new QLineEdit(text, parent);
    e->setObjectName(QLatin1String(name));
    if (maxLength > 0)
        e->setMaxLength(maxLength);
    e->setReadOnly(readOnly);
    return e;
}

QLabel *label(QWidget *parent, const char *text)
{
    return new QLabel(QLatin1String(text), parent);
}

constexpr Outcome OutcomeNoOneByteCode{"That character has no one-byte code (Latin-1) and was not taken.",
                                       OutcomeError.colour, OutcomeError.frequencyHz, OutcomeError.durationMs,
                                       OutcomeError.repaintAfterTone};

// Takes out what has no one-byte code, the cursor kept where it was; true when something was.
bool dropWhatHasNoOneByteCode(QLineEdit *edit)
{
    const QString kept = withOneByteCodesOnly(edit->text());
    if (kept == edit->text())
        return false;
    const int cursor = int(withOneByteCodesOnly(edit->text().left(edit->cursorPosition())).size());
    edit->setText(kept);
    edit->setCursorPosition(cursor);
    return true;
}

// DATA shows the whole frame's DATA, however long: the box's limit is for typing.
void showDataText(QLineEdit *edit, const QString &text)
{
    edit->setMaxLength(std::max<int>(MaxRequestDataChars, int(text.size())));
    edit->setText(text);
}

}  // namespace

CommandPage::CommandPage(PageContext &context, QWidget *parent) : Page(context, parent)
{
    setObjectName(QStringLiteral("tsCommand"));
    auto *outer = new QGroupBox(this);
    outer->setObjectName(QStringLiteral("gbCommandTest"));
    auto *pageLayout = new QVBoxLayout(this);
    pageLayout->setContentsMargins(2, 2, 2, 2);
    pageLayout->addWidget(outer);
    // Tight margins: with the taller Chinese fonts the three groups only just
    // fit the fixed window.
    auto *column = new QVBoxLayout(outer);
    column->setContentsMargins(4, 2, 4, 2);
    column->setSpacing(2);

    // Request
    m_gbRequest = new QGroupBox(outer);
    m_gbRequest->setObjectName(QStringLiteral("gbRequest"));
    auto *rq = widgets::compact(new QGridLayout(m_gbRequest));
    m_edRequestSTX = edit(m_gbRequest, "edRequestSTX", QStringLiteral("02"), 0, true);
    m_edRequestLEN = edit(m_gbRequest, "edRequestLEN", QStringLiteral("02"), 0, true);
    m_edRequestCMD = edit(m_gbRequest, "edRequestCMD", QStringLiteral("02"), 2);
    m_edRequestDATA = edit(m_gbRequest, "edRequestDATA", QStringLiteral("02 "), MaxRequestDataChars);
    m_edRequest = edit(m_gbRequest, "edRequest", QStringLiteral("02 03 02 02 "), 0, true);
    for (QLineEdit *e : {m_edRequestSTX, m_edRequestLEN, m_edRequestCMD})
        e->setFixedWidth(e->fontMetrics().horizontalAdvance(QStringLiteral("WWWW")));
    m_cmbRequest = new QComboBox(m_gbRequest);
    m_cmbRequest->setObjectName(QStringLiteral("cmbRequest"));
    m_cmbRequest->installEventFilter(this);
    m_btnRequestSend = new QPushButton(m_gbRequest);
    m_btnRequestSend->setObjectName(QStringLiteral("btnRequestSend"));
    m_btnReadCard = new QPushButton(m_gbRequest);
    m_btnReadCard->setObjectName(QStringLiteral("btnReadCard"));
    // As long as a 68-byte request can carry (SOH, text, two check digits, CR).
    m_edRequestAscii = edit(m_gbRequest, "edRequestAscii", QString(), MaxAsciiRequest);
    m_lblRequest = label(m_gbRequest, "Request(Hex)");
    m_lblRequest->setObjectName(QStringLiteral("lblRequest"));

    rq->addWidget(label(m_gbRequest, "STX"), 0, 0);
    rq->addWidget(label(m_gbRequest, "LEN"), 0, 1);
    rq->addWidget(label(m_gbRequest, "CMD"), 0, 2);
    rq->addWidget(label(m_gbRequest, "{ DATA }"), 0, 3);
    rq->addWidget(m_edRequestSTX, 1, 0);
    rq->addWidget(m_edRequestLEN, 1, 1);
    rq->addWidget(m_edRequestCMD, 1, 2);
    rq->addWidget(m_edRequestDATA, 1, 3);
    rq->addWidget(label(m_gbRequest, "(Hex)"), 1, 4);
    rq->addWidget(m_lblRequest, 2, 0, 1, 3);
    rq->addWidget(m_edRequest, 2, 3, 1, 2);
    rq->addWidget(m_cmbRequest, 3, 0, 1, 4);
    rq->addWidget(m_btnRequestSend, 3, 4);
    rq->addWidget(m_edRequestAscii, 4, 0, 1, 4);
    rq->addWidget(m_btnReadCard, 4, 4);
    column->addWidget(m_gbRequest);

    // Response
    m_gbResponse = new QGroupBox(outer);
    m_gbResponse->setObjectName(QStringLiteral("gbResponse"));
    auto *rs = widgets::compact(new QGridLayout(m_gbResponse));
    m_edResponseSTX = edit(m_gbResponse, "edResponseSTX", QStringLiteral("__"), 0, true);
    m_edResponseLEN = edit(m_gbResponse, "edResponseLEN", QStringLiteral("__"), 0, true);
    m_edResponseCMD = edit(m_gbResponse, "edResponseCMD", QStringLiteral("__"), 0, true);
    m_edResponseSTA = edit(m_gbResponse, "edResponseSTA", QStringLiteral("__"), 0, true);
    for (QLineEdit *e : {m_edResponseSTX, m_edResponseLEN, m_edResponseCMD, m_edResponseSTA})
        e->setFixedWidth(e->fontMetrics().horizontalAdvance(QStringLiteral("WWWW")));
    m_edResponseDATA = edit(m_gbResponse, "edResponseDATA", QString(), 0, true);
    m_edResponse = edit(m_gbResponse, "edResponse", QString(), 0, true);
    m_edResponseAscii = edit(m_gbResponse, "edResponseAscii", QString(), 0, true);
    m_lblResponse = label(m_gbResponse, "Response(Hex):");
    m_lblResponse->setObjectName(QStringLiteral("lblResponse"));
    rs->addWidget(label(m_gbResponse, "STX"), 0, 0);
    rs->addWidget(label(m_gbResponse, "LEN"), 0, 1);
    rs->addWidget(label(m_gbResponse, "CMD"), 0, 2);
    rs->addWidget(label(m_gbResponse, "STA"), 0, 3);
    rs->addWidget(label(m_gbResponse, "{ DATA }"), 0, 4);
    rs->addWidget(m_edResponseSTX, 1, 0);
    rs->addWidget(m_edResponseLEN, 1, 1);
    rs->addWidget(m_edResponseCMD, 1, 2);
    rs->addWidget(m_edResponseSTA, 1, 3);
    rs->addWidget(m_edResponseDATA, 1, 4);
    rs->addWidget(label(m_gbResponse, "(Hex)"), 1, 5);
    rs->addWidget(m_edResponseAscii, 2, 4);
    rs->addWidget(label(m_gbResponse, "(Ascii)"), 2, 5);
    rs->addWidget(m_lblResponse, 3, 0, 1, 4);
    rs->addWidget(m_edResponse, 3, 4, 1, 2);
    column->addWidget(m_gbResponse);

    // Converter
    m_gbAsciiToHex = new QGroupBox(outer);
    m_gbAsciiToHex->setObjectName(QStringLiteral("gbAsciiToHex"));
    auto *cv = widgets::compact(new QHBoxLayout(m_gbAsciiToHex));
    m_edConvAscii = edit(m_gbAsciiToHex, "edConvAscii", QString(), 60);
    m_edConvHex = edit(m_gbAsciiToHex, "edConvHex", QString(), 0, true);
    cv->addWidget(m_edConvAscii);
    cv->addWidget(m_edConvHex, 2);
    column->addWidget(m_gbAsciiToHex);
    column->addStretch();

    connect(m_edRequestCMD, &QLineEdit::textEdited, this, &CommandPage::edRequestDATAKeyUp);
    connect(m_edRequestDATA, &QLineEdit::textEdited, this, &CommandPage::edRequestDATAKeyUp);
    connect(m_edRequestAscii, &QLineEdit::textEdited, this, &CommandPage::edRequestAsciiKeyUp);
    connect(m_cmbRequest, &QComboBox::activated, this, &CommandPage::cmbRequestCloseUp);
    connect(m_btnRequestSend, &QPushButton::clicked, this, &CommandPage::btnRequestSendClick);
    connect(m_btnReadCard, &QPushButton::clicked, this, &CommandPage::btnReadCardClick);
    connect(m_edConvAscii, &QLineEdit::textEdited, this, &CommandPage::edConvAsciiKeyUp);

    applyLanguage();
}

void CommandPage::applyLanguage()
{
    m_gbRequest->setTitle(m_context.text("Request Data"));
    m_gbResponse->setTitle(m_context.text("Response Data"));
    m_gbAsciiToHex->setTitle(m_context.text("ASCII To Hex"));
    m_lblRequest->setText(m_context.text("Request(Hex)"));
    m_lblResponse->setText(m_context.text("Response(Hex):"));
    m_btnRequestSend->setText(m_context.text("Send Request"));
    m_btnReadCard->setText(m_context.text("Read Card"));
    m_edRequestSTX->setText(QStringLiteral("02"));

    m_cmbRequest->clear();
    for (const i18n::RequestSample &sample : i18n::requestSamples())
        m_cmbRequest->addItem(m_context.text(sample.name));
    m_cmbRequest->setPlaceholderText(m_context.text("Select Request Sample List"));
    m_cmbRequest->setCurrentIndex(-1);
}

void CommandPage::pageEntered()
{
    m_cmbRequest->setCurrentIndex(0);
    m_context.pause.processPending();
    cmbRequestCloseUp();
}

void CommandPage::setAsciiRequestVisible(bool visible)
{
    m_edRequestAscii->setVisible(visible);
}

void CommandPage::edRequestDATAKeyUp()
{
    // Typing never makes DATA longer than the box's limit (or than the longer
    // text a transaction left in it).
    m_edRequestDATA->setMaxLength(std::max<int>(MaxRequestDataChars, int(m_edRequestDATA->text().size())));
    const RebuiltRequest r = RebuildRequestText(m_edRequestSTX->text(), m_edRequestCMD->text(),
                                                m_edRequestDATA->text());
    m_edRequestLEN->setText(r.len);
    m_edRequest->setText(r.whole);
}

void CommandPage::edRequestAsciiKeyUp()
{
    // The module takes one byte a character: one without such a code is not
    // taken (rather than sent as another), and the user is told.
    if (dropWhatHasNoOneByteCode(m_edRequestAscii))
        m_context.reporter.report(OutcomeNoOneByteCode);
    m_edRequestCMD->setText(QStringLiteral("00"));
    showDataText(m_edRequestDATA, asciiRequestData(m_edRequestAscii->text()).value_or(QString()));
    edRequestDATAKeyUp();
}

void CommandPage::cmbRequestCloseUp()
{
    const int index = m_cmbRequest->currentIndex();
    if (index >= 0)
        loadSample(index);
}

void CommandPage::loadSample(int index)
{
    const auto samples = i18n::requestSamples();
    if (index < 0 || index >= int(samples.size()))
        return;
    const i18n::RequestSample &s = samples[index];
    m_edRequestLEN->setText(QLatin1String(s.len));
    m_edRequestCMD->setText(QLatin1String(s.cmd));
    showDataText(m_edRequestDATA, QLatin1String(s.data));
    m_edRequest->setText(sampleRequestText(m_edRequestSTX->text(), m_edRequestLEN->text(), m_edRequestCMD->text(),
                                           m_edRequestDATA->text()));
}

void CommandPage::btnRequestSendClick()
{
    m_context.pause.processPending();
    const QByteArray frame = parseFrameText(m_edRequest->text());
    // A block write to a sector trailer goes through the trailer guard like
    // every other path that writes one; any other frame is sent as typed.
    const cards::TrailerCheck check = cards::checkTrailerFrame(frame);
    if (check.verdict == cards::TrailerCheck::Verdict::InvalidAccess) {
        m_context.reporter.ShowCommandError();
        m_context.dialogs.message(m_context.text("Command Error!"),
                                  cards::trailerRefusal(check, m_context.language.textLookup()));
        return;
    }
    if (check.permanent() && !m_context.askFirst(cards::trailerQuestion(check, m_context.language.textLookup())))
        return;
    if (m_context.link.ExecuteCommand(frame, ReaderLink::DefaultResponseLimit))
        m_context.reporter.ShowCommandDone();
    else
        m_context.reporter.ShowCommandError();
}

void CommandPage::btnReadCardClick()
{
    loadSample(0);
    btnRequestSendClick();
}

void CommandPage::edConvAsciiKeyUp()
{
    if (dropWhatHasNoOneByteCode(m_edConvAscii))
        m_context.reporter.report(OutcomeNoOneByteCode);
    m_edConvHex->setText(asciiToHexText(m_edConvAscii->text()).value_or(QString()));
}

void CommandPage::showRequest(const RequestFields &f)
{
    m_edRequestSTX->setText(f.stx);
    m_edRequestLEN->setText(f.len);
    m_edRequestCMD->setText(f.cmd);
    showDataText(m_edRequestDATA, f.data);
    m_edRequest->setText(f.whole);
}

void CommandPage::showResponse(const ResponseFields &f)
{
    m_edResponseSTX->setText(f.stx);
    m_edResponseLEN->setText(f.len);
    m_edResponseCMD->setText(f.cmd);
    m_edResponseSTA->setText(f.sta);
    m_edResponseDATA->setText(f.data);
    m_edResponseAscii->setText(f.ascii);
    m_edResponse->setText(f.whole);
}

bool CommandPage::eventFilter(QObject *watched, QEvent *event)
{
    // Samples can only be picked: typing into the list is discarded.
    if (watched == m_cmbRequest && event->type() == QEvent::KeyPress)
        return true;
    return QWidget::eventFilter(watched, event);
}

}  // namespace kv350::console
