#pragma once
// The Common page: how the reader types a card's ID, how it presents itself
// on USB, when and how it reads, its keyboard layout, reboot and factory
// default.

#include "pages/page.h"
#include "settings/profile.h"
#include "settings/readersettings.h"

#include <QWidget>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QScrollBar;

namespace kv350::settings {

class CommonPage final : public Page {
    Q_OBJECT
public:
    CommonPage(PageContext &context, QWidget *parent = nullptr);

    void applyLanguage() override;
    // The controls of the reader's settings back to the factory values.
    void resetToFactory() override;
    // The USB-mode names depend on the transport in use; the first is selected.
    void fillUsbModes(bool serial);
    // Puts an ID output format into the controls (also the identification's format item).
    void ShowIdFormat(std::uint8_t formatCode, std::uint8_t optionFlags, std::uint8_t keyFlags);
    void selectFormatItem(int index);
    // The controls show these values the reader holds (settings of other pages are passed over).
    void showReaderValues(const SettingValues &values);

signals:
    // The factory default resets the controls of other pages too, before the command goes out.
    void factoryReset();

public slots:
    void btnIdFormatClick();
    void btnGetIdFormatClick();
    void btnUsbModeClick();
    void btnGetUsbModeClick();
    void btnReadModeClick();
    void btnGetReadModeClick();
    void btnScanTimeClick();
    void btnGetScanTimeClick();
    void btnSameCardClick();
    void btnGetSameCardClick();
    void btnSetDelayTimeClick();
    void btnGetDelayTimeClick();
    void btnSetLayoutClick();
    void btnGetLayoutClick();
    void btnRebootClick();
    void btnFactoryClick();

private:
    void setParameter(std::uint8_t code, const ParameterValue &value);
    void getParameter(std::uint8_t code);
    // Shows a value the reader holds in the controls of its setting.
    void showValue(std::uint8_t code, const ParameterValue &value);
    IdFormat idFormat() const;
    void showIdFormat(const IdFormat &format);
    ReadMode readMode() const;
    void showReadMode(const ReadMode &mode);

    QGroupBox *m_gbIdFormat, *m_gbUsbMode, *m_gbReadMode, *m_gbScanTime, *m_gbSameCard, *m_gbDelayTime, *m_gbLayout,
        *m_gbUtility;
    QComboBox *m_cmbFormat, *m_cmbUsbMode, *m_cmbLayout;
    QCheckBox *m_chkReverse, *m_chkReverseBit, *m_chkDecZero, *m_chkAddEnter, *m_chkAddLF, *m_chkAddTab, *m_chkAddDown,
        *m_chkAddSpace, *m_chkAddComma, *m_chkAddBrackets, *m_chkAddQuotation;
    QCheckBox *m_chkReadAuto, *m_chkReadBeep, *m_chkReadLED, *m_chkReadSameCard, *m_chkReadGreen, *m_chkSTX, *m_chkETag;
    QLabel *m_lblFormat, *m_lblUsbMode;
    QScrollBar *m_sbScanTime, *m_sbSameCard, *m_sbDelayTime;
    QLabel *m_pnScanTime, *m_pnSameCard, *m_pnDelayTime;
    QPushButton *m_btnIdFormat, *m_btnGetIdFormat, *m_btnUsbMode, *m_btnGetUsbMode, *m_btnReadMode, *m_btnGetReadMode,
        *m_btnScanTime, *m_btnGetScanTime, *m_btnSameCard, *m_btnGetSameCard, *m_btnSetDelayTime, *m_btnGetDelayTime,
        *m_btnSetLayout, *m_btnGetLayout, *m_btnReboot, *m_btnFactory;
};

}  // namespace kv350::settings
