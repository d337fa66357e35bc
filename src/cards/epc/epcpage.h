#pragma once
// The EPC/eTag page: EPC Gen2 tag memory read and written through the UHF
// module, the eTag shortcut for the 8-byte EPC number, and where the
// automatic read takes the tag ID from.

#include "link/parameters.h"
#include "pages/page.h"

#include <optional>

#include <QWidget>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QScrollBar;

namespace kv350::cards {

class EpcPage final : public Page {
    Q_OBJECT
public:
    EpcPage(PageContext &context, QWidget *parent = nullptr);

    void applyLanguage() override;

    // Bank digit, address and length of the tag memory commands: "1,2,4".
    const QString &EpcCommandText() const { return m_EpcCommandText; }

public slots:
    void btnReadETAGClick();
    void btnWriteETAGClick();
    void btnReadEPCClick();
    void btnWriteEPCClick();
    void btnSetAutoEPCClick();
    void btnGetAutoEPCClick();
    void sbEpcAddrChange();
    void sbEpcLenChange();
    void rbBankEpcMouseUp();
    void UpdateEpcCommandTexts();

private:
    bool incrementEtag();
    // Sets the automatic EPC read (or gets it, with nothing to set) and shows what the reader holds.
    void sendAutoEpc(const std::optional<AutoEpcSetting> &toSet);

    QString m_EpcCommandText;
    QGroupBox *m_gbETAG, *m_gbEPC, *m_gbAutoEPC;
    QGroupBox *m_gbEpcBank, *m_gbEpcAddress, *m_gbEpcLength, *m_gbAutoEpcBank, *m_gbAutoEpcAddress, *m_gbAutoEpcLength;
    QLineEdit *m_edWriteETAG, *m_edReadETAG, *m_edWriteEPC, *m_edReadEPC;
    QLabel *m_lblWriteETAG, *m_lblReadETAG, *m_lblWriteEPC, *m_lblReadEPC, *m_lblReadEpcCmd, *m_lblWriteEpcCmd;
    QCheckBox *m_chkETAGAutoRead, *m_chkETAGAutoInc;
    QRadioButton *m_rbBankEpc, *m_rbBankTID, *m_rbBankUser, *m_rbAutoBankEpc, *m_rbAutoBankTID, *m_rbAutoBankUser;
    QScrollBar *m_sbEpcAddr, *m_sbEpcLen, *m_sbAutoEpcAddr, *m_sbAutoEpcLen;
    QPushButton *m_btnWriteETAG, *m_btnReadETAG, *m_btnWriteEPC, *m_btnReadEPC, *m_btnSetAutoEPC, *m_btnGetAutoEPC;
};

}  // namespace kv350::cards
