#pragma once
// The Command page: compose any frame by hand or from the sample list, send
// it, and read the reply field by field. Every transaction of the program,
// from any page, is mirrored here.

#include "pages/page.h"

#include <QWidget>

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace kv350::console {

class CommandPage final : public Page {
    Q_OBJECT
public:
    CommandPage(PageContext &context, QWidget *parent = nullptr);

    // Captions and the sample list in the current language; no sample selected.
    void applyLanguage() override;
    // The page became the active one: the first sample is loaded.
    void pageEntered();
    void setAsciiRequestVisible(bool visible);

    // The mirror of every transaction.
    void showRequest(const RequestFields &fields);
    void showResponse(const ResponseFields &fields);

public slots:
    void edRequestDATAKeyUp();
    void edRequestAsciiKeyUp();
    void cmbRequestCloseUp();
    void btnRequestSendClick();
    void btnReadCardClick();
    void edConvAsciiKeyUp();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void loadSample(int index);

    QGroupBox *m_gbRequest, *m_gbResponse, *m_gbAsciiToHex;
    QLabel *m_lblRequest, *m_lblResponse;
    QLineEdit *m_edRequestSTX, *m_edRequestLEN, *m_edRequestCMD, *m_edRequestDATA, *m_edRequest;
    QComboBox *m_cmbRequest;
    QPushButton *m_btnRequestSend, *m_btnReadCard;
    QLineEdit *m_edRequestAscii;
    QLineEdit *m_edResponseSTX, *m_edResponseLEN, *m_edResponseCMD, *m_edResponseSTA;
    QLineEdit *m_edResponseDATA, *m_edResponse, *m_edResponseAscii;
    QLineEdit *m_edConvAscii, *m_edConvHex;
};

}  // namespace kv350::console
