#pragma once
// The main window: the pages, the connection controls along the top, the
// status and message panels, the TX/RX lines and the menu. It owns the reader
// link and shows what the link reports.

#include "app/services.h"
#include "i18n/languagestore.h"
#include "link/portlist.h"
#include "log/sessionlog.h"
#include "log/sessionlogfile.h"
#include "pages/page.h"

#include <QMainWindow>
#include <memory>

class QAction;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;

namespace kv350 {

namespace console {
class CommandPage;
}
namespace settings {
class CommonPage;
}
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
    explicit TfrmMain(WindowServices services, QWidget *parent = nullptr);
    ~TfrmMain() override;

    ReaderLink &link() { return m_link; }
    i18n::Localizer &language() { return m_language; }
    // A serial device to list after the system's ports (and to select), e.g. a pty.
    void addExtraPort(const QString &path, bool select);
    // The session log, and a file for this session in `folder` (the newest
    // KeptSessionFiles files there are kept). Without a folder the log lives
    // in its window only.
    SessionLog &sessionLog() { return m_log; }
    void keepSessionLogIn(const QString &folder);

    // Puts the window on screen, and the first time, once it is drawn, runs
    // the show sequence in front of the user.
    void setVisible(bool visible) override;

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
    // Each button of the window and its pages names itself in the session
    // log before its click runs: "MIFARE: Read block".
    void nameOriginsOfButtons();

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

    QGroupBox *m_gbOther;
    QTabWidget *m_pcMain;
    QPushButton *m_btnConnect;
    QComboBox *m_chkPort;
    QLabel *m_lblVID2, *m_lblPID2;
    QLineEdit *m_edVID2, *m_edPID2;
    QLabel *m_pnStatus, *m_pnMsg;
    QLineEdit *m_edTX, *m_edRX;
    QAction *m_mnuFile, *m_mnuSessionLog, *m_mnuExit, *m_mnuLanguage, *m_mnuEnglish, *m_mnuSimplified,
        *m_mnuTraditional, *m_mnuAbout;
    settings::CommonPage *m_tsCommon;
    cards::AutoPage *m_tsAuto;
    cards::NtagPage *m_tsNTAG;
    cards::MifarePage *m_tsMifare;
    cards::MifareKeyPage *m_tsMifareKey;
    cards::Iso15693Page *m_tsISO15693;
    cards::LfPage *m_tsLF;
    rftest::RfTestPage *m_tsOvtra;
    cards::EpcPage *m_tsK7704;
    console::CommandPage *m_tsCommand;
    firmware::FirmwarePage *m_tsFirmware;
    Page *m_pages[11];
};

}  // namespace kv350
