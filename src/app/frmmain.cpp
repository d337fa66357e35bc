#include "frmmain.h"

#include "link/usbreaders.h"

#include "cards/epc/epcpage.h"
#include "cards/iso15693/iso15693page.h"
#include "cards/lf/lfpage.h"
#include "cards/mifare/autopage.h"
#include "cards/mifare/mifarekeypage.h"
#include "cards/mifare/mifarepage.h"
#include "cards/ntag/ntagpage.h"
#include "console/commandpage.h"
#include "firmware/firmwarepage.h"
#include "i18n/fonts.h"
#include "link/devicewatch.h"
#include "pages/controls.h"
#include "pages/statusline.h"
#include "rftest/rftestpage.h"
#include "sessionlogwindow.h"
#include "settings/commonpage.h"
#include "settings/profileactions.h"
#include "startlog.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QEventLoop>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QProxyStyle>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QScreen>
#include <QStyleFactory>
#include <QTabBar>
#include <QTabWidget>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>
#include <QWindow>

namespace kv350 {
namespace {

struct PageInfo {
    const char *name;
    const char *caption;
    const char *context;  // for captions whose English text serves twice
    unsigned feature;     // 0: every model has it
    bool shownAtStart;    // before a reader is identified
};

const PageInfo Pages[] = {
    {"tsCommon", "Common", nullptr, 0, true},
    {"tsAuto", "Auto Read", "tsAuto", FeatureAutoPage, true},
    {"tsNTAG", "NFC NTAG203/Ultralight", nullptr, FeatureNtagPage, true},
    {"tsMifare", "MIFARE", nullptr, FeatureMifarePage, true},
    {"tsMifareKey", "MIFARE key", nullptr, FeatureMifareKeyPage, true},
    {"tsISO15693", "ISO 15693", nullptr, FeatureIso15693Page, false},
    {"tsLF", "LF Card", nullptr, FeatureLfPage, true},
    {"tsOvtra", "Ovtra CE/FCC", nullptr, FeatureRadioPage, false},
    {"tsK7704", "EPC/eTag", nullptr, FeatureEpcPage, true},
    {"tsCommand", "Command Test", nullptr, 0, true},
    {"tsFirmware", "Update Firmware", nullptr, 0, true},
};
constexpr int CommonPageIndex = 0;
constexpr int RfTestPageIndex = 7;
constexpr int CommandPageIndex = 9;
constexpr int FirmwarePageIndex = 10;
// How long the first show waits for the platform to put the window on screen
// (a window manager that never does, a window started iconified) before the
// show sequence runs anyway.
constexpr int FirstExposeLimitMs = 1000;

// Ends a nested loop once the platform says the window is on screen. The
// loop returns only after the expose event has been handled, and handling it
// draws the window and hands the picture to the platform.
class ExposeWatch final : public QObject {
public:
    ExposeWatch(QWindow *window, QEventLoop &loop) : m_window(window), m_loop(loop)
    {
        window->installEventFilter(this);
    }
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == m_window && event->type() == QEvent::Expose && m_window->isExposed())
            m_loop.quit();
        return false;
    }

private:
    QWindow *m_window;
    QEventLoop &m_loop;
};

QFont fontOf(const i18n::PickedFont &picked)
{
    QFont font(picked.family);
    font.setPointSize(picked.pointSize);
    return font;
}

// Tabs with less padding than the platform style gives them, so that the nine
// tabs a reader can show fit the fixed window in every language.
class CompactTabStyle final : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;
    int pixelMetric(PixelMetric metric, const QStyleOption *option, const QWidget *widget) const override
    {
        if (metric == PM_TabBarTabHSpace)
            return 6;
        return QProxyStyle::pixelMetric(metric, option, widget);
    }
};

QColor toColor(ColourValue value)
{
    return QColor(int(value & 0xFF), int((value >> 8) & 0xFF), int((value >> 16) & 0xFF));
}

}  // namespace

