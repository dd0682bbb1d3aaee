// A window's input tap on real widgets: keys reach the tap as Linux input
// codes and not the focused field; mouse buttons reach both.
#include "QtTestSupport.h"
#include "ui/UiTestSupport.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QTest>
#include <QWindow>
#include <gtest/gtest.h>
#include <linux/input-event-codes.h>

namespace velkor::ui {
namespace {

struct Taps final : InputTap {
    void InputTapped(const InputPress& press) override { seen.push_back(press); }
    std::vector<InputPress> seen;
};

TEST(QtInputTap, KeysReachTheTapAsEvdevCodesAndNotTheField) {
    test::Recorder handler;
    std::string error;
    auto window = test::TestToolkit().CreateWindow(
        WindowOptions{"test/controls.ui", "TestWnd", nullptr, &handler}, &error);
    ASSERT_NE(window, nullptr) << error;
    window->BringToFront();
    ASSERT_TRUE(QTest::qWaitForWindowActive(WidgetOf(*window)));
    auto* edit = qobject_cast<QLineEdit*>(WidgetOf(*window->FindControl("value_edit")));
    ASSERT_NE(edit, nullptr);
    edit->setFocus(Qt::TabFocusReason);
    edit->setText("12");

    Taps taps;
    window->SetInputTap(&taps);
    ASSERT_EQ(window->GetInputTap(), &taps);
    // X keycode 38 is the A key; the repeat is dropped.
    QKeyEvent down(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, 38, 0, 0, "a");
    QKeyEvent repeat(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, 38, 0, 0, "a", true);
    QKeyEvent up(QEvent::KeyRelease, Qt::Key_A, Qt::NoModifier, 38, 0, 0, "a");
    QCoreApplication::sendEvent(edit, &down);
    QCoreApplication::sendEvent(edit, &repeat);
    QCoreApplication::sendEvent(edit, &up);
    // Buttons come to the desktop window first.
    QWindow* desktopWindow = WidgetOf(*window)->windowHandle();
    ASSERT_NE(desktopWindow, nullptr);
    const QPointF at(edit->mapTo(WidgetOf(*window), QPoint(4, 4)));
    QMouseEvent back(QEvent::MouseButtonPress, at, at, Qt::BackButton, Qt::BackButton, Qt::NoModifier);
    QMouseEvent backUp(QEvent::MouseButtonRelease, at, at, Qt::BackButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(desktopWindow, &back);
    QCoreApplication::sendEvent(desktopWindow, &backUp);
    EXPECT_EQ(edit->text(), "12");
    ASSERT_GE(taps.seen.size(), 2u);
    EXPECT_EQ(taps.seen[0].kind, InputPress::Kind::Key);
    EXPECT_EQ(taps.seen[0].code, KEY_A);
    EXPECT_TRUE(taps.seen[0].down);
    EXPECT_EQ(taps.seen[1].code, KEY_A);
    EXPECT_FALSE(taps.seen[1].down);
    EXPECT_EQ(taps.seen.size(), 4u);
    if (taps.seen.size() == 4u) {
        EXPECT_EQ(taps.seen[2], (InputPress{InputPress::Kind::Button, BTN_SIDE, true, taps.seen[2].timeMs}));
        EXPECT_EQ(taps.seen[3].code, BTN_SIDE);
        EXPECT_FALSE(taps.seen[3].down);
    }

    // Without the tap the field takes keys again.
    window->SetInputTap(nullptr);
    EXPECT_EQ(window->GetInputTap(), nullptr);
    edit->end(false); // the button press above placed the cursor
    QKeyEvent again(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, 38, 0, 0, "a");
    QCoreApplication::sendEvent(edit, &again);
    EXPECT_EQ(edit->text(), "12a");
    EXPECT_EQ(taps.seen.size(), 4u);
}

} // namespace
} // namespace velkor::ui
