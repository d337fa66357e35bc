#include "commonpage.h"

#include "link/frame.h"
#include "pages/controls.h"
#include "pages/pagecommands.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>

namespace kv350::settings {

using namespace widgets;

namespace {

constexpr int FormatStart = 4;  // "8H"

const char *const UsbModes[] = {"USB Keyboard Emulation", "USB HID-Compliant Device",
                                "USB HID-Compliant Device Auto Send"};
const char *const SerialModes[] = {"USB Serial Port Auto Send", "USB Serial Port"};

QHBoxLayout *buttonRow(QPushButton *set, QPushButton *get)
{
    auto *row = new QHBoxLayout;
    row->setSpacing(4);
    row->addWidget(set);
    row->addWidget(get);
    return row;
}

}  // namespace

CommonPage::CommonPage(PageContext &context, QWidget *parent) : Page(context, parent)
{
    setObjectName(QStringLiteral("tsCommon"));

    // ID output format
    m_gbIdFormat = group(this, "gbIdFormat");
    m_lblFormat = label(m_gbIdFormat, "lblFormat");
    m_cmbFormat = dropDown(m_gbIdFormat, "cmbFormat", formatItemNames(), FormatStart);
    m_chkReverse = checkBox(m_gbIdFormat, "chkReverse", {});
    m_chkReverseBit = checkBox(m_gbIdFormat, "chkReverseBit", {});
    m_chkDecZero = checkBox(m_gbIdFormat, "chkDecZero", {});
    m_chkAddEnter = checkBox(m_gbIdFormat, "chkAddEnter", {}, true);
    m_chkAddLF = checkBox(m_gbIdFormat, "chkAddLF", {});
    m_chkAddTab = checkBox(m_gbIdFormat, "chkAddTab", {});
    m_chkAddDown = checkBox(m_gbIdFormat, "chkAddDown", {});
    m_chkAddSpace = checkBox(m_gbIdFormat, "chkAddSpace", {});
    m_chkAddComma = checkBox(m_gbIdFormat, "chkAddComma", {});
    m_chkAddBrackets = checkBox(m_gbIdFormat, "chkAddBrackets", {});
    m_chkAddQuotation = checkBox(m_gbIdFormat, "chkAddQuotation", {});
    m_btnIdFormat = button(m_gbIdFormat, "btnIdFormat");
    m_btnGetIdFormat = button(m_gbIdFormat, "btnGetIdFormat");
    auto *fmt = compact(new QGridLayout(m_gbIdFormat));
    fmt->addWidget(m_lblFormat, 0, 0);
    fmt->addWidget(m_cmbFormat, 0, 1);
    QCheckBox *const formatBoxes[] = {m_chkReverse,  m_chkReverseBit,  m_chkDecZero,     m_chkAddEnter,
                                      m_chkAddLF,    m_chkAddTab,      m_chkAddDown,     m_chkAddSpace,
                                      m_chkAddComma, m_chkAddBrackets, m_chkAddQuotation};
    for (int i = 0; i < int(std::size(formatBoxes)); ++i)
        fmt->addWidget(formatBoxes[i], 1 + i % 6, i / 6);
    fmt->addLayout(buttonRow(m_btnIdFormat, m_btnGetIdFormat), 7, 0, 1, 2);

    // USB mode
    m_gbUsbMode = group(this, "gbUsbMode");
    m_lblUsbMode = label(m_gbUsbMode, "lblUsbMode");
    m_cmbUsbMode = dropDown(m_gbUsbMode, "cmbUsbMode");
    m_btnUsbMode = button(m_gbUsbMode, "btnUsbMode");
    m_btnGetUsbMode = button(m_gbUsbMode, "btnGetUsbMode");
    auto *usb = compact(new QGridLayout(m_gbUsbMode));
    usb->addWidget(m_lblUsbMode, 0, 0);
    usb->addWidget(m_cmbUsbMode, 0, 1);
    usb->setColumnStretch(1, 1);
    usb->addLayout(buttonRow(m_btnUsbMode, m_btnGetUsbMode), 1, 0, 1, 2);

    // Read mode
    m_gbReadMode = group(this, "gbReadMode");
    m_chkReadAuto = checkBox(m_gbReadMode, "chkReadAuto", {}, true);
    m_chkReadBeep = checkBox(m_gbReadMode, "chkReadBeep", {}, true);
    m_chkReadLED = checkBox(m_gbReadMode, "chkReadLED", {}, true);
    m_chkReadSameCard = checkBox(m_gbReadMode, "chkReadSameCard", {}, true);
    m_chkReadGreen = checkBox(m_gbReadMode, "chkReadGreen", {}, true);
    m_chkSTX = checkBox(m_gbReadMode, "chkSTX", QStringLiteral("STX ASCII Format"));
    m_chkETag = checkBox(m_gbReadMode, "chkETag", QStringLiteral("eTag"));
    m_btnReadMode = button(m_gbReadMode, "btnReadMode");
    m_btnGetReadMode = button(m_gbReadMode, "btnGetReadMode");
    auto *rm = compact(new QGridLayout(m_gbReadMode));
    rm->setVerticalSpacing(1);
    rm->addWidget(m_chkReadAuto, 0, 0);
    rm->addWidget(m_chkReadBeep, 0, 1);
    rm->addWidget(m_chkReadLED, 1, 0);
    rm->addWidget(m_chkETag, 1, 1);
    rm->addWidget(m_chkReadSameCard, 2, 0, 1, 2);
    rm->addWidget(m_chkReadGreen, 3, 0, 1, 2);
    rm->addWidget(m_chkSTX, 4, 0, 1, 2);
    rm->addLayout(buttonRow(m_btnReadMode, m_btnGetReadMode), 5, 0, 1, 2);

    // The three timings share one shape: bar, value, unit, Set and Get.
    auto timing = [this](const char *groupName, const char *barName, const char *panelName, int start,
                         const char *unitName, const char *unit, const char *setName, const char *getName,
                         QGroupBox *&box, QScrollBar *&bar, QLabel *&panel, QPushButton *&set, QPushButton *&get) {
        box = group(this, groupName);
        const Bar b = scrollBar(box, barName, panelName, 0, 255, start, 10);
        bar = b.bar;
        panel = b.panel;
        set = button(box, setName);
        get = button(box, getName);
        auto *grid = compact(new QGridLayout(box));
        addBarRow(grid, 0, nullptr, b);
        grid->addWidget(label(box, unitName, QLatin1String(unit)), 0, 3);
        grid->setColumnStretch(1, 1);
        grid->addLayout(buttonRow(set, get), 1, 0, 1, 4);
    };
    timing("gbScanTime", "sbScanTime", "pnScanTime", 5, "lblScanTime", "x 10 ms", "btnScanTime", "btnGetScanTime",
           m_gbScanTime, m_sbScanTime, m_pnScanTime, m_btnScanTime, m_btnGetScanTime);
    timing("gbSameCard", "sbSameCard", "pnSameCard", 15, "lblSameCard", "x 100 ms", "btnSameCard", "btnGetSameCard",
           m_gbSameCard, m_sbSameCard, m_pnSameCard, m_btnSameCard, m_btnGetSameCard);
    timing("gbDelayTime", "sbDelayTime", "pnDelayTime", 10, "lblms", "ms", "btnSetDelayTime", "btnGetDelayTime",
           m_gbDelayTime, m_sbDelayTime, m_pnDelayTime, m_btnSetDelayTime, m_btnGetDelayTime);

    // Keyboard layout
    m_gbLayout = group(this, "gbLayout");
    m_cmbLayout = dropDown(m_gbLayout, "cmbLayout", layoutNames(), 0);
    m_btnSetLayout = button(m_gbLayout, "btnSetLayout");
    m_btnGetLayout = button(m_gbLayout, "btnGetLayout");
    auto *kl = compact(new QVBoxLayout(m_gbLayout));
    kl->addWidget(m_cmbLayout);
    kl->addLayout(buttonRow(m_btnSetLayout, m_btnGetLayout));

    // Utility
    m_gbUtility = group(this, "gbUtility");
    m_btnReboot = button(m_gbUtility, "btnReboot");
    m_btnFactory = button(m_gbUtility, "btnFactory");
    auto *ut = compact(new QVBoxLayout(m_gbUtility));
    ut->addWidget(m_btnReboot);
    ut->addWidget(m_btnFactory);

    // Three columns, each as tall as its own groups: with the taller Chinese
    // fonts a grid's rows would make each column as tall as the tallest.
    auto *page = compact(new QHBoxLayout(this));
    page->setContentsMargins(4, 4, 4, 4);
    for (const auto &groups : {std::initializer_list<QWidget *>{m_gbIdFormat, m_gbUsbMode},
                               std::initializer_list<QWidget *>{m_gbReadMode, m_gbScanTime, m_gbSameCard},
                               std::initializer_list<QWidget *>{m_gbDelayTime, m_gbLayout, m_gbUtility}}) {
        auto *column = new QVBoxLayout;
        column->setSpacing(3);
        for (QWidget *g : groups)
            column->addWidget(g);
        column->addStretch();
        page->addLayout(column);
    }

    connect(m_btnIdFormat, &QPushButton::clicked, this, &CommonPage::btnIdFormatClick);
    connect(m_btnGetIdFormat, &QPushButton::clicked, this, &CommonPage::btnGetIdFormatClick);
    connect(m_btnUsbMode, &QPushButton::clicked, this, &CommonPage::btnUsbModeClick);
    connect(m_btnGetUsbMode, &QPushButton::clicked, this, &CommonPage::btnGetUsbModeClick);
    connect(m_btnReadMode, &QPushButton::clicked, this, &CommonPage::btnReadModeClick);
    connect(m_btnGetReadMode, &QPushButton::clicked, this, &CommonPage::btnGetReadModeClick);
    connect(m_btnScanTime, &QPushButton::clicked, this, &CommonPage::btnScanTimeClick);
    connect(m_btnGetScanTime, &QPushButton::clicked, this, &CommonPage::btnGetScanTimeClick);
    connect(m_btnSameCard, &QPushButton::clicked, this, &CommonPage::btnSameCardClick);
    connect(m_btnGetSameCard, &QPushButton::clicked, this, &CommonPage::btnGetSameCardClick);
    connect(m_btnSetDelayTime, &QPushButton::clicked, this, &CommonPage::btnSetDelayTimeClick);
    connect(m_btnGetDelayTime, &QPushButton::clicked, this, &CommonPage::btnGetDelayTimeClick);
    connect(m_btnSetLayout, &QPushButton::clicked, this, &CommonPage::btnSetLayoutClick);
    connect(m_btnGetLayout, &QPushButton::clicked, this, &CommonPage::btnGetLayoutClick);
    connect(m_btnReboot, &QPushButton::clicked, this, &CommonPage::btnRebootClick);
    connect(m_btnFactory, &QPushButton::clicked, this, &CommonPage::btnFactoryClick);

    applyLanguage();
}

void CommonPage::applyLanguage()
{
    const std::pair<QWidget *, const char *> captions[] = {
        {m_gbIdFormat, "Send ID Format"},
        {m_chkReverse, "ID Reverse Byte"},
        {m_chkReverseBit, "ID Reverse Bit"},
        {m_chkDecZero, "DEC Zero Remove"},
        {m_chkAddEnter, "Add Enter(CR)"},
        {m_chkAddLF, "Add Ctrl+Enter(LF)"},
        {m_chkAddTab, "Add Tab"},
        {m_chkAddDown, "Add Down Arrow"},
        {m_chkAddSpace, "Add Space"},
        {m_chkAddComma, "Add Comma(,)"},
        {m_chkAddBrackets, "Add Brackets([ ])"},
        {m_chkAddQuotation, "Add Quotation(' ')"},
        {m_gbUsbMode, "USB Mode"},
        {m_gbReadMode, "Read Card Mode"},
        {m_chkReadAuto, "Auto"},
        {m_chkReadBeep, "Beep"},
        {m_chkReadLED, "LED"},
        {m_chkReadSameCard, "Same Card Detection"},
        {m_chkReadGreen, "Energy Saving Mode"},
        {m_gbScanTime, "Read Card Time Postponement"},
        {m_gbSameCard, "Same Card Detection Time"},
        {m_gbDelayTime, "USB Keypad Delay Time"},
        {m_gbLayout, "Keyboard Layout"},
        {m_gbUtility, "System Command"},
        {m_btnReboot, "Reboot Reader"},
        {m_btnFactory, "Use Factory Settings"},
    };
    for (const auto &[control, english] : captions)
        setCaption(control, m_context.text(english));
    for (QPushButton *set :
         {m_btnIdFormat, m_btnUsbMode, m_btnReadMode, m_btnScanTime, m_btnSameCard, m_btnSetDelayTime, m_btnSetLayout})
        set->setText(m_context.text("Set"));
    for (QPushButton *get : {m_btnGetIdFormat, m_btnGetUsbMode, m_btnGetReadMode, m_btnGetScanTime, m_btnGetSameCard})
        get->setText(m_context.text("Get Current Setting"));
    for (QPushButton *get : {m_btnGetDelayTime, m_btnGetLayout})
        get->setText(m_context.text("Get"));
    m_lblFormat->setText(m_context.text("ID Format") + QLatin1Char(':'));
    m_lblUsbMode->setText(m_context.text("USB Mode") + QLatin1Char(':'));
}

void CommonPage::fillUsbModes(bool serial)
{
    m_cmbUsbMode->clear();
    if (serial) {
        for (const char *name : SerialModes)
            m_cmbUsbMode->addItem(m_context.text(name));
    } else {
        for (const char *name : UsbModes)
            m_cmbUsbMode->addItem(m_context.text(name));
    }
    m_cmbUsbMode->setCurrentIndex(0);
}

IdFormat CommonPage::idFormat() const
{
    IdFormat f;
    f.formatIndex = m_cmbFormat->currentIndex();
    f.reverseByte = m_chkReverse->isChecked();
    f.reverseBit = m_chkReverseBit->isChecked();
    f.decZeroRemove = m_chkDecZero->isChecked();
    f.addComma = m_chkAddComma->isChecked();
    f.addBrackets = m_chkAddBrackets->isChecked();
    f.addQuotation = m_chkAddQuotation->isChecked();
    f.addSpace = m_chkAddSpace->isChecked();
    f.addTab = m_chkAddTab->isChecked();
    f.addDown = m_chkAddDown->isChecked();
    f.addLF = m_chkAddLF->isChecked();
    f.addEnter = m_chkAddEnter->isChecked();
    return f;
}

void CommonPage::ShowIdFormat(std::uint8_t formatCode, std::uint8_t optionFlags, std::uint8_t keyFlags)
{
    showIdFormat(decodeIdFormat(formatCode, optionFlags, keyFlags));
}

void CommonPage::showIdFormat(const IdFormat &f)
{
    m_cmbFormat->setCurrentIndex(f.formatIndex);
    m_chkReverse->setChecked(f.reverseByte);
    m_chkReverseBit->setChecked(f.reverseBit);
    m_chkDecZero->setChecked(f.decZeroRemove);
    m_chkAddComma->setChecked(f.addComma);
    m_chkAddBrackets->setChecked(f.addBrackets);
    m_chkAddQuotation->setChecked(f.addQuotation);
    m_chkAddSpace->setChecked(f.addSpace);
    m_chkAddTab->setChecked(f.addTab);
    m_chkAddDown->setChecked(f.addDown);
    m_chkAddLF->setChecked(f.addLF);
    m_chkAddEnter->setChecked(f.addEnter);
}

void CommonPage::selectFormatItem(int index)
{
    m_cmbFormat->setCurrentIndex(index);
}

ReadMode CommonPage::readMode() const
{
    ReadMode m;
    m.autoRead = m_chkReadAuto->isChecked();
    m.beep = m_chkReadBeep->isChecked();
    m.led = m_chkReadLED->isChecked();
    m.sameCard = m_chkReadSameCard->isChecked();
    m.stxAscii = m_chkSTX->isChecked();
    m.eTag = m_chkETag->isChecked();
    m.energySaving = m_chkReadGreen->isChecked();
    return m;
}

void CommonPage::showReadMode(const ReadMode &m)
{
    m_chkReadAuto->setChecked(m.autoRead);
    m_chkReadBeep->setChecked(m.beep);
    m_chkReadLED->setChecked(m.led);
    m_chkReadSameCard->setChecked(m.sameCard);
    m_chkSTX->setChecked(m.stxAscii);
    m_chkETag->setChecked(m.eTag);
    m_chkReadGreen->setChecked(m.energySaving);
}

void CommonPage::setParameter(std::uint8_t code, const ParameterValue &value)
{
    applySetting(m_context, parameterInfo(code), value, [&](const ParameterValue &held) { showValue(code, held); });
}

void CommonPage::getParameter(std::uint8_t code)
{
    applySetting(m_context, parameterInfo(code), std::nullopt,
                 [&](const ParameterValue &held) { showValue(code, held); });
}

void CommonPage::showValue(std::uint8_t code, const ParameterValue &value)
{
    switch (code) {
    case proto::ParIdFormat:
        showIdFormat(std::get<IdFormat>(value));
        break;
    case proto::ParUsbMode:
        if (const auto index = usbModeIndex(std::uint8_t(std::get<UsbMode>(value).mode), m_cmbUsbMode->count()))
            m_cmbUsbMode->setCurrentIndex(*index);
        break;
    case proto::ParReadMode:
        showReadMode(std::get<ReadMode>(value));
        break;
    case proto::ParScanTime:
        m_sbScanTime->setValue(std::get<Interval>(value).steps);
        break;
    case proto::ParSameCardTime:
        m_sbSameCard->setValue(std::get<Interval>(value).steps);
        break;
    case proto::ParKeypadDelay:
        m_sbDelayTime->setValue(std::get<Interval>(value).steps);
        break;
    case proto::ParKeyboardLayout:
        m_cmbLayout->setCurrentIndex(std::get<KeyboardLayout>(value).index);
        break;
    default:
        break;
    }
}

void CommonPage::showReaderValues(const SettingValues &values)
{
    for (const SettingValue &v : values)
        showValue(v.info->code, v.value);
}

void CommonPage::btnIdFormatClick()
{
    setParameter(proto::ParIdFormat, idFormat());
}

void CommonPage::btnGetIdFormatClick()
{
    getParameter(proto::ParIdFormat);
}

void CommonPage::btnUsbModeClick()
{
    setParameter(proto::ParUsbMode, UsbMode{usbModeByte(m_cmbUsbMode->currentIndex())});
}

void CommonPage::btnGetUsbModeClick()
{
    getParameter(proto::ParUsbMode);
}

void CommonPage::btnReadModeClick()
{
    setParameter(proto::ParReadMode, readMode());
}

void CommonPage::btnGetReadModeClick()
{
    getParameter(proto::ParReadMode);
}

void CommonPage::btnScanTimeClick()
{
    setParameter(proto::ParScanTime, Interval{m_sbScanTime->value()});
}

void CommonPage::btnGetScanTimeClick()
{
    getParameter(proto::ParScanTime);
}

void CommonPage::btnSameCardClick()
{
    setParameter(proto::ParSameCardTime, Interval{m_sbSameCard->value()});
}

void CommonPage::btnGetSameCardClick()
{
    getParameter(proto::ParSameCardTime);
}

void CommonPage::btnSetDelayTimeClick()
{
    setParameter(proto::ParKeypadDelay, Interval{m_sbDelayTime->value()});
}

void CommonPage::btnGetDelayTimeClick()
{
    getParameter(proto::ParKeypadDelay);
}

void CommonPage::btnSetLayoutClick()
{
    // No layout chosen goes as FF (the table writes the 00 behind it).
    setParameter(proto::ParKeyboardLayout, KeyboardLayout{m_cmbLayout->currentIndex()});
}

void CommonPage::btnGetLayoutClick()
{
    getParameter(proto::ParKeyboardLayout);
}

void CommonPage::btnRebootClick()
{
    ReaderLink &link = m_context.link;
    if (!link.ExecuteCommand(buildRequest(proto::CmdSystem, QByteArray(1, char(proto::SysReboot)))) ||
        link.responseStatus() != proto::StaOk) {
        m_context.reporter.ShowCommandError();
        return;
    }
    // The reader goes away while it restarts; the next command connects again.
    link.DisconnectReader();
    m_context.pause.wait(RebootWaitMs);
    m_context.reporter.ShowCommandDone();
}

void CommonPage::resetToFactory()
{
    m_cmbUsbMode->setCurrentIndex(0);
    showReadMode({.autoRead = true,
                  .beep = true,
                  .led = true,
                  .sameCard = true,
                  .stxAscii = false,
                  .eTag = m_chkETag->isChecked(),
                  .energySaving = true});
    m_sbScanTime->setValue(5);
    m_sbSameCard->setValue(15);
    m_sbDelayTime->setValue(10);
    // Only "Add Enter(CR)" of the format's boxes is checked.
    ShowIdFormat(std::uint8_t(factoryFormatIndex(m_context.link.ModelName()) + 1), 0, 0x80);
}

void CommonPage::btnFactoryClick()
{
    // Whatever the reader was set to is lost: the user says Yes first, and No changes nothing, controls included.
    if (!m_context.askFirst(m_context.text("Every setting of the reader will return to its factory value; the "
                                           "settings made now will be lost.") +
                            QStringLiteral("\n\n") + m_context.text("Use factory settings?")))
        return;
    resetToFactory();
    emit factoryReset();
    ReaderLink &link = m_context.link;
    // A refusal is a failure, whatever STA says it with; the controls keep their factory values.
    if (link.ExecuteCommand(buildRequest(proto::CmdSystem, QByteArray(1, char(proto::SysFactoryDefault)))) &&
        link.responseStatus() == proto::StaOk)
        m_context.reporter.ShowCommandDone();
    else
        m_context.reporter.ShowCommandError();
}

}  // namespace kv350::settings