TfrmMain::TfrmMain(WindowServices services, PageCreation pages, QWidget *parent)
    : QMainWindow(parent),
      m_services(services),
      m_actions(services.pause, services.dialogs),
      m_link(services.hid, services.serial, services.clock, m_actions),
      m_reporter(*this, m_actions, services.sounder),
      m_context{m_link, m_reporter, m_actions, m_language, m_actions},
      m_log(QStringLiteral("kv350tools " KV350_VERSION)),
      m_pageCreation(pages)
{
    m_log.attach(m_link);
    m_log.addSink([this](const QString &line) {
        m_logFile.write(line);
        if (m_logWindow)
            m_logWindow->addLine(line);
    });
    setObjectName(QStringLiteral("frmMain"));
    m_link.setObserver(this);
    m_reporter.setTextLookup(m_language.textLookup());

    auto *central = new QWidget(this);
    auto *layout = new QGridLayout(central);
    layout->setContentsMargins(6, 4, 6, 4);
    layout->setVerticalSpacing(3);
    m_btnConnect = new QPushButton(central);
    m_btnConnect->setObjectName(QStringLiteral("btnConnect"));
    m_chkPort = new QComboBox(central);
    m_chkPort->setObjectName(QStringLiteral("chkPort"));
    m_chkPort->addItems({QStringLiteral("USB Auto"), QStringLiteral("COM1")});
    m_lblVID2 = new QLabel(QStringLiteral("VID (Hex):"), central);
    m_lblVID2->setObjectName(QStringLiteral("lblVID2"));
    m_edVID2 = new QLineEdit(QStringLiteral("0E6A"), central);
    m_edVID2->setObjectName(QStringLiteral("edVID2"));
    m_edVID2->setMaxLength(4);
    m_lblPID2 = new QLabel(QStringLiteral("PID (Hex):"), central);
    m_lblPID2->setObjectName(QStringLiteral("lblPID2"));
    m_edPID2 = new QLineEdit(QStringLiteral("0317"), central);
    m_edPID2->setObjectName(QStringLiteral("edPID2"));
    m_edPID2->setMaxLength(4);
    for (QLineEdit *e : {m_edVID2, m_edPID2})
        widgets::fitHexDigits(e, 4, true);
    startMark(QStringLiteral("fonts ready"));
    m_chkPort->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    m_chkPort->setMinimumContentsLength(8);
    m_pnStatus = new QLabel(QStringLiteral("Status"), central);
    m_pnStatus->setObjectName(QStringLiteral("pnStatus"));
    m_pnStatus->setAutoFillBackground(true);
    m_pnStatus->setAlignment(Qt::AlignCenter);
    m_pnStatus->setFrameShape(QFrame::Panel);
    m_pnStatus->setMinimumWidth(1);            // long status texts must not widen the fixed window
    m_pnStatus->setTextFormat(Qt::PlainText);  // it shows what the reader says of itself
    setPanelColour(m_pnStatus, ColourRed);

    m_gbOther = new QGroupBox(central);
    m_gbOther->setObjectName(QStringLiteral("gbOther"));
    auto *otherLayout = new QVBoxLayout(m_gbOther);
    otherLayout->setContentsMargins(2, 2, 2, 2);
    m_pcMain = new QTabWidget(m_gbOther);
    m_pcMain->setObjectName(QStringLiteral("pcMain"));
    {
        auto *style = new CompactTabStyle(QStyleFactory::create(QApplication::style()->name()));
        style->setParent(m_pcMain);
        m_pcMain->tabBar()->setStyle(style);
    }
    otherLayout->addWidget(m_pcMain);
    m_ownFont = fontOf(i18n::pickFont(i18n::Language::English, QFontDatabase::families()));
    for (int i = 0; i < int(std::size(Pages)); ++i) {
        QWidget *tab = nullptr;
        if (m_pageCreation == PageCreation::OnFirstView && i != CommonPageIndex) {
            tab = m_holders[i] = new QWidget;
            auto *holds = new QVBoxLayout(tab);
            holds->setContentsMargins(0, 0, 0, 0);
        } else {
            makePage(i);
            tab = m_pages[i];
        }
        m_pcMain->addTab(tab, QLatin1String(Pages[i].caption));
    }
    startMark(QStringLiteral("pages created"));

    m_pnMsg = new QLabel(central);
    m_pnMsg->setObjectName(QStringLiteral("pnMsg"));
    m_pnMsg->setAutoFillBackground(true);
    m_pnMsg->setAlignment(Qt::AlignCenter);
    m_pnMsg->setFrameShape(QFrame::Panel);
    m_pnMsg->setFrameShadow(QFrame::Sunken);
    m_pnMsg->setTextFormat(Qt::PlainText);
    m_edTX = new QLineEdit(central);
    m_edTX->setObjectName(QStringLiteral("edTX"));
    m_edTX->setReadOnly(true);
    m_edRX = new QLineEdit(central);
    m_edRX->setObjectName(QStringLiteral("edRX"));
    m_edRX->setReadOnly(true);

    layout->addWidget(m_btnConnect, 0, 0);
    layout->addWidget(m_chkPort, 0, 1);
    layout->addWidget(m_lblVID2, 0, 2);
    layout->addWidget(m_edVID2, 0, 3);
    layout->addWidget(m_lblPID2, 0, 4);
    layout->addWidget(m_edPID2, 0, 5);
    layout->addWidget(m_pnStatus, 0, 6);
    layout->setColumnStretch(6, 1);
    layout->addWidget(m_gbOther, 1, 0, 1, 7);
    layout->addWidget(m_edTX, 2, 0, 1, 7);
    layout->addWidget(m_edRX, 3, 0, 1, 7);
    layout->addWidget(m_pnMsg, 4, 0, 1, 7);
    setCentralWidget(central);

    QMenu *file = menuBar()->addMenu(QString());
    m_mnuFile = file->menuAction();
    m_mnuFile->setObjectName(QStringLiteral("mnuFile"));
    m_mnuSessionLog = file->addAction(QString(), this, &TfrmMain::mnuSessionLogClick);
    m_mnuSessionLog->setObjectName(QStringLiteral("mnuSessionLog"));
    m_profiles = std::make_unique<settings::ProfileActions>(m_context, *m_tsCommon);
    m_mnuSaveSettings = file->addAction(QString(), this, [this] { m_profiles->saveReaderSettings(); });
    m_mnuSaveSettings->setObjectName(QStringLiteral("mnuSaveSettings"));
    m_mnuApplySettings = file->addAction(QString(), this, [this] { m_profiles->applySettingsFile(); });
    m_mnuApplySettings->setObjectName(QStringLiteral("mnuApplySettings"));
    m_mnuCompareSettings = file->addAction(QString(), this, [this] { m_profiles->compareWithSettingsFile(); });
    m_mnuCompareSettings->setObjectName(QStringLiteral("mnuCompareSettings"));
    file->addSeparator();
    m_mnuExit = file->addAction(QString(), this, &QWidget::close);
    m_mnuExit->setObjectName(QStringLiteral("mnuExit"));
    QMenu *languageMenu = menuBar()->addMenu(QString());
    m_mnuLanguage = languageMenu->menuAction();
    m_mnuLanguage->setObjectName(QStringLiteral("mnuLanguage"));
    m_mnuEnglish = languageMenu->addAction(QString(), this, &TfrmMain::mnuEnglishClick);
    m_mnuEnglish->setObjectName(QStringLiteral("mnuEnglish"));
    m_mnuSimplified = languageMenu->addAction(QString(), this, &TfrmMain::mnuSimplifiedClick);
    m_mnuSimplified->setObjectName(QStringLiteral("mnuSimplified"));
    m_mnuTraditional = languageMenu->addAction(QString(), this, &TfrmMain::mnuTraditionalClick);
    m_mnuTraditional->setObjectName(QStringLiteral("mnuTraditional"));
    for (QAction *a : {m_mnuEnglish, m_mnuSimplified, m_mnuTraditional})
        a->setCheckable(true);
    m_mnuAbout = menuBar()->addAction(QString(), this, &TfrmMain::mnuAboutClick);
    m_mnuAbout->setObjectName(QStringLiteral("mnuAbout"));

    connect(m_btnConnect, &QPushButton::clicked, this, &TfrmMain::btnConnectClick);
    connect(m_chkPort, &QComboBox::activated, this, &TfrmMain::chkPortCloseUp);
    // The IDs are read again whenever any of five edits changes: the two ID
    // boxes and the count boxes of two pages.
    for (QLineEdit *e : {m_edVID2, m_edPID2})
        connect(e, &QLineEdit::textChanged, this, &TfrmMain::edPID2Change);
    connect(m_pcMain, &QTabWidget::currentChanged, this, &TfrmMain::pcMainChange);
    nameOriginsOfButtons(m_btnConnect, QStringLiteral("window"));
    // The USB id boxes keep their own font, the same in every language, as
    // do the pages' controls of that kind.
    for (QWidget *control : std::initializer_list<QWidget *>{m_lblVID2, m_edVID2, m_lblPID2, m_edPID2})
        control->setFont(m_ownFont);

    setFixedSize(754, 588);
    FormCreate();
    // The first frame already speaks the stored language; the show sequence
    // applies it again, as it does after every change of language.
    applyLanguageEverywhere();
    startMark(QStringLiteral("window created"));
}

