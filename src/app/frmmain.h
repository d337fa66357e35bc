#pragma once
// The main window: the pages, the connection controls along the top, the
// status and message panels, the TX/RX lines and the menu. It owns the reader
// link and shows what the link reports.

#include "app/actiontracker.h"
#include "app/services.h"
#include "i18n/languagestore.h"
#include "link/portlist.h"
#include "log/sessionlog.h"
#include "log/sessionlogfile.h"
#include "pages/page.h"

#include <QMainWindow>
#include <memory>
#include <optional>

class QAction;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;
class QTimer;

namespace kv350 {

class DeviceWatch;

namespace console {
class CommandPage;
}
namespace settings {
class CommonPage;
class ProfileActions;
}  // namespace settings
namespace cards {
class AutoPage;
class NtagPage;
class MifarePage;
class MifareKeyPage;
class Iso15693Page;
class LfPage;
class EpcPage;
}  // namespace cards
namespace rftest {
class RfTestPage;
}
namespace firmware {
class FirmwarePage;
}
class SessionLogWindow;

// When the pages are made. With the window: every page's controls exist from
// the start (tests and tools that reach any page's controls at once). On first
// view: the first page with the window and each other page when its tab is
// first shown, so that the window starts sooner and holds less of what the
// user has not looked at; the program starts this way.
enum class PageCreation { WithWindow, OnFirstView };

// What the window talks through; tests give fakes and the virtual reader.
struct WindowServices {
    HidBackend &hid;
    SerialDevice &serial;
    Clock &clock;
    Pause &pause;
    Sounder &sounder;
    Dialogs &dialogs;
    i18n::LanguageStore &languageStore;
    PortList &ports;
};

class TfrmMain final : public QMainWindow, private LinkObserver, private MessagePanel {
    Q_OBJECT
public:
    explicit TfrmMain(WindowServices services, PageCreation pages = PageCreation::WithWindow,
                      QWidget *parent = nullptr);
    ~TfrmMain() override;

    ReaderLink &link() { return m_link; }
    i18n::Localizer &language() { return m_language; }
    // A serial device to list after the system's ports (and to select), e.g. a pty.
    void addExtraPort(const QString &path, bool select);
    // Readers that come and go: while the window shows "Disconnected" and no
    // action runs, a reader that appears (the USB ids, or the port chosen in
    // the list) is connected as the Connect button would; the port list
    // follows the ports that appear and go. Not owned; nullptr: no watch.
    void setDeviceWatch(DeviceWatch *watch);
    // How often an arrival that came in the middle of an action is looked at again.
    static constexpr int ArrivalRetryMs = 1000;
    // The session log, and a file for this session in `folder` (the newest
    // KeptSessionFiles files there are kept). Without a folder the log lives
    // in its window only.
    SessionLog &sessionLog() { return m_log; }
    void keepSessionLogIn(const QString &folder);

    // Puts the window on screen, and the first time, once it is drawn, runs
    // the show sequence in front of the user.
    void setVisible(bool visible) override;

signals:
    // The window is on screen and drawn for the first time; the show
    // sequence runs next. What the user need not wait for to see the window
    // (the window icon's pictures) can be given now.
    void firstDrawn();

public slots:
    void FormShow();
    void btnConnectClick();
    void chkPortCloseUp(int index);
    void edPID2Change();
    void pcMainChange(int index);
    void mnuAboutClick();
    void mnuSessionLogClick();
    void mnuEnglishClick() { chooseLanguage(i18n::Language::English); }
    void mnuSimplifiedClick() { chooseLanguage(i18n::Language::Simplified); }
    void mnuTraditionalClick() { chooseLanguage(i18n::Language::Traditional); }
    // From the device watch.
    void usbDeviceArrived(quint16 vid, quint16 pid);
    void serialPortsChanged();

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void FormCreate();
    void ApplyLanguage();
    // Step 1 of the show sequence: the window's and every page's captions.
    void applyLanguageEverywhere();
    void waitUntilDrawn();
    void chooseLanguage(i18n::Language language);
    void rebuildPortList();
    void setPanelColour(QWidget *panel, ColourValue colour);
    // While the radio module's automatic test reads the link, nothing else may
    // send: the other pages, the connection controls and the language menu rest.
    void lockForAutoTest(bool locked);
    void autoTestFinished();
    // Nothing runs and no question is open: an arrival may be acted on now.
    bool quietForArrival() const;
    // Acts on the arrivals and port changes that wait; retried once a second
    // while an action keeps them waiting.
    void takeArrivals();
    // The port list with the system's ports as they are now; the selection stays.
    void refreshPortList();
    // Each button under `scope` names itself in the session log before its
    // click runs: "MIFARE: Read block".
    void nameOriginsOfButtons(QWidget *scope, const QString &where);
    // The page of tab `index`, made now if it was not yet (PageCreation).
    Page *page(int index);
    // Makes the page of tab `index` (it words itself in the current language)
    // and wires it to the window: its signals, the controls that keep their
    // own font, the names of its buttons, and what it would show had it been
    // made with the window.
    void makePage(int index);

