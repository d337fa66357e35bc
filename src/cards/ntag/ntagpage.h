#pragma once
// The NTAG page: 16 bytes of an NTAG203 / Ultralight tag read or written, its
// UID, a dump of the tag, and a URL written as an NDEF record.

#include "app/pagecontext.h"

#include <QWidget>

class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QScrollBar;

namespace kv350::cards {

// A host name with its slash, short enough for the 16 bytes of pages 7-10.
inline constexpr const char *SampleUrlText = "www.example.com/";

class NtagPage final : public QWidget {
    Q_OBJECT
public:
    NtagPage(PageContext &context, QWidget *parent = nullptr);

    void applyLanguage();

public slots:
    void btnNReadClick();
    void btnNUIDClick();
    void btnNWriteClick();
    void btnNReadAllClick();
    void btnNURLWriteClick();
    void btnNURLReadClick();
    void btnNSampleClick();

private:
    PageContext &m_context;
    QGroupBox *m_gbNRW, *m_gbNReadAll, *m_gbNURL;
    QScrollBar *m_sbNBlock;
    QLabel *m_lblNBlock, *m_lblNWrite, *m_lblNRead;
    QLineEdit *m_edNWrite, *m_edNWAscii, *m_edNRead, *m_edNRAscii, *m_edNUID, *m_edNAll;
    QLineEdit *m_edNURL1, *m_edNURL2, *m_edNURL3;
    QRadioButton *m_rbNHex, *m_rbNAscii;
    QPushButton *m_btnNWrite, *m_btnNRead, *m_btnNUID, *m_btnNReadAll, *m_btnNURLWrite, *m_btnNURLRead, *m_btnNSample;
    QListWidget *m_lstNAll;
    QPlainTextEdit *m_moNAllAscii;
};

}  // namespace kv350::cards