TfrmMain::~TfrmMain()
{
    m_link.setObserver(nullptr);
    m_log.detach();
}

void TfrmMain::nameOriginsOfButtons(QWidget *scope, const QString &where)
{
    const auto name = [this, &where](QAbstractButton *button) {
        // pressed comes before clicked, for the mouse, the keyboard and click() alike.
        connect(button, &QAbstractButton::pressed, this, [this, button, where] {
            m_log.setOrigin(where + QStringLiteral(": ") + button->text().remove(QLatin1Char('&')));
        });
    };
    if (auto *button = qobject_cast<QAbstractButton *>(scope))
        name(button);
    for (QAbstractButton *button : scope->findChildren<QAbstractButton *>())
        name(button);
}

Page *TfrmMain::page(int index)
{
    static_assert(std::size(decltype(m_pages){}) == std::size(Pages));
    if (index < 0 || index >= int(std::size(Pages)))
        return nullptr;  // no tab: an empty tab widget says -1
    if (!m_pages[index])
        makePage(index);
    return m_pages[index];
}

void TfrmMain::makePage(int index)
{
    Page *made = nullptr;
    switch (index) {
    case CommonPageIndex:
        made = m_tsCommon = new settings::CommonPage(m_context);
        // The factory default sets the other pages' controls of the reader's
        // settings back too, before the command goes out; a page made later
        // starts from them.
        connect(m_tsCommon, &settings::CommonPage::factoryReset, this, [this] {
            m_factoryRestored = true;
            for (Page *page : m_pages)
                if (page && page != m_tsCommon)
                    page->resetToFactory();
        });
        break;
    case 1:
        made = m_tsAuto = new cards::AutoPage(m_context);
        break;
    case 2:
        made = m_tsNTAG = new cards::NtagPage(m_context);
        connect(m_tsNTAG, &cards::NtagPage::countChanged, this, &TfrmMain::edPID2Change);
        break;
    case 3:
        made = m_tsMifare = new cards::MifarePage(m_context);
        connect(m_tsMifare, &cards::MifarePage::countChanged, this, &TfrmMain::edPID2Change);
        break;
    case 4:
        made = m_tsMifareKey = new cards::MifareKeyPage(m_context);
        break;
    case 5:
        made = m_tsISO15693 = new cards::Iso15693Page(m_context);
        break;
    case 6:
        made = m_tsLF = new cards::LfPage(m_context);
        break;
    case RfTestPageIndex:
        made = m_tsOvtra = new rftest::RfTestPage(m_context);
        connect(m_tsOvtra, &rftest::RfTestPage::autoTestStarted, this, [this] { lockForAutoTest(true); });
        connect(m_tsOvtra, &rftest::RfTestPage::autoTestFinished, this, &TfrmMain::autoTestFinished);
        break;
    case 8:
        made = m_tsK7704 = new cards::EpcPage(m_context);
        break;
    case CommandPageIndex:
        made = m_tsCommand = new console::CommandPage(m_context);
        if (m_lastRequest)
            m_tsCommand->showRequest(*m_lastRequest);
        if (m_lastResponse)
            m_tsCommand->showResponse(*m_lastResponse);
        if (m_asciiRequestVisible)
            m_tsCommand->setAsciiRequestVisible(*m_asciiRequestVisible);
        break;
    case FirmwarePageIndex:
        made = m_tsFirmware = new firmware::FirmwarePage(m_context, {m_actions, m_services.hid, m_services.clock});
        connect(m_tsFirmware, &firmware::FirmwarePage::reconnectRequested, this, &TfrmMain::FormShow);
        connect(m_tsFirmware, &firmware::FirmwarePage::upgradeStep, this,
                [this](const QString &step) { m_log.note(QStringLiteral("firmware: ") + step); });
        break;
    default:
        return;
    }
    made->setObjectName(QLatin1String(Pages[index].name));
    m_pages[index] = made;
    for (QWidget *control : made->ownFontControls())
        control->setFont(m_ownFont);
    nameOriginsOfButtons(made, QLatin1String(Pages[index].caption));
    if (m_factoryRestored && made != m_tsCommon)
        made->resetToFactory();
    if (QWidget *holder = m_holders[index]) {
        // Shown and laid out now, not on a later pass of the event loop: it
        // has its size at once, as a page made with the window has.
        holder->layout()->addWidget(made);
        made->show();
        holder->layout()->activate();
    }
}

