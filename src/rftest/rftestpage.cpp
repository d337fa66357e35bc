#include "rftestpage.h"

#include "widgets/controls.h"

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

RfTestPage::RfTestPage(PageContext &context, QWidget *parent) : QWidget(parent), m_context(context)
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

    applyLanguage();
}

void RfTestPage::applyLanguage()
{
    m_gbOvtraSet->setTitle(m_context.text("Ovtra Sst"));
    m_gbOvtraTest->setTitle(m_context.text("Auto Test"));
    m_btnOvtraTest->setText(m_context.text("Auto Test"));
}

}  // namespace kv350::rftest
