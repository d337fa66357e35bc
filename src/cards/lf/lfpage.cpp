#include "lfpage.h"

#include "widgets/controls.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

namespace kv350::cards {

using namespace widgets;

LfPage::LfPage(PageContext &context, QWidget *parent) : QWidget(parent), m_context(context)
{
    setObjectName(QStringLiteral("tsLF"));
    m_gbLFCardType = group(this, "gbLFCardType");
    QWidget *g = m_gbLFCardType;
    m_chkLFCardTypeEM = checkBox(g, "chkLFCardTypeEM", QStringLiteral("EM/TEMIC - 125 kHz"), true);
    m_chkLFCardTypeVANTO = checkBox(g, "chkLFCardTypeVANTO", QStringLiteral("VANTO - 125 kHz"));
    m_chkLFCardTypeSECURITY = checkBox(g, "chkLFCardTypeSECURITY", QStringLiteral("SECURITY - 125 kHz"));
    m_chkLFCardTypeFDXB = checkBox(g, "chkLFCardTypeFDXB", QStringLiteral("FDX-B (ISO11784) - 134.2 kHz"));
    m_chkLFCardTypeTITAN = checkBox(g, "chkLFCardTypeTITAN", QStringLiteral("SOKYMAT TITAN - 125 kHz"));
    m_chkLFCardTypeHID = checkBox(g, "chkLFCardTypeHID", QStringLiteral("HID Proximity - 125 kHz"));
    m_chkLFCardTypeTITAN->hide();
    m_chkLFCardTypeHID->hide();
    m_btnSetLFCardType = button(g, "btnSetLFCardType");
    m_btnGetLFCardType = button(g, "btnGetLFCardType");

    auto *column = compact(new QVBoxLayout(g));
    for (QCheckBox *box : {m_chkLFCardTypeEM, m_chkLFCardTypeVANTO, m_chkLFCardTypeSECURITY, m_chkLFCardTypeFDXB,
                           m_chkLFCardTypeTITAN, m_chkLFCardTypeHID})
        column->addWidget(box);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_btnSetLFCardType);
    buttons->addWidget(m_btnGetLFCardType);
    column->addLayout(buttons);

    auto *page = compact(new QHBoxLayout(this));
    page->setContentsMargins(4, 4, 4, 4);
    auto *left = new QVBoxLayout;
    left->addWidget(m_gbLFCardType);
    left->addStretch();
    page->addLayout(left);
    page->addStretch();

    applyLanguage();
}

void LfPage::applyLanguage()
{
    m_gbLFCardType->setTitle(m_context.text("Available Card Type"));
    m_btnSetLFCardType->setText(m_context.text("Set"));
    m_btnGetLFCardType->setText(m_context.text("Get Current Setting"));
}

void LfPage::resetToFactory()
{
    m_chkLFCardTypeEM->setChecked(true);
    m_chkLFCardTypeVANTO->setChecked(false);
    m_chkLFCardTypeSECURITY->setChecked(false);
    m_chkLFCardTypeFDXB->setChecked(false);
    m_chkLFCardTypeTITAN->setChecked(false);
    m_chkLFCardTypeHID->setChecked(false);
}

}  // namespace kv350::cards
