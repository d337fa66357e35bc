#pragma once
// The Auto Read page: where in a MIFARE Classic or NTAG card the reader takes
// the ID it types, and a key stored in the reader's EEPROM.

#include "link/parameters.h"
#include "pages/page.h"

#include <QWidget>

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QScrollBar;

namespace kv350::cards {

class AutoPage final : public Page {
    Q_OBJECT
public:
    AutoPage(PageContext &context, QWidget *parent = nullptr);

    void applyLanguage() override;
    // The factory values of the ID location group.
    void resetToFactory() override;

public slots:
    void btnM1KeyClick();
    void btnM1IDSectorClick();
    void btnNIDSectorClick();
    void btnGetM1IDSectorClick();
    void sbM1IDSectorChange(int sector);
    void sbM1IDBlockChange(int block);
    void sbM1IDStartChange(int start);
    void sbM1IDByteChange(int byte);
    void sbNIDBlockChange(int page);
    void sbNIDStartChange(int start);
    void sbNIDByteChange(int byte);

private:
    // The location the MIFARE bars, key and key-error controls show.
    IdLocation location() const;
    void setLocation(bool ntag);
    // Puts the location the reader holds into the bars; the card type only on a Get.
    void showLocation(const IdLocation &location, bool withCardType);

    QGroupBox *m_gbM1IDSector, *m_gbM1E2, *m_gbNIDSector, *m_gbAutoType;
    QScrollBar *m_sbM1IDSector, *m_sbM1IDBlock, *m_sbM1IDByte, *m_sbM1IDStart, *m_sbM1E2Sector;
    QScrollBar *m_sbNIDBlock, *m_sbNIDByte, *m_sbNIDStart;
    QLabel *m_lblM1IDSector, *m_lblM1IDBlock, *m_lblM1IDByte, *m_lblM1IDStart, *m_lblM1IDErr;
    QLabel *m_lblM1E2Key, *m_lblM1E2Sector, *m_lblNIDBlock, *m_lblNIDByte, *m_lblNIDStart;
    QRadioButton *m_rbM1IDKeyA, *m_rbM1IDKeyB, *m_rbM1KeyA, *m_rbM1KeyB, *m_rbUltralight, *m_rbM1Classic;
    QComboBox *m_cmbM1IDKeyErr;
    QLineEdit *m_edM1Key;
    QPushButton *m_btnM1IDSector, *m_btnGetM1IDSector, *m_btnM1Key, *m_btnNIDSector, *m_btnGetNIDSector;
};

}  // namespace kv350::cards