void TfrmMain::keepSessionLogIn(const QString &folder)
{
    QString why;
    const QString path = folder + QLatin1Char('/') + sessionFileName(QDateTime::currentDateTime());
    if (!QDir().mkpath(folder) || !m_logFile.open(path, &why)) {
        m_logFile.close();
        if (why.isEmpty())
            why = QStringLiteral("%1 cannot be made").arg(folder);
        m_log.note(QStringLiteral("no session file: ") + why);
    } else {
        // What came before the file was opened goes first.
        for (const QString &line : m_log.header() + m_log.lines())
            m_logFile.write(line);
        pruneSessionFiles(folder, KeptSessionFiles);
    }
    if (m_logWindow)
        m_logWindow->setFolderText(folder, m_logFile.isOpen() ? QString() : why);
    m_logFolder = folder;
    m_logFolderProblem = m_logFile.isOpen() ? QString() : why;
}

void TfrmMain::mnuSessionLogClick()
{
    if (!m_logWindow) {
        m_logWindow = new SessionLogWindow(m_log, m_actions, m_language, this);
        m_logWindow->setFolderText(m_logFolder, m_logFolderProblem);
        m_logWindow->setFont(font());
    }
    m_logWindow->show();
    m_logWindow->raise();
    m_logWindow->activateWindow();
}