    // LinkObserver
    void messageCleared() override;
    void requestShown(const RequestFields &fields) override;
    void responseShown(const ResponseFields &fields) override;
    void stateChanged(LinkState state, const ReaderIdentity &reader) override;
    // The pages and controls of the identified model, and its format item.
    void showModel(const ModelView &view);
    // MessagePanel
    void setMessage(const QString &text) override;
    void setMessageColour(ColourValue colour) override;

    WindowServices m_services;
    i18n::Localizer m_language;
    ActionTracker m_actions;  // the pause and the dialogs the pages and the link use
    ReaderLink m_link;
    Reporter m_reporter;
    PageContext m_context;
    SessionLog m_log;
    SessionLogFile m_logFile;
    SessionLogWindow *m_logWindow = nullptr;
    QString m_logFolder, m_logFolderProblem;
    bool m_shownOnce = false;
    // Set while the program shows or hides tabs: Qt then moves off a hidden
    // current tab by itself, which is no page change of the user's.
    bool m_programMovesTab = false;
    bool m_closeAfterAutoTest = false;
    bool m_inShowSequence = false;
    bool m_closeAfterShowSequence = false;
    QStringList m_extraPorts;
    QString m_selectedExtraPort;
    // Readers that come and go.
    DeviceWatch *m_watch = nullptr;
    QTimer *m_arrivalRetry = nullptr;
    bool m_showsDisconnected = false;  // the status panel says "Disconnected"
    bool m_usbArrived = false;         // a USB device with the ids came, not yet acted on
    bool m_portsChanged = false;       // the system's ports changed, the list not yet
    QStringList m_systemPorts;         // as the port list last showed them

    QGroupBox *m_gbOther;
    QTabWidget *m_pcMain;
    QPushButton *m_btnConnect;
    QComboBox *m_chkPort;
    QLabel *m_lblVID2, *m_lblPID2;
    QLineEdit *m_edVID2, *m_edPID2;
    QLabel *m_pnStatus, *m_pnMsg;
    QLineEdit *m_edTX, *m_edRX;
    QAction *m_mnuSaveSettings, *m_mnuApplySettings, *m_mnuCompareSettings;
    std::unique_ptr<settings::ProfileActions> m_profiles;
    QAction *m_mnuFile, *m_mnuSessionLog, *m_mnuExit, *m_mnuLanguage, *m_mnuEnglish, *m_mnuSimplified,
        *m_mnuTraditional, *m_mnuAbout;
    settings::CommonPage *m_tsCommon = nullptr;
    cards::AutoPage *m_tsAuto = nullptr;
    cards::NtagPage *m_tsNTAG = nullptr;
    cards::MifarePage *m_tsMifare = nullptr;
    cards::MifareKeyPage *m_tsMifareKey = nullptr;
    cards::Iso15693Page *m_tsISO15693 = nullptr;
    cards::LfPage *m_tsLF = nullptr;
    rftest::RfTestPage *m_tsOvtra = nullptr;
    cards::EpcPage *m_tsK7704 = nullptr;
    console::CommandPage *m_tsCommand = nullptr;
    firmware::FirmwarePage *m_tsFirmware = nullptr;
    // The pages by tab (null: not made yet) and, on first view, the empty
    // tab that holds each page once it is made.
    Page *m_pages[11] = {};
    QWidget *m_holders[11] = {};
    const PageCreation m_pageCreation;
    QFont m_ownFont;  // of the controls that keep one font in every language
    // What a page made later shows as if it had been there all along: the
    // reader's factory default was restored, the last frames, the model's
    // ASCII request box.
    bool m_factoryRestored = false;
    std::optional<RequestFields> m_lastRequest;
    std::optional<ResponseFields> m_lastResponse;
    std::optional<bool> m_asciiRequestVisible;
};

}  // namespace kv350
