#pragma once
// The Ovtra page: the UHF radio module driven directly for compliance
// measurements, and its automatic test.

#include "pages/page.h"

#include <QWidget>

class QGroupBox;
class QListWidget;
class QPushButton;
class QScrollBar;

namespace kv350::rftest {

// The "Mid" channel: bar and panel start on it so that what is shown is what
// "Set Channel" sends.
inline constexpr int StartChannel = 248;

class RfTestPage final : public Page {
    Q_OBJECT
public:
    RfTestPage(PageContext &context, QWidget *parent = nullptr);

    void applyLanguage() override;

    // True while the automatic test loop runs.
    bool AutoTestRunning() const { return m_AutoTestRunning; }
    // Ends a running test as the second click does: the loop stops, sends the
    // stop text and restores the page; autoTestFinished() follows.
    void stopAutoTest() { m_AutoTestRunning = false; }

signals:
    // The loop takes every reply on the link while it runs: nothing else may send.
    void autoTestStarted();
    void autoTestFinished();

public slots:
    void btnSetTXClick();
    void btnSetRXClick();
    void btnSetModulationClick();
    void btnSetNoModulationClick();
    void btnSetChannelClick();
    void btnSetPAClick();
    void btnChLowClick();
    void btnChMidClick();
    void btnChHighClick();
    void btnOvtraRebootClick();
    void btnOvtraInitialClick();
    void btnOvtraTestClick();
    void lstOvtraDblClick();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool sendText(const QByteArray &text);
    void sendSingle(const QByteArray &text);

    bool m_AutoTestRunning = false;
    QString m_testCaption;
    QGroupBox *m_gbOvtraSet, *m_gbOvtraTest;
    QScrollBar *m_sbChannel, *m_sbPA;
    QPushButton *m_btnSetModulation, *m_btnSetNoModulation, *m_btnSetChannel, *m_btnSetPA, *m_btnChLow, *m_btnChMid,
        *m_btnChHigh, *m_btnSetTX, *m_btnSetRX, *m_btnOvtraReboot, *m_btnOvtraInitial, *m_btnOvtraTest;
    QListWidget *m_lstOvtra;
};

}  // namespace kv350::rftest
