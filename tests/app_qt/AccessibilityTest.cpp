// The running program through Qt's accessibility tree and the keyboard alone:
// every control a user can act on has a name on every page and tab, and Tab
// reaches every control of the lighting panel, whose sliders move with the
// arrow keys.
#include "ProgramOnQt.h"
#include "app/CMainWnd.h"
#include "devices/DeviceDiscovery.h"

#include <QAccessible>
#include <QApplication>
#include <QKeyEvent>
#include <QSlider>
#include <gtest/gtest.h>

#include <set>

namespace velkor::test {
namespace {

bool Interactive(QAccessible::Role role) {
    switch (role) {
    case QAccessible::PushButton:
    case QAccessible::CheckBox:
    case QAccessible::RadioButton:
    case QAccessible::ComboBox:
    case QAccessible::Slider:
    case QAccessible::SpinBox:
    case QAccessible::EditableText:
    case QAccessible::PageTab:
    case QAccessible::ButtonMenu:
        return true;
    default:
        return false;
    }
}

// The shown, interactive nodes under `node` that have no name.
void Unnamed(QAccessibleInterface* node, const std::string& where, std::vector<std::string>& found) {
    if (node == nullptr || node->state().invisible) {
        return;
    }
    if (Interactive(node->role()) && node->text(QAccessible::Name).trimmed().isEmpty()) {
        QObject* object = node->object();
        found.push_back(where + ": " + (object != nullptr ? object->objectName().toStdString() : "?") +
                        " (role " + std::to_string(int(node->role())) + ")");
    }
    for (int i = 0; i < node->childCount(); ++i) {
        Unnamed(node->child(i), where, found);
    }
}

TEST(Accessibility, EveryControlOnEveryPageAndTabHasAName) {
    std::vector<std::string> unnamed;
    int views = 0;
    ASSERT_TRUE(ForEachPageAndTab([&](const PageView& view) {
        Unnamed(QAccessible::queryAccessibleInterface(&MainWidget()), view.device + "/" + view.tab, unnamed);
        ++views;
    }));
    EXPECT_GE(views, 12) << "every device's tabs were shown";
    for (const std::string& name : unnamed) {
        ADD_FAILURE() << "no accessible name: " << name;
    }
}

void Press(int key) {
    QWidget* target = QApplication::focusWidget();
    ASSERT_NE(target, nullptr);
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
    QApplication::sendEvent(target, &release);
}

TEST(Accessibility, TabReachesEveryLightingControlAndArrowsMoveItsSliders) {
    QWidget* page = ShowPage("keyboard", "deng_Op_tab");
    ASSERT_NE(page, nullptr);
    QWidget* panel = nullptr;
    for (QWidget* widget : page->findChildren<QWidget*>("light_control_panel")) {
        panel = widget->isVisible() ? widget : panel;
    }
    ASSERT_NE(panel, nullptr);
    QWidget& window = MainWidget();
    window.activateWindow();
    QApplication::setActiveWindow(&window);
    ProcessFor(50);

    std::set<QWidget*> wanted;
    for (QWidget* widget : panel->findChildren<QWidget*>()) {
        if (widget->isVisible() && widget->isEnabled() && (widget->focusPolicy() & Qt::TabFocus) != 0 &&
            widget->focusProxy() == nullptr) {
            wanted.insert(widget);
        }
    }
    ASSERT_FALSE(wanted.empty());
    QWidget* first = *wanted.begin();
    first->setFocus(Qt::TabFocusReason);
    ProcessFor(10);
    std::set<QWidget*> reached;
    for (int presses = 0; presses < 2000 && reached.size() < wanted.size(); ++presses) {
        Press(Qt::Key_Tab);
        if (QWidget* focus = QApplication::focusWidget(); wanted.contains(focus)) {
            reached.insert(focus);
        }
    }
    for (QWidget* widget : wanted) {
        EXPECT_TRUE(reached.contains(widget)) << "Tab never reaches " << widget->objectName().toStdString();
    }

    auto* brightness = panel->findChild<QSlider*>("deng_light_slider");
    ASSERT_NE(brightness, nullptr);
    brightness->setFocus(Qt::TabFocusReason);
    const int before = brightness->value();
    Press(before > brightness->minimum() ? Qt::Key_Left : Qt::Key_Right);
    ProcessFor(20);
    EXPECT_NE(brightness->value(), before) << "the arrow keys move the brightness";
}

} // namespace
} // namespace velkor::test
