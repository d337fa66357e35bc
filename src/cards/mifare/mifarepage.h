#pragma once
// The MIFARE page: one block of a MIFARE Classic card read, written or its UID
// read; a run of blocks read into a list; the read/write loop test.

#include "cards/dump/cardimage.h"
#include "cards/mifare/mifareframes.h"
#include "pages/page.h"

#include <QWidget>
#include <optional>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;
class QScrollBar;

namespace kv350::cards {

class MifarePage final : public Page {
    Q_OBJECT
public:
    MifarePage(PageContext &context, QWidget *parent = nullptr);

    void applyLanguage() override;

signals:
    // The count of Read All or of the loop test's passes was edited.
    void countChanged();

public slots:
    void btnM1ReadClick();
    void btnM1WriteClick();
    void btnM1UIDClick();
    void btnM1ReadAllClick();
    void btnM1WRClick();
    // What Read All read last, in a dump file; a dump file written to the card.
    void btnM1SaveDumpClick();
    void btnM1WriteDumpClick();
    void sbM1SectorChange(int sector);

private:
    // The key of the key boxes: typed (a bad text goes back to FF…FF, as the
    // card's transport key) or the reader's own.
    MifareKey key();
    // One line more in the list, scrolled to, and painted.
    void addLine(const QString &line);
    void runLoopTest(const std::vector<int> &blocks, int passes);
    QGroupBox *m_gbM1RW, *m_gbM1ReadAll;
    QScrollBar *m_sbM1Sector, *m_sbM1Block;
    QLabel *m_lblM1Sector, *m_lblM1Block, *m_lblM1RWKey, *m_lblM1Write, *m_lblM1Read;
    QLineEdit *m_edM1RWKey, *m_edM1Write, *m_edM1WAscii, *m_edM1Read, *m_edM1RAscii, *m_edM1All, *m_edM1Num;
    QRadioButton *m_rbM1RWKeyA, *m_rbM1RWKeyB, *m_rbM1Hex, *m_rbM1Ascii;
    QCheckBox *m_chkEEPROM;
    QPushButton *m_btnM1Write, *m_btnM1Read, *m_btnM1UID, *m_btnM1ReadAll, *m_btnM1WR;
    QPushButton *m_btnM1SaveDump, *m_btnM1WriteDump;
    std::optional<CardImage> m_lastRead;  // what the last Read All read
    QListWidget *m_lstM1;
    QLabel *m_lblM1WriteProblem;  // why a block was not written
};

}  // namespace kv350::cards
