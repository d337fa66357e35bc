#pragma once
// The ISO 15693 page: blocks of a vicinity card read and written, inventory
// and tag information, where the automatic read takes the ID from, and which
// card families a MIC reader polls.

#include "link/parameters.h"
#include "pages/page.h"

#include <QWidget>
#include <cstdint>
#include <optional>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QScrollBar;

namespace kv350::cards {

class Iso15693Page final : public Page {
    Q_OBJECT
public:
    Iso15693Page(PageContext &context, QWidget *parent = nullptr);

    void applyLanguage() override;
    // The factory values of the ID block and the card types.
    void resetToFactory() override;

public slots:
    void btnInventoryClick();
    void btnInformationClick();
    void btnICReadClick();
    void btnICWriteClick();
    void btnICIDBlockClick();
    void btnGetICIDBlockClick();
    void btnSetMICTypeClick();
    void btnGetMICTypeClick();

private:
    // The UID of the tag in the field, by an inventory; nothing after
    // "Command Error!" when there is none to address.
    std::optional<QByteArray> findTag();
    void showIdLocation(const IsoIdLocation &location);
    void showMicTypes(std::uint8_t bits);

    QGroupBox *m_gbICRW, *m_gbICIDBlock, *m_gbAFI, *m_gbICCommand, *m_gbMICType;
    QScrollBar *m_sbICBlock, *m_sbICNum, *m_sbICIDBlock, *m_sbICIDByte, *m_sbICIDStart, *m_sbAFI, *m_sbDSFID;
    QLabel *m_lblICBlock, *m_lblICNum, *m_lblICRead, *m_lblICWrite, *m_lblICIDBlock, *m_lblICIDByte, *m_lblICIDStart;
    QLineEdit *m_edICWrite, *m_edICRead, *m_edInventory, *m_edInformation;
    QPushButton *m_btnICWrite, *m_btnICRead, *m_btnICIDBlock, *m_btnGetICIDBlock, *m_btnWriteAFI, *m_btnLockAFI,
        *m_btnWriteDSFID, *m_btnLockDSFID, *m_btnInventory, *m_btnInformation, *m_btnSetMICType, *m_btnGetMICType;
    QCheckBox *m_chkHF15693, *m_chkHF14443A, *m_chkHF14443B;
};

}  // namespace kv350::cards
