#include "rftestpage.h"

#include "pages/controls.h"
#include "radiotexts.h"

#include <QEvent>

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>

namespace kv350::rftest {

using namespace widgets;

RfTestPage::RfTestPage(PageContext &context, QWidget *parent) : Page(context, parent)
{
    setObjectName(QStringLiteral("tsOvtra"));

    m_gbOvtraSet = group(this, "gbOvtraSet");
    QWidget *g = m_gbOvtraSet;
    m_btnSetModulation = button(g, "btnSetModulation", QStringLiteral("Set Modulation"));
    m_btnSetNoModulation = button(g, "btnSetNoModulation", QStringLiteral("Set No Modulation"));
    const Bar channel = scrollBar(g, "sbChannel", "pnChannel", 1, 512, StartChannel, 10);
    const Bar pa = scrollBar(g, "sbPA", "pnPA", 0, 255, 255, 10);
    m_sbChannel = channel.bar;
    m_sbPA = pa.bar;
    m_btnSetChannel = button(g, "btnSetChannel", QStringLiteral("Set Channel"));
    m_btnChLow = button(g, "btnChLow", QStringLiteral("Low"));
    m_btnChMid = button(g, "btnChMid", QStringLiteral("Mid"));
    m_btnChHigh = button(g, "btnChHigh", QStringLiteral("High"));
    m_btnSetPA = button(g, "btnSetPA", QStringLiteral("Set PA Power"));
    m_btnSetTX = button(g, "btnSetTX", QStringLiteral("Run TX Mode"));
    m_btnSetRX = button(g, "btnSetRX", QStringLiteral("Run RX Mode"));
    m_btnOvtraReboot = button(g, "btnOvtraReboot", QStringLiteral("Ovtra Reboot (Load setting)"));
    m_btnOvtraInitial = button(g, "btnOvtraInitial", QStringLiteral("Ovtra Initial (Load default setting)"));
    auto *set = compact(new QGridLayout(g));
    set->addWidget(m_btnSetModulation, 0, 0, 1, 2);
    set->addWidget(m_btnSetNoModulation, 0, 2, 1, 2);
    set->addWidget(channel.bar, 1, 0, 1, 2);
    set->addWidget(channel.panel, 1, 2);
    set->addWidget(m_btnSetChannel, 1, 3);
    auto *presets = new QHBoxLayout;
    presets->addWidget(m_btnChLow);
    presets->addWidget(m_btnChMid);
    presets->addWidget(m_btnChHigh);
    set->addLayout(presets, 2, 0, 1, 4);
    set->addWidget(pa.bar, 3, 0, 1, 2);
    set->addWidget(pa.panel, 3, 2);
    set->addWidget(m_btnSetPA, 3, 3);
    set->addWidget(m_btnSetTX, 4, 0, 1, 2);
    set->addWidget(m_btnSetRX, 4, 2, 1, 2);
    set->addWidget(m_btnOvtraReboot, 5, 0, 1, 4);
    set->addWidget(m_btnOvtraInitial, 6, 0, 1, 4);
    set->setColumnStretch(0, 1);
    set->setColumnStretch(1, 1);
    set->setRowStretch(7, 1);

    m_gbOvtraTest = group(this, "gbOvtraTest");
    g = m_gbOvtraTest;
    m_btnOvtraTest = button(g, "btnOvtraTest");
    m_lstOvtra = listBox(g, "lstOvtra", true);
    auto *test = compact(new QVBoxLayout(g));
    test->addWidget(m_btnOvtraTest);
    test->addWidget(m_lstOvtra);

    auto *page = compact(new QHBoxLayout(this));
    page->setContentsMargins(4, 4, 4, 4);
    page->addWidget(m_gbOvtraSet, 1);
    page->addWidget(m_gbOvtraTest, 1);

    connect(m_btnSetTX, &QPushButton::clicked, this, &RfTestPage::btnSetTXClick);
    connect(m_btnSetRX, &QPushButton::clicked, this, &RfTestPage::btnSetRXClick);
    connect(m_btnSetModulation, &QPushButton::clicked, this, &RfTestPage::btnSetModulationClick);
    connect(m_btnSetNoModulation, &QPushButton::clicked, this, &RfTestPage::btnSetNoModulationClick);
    connect(m_btnSetChannel, &QPushButton::clicked, this, &RfTestPage::btnSetChannelClick);
    connect(m_btnSetPA, &QPushButton::clicked, this, &RfTestPage::btnSetPAClick);
    connect(m_btnChLow, &QPushButton::clicked, this, &RfTestPage::btnChLowClick);
    connect(m_btnChMid, &QPushButton::clicked, this, &RfTestPage::btnChMidClick);
    connect(m_btnChHigh, &QPushButton::clicked, this, &RfTestPage::btnChHighClick);
    connect(m_btnOvtraReboot, &QPushButton::clicked, this, &RfTestPage::btnOvtraRebootClick);
    connect(m_btnOvtraInitial, &QPushButton::clicked, this, &RfTestPage::btnOvtraInitialClick);
    connect(m_btnOvtraTest, &QPushButton::clicked, this, &RfTestPage::btnOvtraTestClick);
    // A double click anywhere in the list, on a line or below the last one.
    m_lstOvtra->viewport()->installEventFilter(this);

    applyLanguage();
    keepOwnFont({"pnChannel", "pnPA"});
}

void RfTestPage::applyLanguage()
{
    m_gbOvtraSet->setTitle(m_context.text("Ovtra Sst"));
    m_gbOvtraTest->setTitle(m_context.text("Auto Test"));
    m_testCaption = m_context.text("Auto Test");
    m_btnOvtraTest->setText(m_AutoTestRunning ? m_context.text("Cancel Test") : m_testCaption);
}

bool RfTestPage::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_lstOvtra->viewport() && event->type() == QEvent::MouseButtonDblClick)
        lstOvtraDblClick();
    return QWidget::eventFilter(watched, event);
}

