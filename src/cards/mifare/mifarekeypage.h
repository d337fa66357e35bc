#pragma once
// The MIFARE key page: a new sector trailer written to the card, and the
// editor that composes its access bits from one choice per operation.

#include "pages/page.h"

#include <QWidget>
#include <array>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QScrollBar;

namespace kv350::cards {

class MifareKeyPage final : public Page {
    Q_OBJECT
public:
    MifareKeyPage(PageContext &context, QWidget *parent = nullptr);

    void applyLanguage() override;

    // The editor's buttons go by their numbers 1..49 (18 and 30 do not exist).
    static constexpr int AccessButtonSlots = 50;

public slots:
    void btnM1CardKeyClick();
    // A click on editor button `number`: its whole row is chosen for its block.
    void SelectAccessRow(int number);
    void RecomputeAccessBits();

private:
    QGroupBox *buildAccessEditor();

    QGroupBox *m_gbM1Key, *m_gbCardKeyOld, *m_gbM1NewCardKey, *m_gbM1Access;
    QScrollBar *m_sbM1CardSector;
    QLabel *m_lblM1CardSector;
    QLineEdit *m_edM1CardOldKey, *m_edM1CardKeyA, *m_edM1CardKeyB, *m_edM1CardKeyAccess;
    QRadioButton *m_rbM1CardKeyA, *m_rbM1CardKeyB;
    QPushButton *m_btnM1CardKey;
    QLabel *m_lblAccessProblem;
    std::array<QRadioButton *, AccessButtonSlots> m_access{};
};

}  // namespace kv350::cards
