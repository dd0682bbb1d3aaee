#pragma once
// The Qt objects behind the toolkit's objects, for the program's entry point and
// for tests that act on real widgets. Null for objects of another toolkit.
#include "ui/Toolkit.h"

class QMenu;
class QSystemTrayIcon;
class QWidget;

namespace velkor::ui {

QWidget* WidgetOf(const Control& control);
QWidget* WidgetOf(const Window& window);
QMenu* MenuWidgetOf(const Menu& menu);
QSystemTrayIcon* TrayIconOf(const TrayIcon& icon);

} // namespace velkor::ui
