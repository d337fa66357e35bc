#pragma once
// The LF page: which 125 kHz and 134.2 kHz card families the reader decodes.

#include "pages/page.h"

#include <QWidget>
#include <cstdint>

class QCheckBox;
class QGroupBox;
class QPushButton;

namespace kv350::cards {

class LfPage final : public Page {
    Q_OBJECT
public:
    LfPage(PageContext &context, QWidget *parent = nullptr);

    void applyLanguage() override;
    // The factory card types: EM only.
    void resetToFactory() override;

public slots:
    void btnSetLFCardTypeClick();
    void btnGetLFCardTypeClick();

private:
    // The boxes from the reader's bits, in the order of the list: of EM/TEMIC,
    // VANTO and SECURITY the last one set stays checked.
    void showCardTypes(std::uint8_t bits);

    QGroupBox *m_gbLFCardType;
    QCheckBox *m_chkLFCardTypeEM, *m_chkLFCardTypeVANTO, *m_chkLFCardTypeSECURITY, *m_chkLFCardTypeFDXB,
        *m_chkLFCardTypeTITAN, *m_chkLFCardTypeHID;
    QPushButton *m_btnSetLFCardType, *m_btnGetLFCardType;
};

}  // namespace kv350::cards
