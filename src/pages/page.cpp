#include "page.h"

namespace kv350 {

Page::Page(PageContext &context, QWidget *parent) : QWidget(parent), m_context(context)
{
}

}  // namespace kv350
