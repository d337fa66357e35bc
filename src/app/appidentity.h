#pragma once
#include <QIcon>
#include <QString>

namespace kv350 {

// The program's icon in every size it was rendered in (packaging/icons).
QIcon appIcon();

// The application id: the name of the installed desktop entry without
// ".desktop". A Wayland desktop finds the window's icon and name through it.
QString appId();

}  // namespace kv350