bool RfTestPage::sendText(const QByteArray &text)
{
    ReaderLink &link = m_context.link;
    return link.ExecuteCommand(radioRequest(text), ModuleResponseLimit) && link.responseStatus() == proto::StaOk;
}

void RfTestPage::sendSingle(const QByteArray &text)
{
    if (sendText(text))
        m_context.reporter.ShowCommandDone();
    else
        m_context.reporter.ShowCommandError();
}

void RfTestPage::btnSetTXClick()
{
    sendSingle(TextTx);
}

void RfTestPage::btnSetRXClick()
{
    sendSingle(TextRx);
}

void RfTestPage::btnSetModulationClick()
{
    sendSingle(TextModulation);
}

void RfTestPage::btnSetNoModulationClick()
{
    sendSingle(TextNoModulation);
}

void RfTestPage::btnSetChannelClick()
{
    const ChannelTexts texts = channelTexts(m_sbChannel->value());
    if (!sendText(texts.half)) {
        m_context.reporter.ShowCommandError();
        return;
    }
    sendSingle(texts.channel);
}

void RfTestPage::btnSetPAClick()
{
    sendSingle(paText(m_sbPA->value()));
}

void RfTestPage::btnChLowClick()
{
    m_sbChannel->setValue(ChannelLow);
}

void RfTestPage::btnChMidClick()
{
    m_sbChannel->setValue(ChannelMid);
}

void RfTestPage::btnChHighClick()
{
    m_sbChannel->setValue(ChannelHigh);
}

void RfTestPage::btnOvtraRebootClick()
{
    sendSingle(TextReboot);
}

void RfTestPage::btnOvtraInitialClick()
{
    sendSingle(TextInitial);
}

void RfTestPage::lstOvtraDblClick()
{
    m_lstOvtra->clear();
}

void RfTestPage::btnOvtraTestClick()
{
    // The second click: the running loop below sees it and ends.
    if (m_AutoTestRunning) {
        m_AutoTestRunning = false;
        return;
    }
    m_AutoTestRunning = true;
    m_gbOvtraSet->setEnabled(false);
    emit autoTestStarted();
    m_btnOvtraTest->setText(m_context.text("Cancel Test"));

    ReaderLink &link = m_context.link;
    Pause &pause = m_context.pause;
    // Sent twice, answers not looked at: the module may miss the first while it settles.
    for (int i = 0; i < 2; ++i) {
        link.ExecuteCommand(radioRequest(TextTestStart), ModuleResponseLimit);
        pause.wait(TestTextPauseMs);
    }
    m_lstOvtra->clear();
    bool received = false;
    while (m_AutoTestRunning) {
        if (link.ReadResponse()) {
            if (const std::optional<QString> line = testLine(link.ResponseBuffer().data(), link.ResponseLength())) {
                m_lstOvtra->addItem(*line);
                m_lstOvtra->scrollToBottom();
                received = true;
            }
        }
        pause.wait(TestPollPauseMs);
        pause.processInput();  // where the second click comes in
    }
    for (int i = 0; i < 2; ++i) {
        link.ExecuteCommand(radioRequest(TextTestStop), ModuleResponseLimit);
        pause.wait(TestTextPauseMs);
    }
    if (!received)
        m_context.reporter.ShowCommandError();
    m_gbOvtraSet->setEnabled(true);
    m_btnOvtraTest->setText(m_testCaption);
    emit autoTestFinished();
}

}  // namespace kv350::rftest