void TfrmMain::FormCreate()
{
    m_link.podRecord().VID = proto::DefaultVid;
    m_link.podRecord().PID = proto::DefaultPid;
    i18n::LoadLanguage(m_language, m_services.languageStore);
    const QSignalBlocker quiet(m_pcMain);
    m_pcMain->setCurrentIndex(0);
    for (int i = 0; i < int(std::size(Pages)); ++i)
        m_pcMain->setTabVisible(i, Pages[i].shownAtStart);
    page(m_pcMain->currentIndex());
}

void TfrmMain::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    // Centred before the platform maps it, so it does not jump.
    if (!m_shownOnce) {
        if (const QScreen *screen = this->screen())
            move(screen->availableGeometry().center() - frameGeometry().center() + pos());
    }
}

void TfrmMain::setVisible(bool visible)
{
    const bool first = visible && !m_shownOnce;
    QMainWindow::setVisible(visible);
    if (!first || !isVisible())
        return;
    // The show event comes before the platform maps the window: the show
    // sequence (connect, identification, the report tone) waits until the
    // user can see the window, and then runs at once.
    m_shownOnce = true;
    waitUntilDrawn();
    startMark(QStringLiteral("window drawn"));
    emit firstDrawn();
    FormShow();
}

void TfrmMain::waitUntilDrawn()
{
    QWindow *window = windowHandle();
    if (!window || window->isExposed() || testAttribute(Qt::WA_DontShowOnScreen))
        return;
    QEventLoop loop;
    const ExposeWatch watch(window, loop);
    QTimer::singleShot(FirstExposeLimitMs, &loop, &QEventLoop::quit);
    // Paints and window-system events run; a click waits for the show sequence.
    loop.exec(QEventLoop::ExcludeUserInputEvents);
}

void TfrmMain::FormShow()
{
    m_inShowSequence = true;
    m_log.setOrigin(QStringLiteral("window: start"));
    applyLanguageEverywhere();
    // The mode names of the transport in use: the list below stays in step with it.
    m_tsCommon->fillUsbModes(m_link.Transport() == TransportKind::Serial);
    rebuildPortList();
    m_inShowSequence = false;
    startFinished(QStringLiteral("show sequence done"));
    // A close asked for while the sequence talked to the reader.
    if (m_closeAfterShowSequence) {
        m_closeAfterShowSequence = false;
        close();
    }
}

void TfrmMain::applyLanguageEverywhere()
{
    ApplyLanguage();
    for (Page *page : m_pages)
        if (page)
            page->applyLanguage();
}

