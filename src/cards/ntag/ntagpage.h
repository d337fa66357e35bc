#pragma once
// The NTAG page: 16 bytes of an NTAG203 / Ultralight tag read or written, its
// UID, a dump of the tag, and a URL written as an NDEF record.

#include "cards/dump/cardimage.h"
#include "pages/page.h"
#include "pages/pagecommands.h"

#include <QWidget>
#include <optional>

class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QScrollBar;

namespace kv350::cards {

// The ASCII write box's start text: a host name with its slash, the 16 bytes of one write.
inline constexpr const char *SampleAsciiText = "www.example.com/";
// The text behind "<<": a URL that reads back from the tag as itself.
inline constexpr const char *SampleUrlText = "https://www.example.com/";

class NtagPage final : public Page {
    Q_OBJECT
public:
    NtagPage(PageContext &context, QWidget *parent = nullptr);

    void applyLanguage() override;

signals:
    // The count of Read All was edited.
    void countChanged();

public slots:
    void btnNReadClick();
    void btnNUIDClick();
    void btnNWriteClick();
    void btnNReadAllClick();
    void btnNURLWriteClick();
    void btnNURLReadClick();
    void btnNSampleClick();
    // What Read All read last, in a dump file.
    void btnNSaveDumpClick();

private:
    // Before a write of 16 bytes from `firstPage`: reads what the tag holds in
    // the lock bytes and the capability container it covers, and asks when the
    // write would change them for good. False: nothing may be sent, and the
    // outcome has been shown.
    bool oneTimeWriteAllowed(int firstPage, const QByteArray &data16);
    // 16 bytes from `page`; nothing when the read failed, with how in `result`.
    std::optional<QByteArray> readSixteen(int page, CardResult &result);
    QGroupBox *m_gbNRW, *m_gbNReadAll, *m_gbNURL;
    QScrollBar *m_sbNBlock;
    QLabel *m_lblNBlock, *m_lblNWrite, *m_lblNRead;
    QLineEdit *m_edNWrite, *m_edNWAscii, *m_edNRead, *m_edNRAscii, *m_edNUID, *m_edNAll;
    QLineEdit *m_edNURL1, *m_edNURL2, *m_edNURL3;
    QRadioButton *m_rbNHex, *m_rbNAscii;
    QPushButton *m_btnNWrite, *m_btnNRead, *m_btnNUID, *m_btnNReadAll, *m_btnNURLWrite, *m_btnNURLRead, *m_btnNSample;
    QPushButton *m_btnNSaveDump;
    std::optional<CardImage> m_lastRead;  // what the last Read All read
    QListWidget *m_lstNAll;
    QPlainTextEdit *m_moNAllAscii;
    QLabel *m_lblNURLProblem;  // why a URL was not written, or what a tag holds instead of one
};

}  // namespace kv350::cards
