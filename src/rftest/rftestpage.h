#pragma once
// The Ovtra page: the UHF radio module driven directly for compliance
// measurements, and its automatic test.

#include "app/pagecontext.h"

#include <QWidget>

class QGroupBox;
class QListWidget;
class QPushButton;
class QScrollBar;

namespace kv350::rftest {

// The "Mid" channel: bar and panel start on it so that what is shown is what
// "Set Channel" sends.
inline constexpr int StartChannel = 248;

class RfTestPage final : public QWidget {
    Q_OBJECT
public:
    RfTestPage(PageContext &context, QWidget *parent = nullptr);

    void applyLanguage();

private:
    PageContext &m_context;
    QGroupBox *m_gbOvtraSet, *m_gbOvtraTest;
    QScrollBar *m_sbChannel, *m_sbPA;
    QPushButton *m_btnSetModulation, *m_btnSetNoModulation, *m_btnSetChannel, *m_btnSetPA, *m_btnChLow,
        *m_btnChMid, *m_btnChHigh, *m_btnSetTX, *m_btnSetRX, *m_btnOvtraReboot, *m_btnOvtraInitial, *m_btnOvtraTest;
    QListWidget *m_lstOvtra;
};

}  // namespace kv350::rftest
