#include "epcpage.h"

#include "epccommands.h"
#include "pages/controls.h"
#include "pages/pagecommands.h"
#include "settings/readersettings.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QVBoxLayout>

namespace kv350::cards {

using namespace widgets;

namespace {

// Ends an "Auto INC" whose characters 9..16 are not a hexadecimal number.
constexpr Outcome OutcomeIncrementNotHex{"Auto INC: characters 9 to 16 are not a hexadecimal number.", ColourRed, 300,
                                         500, true};

struct BankRow {
    QGroupBox *bank, *address, *length;
    QRadioButton *epc, *tid, *user;
    QScrollBar *addr, *len;
};

// Bank, address and length side by side; the tag commands and the automatic
// read each have one such row.
BankRow bankRow(QWidget *parent, QHBoxLayout *into, const char *bankName, const char *epcName, const char *tidName,
                const char *userName, const char *addressName, const char *addrBar, const char *addrPanel,
                const char *lengthName, const char *lenBar, const char *lenPanel, int lenStart)
{
    BankRow r;
    r.bank = group(parent, bankName);
    r.epc = radio(r.bank, epcName, QStringLiteral("EPC"), true);
    r.tid = radio(r.bank, tidName, QStringLiteral("TID"));
    r.user = radio(r.bank, userName, QStringLiteral("USER"));
    exclusive(r.bank, {r.epc, r.tid, r.user});
    auto *bank = compact(new QHBoxLayout(r.bank));
    bank->addWidget(r.epc);
    bank->addWidget(r.tid);
    bank->addWidget(r.user);

    r.address = group(parent, addressName);
    const Bar addr = scrollBar(r.address, addrBar, addrPanel, 0, 1023, 2, 10);
    r.addr = addr.bar;
    auto *a = compact(new QHBoxLayout(r.address));
    a->addWidget(addr.bar, 1);
    a->addWidget(addr.panel);

    r.length = group(parent, lengthName);
    const Bar len = scrollBar(r.length, lenBar, lenPanel, 1, 32, lenStart, 10);
    r.len = len.bar;
    auto *l = compact(new QHBoxLayout(r.length));
    l->addWidget(len.bar, 1);
    l->addWidget(len.panel);

    into->addWidget(r.bank);
    into->addWidget(r.address, 1);
    into->addWidget(r.length, 1);
    return r;
}

}  // namespace

EpcPage::EpcPage(PageContext &context, QWidget *parent) : Page(context, parent)
{
    setObjectName(QStringLiteral("tsK7704"));
    const QString zeros(16, QLatin1Char('0'));

    m_gbETAG = group(this, "gbETAG");
    QWidget *g = m_gbETAG;
    m_lblWriteETAG = label(g, "lblWriteETAG");
    m_edWriteETAG = upperEdit(g, "edWriteETAG", zeros, 16);
    m_btnWriteETAG = button(g, "btnWriteETAG");
    m_lblReadETAG = label(g, "lblReadETAG");
    m_edReadETAG = edit(g, "edReadETAG", {}, 16, true);
    m_btnReadETAG = button(g, "btnReadETAG");
    m_chkETAGAutoRead = checkBox(g, "chkETAGAutoRead", {});
    m_chkETAGAutoInc = checkBox(g, "chkETAGAutoInc", {});
    auto *et = compact(new QGridLayout(g));
    // The two options sit beside the write box: the page needs every row in Chinese.
    et->addWidget(m_lblWriteETAG, 0, 0);
    et->addWidget(m_edWriteETAG, 0, 1);
    et->addWidget(m_chkETAGAutoRead, 0, 2);
    et->addWidget(m_chkETAGAutoInc, 0, 3);
    et->addWidget(m_btnWriteETAG, 0, 4);
    et->addWidget(m_lblReadETAG, 1, 0);
    et->addWidget(m_edReadETAG, 1, 1, 1, 3);
    et->addWidget(m_btnReadETAG, 1, 4);
    et->setColumnStretch(1, 1);

    m_gbEPC = group(this, "gbEPC");
    g = m_gbEPC;
    auto *epcColumn = compact(new QVBoxLayout(g));
    auto *epcRow = new QHBoxLayout;
    epcRow->setSpacing(3);
    const BankRow tag = bankRow(g, epcRow, "gbEpcBank", "rbBankEpc", "rbBankTID", "rbBankUser", "gbEpcAddress",
                                "sbEpcAddr", "pnEpcAddr", "gbEpcLength", "sbEpcLen", "pnEpcLen", 4);
    m_gbEpcBank = tag.bank;
    m_gbEpcAddress = tag.address;
    m_gbEpcLength = tag.length;
    m_rbBankEpc = tag.epc;
    m_rbBankTID = tag.tid;
    m_rbBankUser = tag.user;
    m_sbEpcAddr = tag.addr;
    m_sbEpcLen = tag.len;
    epcColumn->addLayout(epcRow);
    m_lblWriteEPC = label(g, "lblWriteEPC");
    m_edWriteEPC = upperEdit(g, "edWriteEPC", zeros, 16);
    m_btnWriteEPC = button(g, "btnWriteEPC");
    m_lblWriteEpcCmd = label(g, "lblWriteEpcCmd", QStringLiteral("W1,2,4,..."));
    m_lblReadEPC = label(g, "lblReadEPC");
    m_edReadEPC = edit(g, "edReadEPC", {}, 0, true);
    m_btnReadEPC = button(g, "btnReadEPC");
    m_lblReadEpcCmd = label(g, "lblReadEpcCmd", QStringLiteral("R1,2,4"));
    // Label, box, the module text it sends, button: one row each, so that the
    // page fits in Chinese too.
    auto *data = new QGridLayout;
    data->setSpacing(3);
    data->addWidget(m_lblWriteEPC, 0, 0);
    data->addWidget(m_edWriteEPC, 0, 1);
    data->addWidget(m_lblWriteEpcCmd, 0, 2);
    data->addWidget(m_btnWriteEPC, 0, 3);
    data->addWidget(m_lblReadEPC, 1, 0);
    data->addWidget(m_edReadEPC, 1, 1);
    data->addWidget(m_lblReadEpcCmd, 1, 2);
    data->addWidget(m_btnReadEPC, 1, 3);
    data->setColumnStretch(1, 1);
    epcColumn->addLayout(data);

    m_gbAutoEPC = group(this, "gbAutoEPC");
    g = m_gbAutoEPC;
    auto *autoColumn = compact(new QVBoxLayout(g));
    auto *autoRow = new QHBoxLayout;
    autoRow->setSpacing(3);
    const BankRow autoRead = bankRow(g, autoRow, "gbAutoEpcBank", "rbAutoBankEpc", "rbAutoBankTID", "rbAutoBankUser",
                                     "gbAutoEpcAddress", "sbAutoEpcAddr", "pnAutoEpcAddr", "gbAutoEpcLength",
                                     "sbAutoEpcLen", "pnAutoEpcLen", 6);
    m_gbAutoEpcBank = autoRead.bank;
    m_gbAutoEpcAddress = autoRead.address;
    m_gbAutoEpcLength = autoRead.length;
    m_rbAutoBankEpc = autoRead.epc;
    m_rbAutoBankTID = autoRead.tid;
    m_rbAutoBankUser = autoRead.user;
    m_sbAutoEpcAddr = autoRead.addr;
    m_sbAutoEpcLen = autoRead.len;
    autoColumn->addLayout(autoRow);
    m_btnSetAutoEPC = button(g, "btnSetAutoEPC");
    m_btnGetAutoEPC = button(g, "btnGetAutoEPC");
    auto *autoButtons = new QHBoxLayout;
    autoButtons->addStretch();
    autoButtons->addWidget(m_btnSetAutoEPC);
    autoButtons->addWidget(m_btnGetAutoEPC);
    autoColumn->addLayout(autoButtons);

    auto *page = compact(new QVBoxLayout(this));
    page->setContentsMargins(4, 4, 4, 4);
    page->addWidget(m_gbETAG);
    page->addWidget(m_gbEPC);
    page->addWidget(m_gbAutoEPC);
    page->addStretch();

    // What is shown is what is sent: the parameter has one byte for the address.
    m_sbAutoEpcAddr->setMaximum(AutoEpcMaxAddress);

    connect(m_btnReadETAG, &QPushButton::clicked, this, &EpcPage::btnReadETAGClick);
    connect(m_btnWriteETAG, &QPushButton::clicked, this, &EpcPage::btnWriteETAGClick);
    connect(m_btnReadEPC, &QPushButton::clicked, this, &EpcPage::btnReadEPCClick);
    connect(m_btnWriteEPC, &QPushButton::clicked, this, &EpcPage::btnWriteEPCClick);
    connect(m_btnSetAutoEPC, &QPushButton::clicked, this, &EpcPage::btnSetAutoEPCClick);
    connect(m_btnGetAutoEPC, &QPushButton::clicked, this, &EpcPage::btnGetAutoEPCClick);
    connect(m_sbEpcAddr, &QScrollBar::valueChanged, this, &EpcPage::sbEpcAddrChange);
    connect(m_sbEpcLen, &QScrollBar::valueChanged, this, &EpcPage::sbEpcLenChange);
    // Any change of the bank, by mouse or keyboard, rebuilds the texts.
    for (QRadioButton *rb : {m_rbBankEpc, m_rbBankTID, m_rbBankUser})
        connect(rb, &QRadioButton::toggled, this, [this](bool checked) {
            if (checked)
                rbBankEpcMouseUp();
        });
    UpdateEpcCommandTexts();

    applyLanguage();
    keepOwnFont({"gbEpcBank", "gbEpcAddress", "gbEpcLength", "gbAutoEpcBank", "gbAutoEpcAddress", "gbAutoEpcLength"});
}

void EpcPage::applyLanguage()
{
    const std::pair<QWidget *, const char *> captions[] = {
        {m_gbETAG, "eTag Data Read/Write"},
        {m_lblReadETAG, "Read eTag Data:"},
        {m_btnReadETAG, "Read eTag Data"},
        {m_lblWriteETAG, "Write eTag Data:"},
        {m_btnWriteETAG, "Write eTag Data"},
        {m_chkETAGAutoInc, "Auto INC"},
        {m_gbAutoEPC, "Auto EPC Data Read"},
        {m_btnSetAutoEPC, "Set Auto Read EPC"},
        {m_btnGetAutoEPC, "Get Current Setting"},
        {m_gbEPC, "EPC Data Read/Write"},
        {m_lblReadEPC, "Read EPC Data"},
        {m_btnReadEPC, "Read EPC Data"},
        {m_lblWriteEPC, "Write EPC Data"},
        {m_btnWriteEPC, "Write EPC Data"},
        {m_gbEpcBank, "Bank"},
        {m_gbAutoEpcBank, "Bank"},
        {m_gbEpcAddress, "Address"},
        {m_gbAutoEpcAddress, "Address"},
        {m_gbEpcLength, "Length"},
        {m_gbAutoEpcLength, "Length"},
    };
    for (const auto &[control, english] : captions)
        setCaption(control, m_context.text(english));
    // "Auto Read" has a second reading on the Auto Read tab.
    m_chkETAGAutoRead->setText(
        m_context.language.LocalText(QStringLiteral("Auto Read"), QStringLiteral("chkETAGAutoRead")));
}

void EpcPage::UpdateEpcCommandTexts()
{
    const EpcBank bank = m_rbBankTID->isChecked()    ? EpcBank::Tid
                         : m_rbBankUser->isChecked() ? EpcBank::User
                                                     : EpcBank::Epc;
    m_EpcCommandText = cards::EpcCommandText(bank, m_sbEpcAddr->value(), m_sbEpcLen->value());
    m_lblReadEpcCmd->setText(readEpcLabel(m_EpcCommandText));
    m_lblWriteEpcCmd->setText(writeEpcLabel(m_EpcCommandText));
}

void EpcPage::rbBankEpcMouseUp()
{
    UpdateEpcCommandTexts();
}

void EpcPage::sbEpcAddrChange()
{
    UpdateEpcCommandTexts();
}

void EpcPage::sbEpcLenChange()
{
    UpdateEpcCommandTexts();
    const int words = m_sbEpcLen->value();
    m_edWriteEPC->clear();
    m_edWriteEPC->setMaxLength(epcDataChars(words));
    m_edWriteEPC->setText(writeBoxFill(words));
}

void EpcPage::btnReadETAGClick()
{
    ReaderLink &link = m_context.link;
    if (!ExecuteTagCommand(link, m_context.pause, readEtagRequest(), EtagReadResponseSize, EtagReadReply)) {
        m_context.reporter.ShowCommandError();
        return;
    }
    const QString read = tagReadText(link.ResponseBuffer().data(), EtagChars);
    m_edReadETAG->setText(read);
    if (m_edWriteETAG->text() == QString(EtagChars, QLatin1Char('0')))
        m_edWriteETAG->setText(read);
    m_context.reporter.ShowCommandDone();
}

void EpcPage::btnWriteETAGClick()
{
    if (!ExecuteTagCommand(m_context.link, m_context.pause, writeEtagRequest(m_edWriteETAG->text()),
                           TagWriteResponseSize, TagWriteReply)) {
        m_context.reporter.ShowCommandError();
        return;
    }
    if (m_chkETAGAutoRead->isChecked()) {
        // The read-back reports for itself; a failed increment then says why.
        btnReadETAGClick();
        if (m_chkETAGAutoInc->isChecked())
            incrementEtag();
        return;
    }
    if (m_chkETAGAutoInc->isChecked() && !incrementEtag())
        return;
    m_context.reporter.ShowCommandDone();
}

bool EpcPage::incrementEtag()
{
    const std::optional<QString> next = incrementedEtag(m_edWriteETAG->text());
    if (!next) {
        m_context.reporter.report(OutcomeIncrementNotHex);
        return false;
    }
    m_edWriteETAG->setText(*next);
    return true;
}

void EpcPage::btnReadEPCClick()
{
    ReaderLink &link = m_context.link;
    const int words = m_sbEpcLen->value();
    m_edReadEPC->clear();
    if (!ExecuteTagCommand(link, m_context.pause, readEpcRequest(m_EpcCommandText), readEpcResponseSize(words),
                           TagReply{readEpcResponseSize(words), false})) {
        m_context.reporter.ShowCommandError();
        return;
    }
    m_edReadEPC->setText(tagReadText(link.ResponseBuffer().data(), epcDataChars(words)));
    m_context.reporter.ShowCommandDone();
}

void EpcPage::btnWriteEPCClick()
{
    const QByteArray request = writeEpcRequest(m_EpcCommandText, m_edWriteEPC->text(), m_sbEpcLen->value());
    if (ExecuteTagCommand(m_context.link, m_context.pause, request, TagWriteResponseSize, TagWriteReply))
        m_context.reporter.ShowCommandDone();
    else
        m_context.reporter.ShowCommandError();
}

void EpcPage::btnSetAutoEPCClick()
{
    AutoEpcSetting setting;
    setting.bank = m_rbAutoBankTID->isChecked()    ? EpcBank::Tid
                   : m_rbAutoBankUser->isChecked() ? EpcBank::User
                                                   : EpcBank::Epc;
    setting.address = m_sbAutoEpcAddr->value();
    setting.words = m_sbAutoEpcLen->value();
    sendAutoEpc(setting);
}

void EpcPage::btnGetAutoEPCClick()
{
    sendAutoEpc(std::nullopt);
}

void EpcPage::sendAutoEpc(const std::optional<AutoEpcSetting> &toSet)
{
    std::optional<ParameterValue> toSend;
    if (toSet)
        toSend = *toSet;
    const std::optional<ParameterValue> held = exchangeSetting(m_context, parameterInfo(proto::ParAutoEpc), toSend);
    if (!held)
        return;
    const auto *setting = &std::get<AutoEpcSetting>(*held);
    QRadioButton *bank = setting->bank == EpcBank::Tid    ? m_rbAutoBankTID
                         : setting->bank == EpcBank::User ? m_rbAutoBankUser
                                                          : m_rbAutoBankEpc;
    bank->setChecked(true);
    m_sbAutoEpcAddr->setValue(setting->address);
    m_sbAutoEpcLen->setValue(setting->words);
    m_context.reporter.ShowCommandDone();
}

}  // namespace kv350::cards
