#include "lfpage.h"

#include "pages/controls.h"
#include "pages/pagecommands.h"
#include "settings/readersettings.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>
#include <array>

namespace kv350::cards {

using namespace widgets;

LfPage::LfPage(PageContext &context, QWidget *parent) : Page(context, parent)
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

    // EM/TEMIC, VANTO and SECURITY exclude each other on every change of
    // state, the program's own included.
    const std::array<QCheckBox *, 3> group = {m_chkLFCardTypeEM, m_chkLFCardTypeVANTO, m_chkLFCardTypeSECURITY};
    for (QCheckBox *box : group)
        connect(box, &QCheckBox::toggled, this, [box, group](bool checked) {
            if (!checked)
                return;
            for (QCheckBox *other : group)
                if (other != box)
                    other->setChecked(false);
        });
    connect(m_btnSetLFCardType, &QPushButton::clicked, this, &LfPage::btnSetLFCardTypeClick);
    connect(m_btnGetLFCardType, &QPushButton::clicked, this, &LfPage::btnGetLFCardTypeClick);

    applyLanguage();
    keepOwnFont({"chkLFCardTypeEM", "chkLFCardTypeVANTO", "chkLFCardTypeSECURITY", "chkLFCardTypeFDXB",
                 "chkLFCardTypeTITAN", "chkLFCardTypeHID"});
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

namespace {
constexpr std::uint8_t LfEm = 0x01, LfVanto = 0x02, LfSecurity = 0x04, LfFdxb = 0x08, LfTitan = 0x10, LfHid = 0x20;
}  // namespace

void LfPage::showCardTypes(std::uint8_t bits)
{
    const std::pair<QCheckBox *, std::uint8_t> boxes[] = {
        {m_chkLFCardTypeEM, LfEm},     {m_chkLFCardTypeVANTO, LfVanto}, {m_chkLFCardTypeSECURITY, LfSecurity},
        {m_chkLFCardTypeFDXB, LfFdxb}, {m_chkLFCardTypeTITAN, LfTitan}, {m_chkLFCardTypeHID, LfHid},
    };
    for (const auto &[box, bit] : boxes)
        box->setChecked(bits & bit);
}

void LfPage::btnSetLFCardTypeClick()
{
    // Hidden boxes count too: what the reader holds goes back as it was.
    const std::uint8_t bits = (m_chkLFCardTypeEM->isChecked() ? LfEm : 0) |
                              (m_chkLFCardTypeVANTO->isChecked() ? LfVanto : 0) |
                              (m_chkLFCardTypeSECURITY->isChecked() ? LfSecurity : 0) |
                              (m_chkLFCardTypeFDXB->isChecked() ? LfFdxb : 0) |
                              (m_chkLFCardTypeTITAN->isChecked() ? LfTitan : 0) |
                              (m_chkLFCardTypeHID->isChecked() ? LfHid : 0);
    applySetting(m_context, parameterInfo(proto::ParLfCardType), CardTypes{bits},
                 [this](const ParameterValue &held) { showCardTypes(std::get<CardTypes>(held).bits); });
}

void LfPage::btnGetLFCardTypeClick()
{
    applySetting(m_context, parameterInfo(proto::ParLfCardType), std::nullopt,
                 [this](const ParameterValue &held) { showCardTypes(std::get<CardTypes>(held).bits); });
}

}  // namespace kv350::cards