void TfrmMain::ApplyLanguage()
{
    const i18n::Language lang = m_language.language();
    const QFont font = fontOf(i18n::pickFont(lang, QFontDatabase::families()));
    setFont(font);
    // One point less on the tabs: nine captions side by side must fit the width.
    QFont tabFont = font;
    tabFont.setPointSize(font.pointSize() - 1);
    m_pcMain->tabBar()->setFont(tabFont);

    auto text = [this](const char *english) { return m_context.text(english); };
    setWindowTitle(text("KV350 Tools V0182"));
    m_mnuFile->setText(text("&File"));
    m_mnuExit->setText(text("E&xit"));
    m_mnuSessionLog->setText(text("Session &Log"));
    if (m_logWindow) {
        m_logWindow->setFont(font);
        m_logWindow->applyLanguage();
    }
    m_mnuSaveSettings->setText(text("&Save Reader Settings..."));
    m_mnuApplySettings->setText(text("&Apply Settings File..."));
    m_mnuCompareSettings->setText(text("&Compare With Settings File..."));
    m_mnuLanguage->setText(text("&Language"));
    m_mnuAbout->setText(text("&About"));
    // Each language item in its own script, whatever the current language.
    m_mnuEnglish->setText(i18n::textIn(i18n::Language::English, QStringLiteral("&English")));
    m_mnuSimplified->setText(i18n::textIn(i18n::Language::Simplified, QStringLiteral("&English")));
    m_mnuTraditional->setText(i18n::textIn(i18n::Language::Traditional, QStringLiteral("&English")));
    m_mnuEnglish->setChecked(lang == i18n::Language::English);
    m_mnuSimplified->setChecked(lang == i18n::Language::Simplified);
    m_mnuTraditional->setChecked(lang == i18n::Language::Traditional);
    m_btnConnect->setText(text("Connect"));
    for (int i = 0; i < int(std::size(Pages)); ++i) {
        const PageInfo &p = Pages[i];
        m_pcMain->setTabText(i, p.context ? m_language.LocalText(QLatin1String(p.caption), QLatin1String(p.context))
                                          : text(p.caption));
    }
}

void TfrmMain::rebuildPortList()
{
    {
        const QSignalBlocker quiet(m_chkPort);
        m_chkPort->clear();
        m_chkPort->addItem(m_context.text("USB Auto"));
        m_chkPort->setCurrentIndex(0);
    }
    m_services.ports.prepare();  // listed while the connect waits
    btnConnectClick();
    startMark(QStringLiteral("connect reported"));
    const QSignalBlocker quiet(m_chkPort);
    m_chkPort->clear();
    m_systemPorts = m_services.ports.serialPorts();
    m_portsChanged = false;
    QStringList entries = portListEntries(m_context.text("USB Auto"), m_systemPorts + m_extraPorts);
    m_chkPort->addItems(entries);
    // Several USB readers: each by its serial number, behind "USB Auto",
    // with its device path as the item's data.
    const QList<UsbPortEntry> readers = usbPortEntries(
        m_services.hid.enumerate(std::uint16_t(m_link.podRecord().VID), std::uint16_t(m_link.podRecord().PID)));
    for (int i = 0; i < readers.size(); ++i) {
        m_chkPort->insertItem(1 + i, readers[i].text, readers[i].path);
        entries.insert(1 + i, readers[i].text);
    }
    // Keep the list in step with the transport in use: a serial link stays
    // selected as the port it is, a USB reader picked by its path as itself.
    int selected = 0;
    if (m_link.Transport() == TransportKind::Usb && !m_link.podRecord().path.isEmpty())
        selected = qMax(0, m_chkPort->findData(m_link.podRecord().path));
    if (m_link.Transport() == TransportKind::Serial) {
        selected = int(entries.indexOf(m_link.PortPath()));
        if (selected < 0) {
            m_chkPort->addItem(m_link.PortPath());
            selected = m_chkPort->count() - 1;
        }
    }
    m_chkPort->setCurrentIndex(selected);
}

void TfrmMain::setDeviceWatch(DeviceWatch *watch)
{
    if (m_watch)
        m_watch->disconnect(this);
    m_watch = watch;
    if (!watch)
        return;
    connect(watch, &DeviceWatch::usbDeviceArrived, this, &TfrmMain::usbDeviceArrived);
    connect(watch, &DeviceWatch::serialPortsChanged, this, &TfrmMain::serialPortsChanged);
}

void TfrmMain::usbDeviceArrived(quint16 vid, quint16 pid)
{
    const PodRecord &ids = m_link.podRecord();
    if (vid != ids.VID || pid != ids.PID)
        return;
    m_usbArrived = true;
    takeArrivals();
}

void TfrmMain::serialPortsChanged()
{
    m_portsChanged = true;
    takeArrivals();
}

bool TfrmMain::quietForArrival() const
{
    // A handler waiting or asking (the program's waits and questions, and any
    // other dialog's own loop), the show sequence, the radio test, a disabled
    // window, an open drop-down or a button held down: the user is at something.
    return !m_actions.inAction() && !m_link.busy() && !m_inShowSequence && m_shownOnce &&
           !(m_tsOvtra && m_tsOvtra->AutoTestRunning()) && isEnabled() && !QApplication::activeModalWidget() &&
           !QApplication::activePopupWidget() && QApplication::mouseButtons() == Qt::NoButton &&
           QThread::currentThread()->loopLevel() <= 1;
}

