#include "page.h"

namespace kv350 {

Page::Page(PageContext &context, QWidget *parent) : QWidget(parent), m_context(context) {}

void Page::keepOwnFont(std::initializer_list<const char *> names)
{
    for (const char *name : names) {
        QWidget *control = findChild<QWidget *>(QLatin1String(name));
        Q_ASSERT_X(control, "Page::keepOwnFont", name);
        if (control)
            m_ownFont.append(control);
    }
}

}  // namespace kv350
