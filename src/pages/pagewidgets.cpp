#include "pagewidgets.h"

#include <QLineEdit>
#include <QWidget>

namespace kv350 {

HexField ParseHexField(QLineEdit *box, int n, const QString &defaultText)
{
    if (auto bytes = cards::parseHexBytes(box->text(), n))
        return {*bytes, true};
    box->setText(defaultText);
    return {QByteArray(n, char(0xFF)), false};
}

WindowDisabled::WindowDisabled(QWidget *anyWidget) : m_window(anyWidget->window())
{
    m_window->setEnabled(false);
}

WindowDisabled::~WindowDisabled()
{
    m_window->setEnabled(true);
}

}  // namespace kv350