void TfrmMain::takeArrivals()
{
    if (!m_usbArrived && !m_portsChanged)
        return;
    if (!quietForArrival()) {
        // Looked at again once the action is over; nothing polls the devices.
        if (!m_arrivalRetry) {
            m_arrivalRetry = new QTimer(this);
            m_arrivalRetry->setObjectName(QStringLiteral("arrivalRetry"));
            m_arrivalRetry->setSingleShot(true);
            m_arrivalRetry->setInterval(ArrivalRetryMs);
            connect(m_arrivalRetry, &QTimer::timeout, this, &TfrmMain::takeArrivals);
        }
        m_arrivalRetry->start();
        return;
    }
    if (m_arrivalRetry)
        m_arrivalRetry->stop();
    bool portAppeared = false;
    if (m_portsChanged) {
        const QStringList before = m_systemPorts;
        refreshPortList();
        portAppeared = m_link.Transport() == TransportKind::Serial && !before.contains(m_chkPort->currentText()) &&
                       m_systemPorts.contains(m_chkPort->currentText());
    }
    const bool usbAppeared = m_usbArrived && m_link.Transport() == TransportKind::Usb;
    m_usbArrived = false;
    // Only a window that says "Disconnected" looks for its reader: a link the
    // user closed (a reboot, a firmware upgrade, another port chosen) leaves
    // the status as it was, and the next command connects on demand.
    if ((usbAppeared || portAppeared) && m_showsDisconnected)
        btnConnectClick();
}

void TfrmMain::refreshPortList()
{
    m_portsChanged = false;
    m_systemPorts = m_services.ports.serialPorts();
    const int index = m_chkPort->currentIndex();
    const QString selected = m_chkPort->currentText();
    QStringList entries = portListEntries(m_context.text("USB Auto"), m_systemPorts + m_extraPorts);
    // The chosen port stays chosen, also when it went away.
    if (index > 0 && !entries.contains(selected))
        entries.append(selected);
    QStringList shown;
    for (int i = 0; i < m_chkPort->count(); ++i)
        shown.append(m_chkPort->itemText(i));
    if (shown == entries)
        return;
    const QSignalBlocker quiet(m_chkPort);
    m_chkPort->clear();
    m_chkPort->addItems(entries);
    m_chkPort->setCurrentIndex(index > 0 ? int(entries.indexOf(selected)) : 0);
}

void TfrmMain::addExtraPort(const QString &path, bool select)
{
    m_extraPorts.append(path);
    if (select)
        m_link.useSerialPort(serialPortPath(path));
}

void TfrmMain::btnConnectClick()
{
    if (m_link.Reconnect())
        m_reporter.ShowCommandDone();
    else
        m_reporter.ShowCommandError();
}

void TfrmMain::chkPortCloseUp(int index)
{
    m_log.setOrigin(QStringLiteral("window: port list"));
    const QString usbPath = index > 0 ? m_chkPort->itemData(index).toString() : QString();
    m_tsCommon->fillUsbModes(index > 0 && usbPath.isEmpty());
    if (index <= 0)
        m_link.useUsb();
    else if (!usbPath.isEmpty())
        m_link.useUsbDevice(usbPath);
    else
        m_link.useSerialPort(serialPortPath(m_chkPort->itemText(index)));
}

void TfrmMain::edPID2Change()
{
    m_link.podRecord().VID = parseHexId(m_edVID2->text()).value_or(proto::DefaultVid);
    m_link.podRecord().PID = parseHexId(m_edPID2->text()).value_or(proto::DefaultPid);
}

void TfrmMain::pcMainChange(int index)
{
    // The page is made before anything of it is drawn, also when the
    // program moved off a hidden tab.
    page(index);
    if (m_programMovesTab)
        return;
    if (index == FirmwarePageIndex)
        m_actions.message(
            m_context.text("Note !"),
            m_context.text(
                "Note: Update firmware may cause the device crash! If not necessary, Please do NOT update firmware."));
    else if (index == CommandPageIndex)
        m_tsCommand->pageEntered();
}

void TfrmMain::mnuAboutClick()
{
    // The models the About box names come from the model table; the text
    // table holds the sentence in each language.
    m_actions.message(m_context.text("About"), m_language.LocalText(aboutText()));
}

void TfrmMain::chooseLanguage(i18n::Language language)
{
    i18n::ChooseLanguage(m_language, m_services.languageStore, language);
    FormShow();
}

void TfrmMain::lockForAutoTest(bool locked)
{
    if (locked)
        m_pnMsg->clear();
    for (QWidget *control : {static_cast<QWidget *>(m_btnConnect), static_cast<QWidget *>(m_chkPort)})
        control->setEnabled(!locked);
    m_mnuLanguage->setEnabled(!locked);
    for (QAction *a : {m_mnuSaveSettings, m_mnuApplySettings, m_mnuCompareSettings})
        a->setEnabled(!locked);
    for (int i = 0; i < m_pcMain->count(); ++i)
        if (i != RfTestPageIndex)
            m_pcMain->setTabEnabled(i, !locked);
}

void TfrmMain::autoTestFinished()
{
    lockForAutoTest(false);
    if (m_closeAfterAutoTest) {
        m_closeAfterAutoTest = false;
        close();
    }
}

void TfrmMain::closeEvent(QCloseEvent *event)
{
    // The test loop runs further down this very call stack: let it stop and
    // send its stop text on the open link, then close.
    if (m_tsOvtra && m_tsOvtra->AutoTestRunning()) {
        m_closeAfterAutoTest = true;
        m_tsOvtra->stopAutoTest();
        event->ignore();
        return;
    }
    // The window is on screen while the show sequence connects: a close from
    // the window manager then waits for the sequence, which is using the link.
    if (m_inShowSequence) {
        m_closeAfterShowSequence = true;
        event->ignore();
        return;
    }
    if (m_link.Connected())
        m_link.DisconnectReader();
    QMainWindow::closeEvent(event);
}

void TfrmMain::setPanelColour(QWidget *panel, ColourValue colour)
{
    QPalette p = panel->palette();
    p.setColor(QPalette::Window, colour == ColourButtonFace ? palette().color(QPalette::Button) : toColor(colour));
    panel->setPalette(p);
}

void TfrmMain::messageCleared()
{
    m_pnMsg->clear();
}

void TfrmMain::requestShown(const RequestFields &fields)
{
    m_lastRequest = fields;
    if (m_tsCommand)
        m_tsCommand->showRequest(fields);
    m_edTX->setText(fields.tx);
}

void TfrmMain::responseShown(const ResponseFields &fields)
{
    m_lastResponse = fields;
    if (m_tsCommand)
        m_tsCommand->showResponse(fields);
    if (!fields.rx.isEmpty())
        m_edRX->setText(fields.rx);
}

void TfrmMain::stateChanged(LinkState state, const ReaderIdentity &reader)
{
    const StatusLine line = statusLine(state, reader, m_language.textLookup(), m_pnStatus->text());
    startMark(QStringLiteral("status \"%1\" on %2").arg(line.text).arg(line.colour, 6, 16, QLatin1Char('0')));
    m_pnStatus->setText(line.text);
    if (state != LinkState::Connecting)
        m_showsDisconnected = state == LinkState::Disconnected;
    setPanelColour(m_pnStatus, line.colour);
    // "Disconnected" says that, not why: the reason (a busy or missing port,
    // a permission to ask for, a reader pulled out) goes with it as a tip.
    m_pnStatus->setToolTip(
        state == LinkState::Disconnected ? linkErrorText(m_link.lastFailure(), m_language.textLookup()) : QString());
    if (state == LinkState::Identified)
        showModel(applyModelRules(reader.modelName));
}

void TfrmMain::showModel(const ModelView &view)
{
    const QScopedValueRollback<bool> programMoves(m_programMovesTab, true);
    for (int i = 0; i < int(std::size(Pages)); ++i) {
        if (Pages[i].feature)
            m_pcMain->setTabVisible(i, (view.shown & Pages[i].feature) != 0);
    }
    m_asciiRequestVisible = (view.shown & FeatureRequestAscii) != 0;
    if (m_tsCommand)
        m_tsCommand->setAsciiRequestVisible(*m_asciiRequestVisible);
    if (view.formatItem >= 0)
        m_tsCommon->selectFormatItem(view.formatItem);
}

void TfrmMain::setMessage(const QString &text)
{
    m_pnMsg->setText(text);
}

void TfrmMain::setMessageColour(ColourValue colour)
{
    setPanelColour(m_pnMsg, colour);
}

}  // namespace kv350
